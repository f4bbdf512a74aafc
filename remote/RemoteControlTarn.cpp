// SPDX-License-Identifier: MIT
#include "remote/RemoteControlTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "shell/master/DialogService.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>

#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace tarn {

namespace {

constexpr char kPortPath[] = "/remote/port";
// The port whose listening failure was shown; 0 after a success.
constexpr char kFailurePath[] = "/remote/listenfailure";

// Clients write a command in pieces (pyvisa: 4 KiB at a time) and wait for
// the acknowledgement before the last small piece; a delayed one costs them
// 40 ms per command. Acknowledge at once instead (the kernel forgets it after
// a while, so again after every read).
void AcknowledgeAtOnce(QTcpSocket& socket)
{
#ifdef __linux__
    const int on = 1;
    setsockopt(static_cast<int>(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    (void)socket;
#endif
}

std::string Identity()
{
    return std::string(Strings::RemoteIdentity) + TARN_VERSION;
}

} // namespace

TRemoteControlTarn::TRemoteControlTarn(TDialogService& dialogs, QObject* parent)
    : TComponentTarn(parent), dialogs_(dialogs)
{
}

TRemoteControlTarn::~TRemoteControlTarn()
{
    DetachFromMaster();
    StopListening();
}

bool TRemoteControlTarn::Listening() const
{
    return server_ != nullptr && server_->isListening();
}

std::uint16_t TRemoteControlTarn::Port() const
{
    const TSettingsTarn* s = Settings();
    const std::int32_t port = s != nullptr ? s->XMLStore->ReadInt(kPortPath, kDefaultPort) : kDefaultPort;
    return port > 0 && port <= 65535 ? static_cast<std::uint16_t>(port) : kDefaultPort;
}

void TRemoteControlTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void*)
{
    switch (code) {
    case TObjMasterCode::omMasterDestroying:
        StopListening();
        break;
    case TObjMasterCode::omStart:
        started_ = true;
        UpdateListening();
        break;
    case TObjMasterCode::omSettingsApplied:
        // The last phase, after the options dialog or a reset.
        if (index == 9 && started_) {
            UpdateListening();
        }
        break;
    default:
        break;
    }
}

void TRemoteControlTarn::Notify(TObjMasterCode code, std::int32_t index)
{
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(code, index);
    }
}

void TRemoteControlTarn::SettingsReplaced(bool restart)
{
    for (std::int32_t phase = 0; phase < 10; ++phase) {
        Notify(TObjMasterCode::omSettingsApplied, phase);
    }
    if (restart) {
        Notify(TObjMasterCode::omStart, 0);
    }
}

void TRemoteControlTarn::UpdateListening()
{
    const TSettingsTarn* s = Settings();
    const bool wanted = s != nullptr && s->Options != nullptr && s->Options->BoolValue(optRemoteControl);
    if (wanted && !Listening()) {
        Listen();
    } else if (!wanted) {
        StopListening();
    }
}

void TRemoteControlTarn::Listen()
{
    TSettingsTarn& s = *Settings();
    if (!instrument_) {
        instrument_ = std::make_unique<scpi::TScpiInstrument>(s, static_cast<scpi::TScpiHost&>(*this), Identity());
    }
    server_ = std::make_unique<QTcpServer>();
    connect(server_.get(), &QTcpServer::newConnection, this, &TRemoteControlTarn::NewConnection);
    const std::uint16_t port = Port();
    TXMLSettings& store = *s.XMLStore;
    // Written out, so that the file shows where the port is chosen.
    store.WriteInt(kPortPath, port);
    if (server_->listen(QHostAddress::LocalHost, port)) {
        if (store.ReadInt(kFailurePath, 0) != 0) {
            store.WriteInt(kFailurePath, 0);
        }
        return;
    }
    const std::string why = server_->errorString().toStdString();
    server_.reset();
    // Once per port: a port that stays taken does not greet every start with a box.
    if (store.ReadInt(kFailurePath, 0) != port) {
        store.WriteInt(kFailurePath, port);
        char text[512];
        std::snprintf(text, sizeof text, Strings::RemoteListenFailed, static_cast<int>(port), why.c_str());
        dialogs_.Message(TDialogKind::Warning, TDialogButtons::Ok, text);
    }
}

void TRemoteControlTarn::StopListening()
{
    server_.reset();
    if (client_ != nullptr) {
        client_->disconnectFromHost();
        ClientGone();
    }
}

void TRemoteControlTarn::NewConnection()
{
    while (server_ != nullptr && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        socket->setParent(this);
        if (client_ != nullptr) {
            // One client at a time; the other is told why, then let go.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(Strings::RemoteBusy);
            socket->write("\n");
            socket->disconnectFromHost();
            continue;
        }
        client_ = socket;
        // The system keeps what we do not read; a flood waits there, not here.
        socket->setReadBufferSize(kReadChunk);
        connect(socket, &QTcpSocket::readyRead, this, &TRemoteControlTarn::Process);
        connect(socket, &QTcpSocket::bytesWritten, this, &TRemoteControlTarn::Process);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == client_) {
                // What it sent before it went is still carried out; the
                // answers have nowhere to go.
                draining_ = true;
                Process();
                draining_ = false;
                ClientGone();
            }
        });
    }
}

void TRemoteControlTarn::Process()
{
    if (busy_ || client_ == nullptr || !instrument_) {
        return;
    }
    busy_ = true;
    const QPointer<QTcpSocket> socket = client_;
    while (socket != nullptr && socket == client_ && (draining_ || socket->bytesToWrite() < kOutputLimit)) {
        if (inputAt_ >= input_.size()) {
            input_ = socket->read(kReadChunk).toStdString();
            inputAt_ = 0;
            AcknowledgeAtOnce(*socket);
            if (input_.empty()) {
                break;
            }
        }
        scpi::TMessage message;
        bool done = false;
        inputAt_ += framer_.Feed(std::string_view(input_).substr(inputAt_), message, done);
        if (!done) {
            continue;
        }
        if (message.TooLong) {
            instrument_->Errors().Push(scpi::errTooMuchData, "a message over 1 MiB was dropped");
            continue;
        }
        // May open the communication-broken window, whose loop runs on.
        const std::string response = instrument_->Execute(message.Text);
        if (!response.empty() && socket != nullptr && socket == client_ && !draining_) {
            socket->write(response.data(), static_cast<qint64>(response.size()));
        }
    }
    busy_ = false;
}

void TRemoteControlTarn::ClientGone()
{
    QTcpSocket* socket = client_;
    client_ = nullptr;
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->deleteLater();
    }
    if (framer_.Pending() && instrument_) {
        instrument_->Errors().Push(scpi::errCommand, "the connection closed inside a message; it was not run");
    }
    framer_.Reset();
    input_.clear();
    inputAt_ = 0;
}

} // namespace tarn
