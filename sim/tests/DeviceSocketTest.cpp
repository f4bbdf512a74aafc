// SPDX-License-Identifier: MIT
// The socket between the virtual libvireo.so and the device program: the
// packet code over it, one client at a time, clients that vanish or send
// garbage, and the choice between the device program and the in-process generator.
#include "sim/DeviceServer.h"
#include "sim/SocketTransport.h"
#include "usb/UsbLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vg {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path FreshFolder()
{
    std::random_device random;
    const fs::path folder =
        fs::temp_directory_path() / ("tarn-socket-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directories(folder);
    return folder;
}

class DeviceSocketTest : public ::testing::Test {
protected:
    ~DeviceSocketTest() override { fs::remove_all(folder); }

    // Waits until the server has seen the client it is serving end.
    void WaitServed(const DeviceServer& s, int count)
    {
        for (int i = 0; i < 200 && s.ClientsServed() < count; ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(s.ClientsServed(), count);
    }
    // A client that opens, writes a register and reads an EEPROM byte back.
    void ExpectWorkingClient(std::int32_t value)
    {
        SocketTransport transport(path);
        vireo::UsbLink link(transport);
        ASSERT_EQ(link.InitDevice(), 0);
        link.SingleWrite(7, value);
        EXPECT_EQ(generator.Register(7), value);
        EXPECT_EQ(link.ReadFromEEPROM(257), generator.EepromByte(257));
    }
    UniqueFd RawClient()
    {
        UniqueFd fd = ConnectTo(path);
        EXPECT_TRUE(fd);
        return fd;
    }

    fs::path folder = FreshFolder();
    std::string path = (folder / "device.socket").string();
    VirtualGenerator generator;
    DeviceServer server{generator, path};
};

TEST_F(DeviceSocketTest, ThePacketCodeReachesTheServedGeneratorWhole)
{
    ASSERT_EQ(server.Start(), "");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    SocketTransport transport(path);
    vireo::UsbLink link(transport);
    ASSERT_EQ(link.InitDevice(), 0);
    EXPECT_TRUE(server.ClientConnected());
    link.SingleWriteWithoutFlush(3, 0x1234);
    link.SingleWrite(7, -8192);
    EXPECT_EQ(generator.Register(3), 0x1234);
    EXPECT_EQ(generator.Register(7), 0xE000);
    std::vector<std::uint16_t> words(5000);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(i * 7);
    link.SingleWriteWithoutFlush(13, 16384 - 5000);
    EXPECT_EQ(link.FIFOWrite(11, words.data(), 10000), 1);
    EXPECT_EQ(generator.SampleWord(16384 - 5000 + 4321), 4321 * 7);
    std::vector<std::uint16_t> back(4800); // whole packets of 64 bytes
    link.SingleWrite(13, 16384 - 5000);
    EXPECT_EQ(link.FIFORead(11, back.data(), 9600), 1);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), words.begin()));
    EXPECT_EQ(link.ReadFromEEPROM(256 + 2), generator.EepromByte(256 + 2));
    EXPECT_EQ(link.GetPacketSize(), 64);
    EXPECT_EQ(link.DeviceReady(), 1);
    EXPECT_EQ(generator.ProtocolErrorCount(), 0);

    // Unplugged, every request fails and opening finds no device; plugged in, it opens again.
    generator.SetPlugged(false);
    EXPECT_EQ(link.DeviceReady(), 0);
    EXPECT_EQ(link.InitDevice(), vireo::kInitNoDevice);
    generator.SetPlugged(true);
    EXPECT_EQ(link.InitDevice(), 0);
    EXPECT_EQ(link.GetPowerState(), 1);
}

