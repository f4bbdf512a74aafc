// SPDX-License-Identifier: MIT
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/tests/SettingsTestSupport.h"

#include <optional>

namespace {

std::unique_ptr<TWaveformTarn> Arbitrary(const std::string& name, std::vector<std::uint16_t> codes)
{
    auto w = std::make_unique<TWaveformTarn>();
    w->Allocate(static_cast<std::int32_t>(codes.size()), 4096, false);
    std::copy(codes.begin(), codes.end(), w->Samples());
    w->Name = name;
    w->UpdateStatistics();
    return w;
}

void WriteRepository(const std::filesystem::path& file, std::size_t deviceCount, std::size_t libraryCount)
{
    TWaveformList device;
    TWaveformList library;
    for (std::size_t i = 0; i < deviceCount; ++i)
        device.push_back(Arbitrary("dev" + std::to_string(i), {1, 2, 3}));
    for (std::size_t i = 0; i < libraryCount; ++i)
        library.push_back(Arbitrary("lib" + std::to_string(i), {10, 20, static_cast<std::uint16_t>(i)}));
    SaveWaveformRepositoryFile(file, device, library);
}

void ExpectStandardSet(const TSettingsTarn& s)
{
    ASSERT_GE(s.Repository.size(), 4u);
    const char* names[] = {"Sine", "Saw", "Triangle", "Square"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.Repository[i]->Name, names[i]);
        EXPECT_TRUE(s.Repository[i]->IsStandard);
        EXPECT_EQ(s.Repository[i]->SampleCount(), 8192);
        EXPECT_EQ(s.Repository[i]->SampleRange(), 4096);
    }
    ASSERT_EQ(s.Device.Waveforms.size(), 1u);
    const TWaveformTarn& sine = *s.Device.Waveforms[0];
    EXPECT_EQ(sine.Name, "");
    EXPECT_TRUE(sine.IsStandard);
    ASSERT_EQ(sine.SampleCount(), 8192);
    EXPECT_TRUE(std::equal(sine.Samples(), sine.Samples() + 8192, s.Repository[0]->Samples()));
    EXPECT_EQ(sine.MaxSample(), 4095);
    EXPECT_EQ(sine.MinSample(), 1);
}

std::string IntLine(const std::string& name, int value)
{
    return "\t\t<" + name + " type=\"int\">" + std::to_string(value) + "</" + name + ">\r\n";
}

std::string ArrayBlock(const std::string& name, const char* type, const std::vector<std::string>& items)
{
    std::string text = "\t\t<" + name + " type=\"" + type + "\" length=\"" + std::to_string(items.size()) + "\">\r\n";
    for (std::size_t i = 0; i < items.size(); ++i)
        text += "\t\t\t<ITEM index=\"" + std::to_string(i) + "\">" + items[i] + "</ITEM>\r\n";
    return text + "\t\t</" + name + ">\r\n";
}

} // namespace

