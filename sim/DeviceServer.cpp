// SPDX-License-Identifier: MIT
#include "sim/DeviceServer.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vg {

DeviceServer::DeviceServer(VirtualGenerator& generator, std::string path)
    : generator_(generator), path_(std::move(path))
{
}

DeviceServer::~DeviceServer()
{
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_.Get(), &stop, 1);
        thread_.join();
    }
    if (bound_)
        ::unlink(path_.c_str());
}

std::string DeviceServer::Start()
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.empty() || path_.size() >= sizeof address.sun_path)
        return "The socket path is empty or too long: " + path_;
    if (std::string error = CheckSocketFolder(path_, true); !error.empty())
        return error;
    // Two programs starting together would each take the other's socket for
    // stale and unlink it; the lock makes the check and the bind one step.
    const std::string lockPath = path_ + ".lock";
    lock_.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    struct stat lockStat {};
    if (!lock_ || ::fstat(lock_.Get(), &lockStat) != 0 || lockStat.st_uid != ::getuid())
        return lockPath + ": cannot be used as this user's lock file";
    if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0 || ConnectTo(path_))
        return "Another virtual generator program is already listening at " + path_;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(path_.c_str()); // left by a program that did not end cleanly
    listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener_ || ::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return path_ + ": " + std::strerror(errno);
    bound_ = true;
    if (::chmod(path_.c_str(), 0600) != 0 || ::listen(listener_.Get(), 4) != 0)
        return path_ + ": " + std::strerror(errno);
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return std::strerror(errno);
    wakeRead_.Reset(pipe[0]);
    wakeWrite_.Reset(pipe[1]);
    thread_ = std::thread([this] { Run(); });
    return {};
}

void DeviceServer::Run()
{
    for (;;) {
        pollfd p[2] = {{wakeRead_.Get(), POLLIN, 0}, {listener_.Get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[0].revents != 0)
            return;
        if ((p[1].revents & POLLIN) == 0)
            continue;
        UniqueFd client(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client)
            continue;
        connected_ = true;
        const bool orderly = Serve(client.Get());
        connected_ = false;
        ++served_;
        if (!orderly)
            ++dropped_;
    }
}

bool DeviceServer::Serve(int client)
{
    std::uint64_t session = 0;
    for (;;) {
        pollfd p[3] = {{wakeRead_.Get(), POLLIN, 0}, {client, POLLIN, 0}, {listener_.Get(), POLLIN, 0}};
        if (::poll(p, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (p[0].revents != 0)
            return true;
        // The client first: one that has just hung up makes room for the next.
        if (p[1].revents == 0) {
            if ((p[2].revents & POLLIN) != 0) {
                // One client at a time: a second one is hung up on at once.
                UniqueFd other(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            }
            continue;
        }
        char probe;
        if (::recv(client, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
            return true; // the client closed between requests
        const auto request = ReceiveFrame(client);
        if (!request || !Answer(client, *request, session))
            return false;
    }
}

bool DeviceServer::Answer(int client, const Frame& request, std::uint64_t& session)
{
    const auto& in = request.payload;
    // An empty payload still passes a valid address on.
    static const std::uint8_t none = 0;
    const std::uint8_t* data = in.empty() ? &none : in.data();
    std::vector<std::uint8_t> out;
    switch (request.type) {
    case kFrameOpen: {
        if (in.size() != sizeof kMagic || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0)
            return false;
        session = generator_.Attach();
        const std::int32_t result = session != 0 ? 0 : 516; // no device while unplugged
        out.resize(4);
        std::memcpy(out.data(), &result, 4);
        break;
    }
    case 6:
        out.push_back(generator_.SendCommands(session, data, in.size()) ? 1 : 0);
        break;
    case 7:
        out.push_back(generator_.BulkWrite(session, data, in.size()) ? 1 : 0);
        break;
    case 9: {
        std::uint32_t size = 0;
        if (in.size() != 4)
            return false;
        std::memcpy(&size, in.data(), 4);
        if (size >= kMaxPayload)
            return false;
        out.resize(1 + std::size_t{size});
        out[0] = generator_.BulkRead(session, out.data() + 1, size) ? 1 : 0;
        if (out[0] == 0)
            out.resize(1);
        break;
    }
    case 10:
        out.push_back(generator_.Ready(session) ? 1 : 0);
        break;
    case 11: {
        std::uint32_t size = 0;
        out.push_back(generator_.QueryPacketSize(session, size) ? 1 : 0);
        if (out[0] == 1) {
            out.resize(5);
            std::memcpy(out.data() + 1, &size, 4);
        }
        break;
    }
    default:
        return false;
    }
    return SendFrame(client, request.type, out.data(), out.size());
}

} // namespace vg
