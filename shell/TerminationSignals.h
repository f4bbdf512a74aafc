// SPDX-License-Identifier: MIT
// SIGTERM, SIGINT and SIGHUP turned into a call on the user-interface thread,
// so that a logout or a service manager ends the program the orderly way.
#pragma once
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tarn {

// One at a time: the signal handler writes to this object's pipe. A signal
// ignored at construction is left ignored. The previous handlers are
// restored on destruction.
class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(std::function<void()> onSignal);
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

private:
    void Drain();

    std::function<void()> onSignal_;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tarn
