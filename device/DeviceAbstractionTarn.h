// SPDX-License-Identifier: MIT
// The program's single gateway to a generator: chooses the driver object at
// start-up, passes every device setting on to it, polls the power state and
// notices broken communication.
#pragma once
#include "device/DriverAbstraction.h"
#include "shell/master/ComponentsTarn.h"

#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace tarn {

class TDialogService;

class TDeviceAbstractionTarn : public TComponentTarn {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TDeviceAbstractionTarn* sender)>;
    // Makes the driver object for each round of the start-up search.
    using TDriverFactory = std::function<std::unique_ptr<TDriverAbstraction>()>;

    TDeviceAbstractionTarn(TDialogService& dialogs, QObject* parent = nullptr);
    ~TDeviceAbstractionTarn() override;

    // Raised once per breakdown.
    TNotifyEvent OnCommBroken;
    // Called when the user chose Abort in the device search.
    std::function<void()> OnTerminateRequest;

    TDriverAbstraction* Driver() const { return driver_.get(); }
    bool CommBrokenReported() const { return commBrokenReported_; }
    bool PollActive() const;
    // Tests: the poll's interval instead of 500 ms, from now on.
    void SetPollInterval(int milliseconds);
    // Replaces the real driver object of the search (tests).
    void SetDriverFactory(TDriverFactory factory) { driverFactory_ = std::move(factory); }

    void ApplyAllSettings();
    void PollDevice();

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void ConnectDevice();
    void SwitchToDemonstration();
    void Start();
    bool Reconnect();
    void LoadDeviceWaveform();
    void CheckCommunication();

    TDialogService& dialogs_;
    TDriverFactory driverFactory_;
    std::unique_ptr<QTimer> pollTimer_;
    std::unique_ptr<TDriverAbstraction> driver_;
    bool commBrokenReported_ = false;
    int pollIntervalMs_;
};

} // namespace tarn
