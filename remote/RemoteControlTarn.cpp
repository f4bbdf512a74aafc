// SPDX-License-Identifier: MIT
#include "remote/RemoteControlTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "shell/master/DialogService.h"

#include "remote/PeerCheck.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <utility>

#include <cstdio>

#ifdef __linux__
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif
#include <unistd.h>

namespace tarn {

namespace {

constexpr char kPortPath[] = "/remote/port";
// The port whose listening failure was shown; 0 after a success.
constexpr char kFailurePath[] = "/remote/listenfailure";
constexpr char kIdlePath[] = "/remote/idlereplace";

scpi::TEndpoint EndpointOf(const QHostAddress& address, quint16 port)
{
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    if (v4) {
        return scpi::Ipv4Endpoint(ipv4, port);
    }
    scpi::TEndpoint e;
    const Q_IPV6ADDR ipv6 = address.toIPv6Address();
    std::copy(std::begin(ipv6.c), std::end(ipv6.c), e.Address.begin());
    e.Port = port;
    return e;
}

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
        if (index == kSettingsPhases - 1 && started_) {
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
    if (ObjMaster() == nullptr) {
        return;
    }
    BroadcastSettingsApplied(*ObjMaster());
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
    // A client that went away may still have lines to run; a newcomer waits
    // in the system's queue until they have.
    while (server_ != nullptr && !draining_ && server_->hasPendingConnections()) {
        if (client_ != nullptr && ClientHasClosed()) {
            // It has gone and its signal has not come yet: the newcomer waits
            // until what it sent has run (ClientGone takes it then).
            server_->pauseAccepting();
            break;
        }
        QTcpSocket* socket = server_->nextPendingConnection();
        socket->setParent(this);
        if (!Admitted(*socket)) {
            // Another user's, or one we cannot tell: no word, no command.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (client_ != nullptr && ClientIdle()) {
            // Silent for long with nothing to run: it gives way.
            QPointer<QTcpSocket> old = client_;
            ClientGone();
            if (old != nullptr) {
                old->abort();
            }
        }
        if (client_ != nullptr) {
            // One client at a time; the other is told why, then let go.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(Strings::RemoteBusy);
            socket->write("\n");
            socket->disconnectFromHost();
            continue;
        }
        client_ = socket;
        firstMessage_ = true;
        answered_ = false;
        quiet_.start();
        // The system keeps what we do not read; a flood waits there, not here.
        socket->setReadBufferSize(kReadChunk);
        connect(socket, &QTcpSocket::readyRead, this, &TRemoteControlTarn::ScheduleProcess);
        connect(socket, &QTcpSocket::bytesWritten, this, &TRemoteControlTarn::ScheduleProcess);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == client_) {
                // What it sent before it went is still carried out; the
                // answers have nowhere to go.
                draining_ = true;
                if (server_ != nullptr) {
                    server_->pauseAccepting();
                }
                ScheduleProcess();
            }
        });
        // It may have written before it was taken.
        ScheduleProcess();
    }
}

// Only the user who runs the program may drive it: the peer's socket must be
// ours by the kernel's table. Root is no exception (unless we are root).
bool TRemoteControlTarn::Admitted(QTcpSocket& socket) const
{
    const auto owner = scpi::PeerOwner(EndpointOf(socket.peerAddress(), socket.peerPort()),
                                       EndpointOf(socket.localAddress(), socket.localPort()));
    return owner && *owner == static_cast<std::uint32_t>(getuid());
}

bool TRemoteControlTarn::ClientHasClosed() const
{
#ifdef __linux__
    // The kernel knows at once; the socket's signal comes when its turn does.
    pollfd p{static_cast<int>(client_->socketDescriptor()), POLLRDHUP, 0};
    return p.fd >= 0 && poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
#else
    return false;
#endif
}

bool TRemoteControlTarn::ClientIdle() const
{
    const TSettingsTarn* s = Settings();
    const std::int32_t seconds =
        std::clamp(s != nullptr ? s->XMLStore->ReadInt(kIdlePath, kDefaultIdleReplace) : kDefaultIdleReplace, 1, 3600);
    return !busy_ && !draining_ && inputAt_ >= input_.size() && client_->bytesAvailable() == 0
           && client_->bytesToWrite() == 0 && quiet_.isValid() && quiet_.elapsed() >= std::int64_t{seconds} * 1000;
}

bool TRemoteControlTarn::AnswerUnread() const
{
    if (client_->bytesToWrite() > 0) {
        return true;
    }
#ifdef __linux__
    int unsent = 0;
    if (ioctl(static_cast<int>(client_->socketDescriptor()), SIOCOUTQ, &unsent) == 0 && unsent > 0) {
        return true;
    }
#endif
    // In the client's receive queue: sent, but not read by it.
    const auto peer = scpi::PeerSocket(EndpointOf(client_->peerAddress(), client_->peerPort()),
                                       EndpointOf(client_->localAddress(), client_->localPort()));
    return peer && peer->Unread > 0;
}

void TRemoteControlTarn::ScheduleProcess()
{
    if (busy_) {
        again_ = true;
        return;
    }
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            scheduled_ = false;
            Process();
        });
    }
}

void TRemoteControlTarn::Process()
{
    if (busy_) {
        again_ = true;
        return;
    }
    if (client_ == nullptr || !instrument_) {
        return;
    }
    busy_ = true;
    again_ = false;
    const QPointer<QTcpSocket> socket = client_;
    bool inputEnded = false;
    while (socket != nullptr && socket == client_ && (draining_ || socket->bytesToWrite() < kOutputLimit)) {
        if (inputAt_ >= input_.size()) {
            input_ = socket->read(kReadChunk).toStdString();
            inputAt_ = 0;
            if (input_.empty()) {
                inputEnded = true;
                break;
            }
            if (!draining_) {
                AcknowledgeAtOnce(*socket);
            }
            quiet_.start();
        }
        scpi::TMessage message;
        bool done = false;
        inputAt_ += framer_.Feed(std::string_view(input_).substr(inputAt_), message, done);
        if (!done) {
            continue;
        }
        const bool first = std::exchange(firstMessage_, false);
        // A web page can make a browser send to us; its first line says so
        // (one too long to see whole, by its method).
        if (first
            && (message.TooLong ? scpi::StartsLikeHttpRequest(message.Head)
                                : scpi::LooksLikeHttpRequest(message.Text))) {
            ClientGone();
            socket->abort();
            break;
        }
        if (message.TooLong) {
            instrument_->Errors().Push(scpi::errTooMuchData, "a message over 1 MiB was dropped");
            continue;
        }
        // A query while the client still has the last answer unread: -410.
        bool unread = false;
        if (answered_ && !draining_ && message.Text.find('?') != std::string::npos) {
            unread = AnswerUnread();
            answered_ = unread;
        }
        // May open the communication-broken window, whose loop runs on.
        const std::string response = instrument_->Execute(message.Text, unread);
        answered_ = answered_ || !response.empty();
        if (!response.empty() && socket != nullptr && socket == client_ && !draining_) {
            socket->write(response.data(), static_cast<qint64>(response.size()));
        }
    }
    busy_ = false;
    if (inputEnded && draining_ && socket != nullptr && socket == client_) {
        ClientGone();
    }
    if (again_) {
        ScheduleProcess();
    }
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
    draining_ = false;
    if (server_ != nullptr) {
        server_->resumeAccepting();
        // Whoever waited meanwhile is taken now, outside this call.
        QTimer::singleShot(0, this, &TRemoteControlTarn::NewConnection);
    }
}

} // namespace tarn
