// SPDX-License-Identifier: MIT
#include "data/OptionsTarn.h"
#include "data/XMLSettings.h"
#include "data/tests/SettingsTestSupport.h"

#include <typeinfo>

namespace {

class TFakeCheckBox : public TCheckBoxControl {
public:
    bool Checked = false;
    bool IsChecked() const override { return Checked; }
    void SetChecked(bool checked) override { Checked = checked; }
};

class TOtherControl : public TOptionControl {};

} // namespace

TEST(OptionsTarn, TableDefaults)
{
    TOptions options;
    ASSERT_EQ(options.Count(), 3u);
    EXPECT_EQ(options.Item(optFilterAutoset)->Name, "FilterAutoset");
    EXPECT_EQ(options.Item(optVrmsFromAC)->Name, "VrmsFromAC");
    EXPECT_EQ(options.Item(optVrmsFromAC)->Index, 1);
    EXPECT_TRUE(options.BoolValue(optFilterAutoset));
    EXPECT_TRUE(options.BoolValue(optVrmsFromAC));
    // Remote control opens a port: off until the user turns it on.
    EXPECT_EQ(options.Item(optRemoteControl)->Name, "RemoteControl");
    EXPECT_FALSE(options.BoolValue(optRemoteControl));
    EXPECT_FALSE(options.BoolValue(5));
    EXPECT_FALSE(options.BoolValue(-1));
}

TEST(OptionsTarn, SetTextIsExactAndCaseSensitive)
{
    TBooleanOption option;
    option.SetText("true");
    EXPECT_TRUE(option.Value);
    option.SetText("True");
    EXPECT_FALSE(option.Value);
}

TEST(OptionsTarn, PersistsUnderOptionsPath)
{
    TTempFolder dir;
    TXMLSettings store;
    store.EnsureRoot();
    TOptions options;
    options.SetBoolValue(optVrmsFromAC, false);
    options.SaveTo(OptionsPath, store);
    EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\">\r\n\t<OPTIONS>\r\n"
                                     "\t\t<FILTERAUTOSET type=\"bool\">true</FILTERAUTOSET>\r\n"
                                     "\t\t<VRMSFROMAC type=\"bool\">false</VRMSFROMAC>\r\n"
                                     "\t\t<REMOTECONTROL type=\"bool\">false</REMOTECONTROL>\r\n"
                                     "\t</OPTIONS>\r\n</SETTINGS>\r\n");
    ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));

    TXMLSettings loadedStore;
    loadedStore.EnsureRoot();
    ASSERT_TRUE(loadedStore.LoadFromFile(dir / "settings.xml"));
    TOptions loaded;
    loaded.LoadFrom(OptionsPath, loadedStore);
    EXPECT_TRUE(loaded.BoolValue(optFilterAutoset));
    EXPECT_FALSE(loaded.BoolValue(optVrmsFromAC));
}

TEST(OptionsTarn, LoadKeepsDefaultsForBadEntries)
{
    TTempFolder dir;
    WriteWholeFile(dir / "settings.xml", "<SETTINGS><OPTIONS><FILTERAUTOSET type=\"bool\">FALSE</FILTERAUTOSET>"
                                         "<VRMSFROMAC type=\"bool\">no</VRMSFROMAC></OPTIONS></SETTINGS>");
    TXMLSettings store;
    store.EnsureRoot();
    store.LoadFromFile(dir / "settings.xml");
    TOptions options;
    options.LoadFrom(OptionsPath, store);
    EXPECT_FALSE(options.BoolValue(optFilterAutoset));
    EXPECT_TRUE(options.BoolValue(optVrmsFromAC));

    WriteWholeFile(dir / "settings.xml",
                   "<SETTINGS><OPTIONS><FILTERAUTOSET type=\"int\">0</FILTERAUTOSET></OPTIONS></SETTINGS>");
    store.LoadFromFile(dir / "settings.xml");
    TOptions second;
    second.LoadFrom(OptionsPath, store);
    EXPECT_TRUE(second.BoolValue(optFilterAutoset));
}

TEST(OptionsTarn, ControlBinding)
{
    TOptions options;
    TFakeCheckBox box;
    options.ToControl(optVrmsFromAC, box);
    EXPECT_TRUE(box.Checked);
    box.Checked = false;
    options.FromControl(optVrmsFromAC, box);
    EXPECT_FALSE(options.BoolValue(optVrmsFromAC));
    EXPECT_TRUE(options.BoolValue(optFilterAutoset));

    // Indexes without an option are ignored.
    box.Checked = true;
    options.FromControl(7, box);
    options.ToControl(-3, box);
    EXPECT_TRUE(box.Checked);

    TOtherControl other;
    try {
        options.ToControl(optFilterAutoset, other);
        FAIL() << "a non-check-box control was accepted";
    } catch (const EDataError& e) {
        EXPECT_STREQ(e.what(), "Improper control for the boolean");
    }
    EXPECT_THROW(options.FromControl(optFilterAutoset, other), EDataError);
}
