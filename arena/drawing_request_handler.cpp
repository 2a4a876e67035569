#include "arena/drawing_request_handler.h"

#include "arena/robot_settings.h"

namespace botarena {

Reply DrawingRequestHandler::Handle(Request& request) {
    Reply answer;
    try {
        if (request.type != kDrawItem) {
            throw ProtocolFault("Unknown message type " + std::to_string(request.type) +
                                " on a drawing connection");
        }
        RequestValues values(request.payload, "DrawItem");
        values.Int(); // item id
        for (int i = 0; i < 5; ++i) {
            values.Double(); // position, extents, third value
        }
        values.Int(); // item code
        const std::int32_t red = values.Int();
        const std::int32_t green = values.Int();
        const std::int32_t blue = values.Int();
        values.End();
        for (const auto& refusal :
             {CheckColour("Red", red), CheckColour("Green", green), CheckColour("Blue", blue)}) {
            if (refusal) {
                throw Refusal(*refusal);
            }
        }
        ++itemsDrawn;
        answer.message = ErrorTextReply("");
    } catch (const ProtocolFault& fault) {
        answer.message = ErrorTextReply(fault.what());
        answer.outcome = ReplyOutcome::ProtocolError;
    } catch (const Refusal& refusal) {
        answer.message = ErrorTextReply(refusal.what());
        answer.outcome = ReplyOutcome::Refused;
    }
    return answer;
}

} // namespace botarena
