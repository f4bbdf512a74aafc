// SPDX-License-Identifier: MIT
// The remote-control component: while the option RemoteControl is on it
// listens on 127.0.0.1 (port "/remote/port" of the settings, 5025 by
// default), takes one client at a time and runs its SCPI commands on the
// settings model, announcing every change through the object master as the
// panels do. It never talks to the device.
#pragma once
#include "remote/ScpiFramer.h"
#include "remote/ScpiInstrumentTarn.h"
#include "shell/master/ComponentsTarn.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <string>

class QTcpServer;

namespace tarn {

class TDialogService;

class TRemoteControlTarn : public TComponentTarn, private scpi::TScpiHost {
    Q_OBJECT
public:
    static constexpr std::uint16_t kDefaultPort = 5025;
    // Output waiting for a slow client; past it no more input is read.
    static constexpr std::int64_t kOutputLimit = std::int64_t{1} << 20;
    // Input taken from the socket at a time; the rest waits in the system.
    static constexpr std::int64_t kReadChunk = 64 * 1024;
    // A client silent this long gives way to a newcomer ("/remote/idlereplace", seconds).
    static constexpr std::int32_t kDefaultIdleReplace = 30;

    explicit TRemoteControlTarn(TDialogService& dialogs, QObject* parent = nullptr);
    ~TRemoteControlTarn() override;

    // Told by the window as a communication-broken window opens and closes:
    // commands that change settings are refused while any is up (they nest).
    void BrokenWindowOpened() { ++brokenWindows_; }
    void BrokenWindowClosed() { brokenWindows_ = brokenWindows_ > 0 ? brokenWindows_ - 1 : 0; }
    // What the sweep commands run (not owned; the window makes it).
    void SetSweep(TSweepControl* sweep) { sweep_ = sweep; }
    bool Listening() const;
    std::uint16_t Port() const;
    bool HasClient() const { return client_ != nullptr; }
    // Bytes of answers waiting for the client to read them.
    std::int64_t PendingOutput() const { return client_ != nullptr ? client_->bytesToWrite() : 0; }

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void Notify(TObjMasterCode code, std::int32_t index) override;
    bool CommunicationBroken() const override { return brokenWindows_ > 0; }
    void SettingsReplaced(bool restart) override;
    TSweepControl* Sweep() override { return sweep_; }

    void UpdateListening();
    void Listen();
    void StopListening();
    void NewConnection();
    bool Admitted(QTcpSocket& socket) const;
    // The client has closed its end, though its last bytes may not be read yet.
    bool ClientHasClosed() const;
    // Silent past the idle limit with nothing left to do.
    bool ClientIdle() const;
    // The client has not read all of the answers sent to it.
    bool AnswerUnread() const;
    // Queues Process: a command never runs inside a signal of the socket,
    // which a nested event loop may delete under it.
    void ScheduleProcess();
    void Process();
    void ClientGone();

    TDialogService& dialogs_;
    std::unique_ptr<QTcpServer> server_;
    QPointer<QTcpSocket> client_;
    std::unique_ptr<scpi::TScpiInstrument> instrument_;
    TSweepControl* sweep_ = nullptr;
    scpi::TMessageFramer framer_;
    // Bytes read from the client and not yet framed.
    std::string input_;
    std::size_t inputAt_ = 0;
    bool started_ = false;
    int brokenWindows_ = 0;
    bool scheduled_ = false;
    // A command runs (perhaps in a nested event loop): input waits.
    bool busy_ = false;
    // Work arrived while busy: Process runs again after the command.
    bool again_ = false;
    // The client has gone: its remaining input runs without answers.
    bool draining_ = false;
    // The next message is the connection's first (an HTTP request line?).
    bool firstMessage_ = true;
    // Since the client's last input.
    QElapsedTimer quiet_;
    // Answers went out that the client was not yet seen to read.
    bool answered_ = false;
};

} // namespace tarn
