// SPDX-License-Identifier: MIT
// The owner of a peer's socket as the kernel's table names it, and what
// counts as an HTTP request line.
#include "remote/PeerCheck.h"

#include <gtest/gtest.h>

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
