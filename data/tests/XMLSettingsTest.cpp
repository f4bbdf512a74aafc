// SPDX-License-Identifier: MIT
#include "data/XMLSettings.h"
#include "data/tests/SettingsTestSupport.h"

#include <chrono>

#include <sys/stat.h>

namespace {

// Loads text through a file, as the program reads it.
void LoadText(TXMLSettings& store, const TTempFolder& dir, const std::string& text)
{
    WriteWholeFile(dir / "in.xml", text);
    store.EnsureRoot();
    store.LoadFromFile(dir / "in.xml");
}

} // namespace

// The file form: root at column 0, one element per line, a tab per level,
// value text on the line of its tag, CR LF everywhere, empty arrays self-closed.
TEST(XMLSettingsLayout, NewDocumentExactText)
{
    TXMLSettings store;
    store.EnsureRoot();
    store.WriteInt("/device/realchannelcount", 1);
    store.WriteFloat("/device/frequency", 15000.0);
    store.WriteIntArray("/device/level", {2048});
    store.WriteIntArray("/device/shift", {});
    store.WriteBoolArray("/display/vppon", {true, false});
    store.WriteBool("/options/FilterAutoset", true);

    const std::string expected = "<SETTINGS version=\"1\">\r\n"
                                 "\t<DEVICE>\r\n"
                                 "\t\t<REALCHANNELCOUNT type=\"int\">1</REALCHANNELCOUNT>\r\n"
                                 "\t\t<FREQUENCY type=\"float\">15000</FREQUENCY>\r\n"
                                 "\t\t<LEVEL type=\"intarray\" length=\"1\">\r\n"
                                 "\t\t\t<ITEM index=\"0\">2048</ITEM>\r\n"
                                 "\t\t</LEVEL>\r\n"
                                 "\t\t<SHIFT type=\"intarray\" length=\"0\"/>\r\n"
                                 "\t</DEVICE>\r\n"
                                 "\t<DISPLAY>\r\n"
                                 "\t\t<VPPON type=\"boolarray\" length=\"2\">\r\n"
                                 "\t\t\t<ITEM index=\"0\">true</ITEM>\r\n"
                                 "\t\t\t<ITEM index=\"1\">false</ITEM>\r\n"
                                 "\t\t</VPPON>\r\n"
                                 "\t</DISPLAY>\r\n"
                                 "\t<OPTIONS>\r\n"
                                 "\t\t<FILTERAUTOSET type=\"bool\">true</FILTERAUTOSET>\r\n"
                                 "\t</OPTIONS>\r\n"
                                 "</SETTINGS>\r\n";
    EXPECT_EQ(store.FormattedText(), expected);

    TTempFolder dir;
    ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), expected);
}

TEST(XMLSettingsLayout, EmptyRootAndScanner)
{
    TXMLSettings store;
    store.EnsureRoot();
    EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\"/>\r\n");
    EXPECT_EQ(LayOutMarkup("<A><B>x</B><C/></A>"), "<A>\r\n\t<B>x</B>\r\n\t<C/>\r\n</A>\r\n");
}

TEST(XMLSettingsLayout, ExistingElementsKeepTheirPlace)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir, "<SETTINGS version=\"1\"><DISPLAY/><DEVICE><LEVEL type=\"int\">5</LEVEL></DEVICE></SETTINGS>");
    store.WriteFloat("/device/frequency", 1.5);
    store.WriteIntArray("/device/level", {7});
    EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\">\r\n"
                                     "\t<DISPLAY/>\r\n"
                                     "\t<DEVICE>\r\n"
                                     "\t\t<LEVEL type=\"intarray\" length=\"1\">\r\n"
                                     "\t\t\t<ITEM index=\"0\">7</ITEM>\r\n"
                                     "\t\t</LEVEL>\r\n"
                                     "\t\t<FREQUENCY type=\"float\">1.5</FREQUENCY>\r\n"
                                     "\t</DEVICE>\r\n"
                                     "</SETTINGS>\r\n");
}

