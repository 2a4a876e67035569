#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace botpilot {

/// An IPv4 address in network byte order.
struct Ipv4Address {
    std::uint32_t networkOrder = 0;
};

/// Reads an IPv4 address in the classic numeric forms ("127.0.0.1", also "127.1", "0x7f.1" and
/// a single 32-bit number: one to four parts, each decimal, octal after a leading 0 or hex after
/// 0x, the last part filling the bytes that remain). No name look-up is made. Read the same way
/// on every system, so that a host means the same thing wherever the client runs.
std::optional<Ipv4Address> ParseDottedIpv4(const std::string& host);

/// Resolves a host name to its first IPv4 address. The socket library must be started
/// (`SocketLibrary`).
std::optional<Ipv4Address> ResolveIpv4(const std::string& host);

} // namespace botpilot
