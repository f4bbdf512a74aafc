// SPDX-License-Identifier: MIT
#include "data/CommandLine.h"
#include "shell/master/DialogService.h"
#include "shell/TarnProgram.h"

#include <QApplication>

int main(int argc, char** argv)
{
    if (const int status = tarn::CheckCommandLine(argc, argv, tarn::TarnCommandLine); status >= 0)
        return status;
    QApplication app(argc, argv);
    tarn::TMessageBoxDialogService dialogs;
    return tarn::RunTarn(dialogs);
}
