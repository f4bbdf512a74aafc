// SPDX-License-Identifier: MIT
#include "shell/master/DialogService.h"
#include "shell/TarnProgram.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tarn::TMessageBoxDialogService dialogs;
    return tarn::RunTarn(dialogs);
}
