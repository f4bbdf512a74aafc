// SPDX-License-Identifier: MIT
#include "data/CommandLine.h"

#include <algorithm>
#include <string>

#ifndef TARN_VERSION
#error "TARN_VERSION comes from the project's version in CMake"
#endif

namespace tarn {

namespace {

constexpr std::string_view HelpLine = "  --help        show this help and exit\n"
                                      "  --version     show the version and exit\n";

void Print(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

int Refuse(std::FILE* err, std::string_view program, const std::string& reason)
{
    const std::string text = std::string(program) + ": " + reason + "\nTry '" + std::string(program)
                             + " --help' for more information.\n";
    Print(err, text);
    return 2;
}

// An argument from the command line may hold anything: quote it readably.
std::string Quoted(std::string_view argument)
{
    std::string text = "'";
    for (const char c : argument.substr(0, 200))
        text += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return text + (argument.size() > 200 ? "...'" : "'");
}

} // namespace

const TCommandLine TarnCommandLine{
    "tarn",
    "Usage: tarn [--help | --version]\n"
    "Controls a two-output USB arbitrary and function waveform generator.\n"
    "Settings and the waveform library are kept in the program folder, or in\n"
    "$XDG_DATA_HOME/tarn (~/.local/share/tarn) when that folder is read-only.\n"
    "See tarn(1) and the user manual in the program's Help menu.\n\n"
    "Options:\n",
    {},
    false};

const TCommandLine VirtualDeviceCommandLine{
    "tarn-virtual-device",
    "Usage: tarn-virtual-device [--follow PID] [--ready] | --help | --version\n"
    "Shows the virtual generator's outputs and serves the virtual generator on\n"
    "the user's socket ($TARN_VIRTUAL_DEVICE_SOCKET, else $XDG_RUNTIME_DIR).\n\n"
    "Options:\n"
    "  --follow PID  end when the process PID ends\n"
    "  --ready       write \"ready\" to standard output once the socket listens\n",
    {{"--follow", true}, {"--ready", false}},
    false};

const TCommandLine TarnwaveCommandLine{
    "tarnwave",
    "Usage: tarnwave list FILE\n"
    "       tarnwave init FILE\n"
    "       tarnwave export FILE INDEX\n"
    "       tarnwave import FILE NAME [--standard]\n"
    "Lists, creates, exports from and imports into a waveform library file.\n"
    "See tarnwave(1).\n\n"
    "Options:\n"
    "  --standard    import as a standard waveform (8192 samples)\n",
    {},
    true};

int CheckCommandLine(int argc, const char* const* argv, const TCommandLine& options, std::FILE* out,
                        std::FILE* err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            Print(out, options.Help);
            Print(out, HelpLine);
            return std::fflush(out) == 0 ? 0 : 1;
        }
        if (argument == "--version") {
            Print(out, std::string(options.Program) + " " + TARN_VERSION + "\n");
            return std::fflush(out) == 0 ? 0 : 1;
        }
        const auto known = std::find_if(options.Options.begin(), options.Options.end(),
                                        [&](const TCommandLineOption& option) { return option.Name == argument; });
        if (known != options.Options.end()) {
            if (known->TakesValue && ++i == argc)
                return Refuse(err, options.Program, "option " + Quoted(argument) + " needs a value");
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-')
            return Refuse(err, options.Program, "unknown option " + Quoted(argument));
        if (options.Operands)
            return -1; // the program's own arguments from here on
        return Refuse(err, options.Program, "unexpected argument " + Quoted(argument));
    }
    return -1;
}

} // namespace tarn
