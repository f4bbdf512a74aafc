// SPDX-License-Identifier: MIT
// The status bar under the main window's groups: the generator in use, the
// state of the communication, the last adjustment the program made to a typed
// value, why a sweep stopped, and the waveform frequency a sampling rate gives.
#pragma once
#include "device/DriverAbstraction.h"
#include "shell/master/ObjMasterTarn.h"

#include <QStatusBar>
#include <QTimer>

#include <functional>

class QLabel;
class TSettingsTarn;

namespace tarn {

class TStatusBarTarn : public QStatusBar {
    Q_OBJECT
public:
    // How long "reconnected" stays.
    static constexpr int kReconnectedMs = 5000;

    explicit TStatusBarTarn(QWidget* parent = nullptr);
    ~TStatusBarTarn() override;
    TStatusBarTarn(const TStatusBarTarn&) = delete;
    TStatusBarTarn& operator=(const TStatusBarTarn&) = delete;

    void SetObjMaster(TObjMasterTarn* master, TSettingsTarn* settings);
    // Asked at each start and reconnection: the driver object in use (none: demonstration).
    std::function<TDriverAbstraction*()> Driver;

    void CommBroken();
    void Reconnected();
    void ReportAdjustment(const QString& text);
    // Why a sweep stopped by itself; empty clears it.
    void ReportSweep(const QString& text);

    QString Generator() const;
    // Where the generator is, as its driver tells it (the generator's tool tip).
    QString GeneratorDetail() const;
    QString Communication() const;
    QString Adjustment() const;
    QString Sweep() const;
    QString Rate() const;
    void SetReconnectedMs(int ms) { reconnectedTimer_.setInterval(ms); }

private:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data);
    void UpdateGenerator();
    void UpdateRate();

    TObjMasterTarn* objMaster_ = nullptr;
    TSettingsTarn* settings_ = nullptr;
    QLabel* generator_ = nullptr;
    QLabel* communication_ = nullptr;
    QLabel* adjustment_ = nullptr;
    QLabel* sweep_ = nullptr;
    QLabel* rate_ = nullptr;
    QTimer reconnectedTimer_;
};

// The status text of the generator a driver describes: demonstration mode,
// the virtual generator, else (a USB device, or a driver too old to tell)
// the serial number.
QString GeneratorInUse(const TGeneratorLink& link, std::int32_t serial);

} // namespace tarn
