// SPDX-License-Identifier: MIT
#include "data/WaveformRepositoryFile.h"

#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sstream>

using wavetest::MakeWaveform;
using wavetest::StandardSine;
using wavetest::TempFolder;

namespace {

std::string Guarded(std::int32_t v)
{
    std::ostringstream out(std::ios::binary);
    TBinStreamEx s(out);
    s.WriteGuardedInt(v);
    return out.str();
}

std::string Serialize(const TWaveformList& device, const TWaveformList& repo)
{
    std::ostringstream out(std::ios::binary);
    TBinStreamEx s(out);
    WriteWaveformRepository(s, device, repo);
    return out.str();
}

std::string Deserialize(const std::string& bytes, TWaveformList& device, TWaveformList& repo)
{
    std::istringstream in(bytes, std::ios::binary);
    TBinStreamEx s(in);
    try {
        ReadWaveformRepository(s, device, repo);
    } catch (const EDataError& e) {
        return e.what();
    }
    return "ok";
}

std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Sample(TWaveformList& device, TWaveformList& repo)
{
    device.push_back(MakeWaveform("", StandardSine(), true));
    repo.push_back(MakeWaveform("Sine", StandardSine(), true));
    auto arb = MakeWaveform("Ramp", {1, 2, 3, 4, 5, 6, 7});
    arb->ModuleData.Reset(3, "Maker");
    arb->ModuleData.AddBlock(3, "Maker", 4, "data");
    repo.push_back(std::move(arb));
    repo.push_back(MakeWaveform("Empty", {}));
}

// Fails every write once its room is used up, like a full disk.
class FullDiskBuf : public std::streambuf {
public:
    explicit FullDiskBuf(std::size_t room) : Room(room) {}

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override
    {
        const auto take = std::min<std::streamsize>(n, static_cast<std::streamsize>(Room));
        Room -= static_cast<std::size_t>(take);
        return take;
    }
    int_type overflow(int_type) override { return traits_type::eof(); }

private:
    std::size_t Room;
};

} // namespace

TEST(RepositoryFile, LayoutAndRoundTrip)
{
    TWaveformList device, repo;
    Sample(device, repo);
    const std::string bytes = Serialize(device, repo);
    EXPECT_EQ(bytes.substr(0, 24), Guarded(0) + Guarded(1001) + Guarded(1));
    // The first record follows the device count directly, with its own header.
    EXPECT_EQ(bytes.substr(24, 16), Guarded(0) + Guarded(1000));

    TWaveformList d2, r2;
    ASSERT_EQ(Deserialize(bytes, d2, r2), "ok");
    ASSERT_EQ(d2.size(), 1u);
    ASSERT_EQ(r2.size(), 3u);
    EXPECT_EQ(d2[0]->Name, "");
    EXPECT_TRUE(d2[0]->IsStandard);
    EXPECT_EQ(d2[0]->HighestHarmonic(), 4095);
    EXPECT_EQ(r2[1]->Name, "Ramp");
    EXPECT_EQ(r2[1]->ModuleData.Blocks.at(0), "data");
    EXPECT_EQ(r2[2]->SampleCount(), 0);
    EXPECT_EQ(Serialize(d2, r2), bytes);

    // D = 1, R = 0 is a valid file with an empty list.
    TWaveformList d3, r3;
    r3.push_back(MakeWaveform("old", {1}));
    const std::string noRepo = Serialize(device, TWaveformList{});
    ASSERT_EQ(Deserialize(noRepo, d3, r3), "ok");
    EXPECT_EQ(d3.size(), 1u);
    EXPECT_TRUE(r3.empty());
}