TEST(SettingsTarnDefaults, FirstStartWithoutFiles)
{
    TTempFolder dir;
    TSettingsTarn s;
    s.SetDefaults();
    const TSettingsLoadResult r = s.Load(dir.Path());
    EXPECT_FALSE(r.SettingsRead);
    EXPECT_TRUE(r.RepositoryRecovered);

    EXPECT_EQ(s.FrequencyMax, 100000000.0);
    EXPECT_EQ(s.FrequencyMin, 16.384);
    EXPECT_EQ(s.SampleRange, 4096);
    EXPECT_EQ(s.ChannelCount, 2);
    EXPECT_EQ(s.RealChannelCount, 1);
    EXPECT_EQ(s.LevelSteps, 4096);
    EXPECT_EQ(s.LevelFactorMax, 10.0 / 4094.0);
    EXPECT_EQ(s.ShiftSteps, 4097);
    EXPECT_EQ(s.ShiftMin, -1.5);
    EXPECT_EQ(s.ShiftMax, 1.5);
    EXPECT_EQ(s.SampleZero, 2048);
    EXPECT_EQ(s.AttenuatorRatio, 10.0);
    ASSERT_EQ(s.ChannelAssignments.size(), 2u);
    EXPECT_EQ(s.ChannelAssignments[1].Gain, 5.5556);
    EXPECT_EQ(s.ChannelAssignments[1].OutputImpedance, 600);
    EXPECT_TRUE(s.ChannelAssignments[0].HasAttenuator);
    EXPECT_FALSE(s.ChannelAssignments[1].HasAttenuator);
    EXPECT_TRUE(s.ChannelAssignments[1].IsHOutput);

    EXPECT_EQ(s.Device.Frequency, 15000.0);
    EXPECT_EQ(s.Device.Level, TIntArray{2048});
    EXPECT_EQ(s.Device.Shift, TIntArray{2048});
    EXPECT_EQ(s.Device.DevShift, TIntArray{2048});
    EXPECT_EQ(s.Device.OutputOnOff, TIntArray{1});
    EXPECT_EQ(s.Device.Filter, TIntArray{0});
    EXPECT_EQ(s.Device.ArmStopLevel, 1);
    EXPECT_EQ(s.Device.RunOnOff, 1);
    EXPECT_EQ(s.Device.TriggerLeading, 1);
    EXPECT_EQ(s.VppOn, (TBoolArray{true, true}));
    EXPECT_EQ(s.VavgOn, (TBoolArray{true, true}));
    EXPECT_EQ(s.Loads, (TLoadArray{-1.0, -1.0}));
    EXPECT_TRUE(s.Options->BoolValue(optFilterAutoset));
    EXPECT_TRUE(s.Options->BoolValue(optVrmsFromAC));
    ExpectStandardSet(s);
    EXPECT_EQ(s.Repository.size(), 4u);
    EXPECT_DOUBLE_EQ(s.MinFrequency(), 0.002);
    EXPECT_EQ(s.MaxFrequency(), 50000000.0);
}

TEST(SettingsTarnDefaults, StandardWaveformSamples)
{
    TTempFolder dir;
    TSettingsTarn s;
    s.Load(dir.Path());
    const auto at = [&](std::size_t w, int j) { return s.Repository[w]->Samples()[j]; };
    EXPECT_EQ(at(0, 0), 2048);
    EXPECT_EQ(at(0, 2048), 4095);
    EXPECT_EQ(at(0, 6144), 1);
    EXPECT_EQ(at(1, 0), 2048);
    EXPECT_EQ(at(1, 2048), 3072); // 3071.5, half to even
    EXPECT_EQ(at(1, 4094), 4094);
    EXPECT_EQ(at(1, 4095), 1);
    EXPECT_EQ(at(1, 8191), 2048);
    EXPECT_EQ(at(2, 0), 2048);
    EXPECT_EQ(at(2, 2047), 4094);
    EXPECT_EQ(at(2, 2048), 4095);
    EXPECT_EQ(at(2, 6143), 2);
    EXPECT_EQ(at(2, 6144), 1);
    EXPECT_EQ(at(2, 8191), 2047);
    EXPECT_EQ(at(3, 4095), 4095);
    EXPECT_EQ(at(3, 4096), 1);
    EXPECT_EQ(s.Repository[3]->MeanSample(), 2048.0);
    EXPECT_EQ(s.Repository[3]->HighestHarmonic(), 4095);
}

TEST(SettingsTarnFrequency, BoundsFollowDeviceWaveform)
{
    TSettingsTarn s;
    // A fresh model already has a device sine.
    ASSERT_EQ(s.Device.Waveforms.size(), 1u);
    EXPECT_DOUBLE_EQ(s.MinFrequency(), 0.002);
    s.Device.Waveforms.clear();
    // No device waveform yet: the arbitrary bounds, no crash.
    EXPECT_EQ(s.MinFrequency(), 16.384);
    EXPECT_EQ(s.MaxFrequency(), 100000000.0);
    s.Device.Waveforms.push_back(Arbitrary("a", {1, 2, 3, 4}));
    EXPECT_EQ(s.MinFrequency(), 16.384);
    EXPECT_EQ(s.MaxFrequency(), 100000000.0);
    s.Device.Waveforms[0]->IsStandard = true;
    EXPECT_EQ(s.MinFrequency(), 16.384 / 4);
    EXPECT_EQ(s.MaxFrequency(), 50000000.0);
}

