// SPDX-License-Identifier: MIT
// Who may talk to the remote control: the owner of the peer's socket, read
// from the kernel's table of TCP sockets, and whether a first line is an
// HTTP request (a web page's, which must never reach a command).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarn::scpi {

// One end of a TCP connection; IPv4 addresses as IPv4-mapped IPv6
// (::ffff:a.b.c.d), the bytes in network order.
struct TEndpoint {
    std::array<std::uint8_t, 16> Address{};
    std::uint16_t Port = 0;
    bool operator==(const TEndpoint&) const = default;
};

// address is in network order (127.0.0.1 is 0x7f000001 read as bytes 7f 00 00 01).
TEndpoint Ipv4Endpoint(std::uint32_t address, std::uint16_t port);

struct TSocketState {
    std::uint32_t Uid = 0;
    // Bytes received and not yet read by its program (rx_queue).
    std::uint32_t Unread = 0;
};
// The line of the socket whose local end is local and remote end is remote
// in the text of /proc/net/tcp or /proc/net/tcp6.
std::optional<TSocketState> FindSocket(std::string_view table, const TEndpoint& local, const TEndpoint& remote);
// The same from the kernel's socket diagnostics for that one socket; empty
// where they are not there (or refuse).
std::optional<TSocketState> QuerySocket(const TEndpoint& local, const TEndpoint& remote);
// The peer's end of our connection: asked of the kernel, else looked up in
// both tables.
std::optional<TSocketState> PeerSocket(const TEndpoint& peer, const TEndpoint& ours);

// The uid owning the socket whose local end is local and remote end is
// remote, in the text of /proc/net/tcp or /proc/net/tcp6; empty when no
// well-formed line matches.
std::optional<std::uint32_t> SocketOwner(std::string_view table, const TEndpoint& local, const TEndpoint& remote);

// The uid owning the peer's end of our connection ours <- peer, looked up in
// /proc/net/tcp and /proc/net/tcp6; empty when it cannot be found.
std::optional<std::uint32_t> PeerOwner(const TEndpoint& peer, const TEndpoint& ours);

// "GET / HTTP/1.1", "POST /x HTTP/1.0\r", or any line ending in " HTTP/1.x".
bool LooksLikeHttpRequest(std::string_view line);
// The start of a line too long to see whole: "GET ", "POST " and the other methods.
bool StartsLikeHttpRequest(std::string_view head);

} // namespace tarn::scpi