// A hand-written element in any case is found by reads and by writes alike,
// so that a save writes back what was read, never the default over it.
TEST(XMLSettingsLayout, HandWrittenCaseIsReadAndKept)
{
    const struct {
        const char* text;
        int read;
    } cases[] = {
        {"<SETTINGS><Remote><Port type=\"int\">5026</Port></Remote></SETTINGS>", 5026},
        {"<SETTINGS><remote><port type=\"int\">5027</port></remote></SETTINGS>", 5027},
        {"<SETTINGS><REMOTE><PORT type=\"int\">5028</PORT></REMOTE></SETTINGS>", 5028},
        {"<SETTINGS><Remote><Port type=\"float\">5029</Port></Remote></SETTINGS>", 5025},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TTempFolder dir;
        TXMLSettings store;
        LoadText(store, dir, c.text);
        const int port = store.ReadInt("/remote/port", 5025);
        EXPECT_EQ(port, c.read);
        store.WriteInt("/remote/port", port);
        ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));
        TXMLSettings again;
        LoadText(again, dir, ReadWholeFile(dir / "settings.xml"));
        EXPECT_EQ(again.ReadInt("/REMOTE/Port", 1), c.read);
    }
    TTempFolder dir;
    TXMLSettings store;
    LoadText(
        store, dir,
        "<SETTINGS>\r\n\t<device>\r\n\t\t<frequency type=\"float\">12</frequency>\r\n\t</device>\r\n</SETTINGS>\r\n");
    EXPECT_EQ(store.ReadFloat("/device/frequency", 3.0), 12.0);
    store.WriteFloat("/device/frequency", 2.5);
    EXPECT_EQ(
        store.FormattedText(),
        "<SETTINGS>\r\n\t<device>\r\n\t\t<frequency type=\"float\">2.5</frequency>\r\n\t</device>\r\n</SETTINGS>\r\n");
}

TEST(XMLSettingsValues, TypedRoundTripByPath)
{
    TTempFolder dir;
    TXMLSettings store;
    store.EnsureRoot();
    store.WriteInt("/device/triggermode", -7);
    store.WriteFloat("/device/frequency", 16.384);
    store.WriteBool("/options/VrmsFromAC", false);
    store.WriteIntArray("//device///level", {1, 2, 4095});
    store.WriteBoolArray("/display/vpon", {false, true});
    ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));

    TXMLSettings loaded;
    loaded.EnsureRoot();
    ASSERT_TRUE(loaded.LoadFromFile(dir / "settings.xml"));
    EXPECT_EQ(loaded.ReadInt("/device/triggermode", 0), -7);
    EXPECT_EQ(loaded.ReadFloat("/device/frequency", 0.0), 16.384);
    EXPECT_FALSE(loaded.ReadBool("/options/VrmsFromAC", true));
    EXPECT_EQ(loaded.ReadIntArray("/device/level", {0, 0, 0}), (TIntArray{1, 2, 4095}));
    EXPECT_EQ(loaded.ReadBoolArray("/display/vpon", {true, false}), (TBoolArray{false, true}));
    // Lower-case paths read the upper-case elements.
    EXPECT_EQ(loaded.ReadInt("/DEVICE/TriggerMode", 0), -7);
    // Absent paths give the default.
    EXPECT_EQ(loaded.ReadInt("/device/nothing", 42), 42);
    EXPECT_EQ(loaded.ReadIntArray("/device/nothing", {9}), (TIntArray{9}));
}

TEST(XMLSettingsValues, WrongTypeOrTextGivesDefault)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir,
             "<SETTINGS>"
             "<DEVICE><FREQUENCY type=\"int\">100</FREQUENCY>"
             "<A type=\"int\">12x</A><B type=\"INT\">3</B><C>4</C>"
             "<D type=\"int\">99999999999</D><E type=\"int\"> 8 </E>"
             "<F type=\"float\">1e400</F><G type=\"float\">0x10</G></DEVICE>"
             "<OPTIONS><X type=\"bool\">FALSE</X><Y type=\"bool\">no</Y>"
             "<Z type=\"bool\">True</Z></OPTIONS></SETTINGS>");
    EXPECT_EQ(store.ReadFloat("/device/frequency", 15000.0), 15000.0);
    EXPECT_EQ(store.ReadInt("/device/frequency", 1), 100);
    EXPECT_EQ(store.ReadInt("/device/a", 1), 1);
    EXPECT_EQ(store.ReadInt("/device/b", 1), 1);
    EXPECT_EQ(store.ReadInt("/device/c", 1), 1);
    EXPECT_EQ(store.ReadInt("/device/d", 1), 1);
    EXPECT_EQ(store.ReadInt("/device/e", 1), 8);
    EXPECT_EQ(store.ReadFloat("/device/f", 2.0), 2.0);
    EXPECT_EQ(store.ReadFloat("/device/g", 2.0), 2.0);
    EXPECT_FALSE(store.ReadBool("/options/x", true));
    EXPECT_TRUE(store.ReadBool("/options/y", true));
    EXPECT_FALSE(store.ReadBool("/options/y", false));
    EXPECT_TRUE(store.ReadBool("/options/z", false));
}

