// SPDX-License-Identifier: MIT
#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace tarn {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
std::array<struct sigaction, kSignals.size()> previous{};
// A signal its starter ignored (nohup, a service manager) stays ignored.
std::array<bool, kSignals.size()> installed{};
volatile std::sig_atomic_t writeFd = -1;

extern "C" void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Nothing to do on failure: a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(writeFd, &byte, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // the default actions stay: the program is ended, unsaved, as before
    }
    writeFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTerminationSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        installed[i] = ::sigaction(kSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN
                       && ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TTerminationSignals::~TTerminationSignals()
{
    if (fds_[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (installed[i]) {
            ::sigaction(kSignals[i], &previous[i], nullptr);
        }
        installed[i] = false;
    }
    writeFd = -1;
    notifier_->setEnabled(false);
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TTerminationSignals::Drain()
{
    char bytes[16];
    while (::read(fds_[0], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) {
        onSignal_();
    }
}

} // namespace tarn
