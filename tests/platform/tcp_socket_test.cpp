#include "platform/tcp_listener.h"
#include "platform/tcp_socket.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace botpilot {
namespace {

/// The address's four bytes as they go on the wire.
std::string WireBytes(const Ipv4Address& address) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &address.networkOrder, sizeof bytes);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

// The numeric forms are read by our own code, the same on every system: each form is pinned.
TEST(TcpSocketTest, NumericAddressesAreReadWithoutLookUp) {
    struct Case {
        const char* host;
        const char* bytes; ///< nullptr: not an address, so a host name to look up
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        // The all-ones address is a real address, not a failure marker.
        {"255.255.255.255", "255.255.255.255"},
        {"127.1", "127.0.0.1"},
        {"10.1.258", "10.1.1.2"},
        {"0x7f.0.0.01", "127.0.0.1"},
        {"017.0XA.0.0", "15.10.0.0"},
        {"2130706433", "127.0.0.1"},
        {"0", "0.0.0.0"},
        {"localhost", nullptr},
        {"", nullptr},
        {"1.2.3.4.5", nullptr},
        {"example", nullptr},
        {"256.0.0.1", nullptr},
        {"1.2.3.256", nullptr},
        {"1.2.65536", nullptr},
        {"4294967296", nullptr},
        {"08.1.1.1", nullptr},
        {"0x", nullptr},
        {"1..2", nullptr},
        {"1.2.3.", nullptr},
        {".1.2.3", nullptr},
        {" 1.2.3.4", nullptr},
        {"1.2.3.4 ", nullptr},
        {"1.2.3.4x", nullptr},
        {"-1.2.3.4", nullptr},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseDottedIpv4(c.host);
        if (c.bytes == nullptr) {
            EXPECT_FALSE(parsed.has_value()) << "'" << c.host << "'";
        } else {
            ASSERT_TRUE(parsed.has_value()) << c.host;
            EXPECT_EQ(WireBytes(*parsed), c.bytes) << c.host;
        }
    }
}

TEST(TcpSocketTest, LocalhostResolvesToLoopback) {
    const SocketLibrary library;
    const auto resolved = ResolveIpv4("localhost");
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(WireBytes(*resolved), "127.0.0.1");
}

// A refused connect must be told as a refusal, not waited out until the deadline (Windows'
// own poll leaves a refusal unreported).
TEST(TcpSocketTest, RefusedConnectEndsBeforeItsDeadline) {
    std::uint16_t closedPort = 0;
    {
        TcpListener listener = TcpListener::Listen("127.0.0.1", 0);
        closedPort = listener.Port();
    }
    const SocketLibrary library;
    TcpSocket client;
    ASSERT_TRUE(client.Open());
    const Deadline deadline = Deadline::After(30);
    EXPECT_FALSE(client.Connect(*ParseDottedIpv4("127.0.0.1"), closedPort, deadline));
    EXPECT_FALSE(deadline.Expired());
}

TEST(TcpSocketTest, WaitsEndAtTheirDeadline) {
    TcpListener listener = TcpListener::Listen("127.0.0.1", 0);
    EXPECT_FALSE(listener.Accept(Deadline::After(0.05)).has_value());

    TcpSocket client;
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.Connect(*ParseDottedIpv4("127.0.0.1"), listener.Port(), Deadline::After(5)));
    std::optional<TcpSocket> server = listener.Accept(Deadline::After(5));
    ASSERT_TRUE(server.has_value());

    std::uint8_t byte = 0;
    EXPECT_EQ(client.ReceiveSome(&byte, 1, Deadline::After(0.05)).status, IoStatus::TimedOut);

    const std::uint8_t sent = 0x5A;
    EXPECT_EQ(server->SendSome(&sent, 1, Deadline::After(5)).status, IoStatus::Ok);
    const IoResult received = client.ReceiveSome(&byte, 1, Deadline::After(5));
    EXPECT_EQ(received.status, IoStatus::Ok);
    EXPECT_EQ(byte, 0x5A);

    server->Close();
    EXPECT_EQ(client.ReceiveSome(&byte, 1, Deadline::After(5)).status, IoStatus::Closed);
}

} // namespace
} // namespace botpilot