TEST(XMLSettingsValues, TypeChangesOnRewrite)
{
    TXMLSettings store;
    store.EnsureRoot();
    store.WriteIntArray("/device/level", {1, 2});
    store.WriteInt("/device/level", 5);
    EXPECT_EQ(store.ReadInt("/device/level", 0), 5);
    EXPECT_EQ(store.ReadIntArray("/device/level", {0}), (TIntArray{0}));
    store.WriteIntArray("/device/level", {3});
    EXPECT_EQ(store.ReadIntArray("/device/level", {0}), (TIntArray{3}));
    EXPECT_NE(store.FormattedText().find("<LEVEL type=\"intarray\" length=\"1\">"), std::string::npos);
}

TEST(XMLSettingsValues, IntArrayReadRules)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir,
             "<SETTINGS><DEVICE>"
             "<L3 type=\"intarray\" length=\"3\"><ITEM index=\"0\">10</ITEM>"
             "<ITEM index=\"1\">11</ITEM><ITEM index=\"2\">12</ITEM></L3>"
             "<BAD type=\"intarray\"><ITEM index=\"0\">1</ITEM><ITEM index=\"1\">abc</ITEM></BAD>"
             "<BADIDX type=\"intarray\"><ITEM index=\"0\">1</ITEM><ITEM index=\"x\">2</ITEM></BADIDX>"
             "<MIX type=\"intarray\"><ITEM>5</ITEM><ITEM index=\"1\">6</ITEM>"
             "<ITEM index=\"1\">7</ITEM><ITEM index=\"9\">oops</ITEM></MIX>"
             "</DEVICE></SETTINGS>");
    EXPECT_EQ(store.ReadIntArray("/device/l3", {0, 0}), (TIntArray{10, 11}));
    EXPECT_EQ(store.ReadIntArray("/device/l3", {0}), (TIntArray{10}));
    EXPECT_EQ(store.ReadIntArray("/device/bad", {8, 9}), (TIntArray{8, 9}));
    EXPECT_EQ(store.ReadIntArray("/device/badidx", {8, 9}), (TIntArray{8, 9}));
    // No index: skipped; a later item of the same index wins; out of range: not converted.
    EXPECT_EQ(store.ReadIntArray("/device/mix", {0, 0}), (TIntArray{0, 7}));
}

TEST(XMLSettingsValues, BoolArrayReadRules)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir,
             "<SETTINGS><DISPLAY>"
             "<V type=\"boolarray\"><ITEM index=\"0\">FALSE</ITEM><ITEM index=\"1\">maybe</ITEM>"
             "<ITEM index=\"2\">True</ITEM></V>"
             "<W type=\"boolarray\"><ITEM index=\"0\">false</ITEM><ITEM index=\"?\">true</ITEM></W>"
             "</DISPLAY></SETTINGS>");
    EXPECT_EQ(store.ReadBoolArray("/display/v", {true, true, false}), (TBoolArray{false, true, true}));
    EXPECT_EQ(store.ReadBoolArray("/display/w", {true, true}), (TBoolArray{true, true}));
}

// Blanks around a value carry no meaning, for Booleans as for numbers.
TEST(XMLSettingsValues, BlanksAroundValuesIgnored)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir,
             "<SETTINGS><DEVICE><I type=\"int\"> 8 </I><F type=\"float\"> 2,5 </F></DEVICE>"
             "<OPTIONS><B type=\"bool\"> false </B></OPTIONS>"
             "<DISPLAY><V type=\"boolarray\"><ITEM index=\"0\"> False </ITEM><ITEM index=\"1\">  true</ITEM></V>"
             "</DISPLAY></SETTINGS>");
    EXPECT_EQ(store.ReadInt("/device/i", 0), 8);
    EXPECT_EQ(store.ReadFloat("/device/f", 0.0), 2.5);
    EXPECT_FALSE(store.ReadBool("/options/b", true));
    EXPECT_EQ(store.ReadBoolArray("/display/v", {true, false}), (TBoolArray{false, true}));
}

