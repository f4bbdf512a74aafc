// SPDX-License-Identifier: MIT
// Writes the seed corpora of the fuzz targets, made by the project's own code:
// fuzz_seed_maker FOLDER makes FOLDER/<target>/<seed>.
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<TWaveformTarn> SmallWaveform(const std::string& name, std::int32_t count, bool withModuleData)
{
    auto made = std::make_unique<TWaveformTarn>();
    TWaveformTarn& waveform = *made;
    waveform.Name = name;
    waveform.Allocate(count, 4096, false);
    for (std::int32_t i = 0; i < count; ++i) {
        waveform.Samples()[i] = static_cast<std::uint16_t>((i * 977) % 4096);
    }
    if (withModuleData) {
        waveform.ModuleData.Reset(7, "Equation");
        waveform.ModuleData.AddBlock(7, "Equation", 9, "sin(2*x)");
        waveform.ModuleData.AddBlock(7, "Equation", 0, "");
    }
    return made;
}

std::string Record(const TWaveformTarn& waveform)
{
    std::ostringstream out;
    waveform.SaveToStream(out);
    return out.str();
}

std::string LittleEndian(std::uint32_t value, int bytes)
{
    std::string text;
    for (int i = 0; i < bytes; ++i) {
        text.push_back(static_cast<char>(value >> (8 * i)));
    }
    return text;
}

// One request of the virtual generator fuzzer: operation, length, bytes.
std::string Request(std::uint8_t op, const std::string& bytes)
{
    return std::string(1, static_cast<char>(op)) + LittleEndian(static_cast<std::uint32_t>(bytes.size()), 2) + bytes;
}

std::string Packet(std::uint8_t command, std::uint8_t reg, std::uint16_t value)
{
    return {static_cast<char>(command), static_cast<char>(reg), static_cast<char>(value >> 8),
            static_cast<char>(value & 0xFF)};
}

// One call of the driver fuzzer: code, value, then what the code reads.
std::string Call(std::uint32_t code, std::int32_t value, const std::string& extra = {})
{
    return LittleEndian(code, 4) + LittleEndian(static_cast<std::uint32_t>(value), 4) + extra;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzz_seed_maker FOLDER\n", stderr);
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path scratch = out / ".scratch";
    fs::create_directories(scratch);

    // The files as the program writes them: defaults, and a small library.
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.RecoverWaveforms();
    settings.Save(scratch);
    Write(out / "repository" / "default", Read(scratch / WaveformRepositoryFileName));
    Write(out / "settings" / "default", std::string("\x0d/device/level\x00", 15) + Read(scratch / SettingsFileName));

    TSettingsTarn small;
    small.SetDefaults();
    small.Device.Waveforms.clear();
    small.Device.Waveforms.push_back(SmallWaveform("", 32, false));
    small.AddWaveform(*SmallWaveform("ramp", 16, true));
    small.AddWaveform(*SmallWaveform("", 1, false));
    small.Device.Frequency = 2.5e6;
    small.Device.Level = {1638};
    small.Save(scratch);
    Write(out / "repository" / "small", Read(scratch / WaveformRepositoryFileName));
    Write(out / "settings" / "small",
          std::string("\x0e/device/filter\x06/loads", 22) + Read(scratch / SettingsFileName));

    Write(out / "waveform_record" / "module", Record(*SmallWaveform("ramp", 16, true)));
    Write(out / "waveform_record" / "empty", Record(*SmallWaveform("", 0, false)));

    int n = 0;
    for (const char* text : {"15k", "2.5", "500m", "Open", "8k", "1,5 V", "1e3", "-0.25", "100u", "1.5M", "2G"}) {
        Write(out / "value_texts" / std::to_string(n++), text);
    }

    // Register writes, a query with its read, a sample upload and read-back,
    // a configuration announcement with its image, power off and on.
    Write(out / "virtual_generator" / "registers",
          Request(0, Packet(0x01, 1, 0x0800) + Packet(0x01, 2, 0x0800) + Packet(0x02, 3, 0x1234))
              + Request(0, Packet(0x24, 0x00, 0x0104)) + Request(2, std::string(4, '\0')));
    Write(out / "virtual_generator" / "samples",
          Request(0, Packet(0x01, 13, 0) + Packet(0x29, 11, 1)) + Request(1, std::string(64, '\x08'))
              + Request(0, Packet(0x2B, 11, 1)) + Request(2, std::string(64, '\0')));
    Write(out / "virtual_generator" / "configuration",
          Request(0, Packet(0x20, 0, 0)) + Request(5, std::string(0, '\0')) + Request(0, Packet(0x2D, 0x20, 0))
              + Request(0, Packet(0x2D, 0x00, 0)) + Request(3, "") + Request(4, ""));

    // A session of the program: waveform, level, frequency, power state, version.
    std::string samples;
    for (int i = 0; i < 8; ++i) {
        samples += LittleEndian(static_cast<std::uint32_t>(i * 500), 2);
    }
    Write(out / "device_function" / "session",
          Call(1, 0, LittleEndian(8, 2) + samples) + Call(2, 4095) + Call(3, 1) + Call(4, 2)
              + Call(5, 0, LittleEndian(0, 4) + LittleEndian(0x40C38800, 4)) + Call(6, 2048) + Call(15, 0) + Call(66, 0)
              + Call(69, 0) + Call(21, 1));
    Write(out / "device_function" / "broken", Call(2, 100) + Call(0xF0, 2) + Call(2, 200) + Call(15, 0) + Call(0xF1, 0)
                                                  + Call(6, 1) + Call(0xF2, 0) + Call(7, 1));

    // Import: column, decimal mark, kind, full scale and size, then the file.
    const std::string importOptions("\x02\x00\x01\x20\x40\x00", 6);
    Write(out / "import_reader" / "csv", importOptions + "time;volts\n0;0,5\n1;-0.25\n2;\"1e-1\"\n");
    Write(out / "import_reader" / "wave",
          importOptions + "RIFF" + LittleEndian(44, 4) + "WAVEfmt " + LittleEndian(16, 4) + LittleEndian(1, 2)
              + LittleEndian(2, 2) + LittleEndian(8000, 4) + LittleEndian(32000, 4) + LittleEndian(4, 2)
              + LittleEndian(16, 2) + "data" + LittleEndian(8, 4) + samples.substr(0, 8));
    fs::remove_all(scratch);
    return 0;
}
