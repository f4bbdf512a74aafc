// SPDX-License-Identifier: MIT
// Component bases: a non-visual component (QObject) and a windowless graphic
// control (QWidget), both connected to the object master and the settings model.
#pragma once
#include "shell/master/ObjMasterTarn.h"

#include <QObject>
#include <QWidget>

class TSettingsTarn;

namespace tarn {

// The shared half of both bases: the master link and the dispatcher.
class TObjMasterClient {
public:
    TObjMasterClient() = default;
    virtual ~TObjMasterClient();
    TObjMasterClient(const TObjMasterClient&) = delete;
    TObjMasterClient& operator=(const TObjMasterClient&) = delete;

    TObjMasterTarn* ObjMaster() const { return objMaster_; }
    // Registers with the given master; a master set earlier is not told.
    void SetObjMaster(TObjMasterTarn* master);

    TSettingsTarn* Settings() const { return settings_; }
    void SetSettings(TSettingsTarn* settings) { settings_ = settings; }

protected:
    virtual void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) = 0;
    // Call first in a descendant's destructor when its handler needs members
    // that die before this base; safe to call more than once.
    void DetachFromMaster();

private:
    void Dispatch(TObjMasterCode code, std::int32_t index, void* data);
    TObjMasterNotifyEvent Listener() { return TObjMasterNotifyEvent::Bind<&TObjMasterClient::Dispatch>(this); }

    TObjMasterTarn* objMaster_ = nullptr;
    TSettingsTarn* settings_ = nullptr;
};

class TComponentTarn : public QObject, public TObjMasterClient {
    Q_OBJECT
public:
    explicit TComponentTarn(QObject* parent = nullptr) : QObject(parent) {}
};

class TGraphicControlTarn : public QWidget, public TObjMasterClient {
    Q_OBJECT
public:
    explicit TGraphicControlTarn(QWidget* parent = nullptr) : QWidget(parent) {}
};

} // namespace tarn