TEST(RepositoryFile, HeaderAndCountDamage)
{
    TWaveformList d, r;
    EXPECT_EQ(Deserialize(Guarded(1) + Guarded(1001), d, r), "Unknown file version");
    // A single waveform record is not a repository.
    auto single = MakeWaveform("x", {1, 2});
    std::ostringstream rec(std::ios::binary);
    single->SaveToStream(rec);
    EXPECT_EQ(Deserialize(rec.str(), d, r), "Unknown file type");
    EXPECT_EQ(Deserialize(Guarded(0) + Guarded(1001) + Guarded(INT32_MAX), d, r), "Wrong integer in file");
    EXPECT_EQ(Deserialize(Guarded(0) + Guarded(1001) + Guarded(-3), d, r), "Wrong integer in file");
    EXPECT_EQ(Deserialize(Guarded(0) + Guarded(1001) + Guarded(0) + Guarded(1000000), d, r), "Wrong integer in file");
    EXPECT_EQ(Deserialize("", d, r), "Wrong integer in file");
}

TEST(RepositoryFile, FailureKeepsOnlyWholeRecords)
{
    TWaveformList device, repo;
    Sample(device, repo);
    for (int i = 0; i < 3; ++i)
        repo.push_back(MakeWaveform("Extra" + std::to_string(i), {5, 6, 7}));
    const std::string bytes = Serialize(device, repo);
    // Cut inside the last record of the waveform list.
    const std::string cut = bytes.substr(0, bytes.size() - 3);
    TWaveformList d, r;
    EXPECT_EQ(Deserialize(cut, d, r), "Wrong integer in file");
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(r.size(), 5u);
    for (const auto& w : r)
        ASSERT_NE(w, nullptr);
    EXPECT_EQ(r[4]->Name, "Extra1");
}

TEST(RepositoryFile, TextsAndCountsBeyondTheEndAreDamage)
{
    // One device waveform named "Dev" with two module blocks, then one
    // library waveform "Lib" whose last block is "tail".
    TWaveformList device, repo;
    device.push_back(MakeWaveform("Dev", {1, 2}));
    device.back()->ModuleData.Reset(9, "Mod");
    device.back()->ModuleData.AddBlock(9, "Mod", 2, "ab");
    device.back()->ModuleData.AddBlock(9, "Mod", 2, "cd");
    repo.push_back(MakeWaveform("Lib", {3}));
    repo.back()->ModuleData.Reset(9, "Mod");
    repo.back()->ModuleData.AddBlock(9, "Mod", 4, "tail");
    const std::string bytes = Serialize(device, repo);
    TWaveformList d, r;
    ASSERT_EQ(Deserialize(bytes, d, r), "ok");

    // A text whose length runs past the end of the file fails at that text.
    const std::size_t header = 8 + 8 + 8;
    EXPECT_EQ(Deserialize(bytes.substr(0, header + 16 + 8 + 2), d, r), "Wrong string in file");
    const std::size_t deviceModuleName = header + 16 + 8 + 3 + 1 + 4 + 8 + 4 + 8;
    EXPECT_EQ(Deserialize(bytes.substr(0, deviceModuleName + 8 + 1), d, r), "Wrong string in file");
    const std::size_t firstBlock = deviceModuleName + 8 + 3 + 8;
    EXPECT_EQ(Deserialize(bytes.substr(0, firstBlock + 8 + 1), d, r), "Wrong string in file");
    EXPECT_EQ(Deserialize(bytes.substr(0, bytes.size() - 1), d, r), "Wrong string in file");

    // More blocks announced than the bytes left: the count itself is damage.
    std::string moreBlocks = bytes;
    moreBlocks.replace(deviceModuleName + 8 + 3, 8, Guarded(1000));
    EXPECT_EQ(Deserialize(moreBlocks, d, r), "Wrong integer in file");
}

TEST(RepositoryFile, OversizedListCountKeepsTheWholeRecords)
{
    TWaveformList device, repo;
    device.push_back(MakeWaveform("", {1}));
    for (int i = 0; i < 6; ++i)
        repo.push_back(MakeWaveform("W" + std::to_string(i), {}));
    std::string bytes = Serialize(device, repo);
    // The list claims 100 entries; the six that are there are read whole.
    const std::size_t listCountAt = 8 + 8 + 8 + (8 + 8 + 8 + 1 + 4 + 8 + 2 + 8 + 8 + 8);
    bytes.replace(listCountAt, 8, Guarded(100));
    TWaveformList d, r;
    EXPECT_EQ(Deserialize(bytes, d, r), "Wrong integer in file");
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[5]->Name, "W5");

    // A count larger than the bytes left is refused before any record.
    bytes.replace(listCountAt, 8, Guarded(100000));
    EXPECT_EQ(Deserialize(bytes, d, r), "Wrong integer in file");
    EXPECT_TRUE(r.empty());
}

