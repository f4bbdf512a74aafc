// SPDX-License-Identifier: MIT
// --help and --version for the installed programs, and the refusal of any
// option a program does not know. Qt-free: it runs before any window or
// single-instance test exists.
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

namespace tarn {

struct TCommandLineOption {
    std::string_view Name;
    bool TakesValue = false;
};

struct TCommandLine {
    std::string_view Program; // the name in messages and in --version
    std::string_view Help;    // printed by --help
    std::vector<TCommandLineOption> Options; // those the program reads itself
    // Whether arguments that are no option are the program's own (its
    // commands and file names); options then come before the first of them.
    bool Operands = false;
};

extern const TCommandLine TarnCommandLine;
extern const TCommandLine VirtualDeviceCommandLine;
extern const TCommandLine TarnwaveCommandLine;

// The exit status when the program must end now (0 after --help or
// --version, 2 after a wrong argument, the reason on err), else -1.
int CheckCommandLine(int argc, const char* const* argv, const TCommandLine& options,
                        std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace tarn
