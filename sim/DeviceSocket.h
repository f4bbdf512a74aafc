// SPDX-License-Identifier: MIT
// The local socket between the virtual libvireo.so and the device program:
// where it lies, and its framing. Every frame is a type byte, a 32-bit
// little-endian payload length and the payload; each request gets one reply
// of the same type.
//   'O' open:        payload kMagic           reply: 32-bit result (an InitResult)
//   6 commands:      the packets              reply: 1 byte, 1 ok / 0 failed
//   7 bulk write:    the data                 reply: 1 byte
//   9 bulk read:     32-bit byte count        reply: 1 byte, then the bytes when ok
//   10 ready:        empty                    reply: 1 byte
//   11 packet size:  empty                    reply: 1 byte, then the 32-bit size when ok
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vg {

inline constexpr const char* kSocketEnvironment = "TARN_VIRTUAL_DEVICE_SOCKET";
inline constexpr std::uint8_t kFrameOpen = 'O';
inline constexpr std::size_t kFrameHeader = 5;
inline constexpr std::uint32_t kMaxPayload = 16u << 20;
inline constexpr char kMagic[8] = {'T', 'A', 'R', 'N', 'V', 'G', '1', '\n'};
// How long either side waits for the rest of a frame or for a reply.
inline constexpr int kFrameTimeoutMs = 5000;
// Longest wait for a connection to be taken into the device program's queue.
inline constexpr int kConnectTimeoutMs = 1000;

// $TARN_VIRTUAL_DEVICE_SOCKET when set; else a socket in $XDG_RUNTIME_DIR when
// that is a folder of ours; else one in /tmp/tarn-virtual-device-<uid>/.
std::string DeviceSocketPath();
// The folder a private path lies in, checked (ours, closed to others) and,
// with create, made with mode 0700. An error text, empty when usable.
std::string CheckSocketFolder(const std::string& path, bool create);

// An owned file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() noexcept;
    void Reset(int fd = -1) noexcept;

private:
    int fd_ = -1;
};

// Connects to a listening socket; empty when nobody listens there or the
// listener takes no connection within kConnectTimeoutMs.
UniqueFd ConnectTo(const std::string& path);

// Blocking transfers that give up after timeoutMs without progress.
bool SendAll(int fd, const void* data, std::size_t size, int timeoutMs = kFrameTimeoutMs);
bool ReceiveAll(int fd, void* data, std::size_t size, int timeoutMs = kFrameTimeoutMs);

bool SendFrame(int fd, std::uint8_t type, const void* payload, std::size_t size);
struct Frame {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
};
// A whole frame; empty on end of stream, timeout or a length over kMaxPayload.
std::optional<Frame> ReceiveFrame(int fd, int timeoutMs = kFrameTimeoutMs);

} // namespace vg