TEST_F(DeviceSocketTest, OneClientAtATimeAndOnlyOneServerPerPath)
{
    ASSERT_EQ(server.Start(), "");
    SocketTransport first(path);
    ASSERT_EQ(first.Open(), 0);
    SocketTransport second(path);
    EXPECT_EQ(second.Open(), vireo::kInitNoHandle);
    EXPECT_TRUE(second.Listening());
    EXPECT_TRUE(first.Ready());
    first.Close();
    WaitServed(server, 1);
    EXPECT_EQ(second.Open(), 0);

    VirtualGenerator other;
    DeviceServer rival(other, path);
    EXPECT_NE(rival.Start(), "");
    EXPECT_TRUE(second.Ready()); // the rival did not take the socket away
}

TEST_F(DeviceSocketTest, ProgramsStartingTogetherLeaveExactlyOneListeningAtThePath)
{
    for (int round = 0; round < 40; ++round) {
        VirtualGenerator one;
        VirtualGenerator two;
        DeviceServer first(one, path);
        DeviceServer second(two, path);
        std::atomic<bool> go{false};
        std::string results[2];
        std::thread a([&] {
            while (!go) {
            }
            results[0] = first.Start();
        });
        std::thread b([&] {
            while (!go) {
            }
            results[1] = second.Start();
        });
        go = true;
        a.join();
        b.join();
        ASSERT_EQ(results[0].empty() + results[1].empty(), 1) << "round " << round;
        // The path still leads to the one that runs.
        SocketTransport client(path);
        vireo::UsbLink link(client);
        ASSERT_EQ(link.InitDevice(), 0) << "round " << round;
        link.SingleWrite(7, 5);
        EXPECT_EQ((results[0].empty() ? one : two).Register(7), 5) << "round " << round;
    }
}

TEST_F(DeviceSocketTest, ConnectingToAStoppedProgramGivesUpInsteadOfBlocking)
{
    // A program stopped with SIGSTOP: its socket listens, nobody accepts, and
    // the queue of waiting connections fills up.
    UniqueFd stopped(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(stopped.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(stopped.Get(), 1), 0);
    std::vector<UniqueFd> waiting;
    for (int i = 0; i < 64; ++i) {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            break;
        waiting.push_back(std::move(fd));
    }
    ASSERT_LT(waiting.size(), 64u) << "the queue never filled";
    // In a child, so that a connect that blocks cannot hang the test.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(ConnectTo(path) ? 1 : 0);
    int status = -1;
    const auto start = std::chrono::steady_clock::now();
    while (::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - start < 6s)
        std::this_thread::sleep_for(20ms);
    if (::waitpid(child, &status, WNOHANG) == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "connect blocked for 6 s";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no connection to a program that cannot serve";
}

TEST_F(DeviceSocketTest, AStaleSocketFileIsReplaced)
{
    // What a program that crashed leaves behind: a socket file nobody listens at.
    UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(stale.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(server.Start(), "");
    ExpectWorkingClient(77);
}

TEST_F(DeviceSocketTest, ClientsThatVanishMidTransferOrSendGarbageAreDroppedAndTheNextIsServed)
{
    ASSERT_EQ(server.Start(), "");
    std::mt19937 random(19);
    std::vector<std::uint8_t> noise(4096);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    const std::uint8_t hugeLength[] = {7, 0xFF, 0xFF, 0xFF, 0x7F};
    const std::uint8_t badMagic[] = {'O', 8, 0, 0, 0, 'N', 'O', 'T', 'T', 'A', 'R', 'N', '!'};
    const std::uint8_t unknownType[] = {0x42, 0, 0, 0, 0};
    const std::uint8_t shortRead[] = {9, 2, 0, 0, 0, 1, 2};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool opened; // opened properly first
    };
    const std::vector<Case> cases = {
        {"noise", noise, false},
        {"huge length", {std::begin(hugeLength), std::end(hugeLength)}, true},
        {"wrong magic", {std::begin(badMagic), std::end(badMagic)}, false},
        {"unknown request", {std::begin(unknownType), std::end(unknownType)}, true},
        {"bulk read count of two bytes", {std::begin(shortRead), std::end(shortRead)}, true},
        // 10,000 bytes announced, 300 sent, then gone.
        {"gone mid-transfer",
         [] {
             std::vector<std::uint8_t> b = {7, 0x10, 0x27, 0, 0};
             b.resize(305, 0xAB);
             return b;
         }(),
         true},
    };
    int served = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            UniqueFd raw = RawClient();
            if (c.opened) {
                ASSERT_TRUE(SendFrame(raw.Get(), kFrameOpen, kMagic, sizeof kMagic));
                ASSERT_TRUE(ReceiveFrame(raw.Get()).has_value());
            }
            SendAll(raw.Get(), c.bytes.data(), c.bytes.size());
        }
        WaitServed(server, ++served);
        ExpectWorkingClient(100 + served);
        WaitServed(server, ++served);
    }
    EXPECT_EQ(server.ClientsDropped(), static_cast<int>(cases.size()));
}

