// Fuzzes the arena's side of a connection over arbitrary client bytes: the handshake check,
// the cutting of request frames, and the request handlers against a small battle, as a session
// drives them. The first byte picks the port (bit 0: drawing) and whether the battle steps
// between pieces (bit 1); the rest is a run of pieces, each a length byte and up to that many
// bytes, so that frames are split at every position. Nothing a client sends may throw out of a
// handler, every reply must be a well-formed payload, and buffers stay within one frame.
#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"
#include "arena/protocol/drawing_request_handler.h"
#include "arena/protocol/event_log.h"
#include "arena/protocol/handshake_validator.h"
#include "arena/protocol/request_frame_reader.h"
#include "arena/protocol/robot_request_handler.h"
#include "wire/controller_catalogue.h"
#include "wire/drawing_catalogue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using namespace botarena;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// A battle with the connection's robot and one running opponent close by, so that sightings,
/// shots and hits have something to report.
struct Arena {
    Arena() : battle(FieldSize{}, 7), log(sink, [this] { return battle.Time(); }) {
        const int opponent = battle.AddRobot(true).Id();
        battle.StartRobotAt(opponent, BodyState{2.0, 0.0, 3.14});
        robotId = battle.AddRobot(false).Id();
        board.AddLayer(kDrawingConnectionId, "Graphics");
    }

    static constexpr int kDrawingConnectionId = 1;
    std::ostringstream sink;
    Battle battle;
    EventLog log;
    DrawingBoard board;
    int robotId = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool drawing = (data[0] & 1u) != 0;
    const bool stepping = (data[0] & 2u) != 0;
    Arena arena;
    HandshakeValidator handshake(drawing ? botpilot::kGraphicsInterfaceCode
                                         : botpilot::kControllerInterfaceCode);
    RequestFrameReader frames;
    std::unique_ptr<RequestHandler> handler;
    if (drawing) {
        handler = std::make_unique<DrawingRequestHandler>(arena.board, Arena::kDrawingConnectionId);
    } else {
        handler = std::make_unique<RobotRequestHandler>(arena.battle, arena.robotId, arena.log);
    }

    std::size_t at = 1;
    while (at < size) {
        const std::size_t wanted = data[at++];
        const std::size_t count = wanted < size - at ? wanted : size - at;
        const std::uint8_t* piece = data + at;
        at += count;

        std::size_t used = 0;
        if (handshake.Current() == HandshakeValidator::Status::NeedMore) {
            const HandshakeValidator::Status status = handshake.Feed(piece, count, used);
            Require(used <= count);
            if (status == HandshakeValidator::Status::Rejected) {
                Require(!handshake.Reason().empty());
                return 0;
            }
            if (status == HandshakeValidator::Status::NeedMore) {
                Require(used == count);
                continue;
            }
            Require(!handshake.ClientName().empty() &&
                    handshake.ClientName().size() <= kMaxClientNameBytes);
        }
        std::vector<Request> requests;
        const auto failure = frames.Feed(piece + used, count - used, requests);
        for (Request& request : requests) {
            Reply reply = handler->Handle(request);
            Require(!CheckPayloadShape(reply.message.Bytes()));
            const botpilot::CatalogueEntry* entry =
                drawing ? botpilot::FindDrawingMessage(request.type)
                        : botpilot::FindControllerMessage(request.type);
            if (entry == nullptr || !entry->supported || entry->errorText) {
                // Every reply but those the catalogue declares without one (the field size's)
                // opens with its error text, empty only when served.
                const std::string error = reply.message.ReadString();
                Require(error.empty() == (reply.outcome == ReplyOutcome::Served));
            }
        }
        if (failure) {
            Require(!failure->empty());
            // A failed reader takes nothing more.
            std::vector<Request> more;
            Require(frames.Feed(piece, count, more).has_value() && more.empty());
            return 0;
        }
        if (stepping) {
            arena.battle.Step(0.01);
        }
    }
    return 0;
}
