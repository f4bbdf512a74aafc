// SPDX-License-Identifier: MIT
// Round trips through the remote control as a pyvisa script sees them: the
// query "FREQ 1000;:FREQ?", a 16,384-sample binary upload of codes, and
// 16,384 values -1..1 into VOLATILE as text and as a block of floats (each
// answered by *OPC?), on the program running in-process over the virtual
// generator.
// Prints median, 90th percentile and fastest time of each.
#include "tests/program/ProgramHarness.h"
#include "tests/program/ScpiClient.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <chrono>
#include <cstdio>

using namespace tarn::test;
using namespace std::chrono_literals;

int main()
{
    TStartedProgram run;
    const std::uint16_t port = EnableRemote(run, FreePort());
    if (!run.started) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    TScpiClient scpi(port);
    QJsonObject figures;
    TStepper stepper(
        {scpi.Ask({{"op", "bench"}, {"queries", 1000}, {"uploads", 100}}, [&](const QJsonObject& a) { figures = a; }),
         [] {
             QCoreApplication::exit(0);
             return true;
         }},
        300s);
    run.program->Exec();
    if (!stepper.Finished())
        return 1;
    if (figures["errors"].toString().trimmed() != "0") {
        std::fprintf(stderr, "the uploads left errors: %s\n", qPrintable(figures["errors"].toString()));
        return 1;
    }
    for (const char* name : {"query", "upload", "floats", "fblock"}) {
        const QJsonObject f = figures[name].toObject();
        std::printf("%-7s %5d runs: median %.3f ms, 90%% %.3f ms, fastest %.3f ms\n", name, f["count"].toInt(),
                    f["median"].toDouble(), f["p90"].toDouble(), f["min"].toDouble());
    }
    return 0;
}
