// SPDX-License-Identifier: MIT
#include "remote/PeerCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#ifdef __linux__
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarn::scpi {

namespace {

// Local ends of /proc/net/tcp lines are "0100007F:13C4": each 32-bit word of
// the address as the kernel holds it (network order) printed as a host-order
// number, then the port in hex.
bool ParseEndpoint(std::string_view text, TEndpoint& out)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || (colon != 8 && colon != 32) || text.size() != colon + 5) {
        return false;
    }
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t word = 0; word < colon / 8; ++word) {
        std::uint32_t value = 0;
        const char* first = text.data() + word * 8;
        const auto [end, ec] = std::from_chars(first, first + 8, value, 16);
        if (ec != std::errc() || end != first + 8) {
            return false;
        }
        std::memcpy(bytes.data() + word * 4, &value, 4);
    }
    std::uint16_t port = 0;
    const char* first = text.data() + colon + 1;
    const auto [end, ec] = std::from_chars(first, first + 4, port, 16);
    if (ec != std::errc() || end != first + 4) {
        return false;
    }
    if (colon == 8) {
        out.Address = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, bytes[0], bytes[1], bytes[2], bytes[3]};
    } else {
        out.Address = bytes;
    }
    out.Port = port;
    return true;
}

// The next field separated by spaces; empty at the end.
std::string_view Field(std::string_view& line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEndpoint Ipv4Endpoint(std::uint32_t address, std::uint16_t port)
{
    TEndpoint e;
    e.Address = {0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0xff,
                 0xff,
                 static_cast<std::uint8_t>(address >> 24),
                 static_cast<std::uint8_t>(address >> 16),
                 static_cast<std::uint8_t>(address >> 8),
                 static_cast<std::uint8_t>(address)};
    e.Port = port;
    return e;
}

std::optional<TSocketState> FindSocket(std::string_view table, const TEndpoint& local, const TEndpoint& remote)
{
    while (!table.empty()) {
        const std::size_t eol = std::min(table.find('\n'), table.size());
        std::string_view line = table.substr(0, eol);
        table.remove_prefix(std::min(eol + 1, table.size()));
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid
        std::string_view fields[8];
        for (std::string_view& f : fields) {
            f = Field(line);
        }
        TEndpoint l, r;
        if (!ParseEndpoint(fields[1], l) || !ParseEndpoint(fields[2], r) || l != local || r != remote) {
            continue;
        }
        TSocketState state;
        const std::string_view u = fields[7];
        const auto [end, ec] = std::from_chars(u.data(), u.data() + u.size(), state.Uid);
        const std::string_view q = fields[4];
        if (ec != std::errc() || end != u.data() + u.size() || u.empty() || q.size() != 17 || q[8] != ':') {
            continue;
        }
        const auto [qend, qec] = std::from_chars(q.data() + 9, q.data() + q.size(), state.Unread, 16);
        if (qec == std::errc() && qend == q.data() + q.size()) {
            return state;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> SocketOwner(std::string_view table, const TEndpoint& local, const TEndpoint& remote)
{
    const auto state = FindSocket(table, local, remote);
    return state ? std::optional<std::uint32_t>(state->Uid) : std::nullopt;
}

std::optional<TSocketState> QuerySocket(const TEndpoint& local, const TEndpoint& remote)
{
#ifdef __linux__
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) {
        return std::nullopt;
    }
    struct TFd {
        int fd;
        ~TFd() { close(fd); }
    } owner{fd};
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    inet_diag_req_v2& r = message.request;
    constexpr std::array<std::uint8_t, 12> kMapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    const bool v4 = std::equal(kMapped.begin(), kMapped.end(), local.Address.begin())
                    && std::equal(kMapped.begin(), kMapped.end(), remote.Address.begin());
    r.sdiag_family = v4 ? AF_INET : AF_INET6;
    r.sdiag_protocol = IPPROTO_TCP;
    r.idiag_states = ~0U;
    r.id.idiag_sport = htons(local.Port);
    r.id.idiag_dport = htons(remote.Port);
    std::memcpy(r.id.idiag_src, local.Address.data() + (v4 ? 12 : 0), v4 ? 4 : 16);
    std::memcpy(r.id.idiag_dst, remote.Address.data() + (v4 ? 12 : 0), v4 ? 4 : 16);
    r.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    r.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel)
        != static_cast<ssize_t>(sizeof message)) {
        return std::nullopt;
    }
    alignas(nlmsghdr) char reply[1024];
    const ssize_t n = recv(fd, reply, sizeof reply, 0);
    const auto* h = reinterpret_cast<const nlmsghdr*>(reply);
    if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(inet_diag_msg))) || h->nlmsg_type != SOCK_DIAG_BY_FAMILY
        || h->nlmsg_len > static_cast<std::uint32_t>(n)) {
        return std::nullopt;
    }
    const auto* m = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
    return TSocketState{m->idiag_uid, m->idiag_rqueue};
#else
    (void)local;
    (void)remote;
    return std::nullopt;
#endif
}

std::optional<TSocketState> PeerSocket(const TEndpoint& peer, const TEndpoint& ours)
{
    // One socket from the kernel is quick; the tables list every socket of the system.
    if (const auto state = QuerySocket(peer, ours)) {
        return state;
    }
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        if (const auto state = FindSocket(ReadFile(path), peer, ours)) {
            return state;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> PeerOwner(const TEndpoint& peer, const TEndpoint& ours)
{
    const auto state = PeerSocket(peer, ours);
    return state ? std::optional<std::uint32_t>(state->Uid) : std::nullopt;
}

bool LooksLikeHttpRequest(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    // " HTTP/1.0", " HTTP/1.1" and the like at the end, whatever came first.
    constexpr std::string_view version = " HTTP/";
    const std::size_t at = line.rfind(version);
    if (at == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = line.substr(at + version.size());
    return !rest.empty() && rest.find_first_not_of("0123456789.") == std::string_view::npos;
}

bool StartsLikeHttpRequest(std::string_view head)
{
    for (const std::string_view method :
         {"GET ", "POST ", "PUT ", "HEAD ", "OPTIONS ", "DELETE ", "PATCH ", "CONNECT ", "TRACE ", "PRI "}) {
        if (head.substr(0, method.size()) == method) {
            return true;
        }
    }
    return false;
}

} // namespace tarn::scpi