TEST(XMLSettingsNumbers, GeneralFormat)
{
    EXPECT_EQ(FormatSettingsFloat(15000.0, '.'), "15000");
    EXPECT_EQ(FormatSettingsFloat(0.0, '.'), "0");
    EXPECT_EQ(FormatSettingsFloat(-2.5, '.'), "-2.5");
    EXPECT_EQ(FormatSettingsFloat(16.384, '.'), "16.384");
    EXPECT_EQ(FormatSettingsFloat(0.1 + 0.2, '.'), "0.3");
    EXPECT_EQ(FormatSettingsFloat(10.0 / 4094.0, '.'), "0.00244259892525647");
    EXPECT_EQ(FormatSettingsFloat(0.00001, '.'), "0.00001");
    EXPECT_EQ(FormatSettingsFloat(0.0000015, '.'), "1.5E-6");
    EXPECT_EQ(FormatSettingsFloat(123456789012345.0, '.'), "123456789012345");
    EXPECT_EQ(FormatSettingsFloat(1e15, '.'), "1E15");
    EXPECT_EQ(FormatSettingsFloat(100000000.0, '.'), "100000000");
    EXPECT_EQ(FormatSettingsFloat(12.5, ','), "12,5");
    EXPECT_EQ(FormatSettingsFloat(-0.000025, ','), "-0,000025");
}

TEST(XMLSettingsNumbers, EitherSeparatorReads)
{
    double v = 0;
    ASSERT_TRUE(ParseSettingsFloat("12,5", v));
    EXPECT_EQ(v, 12.5);
    ASSERT_TRUE(ParseSettingsFloat("12.5", v));
    EXPECT_EQ(v, 12.5);
    ASSERT_TRUE(ParseSettingsFloat("1,5E-6", v));
    EXPECT_EQ(v, 1.5e-6);
    ASSERT_TRUE(ParseSettingsFloat(" -3 ", v));
    EXPECT_EQ(v, -3.0);
    EXPECT_FALSE(ParseSettingsFloat("1.000,5", v));
    EXPECT_FALSE(ParseSettingsFloat("", v));
    EXPECT_FALSE(ParseSettingsFloat("inf", v));
    EXPECT_FALSE(ParseSettingsFloat("nan", v));

    TTempFolder dir;
    TXMLSettings store;
    LoadText(
        store, dir,
        "<SETTINGS><DEVICE><FREQUENCY type=\"float\">12,5</FREQUENCY><P type=\"float\">0.25</P></DEVICE></SETTINGS>");
    EXPECT_EQ(store.ReadFloat("/device/frequency", 0.0), 12.5);
    EXPECT_EQ(store.ReadFloat("/device/p", 0.0), 0.25);
    // The writer uses the running system's separator.
    store.WriteFloat("/device/p", 0.75);
    const std::string expected = std::string("0") + SystemDecimalSeparator() + "75";
    EXPECT_NE(store.FormattedText().find(">" + expected + "<"), std::string::npos);
}

TEST(XMLSettingsNumbers, OneSignAtMost)
{
    std::int32_t i = 0;
    double v = 0;
    ASSERT_TRUE(ParseSettingsInt("+5", i));
    EXPECT_EQ(i, 5);
    EXPECT_FALSE(ParseSettingsInt("+-5", i));
    EXPECT_FALSE(ParseSettingsFloat("+-2.5", v));
    EXPECT_EQ(v, 0.0);

    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir,
             "<SETTINGS><DEVICE><A type=\"int\">+-7</A><B type=\"intarray\"><ITEM index=\"+-0\">1</ITEM></B>"
             "<F type=\"float\">+-1</F></DEVICE></SETTINGS>");
    EXPECT_EQ(store.ReadInt("/device/a", 3), 3);
    EXPECT_EQ(store.ReadIntArray("/device/b", {4}), TIntArray{4});
    EXPECT_EQ(store.ReadFloat("/device/f", 2.0), 2.0);
}

