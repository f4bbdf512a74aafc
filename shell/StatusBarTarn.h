// SPDX-License-Identifier: MIT
// The status bar under the main window's groups: the generator in use, the
// state of the communication, the last adjustment the program made to a typed
// value, why a sweep stopped, and the waveform frequency a sampling rate gives.
#pragma once
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
    // Asked at each start and reconnection: serial number, demonstration or virtual.
    std::function<QString()> GeneratorText;

    void CommBroken();
    void Reconnected();
    void ReportAdjustment(const QString& text);
    // Why a sweep stopped by itself; empty clears it.
    void ReportSweep(const QString& text);

    QString Generator() const;
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

// The text of the generator a driver reports: demonstration mode, the virtual
// generator when the USB library beside the program is the virtual one, else
// the serial number.
QString GeneratorInUse(bool demonstration, bool virtualGenerator, std::int32_t serial);
// True when the USB library already loaded from the program folder is the
// virtual generator's (it exports the Vg functions).
bool VirtualUsbLibraryLoaded();

} // namespace tarn
