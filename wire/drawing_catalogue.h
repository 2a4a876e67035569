#pragma once

#include "wire/catalogue_entry.h"

#include <cstdint>

namespace botpilot {

// The catalogue of the drawing connection, a second and optional channel beside the robot's,
// for diagnostic drawings only.

/// The client name and interface code of the drawing connection's handshake.
constexpr const char* kGraphicsClientName = "Graphics";
constexpr std::int32_t kGraphicsInterfaceCode = 1;

/// Message type of a drawing item. The drawing connection numbers its types on its own: this is
/// not the robot connection's type 2.
constexpr std::int32_t kDrawItemMessage = 2;

/// The drawing connection's one message type: an item's id, its position (x, y), two extents, a
/// third value, its code and its colour.
inline constexpr CatalogueEntry kDrawItemEntry = Entry(
    kDrawItemMessage, "DrawItem", RequestStage::AnyTime,
    {AnyInteger(), AnyDouble(), AnyDouble(), AnyDouble(), AnyDouble(), AnyDouble(), AnyInteger(),
     IntegerWithin(kRedLimit), IntegerWithin(kGreenLimit), IntegerWithin(kBlueLimit)},
    ErrorTextThen(""));

/// The entry of `type` on a drawing connection, or nullptr for any other number.
const CatalogueEntry* FindDrawingMessage(std::int32_t type);

} // namespace botpilot
