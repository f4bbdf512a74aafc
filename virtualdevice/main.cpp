// SPDX-License-Identifier: MIT
// tarn-virtual-device: the virtual generator as a program of its own. It
// serves the generator on the user's socket (see sim/DeviceSocket.h) and shows
// its outputs. Options: --follow PID ends the program when that process ends;
// --ready writes "ready" to standard output once the socket listens.
#include "data/CommandLine.h"
#include "sim/DeviceServer.h"
#include "virtualdevice/VirtualDeviceWindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <signal.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

// SIGTERM and SIGINT end the loop like closing the window, so the socket file goes too.
void QuitOnSignals(QApplication& app)
{
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = [](int) {
        const int saved = errno; // the interrupted code may be about to read it
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(quitPipe[1], &byte, 1);
        errno = saved;
    };
    for (const int signal : {SIGTERM, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

// Quits the application when the process ends: through a process file
// descriptor where the kernel has them, else by looking twice a second.
void Follow(QApplication& app, pid_t pid)
{
#ifdef SYS_pidfd_open
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
        return;
    }
#endif
    auto* timer = new QTimer(&app);
    QObject::connect(timer, &QTimer::timeout, &app, [pid] {
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            QApplication::quit();
    });
    timer->start(500);
}

} // namespace

int main(int argc, char** argv)
{
    if (const int status = tarn::CheckCommandLine(argc, argv, tarn::VirtualDeviceCommandLine); status >= 0)
        return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarn-virtual-device"));
    pid_t follow = 0;
    bool ready = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--follow") && i + 1 < args.size())
            follow = static_cast<pid_t>(args[++i].toLong());
        else if (args[i] == QLatin1String("--ready"))
            ready = true;
    }
    vg::VirtualGenerator generator;
    vg::DeviceServer server(generator, vg::DeviceSocketPath());
    if (const std::string error = server.Start(); !error.empty()) {
        std::fprintf(stderr, "tarn-virtual-device: %s\n", error.c_str());
        return 1;
    }
    if (follow > 0)
        Follow(app, follow);
    vdev::VirtualDeviceWindow window(generator, &server);
    const std::filesystem::path place = vdev::PlaceFile(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    window.RestorePlace(place);
    window.show();
    if (ready) {
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        // Whoever waited has what it needs; nothing more goes to that pipe.
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::close(null);
        }
    }
    QuitOnSignals(app);
    const int status = QApplication::exec();
    window.SavePlace(place);
    return status;
}