TEST_F(DeviceSocketTest, TheVirtualLibraryUsesTheDeviceProgramOnlyWhileOneListens)
{
    VirtualGenerator local;
    SwitchingTransport transport(local, [this] { return path; });
    vireo::UsbLink link(transport);
    ASSERT_EQ(link.InitDevice(), 0);
    EXPECT_FALSE(transport.UsingDeviceProgram());
    link.SingleWrite(7, 11);
    EXPECT_EQ(local.Register(7), 11);

    VirtualGenerator remote;
    auto program = std::make_unique<DeviceServer>(remote, path);
    ASSERT_EQ(program->Start(), "");
    // An open session stays where it was until the next opening.
    link.SingleWrite(7, 12);
    EXPECT_EQ(local.Register(7), 12);
    ASSERT_EQ(link.InitDevice(), 0);
    EXPECT_TRUE(transport.UsingDeviceProgram());
    link.SingleWrite(7, 13);
    EXPECT_EQ(remote.Register(7), 13);
    EXPECT_EQ(local.Register(7), 12);
    // The device program unplugged is a missing device, not a reason to switch.
    remote.SetPlugged(false);
    EXPECT_EQ(link.InitDevice(), vireo::kInitNoDevice);
    EXPECT_TRUE(transport.UsingDeviceProgram());
    remote.SetPlugged(true);
    ASSERT_EQ(link.InitDevice(), 0);
    // The device program gone: requests fail (the host notices a lost device),
    // and the next opening finds the in-process generator again.
    program.reset();
    EXPECT_EQ(link.DeviceReady(), 0);
    EXPECT_EQ(link.GetPowerState(), 0);
    ASSERT_EQ(link.InitDevice(), 0);
    EXPECT_FALSE(transport.UsingDeviceProgram());
    link.SingleWrite(7, 14);
    EXPECT_EQ(local.Register(7), 14);
}

TEST(DeviceSocketPath, TheEnvironmentChoosesThenTheRuntimeFolderThenAPrivateFolder)
{
    const char* saved = std::getenv(kSocketEnvironment);
    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "", keepRuntime = savedRuntime ? savedRuntime : "";
    ::setenv(kSocketEnvironment, "/somewhere/else.socket", 1);
    EXPECT_EQ(DeviceSocketPath(), "/somewhere/else.socket");
    ::unsetenv(kSocketEnvironment);
    const std::string runtime = fs::temp_directory_path().string();
    ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    const std::string fallback = "/tmp/tarn-virtual-device-" + std::to_string(::getuid()) + "/device.socket";
    EXPECT_EQ(DeviceSocketPath(), fallback);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    struct stat st {};
    ::stat(runtime.c_str(), &st);
    EXPECT_EQ(DeviceSocketPath(), st.st_uid == ::getuid() ? runtime + "/tarn-virtual-device.socket" : fallback);
    saved ? ::setenv(kSocketEnvironment, keep.c_str(), 1) : ::unsetenv(kSocketEnvironment);
    savedRuntime ? ::setenv("XDG_RUNTIME_DIR", keepRuntime.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace vg
