// SPDX-License-Identifier: MIT
#include "tests/program/ScpiClient.h"

#include "data/SettingsTarn.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTcpServer>

#include <memory>

namespace tarn::test {

std::uint16_t FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void EnableRemoteInFile(const std::filesystem::path& folder, std::uint16_t port)
{
    TXMLSettings store;
    store.LoadFromFile(folder / "settings.xml");
    store.WriteBool("/options/RemoteControl", true);
    store.WriteInt("/remote/port", port);
    ASSERT_TRUE(store.SaveToFile(folder / "settings.xml"));
}

std::uint16_t EnableRemote(TStartedProgram& run, std::uint16_t port)
{
    if (!run.started)
        return port;
    TSettingsTarn& settings = run.Form().SettingsTarn1();
    settings.XMLStore->WriteInt("/remote/port", port);
    settings.Options->SetBoolValue(optRemoteControl, true);
    BroadcastSettingsApplied(run.Form().ObjMasterTarn1());
    return port;
}

TScpiClient::TScpiClient(std::uint16_t port, const QString& script)
{
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start(QStringLiteral(TARN_SYSTEM_PYTHON), {script, QString::number(port)});
}

TScpiClient::~TScpiClient()
{
    proc_.closeWriteChannel();
    if (!proc_.waitForFinished(5000))
        proc_.kill();
}

TStepper::Step TScpiClient::Ask(QJsonObject request, std::function<void(const QJsonObject&)> check)
{
    auto sent = std::make_shared<bool>(false);
    return [this, request, check, sent] {
        if (!*sent) {
            proc_.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
            *sent = true;
            return false;
        }
        if (!proc_.canReadLine()) {
            // Without pyvisa the client ends at once: say so instead of waiting.
            if (proc_.state() == QProcess::NotRunning && !proc_.canReadLine()) {
                ADD_FAILURE() << "the pyvisa client ended (exit code " << proc_.exitCode()
                              << "); are python3-pyvisa and python3-pyvisa-py installed for /usr/bin/python3?";
                return true;
            }
            return false;
        }
        const QJsonObject answer = QJsonDocument::fromJson(proc_.readLine()).object();
        EXPECT_TRUE(answer["ok"].toBool())
            << answer["error"].toString().toStdString() << " for " << QJsonDocument(request).toJson().toStdString();
        if (check)
            check(answer);
        return true;
    };
}

TStepper::Step TScpiClient::Write(const QString& text)
{
    return Ask({{"op", "write"}, {"text", text}});
}

TStepper::Step TScpiClient::Query(const QString& text, std::function<void(const std::string&)> check)
{
    return Ask({{"op", "query"}, {"text", text}},
               [check](const QJsonObject& a) { check(a["answer"].toString().toStdString()); });
}

TStepper::Step TScpiClient::Raw(const QByteArray& bytes)
{
    return Ask({{"op", "raw"}, {"hex", QString(bytes.toHex())}});
}

TStepper::Step TScpiClient::ExpectError(int code, const char* context)
{
    return Query("SYST:ERR?",
                 [code, context](const std::string& a) { EXPECT_EQ(std::stoi(a), code) << a << " after " << context; });
}

} // namespace tarn::test
