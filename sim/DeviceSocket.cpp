// SPDX-License-Identifier: MIT
#include "sim/DeviceSocket.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vg {
namespace {

bool OwnPrivateFolder(const std::string& folder)
{
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
           && (st.st_mode & 077) == 0;
}

// Waits until fd is ready for `events`; false on timeout or error.
bool WaitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeoutMs);
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

std::string DeviceSocketPath()
{
    if (const char* chosen = std::getenv(kSocketEnvironment); chosen != nullptr && *chosen != '\0')
        return chosen;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
            return std::string(runtime) + "/tarn-virtual-device.socket";
    }
    return "/tmp/tarn-virtual-device-" + std::to_string(::getuid()) + "/device.socket";
}

std::string CheckSocketFolder(const std::string& path, bool create)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    // Only the folder of the fallback is ours to make and to insist on.
    if (path != "/tmp/tarn-virtual-device-" + std::to_string(::getuid()) + "/device.socket")
        return {};
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return folder + ": " + std::strerror(errno);
    if (!OwnPrivateFolder(folder))
        return folder + " is not a private folder of this user";
    return {};
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int UniqueFd::Release() noexcept
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

UniqueFd ConnectTo(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path || !CheckSocketFolder(path, false).empty())
        return {};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Without a time limit, connecting to a stopped program whose queue of
    // waiting connections is full would block the caller for good.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd)
        return {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        if (errno == EINPROGRESS) {
            int error = 0;
            socklen_t size = sizeof error;
            if (!WaitFor(fd.Get(), POLLOUT, kConnectTimeoutMs)
                || ::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
                return {};
            break;
        }
        // A full queue answers EAGAIN at once: try again until the deadline.
        if ((errno != EAGAIN && errno != EINTR) || std::chrono::steady_clock::now() >= deadline)
            return {};
        ::usleep(20000);
    }
    if (const int flags = ::fcntl(fd.Get(), F_GETFL); flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return {};
    // Only a program of this user may stand in for the device.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid())
        return {};
    return fd;
}

namespace {

// Moves size bytes with io(offset), waiting for `events` between partial moves.
template <typename Io> bool Transfer(int fd, short events, std::size_t size, int timeoutMs, Io io)
{
    std::size_t done = 0;
    while (done < size) {
        if (!WaitFor(fd, events, timeoutMs))
            return false;
        const ssize_t n = io(done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool SendAll(int fd, const void* data, std::size_t size, int timeoutMs)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    // No SIGPIPE when the other side has gone.
    return Transfer(fd, POLLOUT, size, timeoutMs,
                    [&](std::size_t at) { return ::send(fd, p + at, size - at, MSG_NOSIGNAL | MSG_DONTWAIT); });
}

bool ReceiveAll(int fd, void* data, std::size_t size, int timeoutMs)
{
    auto* p = static_cast<std::uint8_t*>(data);
    return Transfer(fd, POLLIN, size, timeoutMs,
                    [&](std::size_t at) { return ::recv(fd, p + at, size - at, MSG_DONTWAIT); });
}

bool SendFrame(int fd, std::uint8_t type, const void* payload, std::size_t size)
{
    if (size > kMaxPayload)
        return false;
    std::uint8_t header[kFrameHeader] = {type};
    for (int i = 0; i < 4; ++i)
        header[1 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return SendAll(fd, header, sizeof header) && (size == 0 || SendAll(fd, payload, size));
}

std::optional<Frame> ReceiveFrame(int fd, int timeoutMs)
{
    std::uint8_t header[kFrameHeader];
    if (!ReceiveAll(fd, header, sizeof header, timeoutMs))
        return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= std::uint32_t{header[1 + i]} << (8 * i);
    if (size > kMaxPayload)
        return std::nullopt;
    Frame frame{header[0], std::vector<std::uint8_t>(size)};
    if (size > 0 && !ReceiveAll(fd, frame.payload.data(), size))
        return std::nullopt;
    return frame;
}

} // namespace vg
