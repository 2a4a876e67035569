#include "link/server_interface.h"

#include "link/connection.h"

#include <utility>

namespace botpilot {

ServerInterface::ServerInterface(const std::string& clientName, std::int32_t interfaceCode)
    : channel(std::make_unique<Connection>(clientName, interfaceCode)) {}

ServerInterface::ServerInterface(std::unique_ptr<MessageChannel> channel)
    : channel(std::move(channel)) {}

} // namespace botpilot