// Some locales separate decimals with a character of several bytes
// (U+066B here); what is written under it reads back.
TEST(XMLSettingsNumbers, WideSeparatorRoundTrips)
{
    const std::string momayyez = "\xD9\xAB";
    EXPECT_EQ(FormatSettingsFloat(16.384, momayyez), "16" + momayyez + "384");
    EXPECT_EQ(FormatSettingsFloat(1.5e-6, momayyez), "1" + momayyez + "5E-6");
    double v = 0;
    ASSERT_TRUE(ParseSettingsFloat("16" + momayyez + "384", v, momayyez));
    EXPECT_EQ(v, 16.384);
    ASSERT_TRUE(ParseSettingsFloat("12,5", v, momayyez));
    EXPECT_EQ(v, 12.5);
    EXPECT_FALSE(ParseSettingsFloat("1" + momayyez + "2" + momayyez + "3", v, momayyez));
}

TEST(XMLSettingsFiles, MissingOrBrokenFileGivesFreshRoot)
{
    TTempFolder dir;
    TXMLSettings store;
    store.EnsureRoot();
    store.WriteInt("/device/x", 1);
    EXPECT_FALSE(store.LoadFromFile(dir / "absent.xml"));
    EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\"/>\r\n");

    WriteWholeFile(dir / "broken.xml", "<SETTINGS><DEVICE></SETTINGS>");
    store.WriteInt("/device/x", 1);
    EXPECT_FALSE(store.LoadFromFile(dir / "broken.xml"));
    EXPECT_EQ(store.ReadInt("/device/x", 5), 5);
    EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\"/>\r\n");

    WriteWholeFile(dir / "empty.xml", "");
    EXPECT_FALSE(store.LoadFromFile(dir / "empty.xml"));
    EXPECT_STREQ(store.Root().name(), "SETTINGS");
}

// Text that is not one well-formed document is refused as a whole, even where
// a lenient parser would find a root in it.
TEST(XMLSettingsFiles, MalformedTextIsRefused)
{
    const char* malformed[] = {
        "<SETTINGS><DEVICE><X type=\"int\">1</X></DEVICE></SETTINGS><SETTINGS/>",
        "junk<SETTINGS><DEVICE><X type=\"int\">1</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\">1</X></DEVICE></SETTINGS>junk",
        "<SETTINGS><DEVICE><X type=\"int\">1&nbsp;</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\">1&#0;</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\" type=\"int\">1</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"<int\">1</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\">1]]></X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\">1\x01</X></DEVICE></SETTINGS>",
        "<SETTINGS><!-- a -- b --><DEVICE><X type=\"int\">1</X></DEVICE></SETTINGS>",
        "<SETTINGS><DEVICE><X type=\"int\">1</X></DEVICE></SETTINGS><?xml version=\"1.0\"?>",
    };
    TTempFolder dir;
    for (const char* text : malformed) {
        SCOPED_TRACE(text);
        TXMLSettings store;
        store.EnsureRoot();
        WriteWholeFile(dir / "in.xml", text);
        EXPECT_FALSE(store.LoadFromFile(dir / "in.xml"));
        EXPECT_EQ(store.ReadInt("/device/x", 5), 5);
        EXPECT_EQ(store.FormattedText(), "<SETTINGS version=\"1\"/>\r\n");
    }
}

// The layout writes a tab per level on every line: a hand-damaged file nested
// very deeply would be written back many times its size.
TEST(XMLSettingsFiles, DeeplyNestedDocumentIsRefused)
{
    const auto nested = [](int levels) {
        std::string text = "<SETTINGS>";
        for (int i = 1; i < levels; ++i)
            text += "<A>";
        text += "<X type=\"int\">1</X>";
        for (int i = 1; i < levels; ++i)
            text += "</A>";
        return text + "</SETTINGS>";
    };
    const struct {
        int levels; // elements from the root to X, both counted
        bool accepted;
    } cases[] = {{SettingsNestingLimit, true}, {SettingsNestingLimit + 1, false}, {100000, false}};
    TTempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.levels);
        TXMLSettings store;
        store.EnsureRoot();
        WriteWholeFile(dir / "in.xml", nested(c.levels - 1));
        // Stop at once if accepted wrongly: the save would write gigabytes.
        ASSERT_EQ(store.LoadFromFile(dir / "in.xml"), c.accepted);
        ASSERT_TRUE(store.SaveToFile(dir / "out.xml"));
        if (c.accepted)
            EXPECT_EQ(store.Root().first_child().name(), std::string("A"));
        else
            EXPECT_EQ(ReadWholeFile(dir / "out.xml"), "<SETTINGS version=\"1\"/>\r\n");
    }
}

