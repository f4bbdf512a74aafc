// SPDX-License-Identifier: MIT
// The owner of a peer's socket as the kernel's table names it, and what
// counts as an HTTP request line.
#include "remote/PeerCheck.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace tarn::scpi {
namespace {

constexpr std::uint32_t kLoopback = 0x7f000001;

// A listening socket, the client's end (uid 1000), our accepted end (uid 0),
// a stranger's connection (uid 65534) to the same port, and an IPv6
// client mapped to 127.0.0.1 in the tcp6 layout.
const std::string kTable =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 0100007F:13A1 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 1 1 0 100 0\n"
    "   1: 0100007F:D2A6 0100007F:13A1 01 00000000:00000000 00:00000000 00000000  1000        0 2 1 0 20 4\n"
    "   2: 0100007F:13A1 0100007F:D2A6 01 00000000:00000000 00:00000000 00000000     0        0 3 1 0 20 4\n"
    "   3: 0100007F:9C40 0100007F:13A1 01 00000000:00000000 00:00000000 00000000 65534        0 4 1 0 20 4\n"
    "   4: 0100007F:9C41 0100007F:13A1 01 00000000:00000000 00:00000000 00000000 notanumber   0 5\n"
    "   5: 0100007G:9C42 0100007F:13A1 01 00000000:00000000 00:00000000 00000000   77        0 6\n"
    "   6: 0000000000000000FFFF00000100007F:A000 0000000000000000FFFF00000100007F:13A1 01 "
    "00000000:00000000 00:00000000 00000000  1001        0 7 1 0 20 4\n"
    "   7: 0100007F:9C43\n";

// What the client has received and not read: an answer it never read.
TEST(PeerCheck, ReadsWhatThePeerHasNotReadYet)
{
    const std::string table =
        kTable
        + "   8: 0100007F:9C44 0100007F:13A1 01 00000000:0000001A 00:00000000 00000000  1000 0 9\n"
          "   9: 0100007F:9C45 0100007F:13A1 01 00000000:0000001 00:00000000 00000000  1000 0 9\n";
    const TEndpoint server = Ipv4Endpoint(kLoopback, 5025);
    const auto unread = FindSocket(table, Ipv4Endpoint(kLoopback, 0x9C44), server);
    ASSERT_TRUE(unread.has_value());
    EXPECT_EQ(unread->Unread, 26u);
    EXPECT_EQ(unread->Uid, 1000u);
    EXPECT_EQ(FindSocket(table, Ipv4Endpoint(kLoopback, 0xD2A6), server)->Unread, 0u);
    EXPECT_FALSE(FindSocket(table, Ipv4Endpoint(kLoopback, 0x9C45), server).has_value()); // a short field
}

// A real connection: the client's end is ours and holds what it has not read.
TEST(PeerCheck, TheKernelTellsTheOwnerAndTheUnreadBytesOfOneSocket)
{
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(server, 1), 0);
    ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr*>(&at), &length), 0);
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    const int accepted = accept(server, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    sockaddr_in mine{};
    length = sizeof mine;
    getsockname(client, reinterpret_cast<sockaddr*>(&mine), &length);
    const TEndpoint clientEnd = Ipv4Endpoint(kLoopback, ntohs(mine.sin_port));
    const TEndpoint serverEnd = Ipv4Endpoint(kLoopback, ntohs(at.sin_port));
    ASSERT_EQ(write(accepted, "15000\n", 6), 6);
    usleep(20000);
    for (const auto& state : {QuerySocket(clientEnd, serverEnd), PeerSocket(clientEnd, serverEnd)}) {
        ASSERT_TRUE(state.has_value());
        EXPECT_EQ(state->Uid, getuid());
        EXPECT_EQ(state->Unread, 6u);
    }
    char answer[6];
    ASSERT_EQ(read(client, answer, sizeof answer), 6);
    EXPECT_EQ(QuerySocket(clientEnd, serverEnd)->Unread, 0u);
    EXPECT_FALSE(QuerySocket(Ipv4Endpoint(kLoopback, 1), serverEnd).has_value()); // no such socket
    close(accepted);
    close(client);
    close(server);
}

TEST(PeerCheck, FindsTheOwnerOfThePeersEndAndNothingElse)
{
    const TEndpoint server = Ipv4Endpoint(kLoopback, 5025);
    struct TCase {
        TEndpoint local, remote;
        std::optional<std::uint32_t> uid;
    };
    const TCase cases[] = {
        {Ipv4Endpoint(kLoopback, 0xD2A6), server, 1000u},
        {server, Ipv4Endpoint(kLoopback, 0xD2A6), 0u}, // our own end
        {Ipv4Endpoint(kLoopback, 0x9C40), server, 65534u},
        {Ipv4Endpoint(kLoopback, 0xD2A6), Ipv4Endpoint(kLoopback, 5026), std::nullopt},
        {Ipv4Endpoint(0x7f000002, 0xD2A6), server, std::nullopt}, // another address
        {Ipv4Endpoint(kLoopback, 0x9C41), server, std::nullopt},  // damaged uid
        {Ipv4Endpoint(kLoopback, 0x9C42), server, std::nullopt},  // damaged address
        {Ipv4Endpoint(kLoopback, 0x9C43), server, std::nullopt},  // cut short
        {Ipv4Endpoint(kLoopback, 0xA000), server, 1001u},         // tcp6, IPv4-mapped
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SocketOwner(kTable, c.local, c.remote), c.uid) << c.local.Port;
    }
    EXPECT_EQ(SocketOwner("", Ipv4Endpoint(kLoopback, 1), server), std::nullopt);
}

TEST(PeerCheck, HttpRequestLinesAreKnownByTheirVersionAtTheEnd)
{
    const std::pair<const char*, bool> cases[] = {
        {"GET / HTTP/1.1\r", true},
        {"POST /x?a=b HTTP/1.0", true},
        {"OPTIONS * HTTP/1.1 \r", true},
        {"PRI * HTTP/2.0", true},
        {"FREQ 1000 HTTP/1.1", true},
        {"FREQ 1000", false},
        {"*IDN?", false},
        {"WAV:SEL \"a HTTP/1.1\"", false},
        {"GET / HTTP/", false},
        {"HTTP/1.1", false},
        {"", false},
    };
    for (const auto& [line, http] : cases) {
        EXPECT_EQ(LooksLikeHttpRequest(line), http) << line;
    }
    // The start of a line too long to keep.
    EXPECT_TRUE(StartsLikeHttpRequest("GET /aaaa"));
    EXPECT_TRUE(StartsLikeHttpRequest("OPTIONS *"));
    EXPECT_FALSE(StartsLikeHttpRequest("GETX /"));
    EXPECT_FALSE(StartsLikeHttpRequest("FREQ 1111"));
}

} // namespace
} // namespace tarn::scpi