TEST(RepositoryFile, NeverCrashesOnDamagedBytes)
{
    TWaveformList device, repo;
    device.push_back(MakeWaveform("", {1, 2, 3, 4, 5, 6, 7, 8}));
    repo.push_back(MakeWaveform("A", {9, 8, 7}));
    repo.back()->ModuleData.Reset(1, "m");
    repo.back()->ModuleData.AddBlock(1, "m", 2, "zz");
    const std::string bytes = Serialize(device, repo);
    for (std::size_t len = 0; len < bytes.size(); ++len) {
        TWaveformList d, r;
        EXPECT_NE(Deserialize(bytes.substr(0, len), d, r), "ok") << len;
    }
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = bytes;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f)
            damaged[rng() % damaged.size()] = static_cast<char>(rng());
        TWaveformList d, r;
        Deserialize(damaged, d, r); // either loads or throws EDataError
        for (const auto& w : r)
            ASSERT_NE(w, nullptr);
    }
}

TEST(RepositoryFile, SaveAndLoadFile)
{
    TempFolder folder;
    const auto file = folder.Path / WaveformRepositoryFileName;
    TWaveformList device, repo;
    Sample(device, repo);
    SaveWaveformRepositoryFile(file, device, repo);
    const std::string first = ReadAll(file);
    EXPECT_EQ(first, Serialize(device, repo));
    EXPECT_FALSE(std::filesystem::exists(folder.Path / "waveforms.dat.tmp"));

    TWaveformList d, r;
    LoadWaveformRepositoryFile(file, d, r);
    ASSERT_EQ(r.size(), 3u);
    SaveWaveformRepositoryFile(file, d, r);
    EXPECT_EQ(ReadAll(file), first);

    TWaveformList nd, nr;
    EXPECT_THROW(LoadWaveformRepositoryFile(folder.Path / "missing.dat", nd, nr), EDataError);
}

TEST(RepositoryFile, FailedSaveLeavesTheOldFile)
{
    TempFolder folder;
    const auto file = folder.Path / WaveformRepositoryFileName;
    TWaveformList device, repo;
    Sample(device, repo);
    SaveWaveformRepositoryFile(file, device, repo);
    const std::string before = ReadAll(file);

    // The disk fills up while the new content is written (a file size
    // limit stops root too).
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        TWaveformList more;
        Sample(more, more);
        const bool threw = [&] {
            try {
                SaveWaveformRepositoryFile(file, more, more);
            } catch (const EDataError&) {
                return true;
            }
            return false;
        }();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_DFL);
        EXPECT_TRUE(threw);
    }
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path), {}), 1) << "no temporary file left";
    TWaveformList other;
    other.push_back(MakeWaveform("new", {1}));

    // A list with an empty place is refused before anything is replaced.
    TWaveformList holes;
    holes.push_back(nullptr);
    EXPECT_THROW(SaveWaveformRepositoryFile(file, device, holes), EDataError);
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_FALSE(std::filesystem::exists(folder.Path / "waveforms.dat.tmp"));

    // A write-protected file stays as it is, for root too.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    EXPECT_THROW(SaveWaveformRepositoryFile(file, other, other), EDataError);
    EXPECT_EQ(ReadAll(file), before);
}

TEST(RepositoryFile, WriteErrorsAreReported)
{
    TWaveformList device, repo;
    Sample(device, repo);
    FullDiskBuf buf(100);
    std::ostream out(&buf);
    TBinStreamEx s(out);
    EXPECT_THROW(WriteWaveformRepository(s, device, repo), EDataError);
}
