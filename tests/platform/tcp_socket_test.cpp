#include "platform/tcp_listener.h"
#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <thread>

namespace botpilot {
namespace {

TEST(TcpSocketTest, DottedAddressesAreReadWithoutLookUp) {
    const auto loopback = ParseDottedIpv4("127.0.0.1");
    ASSERT_TRUE(loopback.has_value());
    EXPECT_EQ(loopback->networkOrder, htonl(0x7F000001u));
    // The all-ones address is a real address, not a failure marker.
    EXPECT_TRUE(ParseDottedIpv4("255.255.255.255").has_value());
    for (const char* name : {"localhost", "", "1.2.3.4.5", "example"}) {
        EXPECT_FALSE(ParseDottedIpv4(name).has_value()) << name;
    }
}

TEST(TcpSocketTest, LocalhostResolvesToLoopback) {
    const auto resolved = ResolveIpv4("localhost");
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(resolved->networkOrder, htonl(0x7F000001u));
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
