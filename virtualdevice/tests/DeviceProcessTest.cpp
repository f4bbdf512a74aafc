// SPDX-License-Identifier: MIT
// The built tarn-virtual-device as a process of its own: it survives clients
// that vanish mid-transfer or send garbage and serves the next one, refuses a
// second instance on its socket, and ends with the process it follows or on
// SIGTERM, taking its socket file with it.
#include "data/WindowPlace.h"
#include "data/XMLSettings.h"
#include "sim/SocketTransport.h"
#include "usb/UsbLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vdev::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A child process, killed and reaped when the object goes.
class Child {
public:
    explicit Child(std::vector<std::string> args, const std::string& socket = {})
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            if (!socket.empty()) {
                ::setenv(vg::kSocketEnvironment, socket.c_str(), 1);
                // The window's place goes beside the socket, not into the user's folder.
                ::setenv("XDG_DATA_HOME", fs::path(socket).parent_path().c_str(), 1);
            }
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Child()
    {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    // The first line it writes, within the time given.
    std::string Line(int timeoutMs = 15000)
    {
        std::string line;
        pollfd p{out_, POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, timeoutMs) > 0 && ::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    bool Running()
    {
        int status = 0;
        if (exited_ || ::waitpid(pid_, &status, WNOHANG) == 0)
            return !exited_;
        exited_ = true;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    // The exit code once it has ended within the time given, else -1.
    int WaitExit(std::chrono::milliseconds within = 5000ms)
    {
        for (auto waited = 0ms; waited < within && Running(); waited += 20ms)
            std::this_thread::sleep_for(20ms);
        return Running() ? -1 : code_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    int code_ = -1;
};

class DeviceProcess : public ::testing::Test {
protected:
    DeviceProcess()
    {
        std::random_device random;
        folder =
            fs::temp_directory_path() / ("tarn-device-" + std::to_string(getpid()) + "-" + std::to_string(random()));
        fs::create_directories(folder);
        socket = (folder / "device.socket").string();
    }
    ~DeviceProcess() override { fs::remove_all(folder); }

    fs::path folder;
    std::string socket;
};

TEST_F(DeviceProcess, ServesTheNextClientAfterGarbageAndVanishedClientsAndEndsOnTerm)
{
    Child device({TARN_VIRTUAL_DEVICE_PROGRAM, "--ready"}, socket);
    ASSERT_EQ(device.Line(), "ready");
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(2000);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    for (int round = 0; round < 3; ++round) {
        {
            vg::UniqueFd raw = vg::ConnectTo(socket);
            ASSERT_TRUE(raw);
            if (round == 0) {
                vg::SendAll(raw.Get(), noise.data(), noise.size());
            } else {
                // Opened, then gone in the middle of a 10,000-byte bulk write.
                ASSERT_TRUE(vg::SendFrame(raw.Get(), vg::kFrameOpen, vg::kMagic, sizeof vg::kMagic));
                ASSERT_TRUE(vg::ReceiveFrame(raw.Get()).has_value());
                const std::uint8_t header[] = {7, 0x10, 0x27, 0, 0, 1, 2, 3};
                vg::SendAll(raw.Get(), header, sizeof header);
            }
        }
        ASSERT_TRUE(device.Running());
        vg::SocketTransport transport(socket);
        vireo::UsbLink link(transport);
        ASSERT_EQ(link.InitDevice(), 0) << round;
        link.SingleWrite(7, 0x1230 + round);
        EXPECT_EQ(link.SingleRead(7), 0x1230 + round);
        EXPECT_EQ(link.ReadFromEEPROM(257), 1647 >> 8); // the default calibration page
    }
    // One device program per socket.
    Child second({TARN_VIRTUAL_DEVICE_PROGRAM}, socket);
    EXPECT_EQ(second.WaitExit(), 1);
    EXPECT_TRUE(device.Running());

    ::kill(device.Pid(), SIGTERM);
    EXPECT_EQ(device.WaitExit(), 0);
    EXPECT_FALSE(fs::exists(socket));
    // Where the window was, for the next start.
    TXMLSettings place;
    ASSERT_TRUE(place.LoadFromFile(folder / "tarn-virtual" / "virtual-device.xml"));
    const std::optional<TWindowPlace> kept = ReadWindowPlace(place, "/window");
    ASSERT_TRUE(kept.has_value());
    EXPECT_GT(kept->Width, 0);
}

TEST_F(DeviceProcess, EndsWithTheProcessItFollows)
{
    Child followed({"/bin/sleep", "30"});
    Child device({TARN_VIRTUAL_DEVICE_PROGRAM, "--follow", std::to_string(followed.Pid()), "--ready"}, socket);
    ASSERT_EQ(device.Line(), "ready");
    EXPECT_TRUE(device.Running());
    ::kill(followed.Pid(), SIGKILL);
    EXPECT_EQ(followed.WaitExit(), 128 + SIGKILL);
    EXPECT_EQ(device.WaitExit(), 0);
    EXPECT_FALSE(fs::exists(socket));
}

} // namespace
} // namespace vdev::test