TEST(SettingsTarnLoad, PartialSettingsFile)
{
    TTempFolder dir;
    WriteWholeFile(dir / "settings.xml",
                   "<SETTINGS version=\"1\"><DEVICE>"
                   "<LEVEL type=\"intarray\" length=\"3\"><ITEM index=\"0\">100</ITEM><ITEM index=\"1\">200</ITEM>"
                   "<ITEM index=\"2\">300</ITEM></LEVEL>"
                   "<FREQUENCY type=\"float\">2,5</FREQUENCY><RUNONOFF type=\"int\">0</RUNONOFF>"
                   "<REALCHANNELCOUNT type=\"int\">5</REALCHANNELCOUNT></DEVICE>"
                   "<DISPLAY><VPON type=\"boolarray\" length=\"2\"><ITEM index=\"1\">false</ITEM></VPON></DISPLAY>"
                   "<OPTIONS><FILTERAUTOSET type=\"bool\">false</FILTERAUTOSET></OPTIONS></SETTINGS>");
    TSettingsTarn s;
    s.SetDefaults();
    EXPECT_TRUE(s.Load(dir.Path()).SettingsRead);
    EXPECT_EQ(s.Device.Level, TIntArray{100});
    EXPECT_EQ(s.Device.DevShift, TIntArray{2048});
    EXPECT_EQ(s.Device.Frequency, 2.5);
    EXPECT_EQ(s.Device.RunOnOff, 0);
    EXPECT_EQ(s.RealChannelCount, 1);
    EXPECT_EQ(s.VpOn, (TBoolArray{true, false}));
    EXPECT_FALSE(s.Options->BoolValue(optFilterAutoset));
    EXPECT_TRUE(s.Options->BoolValue(optVrmsFromAC));
}

TEST(SettingsTarnLoad, RoundTripThroughFolder)
{
    TTempFolder dir;
    {
        TSettingsTarn s;
        s.SetDefaults();
        s.Load(dir.Path());
        s.Device.Frequency = 1234.5;
        s.Device.FrequencyMode = 1;
        s.Device.Level = {4095};
        s.Device.Shift = {100};
        s.Device.DevShift = {200};
        s.Device.ShiftMode = {1};
        s.Device.OutputAtn = {1};
        s.Device.OutputOnOff = {0};
        s.Device.Filter = {2};
        s.Device.TriggerMode = 1;
        s.Device.ArmOnOff = 1;
        s.Device.ArmStopLevel = 0;
        s.Device.RunOnOff = 0;
        s.Device.TriggerOnOff = 1;
        s.Device.TriggerLeading = 0;
        s.VrmsOn = {false, true};
        s.Loads = {50.0, 600.0};
        s.Options->SetBoolValue(optVrmsFromAC, false);
        s.Device.Waveforms[0]->Assign(*Arbitrary("dev", {5, 6, 7}));
        s.AddWaveform(*Arbitrary("mine", {0, 4095}));
        const TSettingsSaveResult r = s.Save(dir.Path());
        EXPECT_TRUE(r.Ok()) << r.RepositoryError;
    }
    const std::string firstXml = ReadWholeFile(dir / "settings.xml");
    const std::string firstDat = ReadWholeFile(dir / "waveforms.dat");

    TSettingsTarn s;
    s.SetDefaults();
    const TSettingsLoadResult r = s.Load(dir.Path());
    EXPECT_TRUE(r.SettingsRead);
    EXPECT_FALSE(r.RepositoryRecovered) << r.RepositoryError;
    EXPECT_EQ(s.Device.Frequency, 1234.5);
    EXPECT_EQ(s.Device.FrequencyMode, 1);
    EXPECT_EQ(s.Device.Level, TIntArray{4095});
    EXPECT_EQ(s.Device.Shift, TIntArray{100});
    EXPECT_EQ(s.Device.DevShift, TIntArray{200});
    EXPECT_EQ(s.Device.ShiftMode, TIntArray{1});
    EXPECT_EQ(s.Device.OutputAtn, TIntArray{1});
    EXPECT_EQ(s.Device.OutputOnOff, TIntArray{0});
    EXPECT_EQ(s.Device.Filter, TIntArray{2});
    EXPECT_EQ(s.Device.TriggerMode, 1);
    EXPECT_EQ(s.Device.ArmOnOff, 1);
    EXPECT_EQ(s.Device.ArmStopLevel, 0);
    EXPECT_EQ(s.Device.RunOnOff, 0);
    EXPECT_EQ(s.Device.TriggerOnOff, 1);
    EXPECT_EQ(s.Device.TriggerLeading, 0);
    EXPECT_EQ(s.VrmsOn, (TBoolArray{false, true}));
    EXPECT_EQ(s.Loads, (TLoadArray{-1.0, -1.0}));
    EXPECT_FALSE(s.Options->BoolValue(optVrmsFromAC));
    ASSERT_EQ(s.Device.Waveforms.size(), 1u);
    EXPECT_EQ(s.Device.Waveforms[0]->Name, "dev");
    EXPECT_EQ(s.Device.Waveforms[0]->SampleCount(), 3);
    ASSERT_EQ(s.Repository.size(), 5u);
    EXPECT_EQ(s.Repository[4]->Name, "mine");
    EXPECT_EQ(s.Repository[4]->MaxSample(), 4095);
    EXPECT_EQ(s.MinFrequency(), 16.384);

    // Saving what was loaded changes neither file.
    ASSERT_TRUE(s.Save(dir.Path()).Ok());
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), firstXml);
    EXPECT_EQ(ReadWholeFile(dir / "waveforms.dat"), firstDat);
    EXPECT_EQ(EntryCount(dir.Path()), 2u);
}

