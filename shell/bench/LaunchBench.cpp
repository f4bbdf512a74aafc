// SPDX-License-Identifier: MIT
// Time from the start of main() to the program's main window shown and
// exposed, with the program folder given (the driver library, the virtual
// USB library and a "waveforms.dat" in it). "--empty" times an empty main
// window instead, the floor of any Qt program. Prints one line: launch_ms N.
// Also the resident memory at that moment: rss_MB N, and the wall clock then
// (exposed_ns N, nanoseconds since the epoch), so that a script can time the
// launch from before the exec.
// One launch per process; make-libraries.sh runs it repeatedly.

#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/DialogService.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool Exposed(QWidget* window)
{
    return window != nullptr && window->isVisible() && window->windowHandle() != nullptr
           && window->windowHandle()->isExposed();
}

double ResidentMB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point started = Clock::now();
    if (argc != 2) {
        std::fputs("usage: tarn_bench_launch FOLDER | --empty\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    double ms = -1.0;
    double rss = 0.0;
    long long exposedNs = 0;
    QTimer poll;
    QWidget* shown = nullptr;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Exposed(shown)) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
            rss = ResidentMB();
            exposedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
            poll.stop();
            QApplication::exit(0);
        }
    });
    if (std::strcmp(argv[1], "--empty") == 0) {
        QMainWindow window;
        shown = &window;
        window.show();
        poll.start(0);
        QApplication::exec();
    } else {
        tarn::TMessageBoxDialogService dialogs;
        tarn::TProgramOptions options;
        options.programFolder = argv[1];
        options.singleInstanceCheck = false;
        tarn::TTarnProgram program(dialogs, std::move(options));
        if (!program.Start())
            return 1;
        shown = program.MainForm();
        poll.start(0);
        program.Exec();
        // No Finish: the library stays as it is for the next launch.
    }
    std::printf("launch_ms %.1f rss_MB %.1f exposed_ns %lld\n", ms, rss, exposedNs);
    return ms < 0 ? 1 : 0;
}