TEST(XMLSettingsFiles, WellFormedExtrasAreAccepted)
{
    TTempFolder dir;
    TXMLSettings store;
    store.EnsureRoot();
    WriteWholeFile(dir / "in.xml",
                   "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE SETTINGS>"
                   "<!-- kept by hand --><SETTINGS version='1'><DEVICE>"
                   "<X type=\"int\">&#49;&#x32;</X><Y type=\"float\"><![CDATA[2.5]]></Y>"
                   "<Z type=\"bool\" note=\"a &amp; b &lt;&gt; &quot;&apos;\">true</Z></DEVICE></SETTINGS>\r\n");
    ASSERT_TRUE(store.LoadFromFile(dir / "in.xml"));
    EXPECT_EQ(store.ReadInt("/device/x", 0), 12);
    EXPECT_EQ(store.ReadFloat("/device/y", 0.0), 2.5);
    EXPECT_TRUE(store.ReadBool("/device/z", false));
}

// The check for repeated attributes must not grow with the square of their number.
TEST(XMLSettingsFiles, ManyAttributesLoadQuickly)
{
    std::string text = "<SETTINGS><DEVICE><X type=\"int\"";
    for (int i = 0; i < 200000; ++i)
        text += " a" + std::to_string(i) + "=\"\"";
    text += ">3</X></DEVICE></SETTINGS>";
    TTempFolder dir;
    TXMLSettings store;
    const auto start = std::chrono::steady_clock::now();
    LoadText(store, dir, text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(store.ReadInt("/device/x", 0), 3);
}

TEST(XMLSettingsFiles, ForeignRootKeptAndSavedUnderItsName)
{
    TTempFolder dir;
    TXMLSettings store;
    LoadText(store, dir, "<CONFIG><DEVICE><LEVEL type=\"int\">3</LEVEL></DEVICE></CONFIG>");
    EXPECT_EQ(store.ReadInt("/device/level", 0), 3);
    store.WriteInt("/device/shift", 4);
    ASSERT_TRUE(store.SaveToFile(dir / "out.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "out.xml"), "<CONFIG>\r\n\t<DEVICE>\r\n\t\t<LEVEL type=\"int\">3</LEVEL>\r\n"
                                              "\t\t<SHIFT type=\"int\">4</SHIFT>\r\n\t</DEVICE>\r\n</CONFIG>\r\n");
}

TEST(XMLSettingsFiles, SaveReplacesWithoutLeftovers)
{
    TTempFolder dir;
    WriteWholeFile(dir / "settings.xml", "old");
    ::chmod((dir / "settings.xml").c_str(), 0640);
    TXMLSettings store;
    store.EnsureRoot();
    ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), "<SETTINGS version=\"1\"/>\r\n");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "settings.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(XMLSettingsFiles, SaveThroughLinkKeepsLink)
{
    TTempFolder dir;
    std::filesystem::create_directory(dir / "real");
    WriteWholeFile(dir / "real" / "settings.xml", "old");
    std::filesystem::create_symlink("real/settings.xml", dir / "settings.xml");
    TXMLSettings store;
    store.EnsureRoot();
    ASSERT_TRUE(store.SaveToFile(dir / "settings.xml"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "settings.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "real" / "settings.xml"), "<SETTINGS version=\"1\"/>\r\n");
    EXPECT_EQ(EntryCount(dir / "real"), 1u);
}

TEST(XMLSettingsFiles, FailedSaveReportsAndKeepsOldFile)
{
    TTempFolder dir;
    TXMLSettings store;
    store.EnsureRoot();
    // A parent that is a regular file cannot hold the new file, even for root.
    WriteWholeFile(dir / "plain", "x");
    EXPECT_FALSE(store.SaveToFile(dir / "plain" / "settings.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "plain"), "x");
    // A folder in the way of the file.
    std::filesystem::create_directory(dir / "settings.xml");
    EXPECT_FALSE(store.SaveToFile(dir / "settings.xml"));
    EXPECT_EQ(EntryCount(dir.Path()), 2u);
}

TEST(XMLSettingsFiles, ReadOnlyFileIsNotReplaced)
{
    TTempFolder dir;
    WriteWholeFile(dir / "settings.xml", "old");
    ::chmod((dir / "settings.xml").c_str(), 0444);
    TXMLSettings store;
    store.EnsureRoot();
    EXPECT_FALSE(store.SaveToFile(dir / "settings.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "settings.xml"), "old");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}