TEST(SettingsTarnLoad, NewFileElementOrder)
{
    TTempFolder dir;
    TSettingsTarn s;
    s.SetDefaults();
    s.Load(dir.Path());
    ASSERT_TRUE(s.Save(dir.Path()).Ok());
    const std::vector<std::string> mid{"2048"}, zero{"0"}, one{"1"}, shown{"true", "true"};
    const std::string expected = "<SETTINGS version=\"1\">\r\n\t<DEVICE>\r\n" + IntLine("REALCHANNELCOUNT", 1)
                                 + IntLine("CHANNELCOUNT", 2) + "\t\t<FREQUENCY type=\"float\">15000</FREQUENCY>\r\n"
                                 + IntLine("FREQUENCYMODE", 0) + ArrayBlock("LEVEL", "intarray", mid)
                                 + ArrayBlock("SHIFT", "intarray", mid) + ArrayBlock("DEVSHIFT", "intarray", mid)
                                 + ArrayBlock("SHIFTMODE", "intarray", zero) + ArrayBlock("OUTPUTATN", "intarray", zero)
                                 + ArrayBlock("OUTPUTONOFF", "intarray", one) + ArrayBlock("FILTER", "intarray", zero)
                                 + IntLine("TRIGGERMODE", 0) + IntLine("ARMONOFF", 0) + IntLine("ARMSTOPLEVEL", 1)
                                 + IntLine("RUNONOFF", 1) + IntLine("TRIGGERONOFF", 0) + IntLine("TRIGGERLEADING", 1)
                                 + "\t</DEVICE>\r\n\t<DISPLAY>\r\n" + ArrayBlock("VPPON", "boolarray", shown)
                                 + ArrayBlock("VPON", "boolarray", shown) + ArrayBlock("VRMSON", "boolarray", shown)
                                 + ArrayBlock("VAVGON", "boolarray", shown)
                                 + "\t</DISPLAY>\r\n\t<OPTIONS>\r\n"
                                   "\t\t<FILTERAUTOSET type=\"bool\">true</FILTERAUTOSET>\r\n"
                                   "\t\t<VRMSFROMAC type=\"bool\">true</VRMSFROMAC>\r\n"
                                   "\t\t<REMOTECONTROL type=\"bool\">false</REMOTECONTROL>\r\n"
                                   "\t</OPTIONS>\r\n</SETTINGS>\r\n";
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), expected);
}

