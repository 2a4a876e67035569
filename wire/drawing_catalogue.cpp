#include "wire/drawing_catalogue.h"

namespace botpilot {

const CatalogueEntry* FindDrawingMessage(std::int32_t type) {
    return type == kDrawItemMessage ? &kDrawItemEntry : nullptr;
}

} // namespace botpilot
