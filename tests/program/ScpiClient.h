// SPDX-License-Identifier: MIT
// The program's remote control as the tests and the benchmark reach it:
// scpi_client.py under the system's Python (which has pyvisa), one JSON
// request and answer per line, driven as steps of a TStepper.
#pragma once
#include "tests/program/ProgramHarness.h"

#include <QJsonObject>
#include <QProcess>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace tarn::test {

// A port nobody listens on just now.
std::uint16_t FreePort();
// Turns the remote control on at port in the folder's settings.xml, for the next start.
void EnableRemoteInFile(const std::filesystem::path& folder, std::uint16_t port);
// Turns it on in the started program as the options dialog's OK does, at
// port; returns the port.
std::uint16_t EnableRemote(TStartedProgram& run, std::uint16_t port);

class TScpiClient {
public:
    // script: a client other than scpi_client.py speaking its request protocol.
    explicit TScpiClient(std::uint16_t port, const QString& script = QStringLiteral(TARN_SCPI_CLIENT));
    ~TScpiClient();
    TScpiClient(const TScpiClient&) = delete;
    TScpiClient& operator=(const TScpiClient&) = delete;

    // A step that sends the request and ends when its answer came; a failed
    // request is a test failure.
    TStepper::Step Ask(QJsonObject request, std::function<void(const QJsonObject&)> check = {});
    TStepper::Step Write(const QString& text);
    TStepper::Step Query(const QString& text, std::function<void(const std::string&)> check);
    TStepper::Step Raw(const QByteArray& bytes);
    // The oldest error code of the queue.
    TStepper::Step ExpectError(int code, const char* context);

private:
    QProcess proc_;
};

} // namespace tarn::test