// Every way "waveforms.dat" can be unusable ends in the standard set.
TEST(SettingsTarnRecovery, UnusableRepositoryFiles)
{
    TTempFolder dir;
    const auto file = dir / "waveforms.dat";
    WriteRepository(file, 1, 2);
    const std::string good = ReadWholeFile(file);
    std::string wrongVersion = good;
    wrongVersion[0] = 1;
    wrongVersion[4] = static_cast<char>(0xFE);
    std::string wrongType = good;
    wrongType[8] = static_cast<char>(0xE8); // 1000, guarded
    wrongType[12] = static_cast<char>(0x17);
    std::string damaged = good;
    damaged[17] ^= 0x40;

    struct TCase {
        const char* What;
        std::optional<std::string> Content;
        const char* Message;
    };
    const TCase cases[] = {
        {"missing", std::nullopt, ""},
        {"empty", std::string(), "Wrong integer in file"},
        {"wrong version", wrongVersion, "Unknown file version"},
        {"wrong type", wrongType, "Unknown file type"},
        {"damaged count", damaged, "Wrong integer in file"},
        {"truncated", good.substr(0, good.size() - 5), ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::filesystem::remove(file);
        if (c.Content)
            WriteWholeFile(file, *c.Content);
        TSettingsTarn s;
        s.SetDefaults();
        const TSettingsLoadResult r = s.Load(dir.Path());
        EXPECT_TRUE(r.RepositoryRecovered);
        if (*c.Message != '\0') {
            EXPECT_EQ(r.RepositoryError, c.Message);
        }
        ExpectStandardSet(s);
        EXPECT_EQ(s.Repository.size(), 4u);
    }
}

TEST(SettingsTarnRecovery, ValidEmptyListAndMissingDeviceWaveform)
{
    TTempFolder dir;
    WriteRepository(dir / "waveforms.dat", 1, 0);
    TSettingsTarn s;
    EXPECT_FALSE(s.Load(dir.Path()).RepositoryRecovered);
    EXPECT_TRUE(s.Repository.empty());
    ASSERT_EQ(s.Device.Waveforms.size(), 1u);
    EXPECT_EQ(s.Device.Waveforms[0]->Name, "dev0");

    // No waveform for the device channel: treated as a damaged file.
    WriteRepository(dir / "waveforms.dat", 0, 2);
    TSettingsTarn t;
    EXPECT_TRUE(t.Load(dir.Path()).RepositoryRecovered);
    ExpectStandardSet(t);

    // A device waveform without samples cannot be played either.
    TWaveformList device;
    device.push_back(std::make_unique<TWaveformTarn>());
    TWaveformList library;
    library.push_back(Arbitrary("kept", {1, 2}));
    SaveWaveformRepositoryFile(dir / "waveforms.dat", device, library);
    TSettingsTarn u;
    EXPECT_TRUE(u.Load(dir.Path()).RepositoryRecovered);
    ExpectStandardSet(u);
}

TEST(SettingsTarnRecovery, EntriesReadWholeBeyondFourStay)
{
    TTempFolder dir;
    WriteRepository(dir / "waveforms.dat", 1, 6);
    const std::string good = ReadWholeFile(dir / "waveforms.dat");
    // Cut into the last record: five library waveforms were read whole.
    WriteWholeFile(dir / "waveforms.dat", good.substr(0, good.size() - 20));
    TSettingsTarn s;
    EXPECT_TRUE(s.Load(dir.Path()).RepositoryRecovered);
    ExpectStandardSet(s);
    ASSERT_EQ(s.Repository.size(), 5u);
    EXPECT_EQ(s.Repository[4]->Name, "lib4");
}

TEST(SettingsTarnRecovery, MakeStandardWaveformsKeepsTail)
{
    TSettingsTarn s;
    s.Repository.clear();
    for (int i = 0; i < 6; ++i)
        s.Repository.push_back(Arbitrary("w" + std::to_string(i), {1}));
    s.MakeStandardWaveforms();
    ASSERT_EQ(s.Repository.size(), 6u);
    EXPECT_EQ(s.Repository[3]->Name, "Square");
    EXPECT_EQ(s.Repository[4]->Name, "w4");
    EXPECT_EQ(s.Repository[5]->Name, "w5");
}

TEST(SettingsTarnSave, FailuresReportedPerFile)
{
    TTempFolder dir;
    TSettingsTarn s;
    s.Load(dir.Path());

    // Neither file can be created below a regular file.
    WriteWholeFile(dir / "plain", "x");
    TSettingsSaveResult r = s.Save(dir / "plain");
    EXPECT_FALSE(r.SettingsSaved);
    EXPECT_FALSE(r.RepositorySaved);
    EXPECT_FALSE(r.RepositoryError.empty());
    EXPECT_EQ(ReadWholeFile(dir / "plain"), "x");
    EXPECT_EQ(SaveFailureMessages(r),
              (std::vector<std::string>{
                  "Unable to save settings. Please check if the settings.xml is not read-only.",
                  "Unable to save waveform repository. Please check if the waveforms.dat is not read-only."}));

    // The settings failing does not stop the repository, and the reverse.
    TTempFolder a;
    std::filesystem::create_directory(a / "settings.xml");
    r = s.Save(a.Path());
    EXPECT_FALSE(r.SettingsSaved);
    EXPECT_TRUE(r.RepositorySaved);
    EXPECT_TRUE(std::filesystem::is_regular_file(a / "waveforms.dat"));
    EXPECT_EQ(SaveFailureMessages(r).size(), 1u);

    TTempFolder b;
    std::filesystem::create_directory(b / "waveforms.dat");
    r = s.Save(b.Path());
    EXPECT_TRUE(r.SettingsSaved);
    EXPECT_FALSE(r.RepositorySaved);
    EXPECT_TRUE(std::filesystem::is_regular_file(b / "settings.xml"));
}

TEST(SettingsTarnSave, ReadOnlyFilesAreKeptForRootToo)
{
    TTempFolder dir;
    TSettingsTarn s;
    s.Load(dir.Path());
    ASSERT_TRUE(s.Save(dir.Path()).Ok());
    const std::string xml = ReadWholeFile(dir / "settings.xml");
    const std::string dat = ReadWholeFile(dir / "waveforms.dat");
    s.Device.Frequency = 99.0;
    s.Repository.clear();
    std::filesystem::permissions(dir / "settings.xml", std::filesystem::perms::owner_read);
    std::filesystem::permissions(dir / "waveforms.dat", std::filesystem::perms::owner_read);
    const TSettingsSaveResult r = s.Save(dir.Path());
    EXPECT_EQ(SaveFailureMessages(r).size(), 2u);
    EXPECT_FALSE(r.SettingsSaved);
    EXPECT_FALSE(r.RepositorySaved);
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), xml);
    EXPECT_EQ(ReadWholeFile(dir / "waveforms.dat"), dat);
}

TEST(SettingsTarnWaveforms, AddWaveformCopies)
{
    TSettingsTarn s;
    s.Repository.clear();
    auto source = Arbitrary("orig", {100, 200, 300});
    // A value cached for other samples must not travel with the copy.
    source->Samples()[2] = 301;
    ASSERT_EQ(source->MaxSample(), 301);
    source->Samples()[2] = 300;
    TWaveformTarn& added = s.AddWaveform(*source);
    source->Samples()[0] = 7;
    source->Name = "changed";
    ASSERT_EQ(s.Repository.size(), 1u);
    EXPECT_EQ(&added, s.Repository[0].get());
    EXPECT_EQ(added.Name, "orig");
    EXPECT_EQ(added.Samples()[0], 100);
    EXPECT_EQ(added.MaxSample(), 300);
    EXPECT_EQ(added.MeanSample(), 200.0);
}
