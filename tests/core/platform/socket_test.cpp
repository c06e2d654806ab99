#include "core/platform/socket.h"

#include "loopback_socket.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace {

using namespace std::chrono_literals;
using sw::platform::TcpSocket;

constexpr std::uint32_t kLoopback = 0x7F000001;

// Connects and waits for the result: the reason of a failure, empty on success.
std::string connectTo(TcpSocket& socket, std::uint16_t port) {
    bool pending = false;
    std::string reason = socket.connect(kLoopback, port, pending);
    if (reason.empty() && pending) {
        if (!socket.wait(TcpSocket::Wait::Writable, 10s, reason)) {
            return reason.empty() ? "no result within the limit" : reason;
        }
        reason = socket.connectResult();
    }
    return reason;
}

// A refused connection ends the wait at once with the system's words for it, not at the limit and not
// as a bare number.
TEST(TcpSocket, ReportsARefusedConnectionInWords) {
    TcpSocket socket;
    const auto start = std::chrono::steady_clock::now();
    const std::string reason = connectTo(socket, sw::test::unusedLoopbackPort());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(socket.failedToOpen());
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(reason, "no result within the limit");
    EXPECT_EQ(reason.find("system error"), std::string::npos) << reason;
}

// Bytes both ways, a wait that ends at its limit without a reason while the peer is silent, and the
// peer's close seen as a receive of nothing that is neither a failure nor a retry.
TEST(TcpSocket, ExchangesBytesAndSeesThePeerClose) {
    std::uint16_t port = 0;
    const sw::test::Socket listener = sw::test::listenOnLoopback(port, "the test listener");
    TcpSocket client;
    ASSERT_EQ(connectTo(client, port), "");
    ASSERT_TRUE(sw::test::waitReadable(listener, 5s));
    sw::test::Socket server = sw::test::acceptClient(listener);
    ASSERT_TRUE(server.valid());

    std::string reason;
    EXPECT_FALSE(client.wait(TcpSocket::Wait::Readable, 50ms, reason));
    EXPECT_EQ(reason, "");
    std::array<std::uint8_t, 16> buffer{};
    const TcpSocket::Transfer early = client.receive(buffer.data(), buffer.size());
    EXPECT_TRUE(early.retry);
    EXPECT_EQ(early.reason, "");

    const std::array<std::uint8_t, 3> request{3, 0, 7};
    const TcpSocket::Transfer sent = client.send(request.data(), request.size());
    EXPECT_EQ(sent.count, request.size());
    EXPECT_EQ(sent.reason, "");
    ASSERT_TRUE(sw::test::waitReadable(server, 5s));
    EXPECT_EQ(sw::test::receiveSome(server, buffer.data(), buffer.size()), request.size());
    EXPECT_EQ(buffer[2], 7);

    ASSERT_EQ(sw::test::sendSome(server, "ok", 2), 2u);
    ASSERT_TRUE(client.wait(TcpSocket::Wait::Readable, 5s, reason));
    const TcpSocket::Transfer answer = client.receive(buffer.data(), buffer.size());
    EXPECT_EQ(answer.count, 2u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 2), "ok");

    server.reset();
    ASSERT_TRUE(client.wait(TcpSocket::Wait::Readable, 5s, reason));
    const TcpSocket::Transfer closed = client.receive(buffer.data(), buffer.size());
    EXPECT_EQ(closed.count, 0u);
    EXPECT_FALSE(closed.retry);
    EXPECT_EQ(closed.reason, "");
}

} // namespace
