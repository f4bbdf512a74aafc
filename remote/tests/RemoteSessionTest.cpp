// SPDX-License-Identifier: MIT
// The remote control's socket side: commands that open a nested event loop
// (as the communication-broken window does) while the client goes away or
// another one arrives, nested windows, and who may connect.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "remote/RemoteControlTarn.h"
#include "shell/master/DialogService.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarn {
namespace {

class TQuietDialogs : public TDialogService {
public:
    TDialogResult Message(TDialogKind, TDialogButtons, const std::string&, const std::string&) override
    {
        return TDialogResult::Ok;
    }
};

std::uint16_t FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs events until done() holds or the time is up.
bool Until(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// A modal window's loop: events run, including deferred deletes.
void NestedLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A blocking client on its own socket, as a script in another process is.
int RawConnect(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One line from fd (without its newline), waiting up to ms; events run
// meanwhile when asked to (the server is on this thread).
std::string RawLine(int fd, bool runEvents, int ms = 5000)
{
    std::string line;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, runEvents ? 0 : 50) == 1) {
            char c = 0;
            if (read(fd, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        } else if (runEvents) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return line + "(cut)";
}

bool RawWrite(int fd, const std::string& text)
{
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

class RemoteSession : public ::testing::Test {
protected:
    RemoteSession()
    {
        test::TestApp();
        settings.SetDefaults();
        settings.ResetDeviceValues();
        settings.RecoverWaveforms();
        settings.XMLStore->WriteInt("/remote/port", FreePort());
        settings.Options->SetBoolValue(optRemoteControl, true);
        remote.SetSettings(&settings);
        remote.SetObjMaster(&master);
        master.RegisterListener(TObjMasterNotifyEvent::Bind<&RemoteSession::Heard>(this));
        master.Notify(TObjMasterCode::omStart);
    }
    ~RemoteSession() override { master.UnregisterListener(TObjMasterNotifyEvent::Bind<&RemoteSession::Heard>(this)); }

    void Heard(TObjMasterCode code, std::int32_t, void*)
    {
        if (code == TObjMasterCode::omFrequencyChanged && onFrequency) {
            const std::function<void()> once = std::move(onFrequency);
            onFrequency = nullptr;
            once();
        }
    }
    std::unique_ptr<QTcpSocket> Connect()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, remote.Port());
        EXPECT_TRUE(Until([&] { return socket->state() == QAbstractSocket::ConnectedState; }));
        return socket;
    }
    // The next answer line, or "(none)".
    static std::string Answer(QTcpSocket& socket)
    {
        Until([&] { return socket.canReadLine(); });
        return socket.canReadLine() ? socket.readLine().trimmed().toStdString() : std::string("(none)");
    }
    double Frequency() const { return settings.Device.Frequency; }

    TSettingsTarn settings;
    TObjMasterTarn master;
    TQuietDialogs dialogs;
    TRemoteControlTarn remote{dialogs};
    // Run inside the broadcast of the next frequency change.
    std::function<void()> onFrequency;
};

TEST_F(RemoteSession, AClientLeavingDuringANestedLoopStillHasItsLaterLinesRun)
{
    ASSERT_TRUE(remote.Listening());
    std::unique_ptr<QTcpSocket> client = Connect();
    onFrequency = [&] {
        client->disconnectFromHost();
        NestedLoop(300);
    };
    client->write("FREQ 2000\nFREQ 3000\nFREQ 3500;FREQ?\n");
    EXPECT_TRUE(Until([&] { return Frequency() == 3500 && !remote.HasClient(); })) << Frequency();
    // The next client is served as usual.
    std::unique_ptr<QTcpSocket> next = Connect();
    next->write("FREQ?\n");
    EXPECT_EQ(Answer(*next), "3500");
}

TEST_F(RemoteSession, AClientArrivingDuringANestedLoopIsServedAfterIt)
{
    std::unique_ptr<QTcpSocket> first = Connect();
    std::unique_ptr<QTcpSocket> second;
    onFrequency = [&] {
        first->disconnectFromHost();
        NestedLoop(100);
        second = std::make_unique<QTcpSocket>();
        second->connectToHost(QHostAddress::LocalHost, remote.Port());
        second->write("FREQ 4000;FREQ?\n");
        NestedLoop(200);
    };
    first->write("FREQ 2000\n");
    ASSERT_TRUE(Until([&] { return second != nullptr; }));
    EXPECT_EQ(Answer(*second), "4000");
}

TEST_F(RemoteSession, NestedBrokenWindowsRefuseChangesUntilTheLastCloses)
{
    std::unique_ptr<QTcpSocket> client = Connect();
    const auto refused = [&] {
        client->write("FREQ 5000;:SYST:ERR?\n");
        return Answer(*client).rfind("-240,", 0) == 0;
    };
    remote.BrokenWindowOpened();
    remote.BrokenWindowOpened(); // a second window over the first
    remote.BrokenWindowClosed();
    EXPECT_TRUE(refused());
    remote.BrokenWindowClosed();
    EXPECT_FALSE(refused());
    EXPECT_EQ(Frequency(), 5000);
}

TEST_F(RemoteSession, AnHttpRequestIsClosedAtOnceAndRunsNothing)
{
    const std::string requests[] = {
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 21\r\n\r\nFREQ 1234\nOUTP OFF\n",
        "GET /FREQ%201234 HTTP/1.0\nFREQ 1234\n",
        // A request line too long to keep is known by its method.
        "GET /" + std::string(scpi::TMessageFramer::kMaxMessage, 'a') + " HTTP/1.1\r\n\r\nFREQ 1234\n",
    };
    ASSERT_EQ(settings.Device.OutputOnOff[0], 1);
    for (const std::string& text : requests) {
        std::unique_ptr<QTcpSocket> client = Connect();
        client->write(text.data(), static_cast<qint64>(text.size()));
        EXPECT_TRUE(Until([&] { return client->state() == QAbstractSocket::UnconnectedState; })) << text.substr(0, 40);
        EXPECT_NE(Frequency(), 1234) << text.substr(0, 40);
        EXPECT_EQ(settings.Device.OutputOnOff[0], 1);
        EXPECT_TRUE(Until([&] { return !remote.HasClient(); }));
    }
    // A real client after them is served.
    std::unique_ptr<QTcpSocket> client = Connect();
    client->write("FREQ 1234;FREQ?\n");
    EXPECT_EQ(Answer(*client), "1234");
}

// pyvisa's open, query, close as fast as a loop runs: a client that has
// closed never holds the port, even before its closing is seen.
TEST_F(RemoteSession, BackToBackReconnectsAreAlwaysServed)
{
    const std::uint16_t port = remote.Port();
    std::atomic<bool> done = false;
    std::vector<std::string> answers;
    std::thread script([&] {
        for (int i = 0; i < 300; ++i) {
            const int fd = RawConnect(port);
            answers.push_back(fd >= 0 && RawWrite(fd, "*IDN?\n") ? RawLine(fd, false) : "(no connection)");
            close(fd);
        }
        done = true;
    });
    Until([&] { return done.load(); }, 120000);
    script.join();
    int served = 0;
    for (const std::string& a : answers) {
        served += a.rfind("Tarn", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(served, 300) << "turned away: " << std::count(answers.begin(), answers.end(), Strings::RemoteBusy);
    // A script that writes and closes at once: its command runs before the next client's.
    done = false;
    answers.clear();
    std::thread writer([&] {
        for (int i = 0; i < 100; ++i) {
            const int fd = RawConnect(port);
            RawWrite(fd, "FREQ " + std::to_string(1000 + i) + "\n");
            close(fd);
            const int next = RawConnect(port);
            answers.push_back(next >= 0 && RawWrite(next, "FREQ?\n") ? RawLine(next, false) : "(no connection)");
            close(next);
        }
        done = true;
    });
    Until([&] { return done.load(); }, 120000);
    writer.join();
    for (std::size_t i = 0; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i], std::to_string(1000 + i)) << i;
    }
}

TEST_F(RemoteSession, AnIdleClientGivesWayToANewOneAfterTheIdleTime)
{
    settings.XMLStore->WriteInt("/remote/idlereplace", 1);
    std::unique_ptr<QTcpSocket> first = Connect();
    first->write("FREQ 2500\n");
    ASSERT_TRUE(Until([&] { return Frequency() == 2500; }));
    // Not idle long enough: the newcomer is told and closed.
    const int early = RawConnect(remote.Port());
    EXPECT_EQ(RawLine(early, true), Strings::RemoteBusy);
    close(early);
    NestedLoop(1100);
    const int late = RawConnect(remote.Port());
    ASSERT_TRUE(RawWrite(late, "FREQ?\n"));
    EXPECT_EQ(RawLine(late, true), "2500");
    EXPECT_TRUE(Until([&] { return first->state() == QAbstractSocket::UnconnectedState; }));
    close(late);
}

TEST_F(RemoteSession, AQueryBeforeTheLastAnswerWasReadIsInterrupted)
{
    const int fd = RawConnect(remote.Port());
    ASSERT_TRUE(RawWrite(fd, "FREQ?\n"));
    NestedLoop(200); // answered; the client does not read it
    ASSERT_TRUE(RawWrite(fd, "SYST:ERR?\n"));
    NestedLoop(200); // taken while the first answer waits
    EXPECT_EQ(RawLine(fd, true), "15000");
    EXPECT_EQ(RawLine(fd, true).substr(0, 24), "-410,\"Query INTERRUPTED;");
    // Read in turn, nothing is interrupted.
    ASSERT_TRUE(RawWrite(fd, "SYST:ERR?\n"));
    EXPECT_EQ(RawLine(fd, true), "0,\"No error\"");
    ASSERT_TRUE(RawWrite(fd, "SYST:ERR?\n"));
    EXPECT_EQ(RawLine(fd, true), "0,\"No error\"");
    close(fd);
}

// Needs root to act as another user; the child does only system calls.
TEST_F(RemoteSession, AnotherUsersClientIsClosedWithoutAWord)
{
    if (getuid() != 0) {
        GTEST_SKIP() << "only root can connect as another user (uid 65534) here";
    }
    const std::uint16_t port = remote.Port();
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char got = 'x';
        if (setuid(65534) == 0) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0
                && write(fd, "FREQ 4321\n*IDN?\n", 16) == 16) {
                char answer[64];
                got = read(fd, answer, sizeof answer) > 0 ? 'a' : 'c'; // answered, or closed or reset
            }
        }
        (void)!write(result[1], &got, 1);
        _exit(0);
    }
    close(result[1]);
    char got = 0;
    ASSERT_TRUE(Until([&] {
        pollfd p{result[0], POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }));
    ASSERT_EQ(read(result[0], &got, 1), 1);
    close(result[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(got, 'c');
    EXPECT_NE(Frequency(), 4321);
    // Ours still is served.
    std::unique_ptr<QTcpSocket> client = Connect();
    client->write("FREQ 4321;FREQ?\n");
    EXPECT_EQ(Answer(*client), "4321");
}

} // namespace
} // namespace tarn
