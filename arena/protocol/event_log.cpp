#include "arena/protocol/event_log.h"

#include <cstdio>

namespace botarena {

void EventLog::Line(const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%7.2f] ", clock ? clock() : 0.0);
    // Flushed line by line: the log is watched live and read after a crash.
    out << stamp << text << std::endl;
}

} // namespace botarena
