// SPDX-License-Identifier: MIT
// The device program's side of the socket: serves the five requests of one
// client at a time to a VirtualGenerator, on a thread of its own. A client
// that sends what is not a frame of the protocol, or goes away in the middle
// of one, is dropped; the server then waits for the next.
#pragma once
#include "sim/DeviceSocket.h"
#include "sim/VirtualGenerator.h"

#include <atomic>
#include <string>
#include <thread>

namespace vg {

class DeviceServer {
public:
    DeviceServer(VirtualGenerator& generator, std::string path);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Binds and starts serving; an error text, empty on success. Refuses a
    // path where another device program listens; a stale socket is replaced.
    std::string Start();
    const std::string& Path() const { return path_; }

    bool ClientConnected() const { return connected_; }
    // Clients served to their end (orderly or not), and those dropped for a
    // protocol violation, a timeout or a vanished peer.
    int ClientsServed() const { return served_; }
    int ClientsDropped() const { return dropped_; }

private:
    void Run();
    // Serves one client until it ends; false when it was dropped.
    bool Serve(int client);
    // One reply; false when the client must be dropped.
    bool Answer(int client, const Frame& request, std::uint64_t& session);

    VirtualGenerator& generator_;
    std::string path_;
    UniqueFd lock_; // held while this program serves the path
    UniqueFd listener_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::thread thread_;
    std::atomic<bool> connected_{false};
    std::atomic<int> served_{0};
    std::atomic<int> dropped_{0};
    bool bound_ = false;
};

} // namespace vg
