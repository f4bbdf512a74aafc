// SPDX-License-Identifier: MIT
// The Options dialog, the About window and the detached windows, opened from
// the main window over the demonstration device or a recording driver, and
// every caption and hint the main window sets, against the string table.
#include "data/OptionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/AboutScreen.h"
#include "shell/DetachedScreen.h"
#include "shell/Main.h"
#include "shell/OptionsScreen.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <utility>
#include <vector>

namespace tarn {
namespace {

class NoDialogs : public TDialogService {
public:
    TDialogResult Message(TDialogKind, TDialogButtons buttons, const std::string&, const std::string&) override
    {
        return DefaultAnswer(buttons);
    }
};

// Reports a chosen version and serial number and counts the questions.
class VersionDriver : public TDAO_DEMO {
public:
    VersionDriver(std::uint8_t major, std::uint8_t minor, std::int32_t serial)
        : major_(major), minor_(minor), serial_(serial)
    {
    }
    void GetDriverVersion(std::uint8_t version[2]) override
    {
        ++asked;
        version[0] = major_;
        version[1] = minor_;
    }
    std::int32_t GetSerialNumber() override
    {
        ++asked;
        return serial_;
    }
    int asked = 0;

private:
    std::uint8_t major_, minor_;
    std::int32_t serial_;
};

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

// Runs inspect on the next modal window once it is shown (it must close it).
void WhenModal(std::function<void(QWidget*)> inspect)
{
    QTimer::singleShot(0, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        inspect(modal);
    });
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        form = std::make_unique<TMainForm>(dialogs);
        form->DeviceAbstractionTarn1().SetDriverFactory([] { return std::make_unique<TDAO_DEMO>(); });
        form->ObjMasterTarn1().Notify(TObjMasterCode::omConnectDevice);
        form->ObjMasterTarn1().Notify(TObjMasterCode::omWireControls);
        form->show();
    }
    TDetachedForm* DetachByDoubleClick(TMainForm::TGroup group)
    {
        QGroupBox* box = form->Group(group);
        QTest::mouseDClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(1, box->height() - 2));
        return qobject_cast<TDetachedForm*>(box->window());
    }
    NoDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

// ---- Options ----

TEST_F(Windows, OptionsOkTakesTheBoxesAndAnnouncesTenPhasesCancelNothing)
{
    struct Case {
        bool filterBefore, vrmsBefore;
        bool clickFilter, clickVrms;
        bool ok;
        bool filterAfter, vrmsAfter;
    };
    const Case cases[] = {
        {true, true, false, true, true, true, false},   // uncheck "Vrms from AC", OK
        {true, true, false, true, false, true, true},   // the same, Cancel
        {false, true, true, false, true, true, true},   // check "Filter autoset", OK
        {false, false, true, true, false, false, false} // both, Cancel
    };
    struct Recorder {
        std::vector<std::int32_t> phases;
        void Handle(TObjMasterCode code, std::int32_t index, void*)
        {
            if (code == TObjMasterCode::omSettingsApplied)
                phases.push_back(index);
        }
    } recorder;
    form->ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&Recorder::Handle>(&recorder));
    TOptions& options = *form->SettingsTarn1().Options;
    for (const Case& c : cases) {
        options.SetBoolValue(optFilterAutoset, c.filterBefore);
        options.SetBoolValue(optVrmsFromAC, c.vrmsBefore);
        recorder.phases.clear();
        WhenModal([&c](QWidget* modal) {
            auto* dialog = qobject_cast<TOptionsForm*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->FilterAutosetBox()->isChecked(), c.filterBefore);
            EXPECT_EQ(dialog->VrmsFromACBox()->isChecked(), c.vrmsBefore);
            if (c.clickFilter)
                QTest::mouseClick(dialog->FilterAutosetBox(), Qt::LeftButton);
            if (c.clickVrms)
                QTest::mouseClick(dialog->VrmsFromACBox(), Qt::LeftButton);
            QTest::mouseClick(c.ok ? dialog->OKBtn() : dialog->CancelBtn(), Qt::LeftButton);
        });
        form->Options1()->trigger();
        EXPECT_EQ(options.BoolValue(optFilterAutoset), c.filterAfter);
        EXPECT_EQ(options.BoolValue(optVrmsFromAC), c.vrmsAfter);
        EXPECT_EQ(recorder.phases,
                  c.ok ? (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) : std::vector<std::int32_t>{});
    }
    form->ObjMasterTarn1().UnregisterListener(TObjMasterNotifyEvent::Bind<&Recorder::Handle>(&recorder));
}

TEST_F(Windows, OptionsDialogLayoutTextsAndBindingTags)
{
    TOptionsForm dialog(form.get());
    EXPECT_EQ(dialog.size(), QSize(295, 333));
    EXPECT_EQ(dialog.windowTitle(), "Options");
    EXPECT_EQ(dialog.PageControl1()->geometry(), QRect(0, 0, 295, 305));
    EXPECT_EQ(dialog.PageControl1()->tabText(0), "Device");
    EXPECT_EQ(dialog.PageControl1()->tabText(1), "Display");
    EXPECT_EQ(dialog.FilterAutosetBox()->text(), "Filter autoset");
    EXPECT_EQ(dialog.VrmsFromACBox()->text(), "Vrms from AC");
    EXPECT_EQ(Tag(*dialog.FilterAutosetBox()), 1000);
    EXPECT_EQ(Tag(*dialog.VrmsFromACBox()), 1001);
    EXPECT_EQ(dialog.RemoteControlBox()->text(), "Remote control (SCPI on local port 5025)");
    EXPECT_EQ(Tag(*dialog.RemoteControlBox()), 1002);
    // Below the filter check box on the same page, inside the page.
    EXPECT_EQ(dialog.RemoteControlBox()->parentWidget(), dialog.FilterAutosetBox()->parentWidget());
    EXPECT_GT(dialog.RemoteControlBox()->y(), dialog.FilterAutosetBox()->geometry().bottom());
    EXPECT_LE(dialog.RemoteControlBox()->geometry().right(), 295);
    EXPECT_TRUE(dialog.OKBtn()->isDefault());
    for (QPushButton* b : {dialog.OKBtn(), dialog.CancelBtn()}) {
        EXPECT_EQ(b->size(), QSize(55, 25));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), b->text());
        EXPECT_LE(b->geometry().bottom(), 332);
    }
    // Each section's rule starts 3 pixels right of its label.
    for (QWidget* page : {dialog.PageControl1()->widget(0), dialog.PageControl1()->widget(1)}) {
        EXPECT_EQ(Tag(*page), 100);
        const auto labels = page->findChildren<QLabel*>();
        const auto rules = page->findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_GE(labels.size(), 1);
        int found = 0;
        for (QFrame* rule : rules) {
            if (qobject_cast<QLabel*>(rule) != nullptr || rule->frameShape() != QFrame::HLine)
                continue;
            for (QLabel* label : labels) {
                if (rule->geometry().top() >= label->y() && rule->geometry().bottom() <= label->geometry().bottom()) {
                    EXPECT_EQ(rule->x(), label->geometry().right() + 1 + 3);
                    ++found;
                }
            }
        }
        EXPECT_EQ(found, labels.size());
    }
}

TEST_F(Windows, OnlyCheckBoxesOnTaggedPagesAreBound)
{
    TOptions options;
    QTabWidget pages;
    auto* tagged = new QWidget;
    auto* untagged = new QWidget;
    pages.addTab(tagged, QStringLiteral("a"));
    pages.addTab(untagged, QStringLiteral("b"));
    SetTag(*tagged, OptionPageTag);
    auto* bound = new QCheckBox(tagged);
    SetTag(*bound, OptionControlTagBase + optVrmsFromAC);
    auto* beyond = new QCheckBox(tagged); // no option 7: left alone
    SetTag(*beyond, OptionControlTagBase + 7);
    auto* elsewhere = new QCheckBox(untagged);
    SetTag(*elsewhere, OptionControlTagBase + optVrmsFromAC);

    options.SetBoolValue(optVrmsFromAC, true);
    TransferOptions(pages, options, TOptionTransfer::ToControls);
    EXPECT_TRUE(bound->isChecked());
    EXPECT_FALSE(beyond->isChecked());
    EXPECT_FALSE(elsewhere->isChecked());
    bound->setChecked(false);
    TransferOptions(pages, options, TOptionTransfer::FromControls);
    EXPECT_FALSE(options.BoolValue(optVrmsFromAC));

    auto* edit = new QLineEdit(tagged);
    SetTag(*edit, OptionControlTagBase + optFilterAutoset);
    EXPECT_THROW(TransferOptions(pages, options, TOptionTransfer::ToControls), EDataError);
    EXPECT_THROW(TransferOptions(pages, options, TOptionTransfer::FromControls), EDataError);
}

// ---- About ----

TEST_F(Windows, AboutShowsVersionsAndSerialNumberOfTheDriver)
{
    struct Case {
        std::uint8_t major, minor;
        std::int32_t serial;
        const char* version;
        const char* serialText;
    };
    const Case cases[] = {{0, 0, 0, "N/A", "N/A"},
                          {2, 5, 1234, "2.05", "00001234"},
                          {1, 0, 99999999, "1.00", "99999999"},
                          {0, 7, 1, "0.07", "00000001"},
                          {255, 99, 0, "255.99", "N/A"}};
    for (const Case& c : cases) {
        VersionDriver driver(c.major, c.minor, c.serial);
        TAboutForm about(form.get(), driver);
        EXPECT_EQ(driver.asked, 2);
        EXPECT_EQ(about.Value(TAboutForm::RowDriver)->text(), c.version);
        EXPECT_EQ(about.Value(TAboutForm::RowSerial)->text(), c.serialText);
    }
}

TEST_F(Windows, AboutFromTheMenuUsesTheCurrentDriverAndTheProjectVersion)
{
    QFile cmake(QStringLiteral(TARN_SOURCE_DIR "/CMakeLists.txt"));
    ASSERT_TRUE(cmake.open(QIODevice::ReadOnly));
    const auto match =
        QRegularExpression(QStringLiteral("project\\(Tarn VERSION (\\d+)\\.(\\d+)")).match(QString(cmake.readAll()));
    ASSERT_TRUE(match.hasMatch());
    const QString project = match.captured(1) + "." + match.captured(2).rightJustified(2, '0');
    bool shown = false;
    WhenModal([&](QWidget* modal) {
        auto* about = qobject_cast<TAboutForm*>(modal);
        ASSERT_NE(about, nullptr);
        shown = true;
        EXPECT_EQ(about->size(), QSize(392, 154));
        EXPECT_EQ(about->windowTitle(), "About");
        EXPECT_EQ(about->Value(TAboutForm::RowDriver)->text(), "N/A"); // demonstration device
        EXPECT_EQ(about->Value(TAboutForm::RowSerial)->text(), "N/A");
        EXPECT_EQ(about->Value(TAboutForm::RowApplication)->text(), project);
        EXPECT_EQ(ApplicationVersionText(), project);
        EXPECT_EQ(about->PNGImage1()->pixmap().size(), QSize(75, 28));
        EXPECT_EQ(QPixmap(QStringLiteral(":/tarn/about-banner.png")).size(), QSize(400, 52));
        EXPECT_EQ(about->PNGImage2()->geometry(), QRect(0, 154 - 52, 392, 52));
        const char* captions[] = {
            "Application version: ", "Driver version: ", "Serial number: ", "Find us at: ", "Contact us at: "};
        for (int row = 0; row < TAboutForm::kRowCount; ++row) {
            const auto r = static_cast<TAboutForm::TRow>(row);
            EXPECT_EQ(about->Caption(r)->text(), captions[row]);
            EXPECT_TRUE(about->Caption(r)->font().bold());
            EXPECT_EQ(about->Value(r)->x(), about->Caption(r)->x() + about->Caption(r)->width()) << row;
            EXPECT_EQ(about->Value(r)->y(), about->Caption(r)->y());
            // Read by its value, described by its caption.
            EXPECT_EQ(QAccessible::queryAccessibleInterface(about->Value(r))->text(QAccessible::Name),
                      about->Value(r)->text());
            EXPECT_EQ(about->Value(r)->accessibleDescription(), QString::fromUtf8(captions[row]).trimmed());
            EXPECT_LE(about->Value(r)->geometry().right(), 392 - 75 - 8) << "clear of the logo";
        }
        QTest::mouseClick(about->SpeedButton1(), Qt::LeftButton);
    });
    form->About1()->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Windows, AboutLinksOpenTheWebAndMailAddresses)
{
    TDAO_DEMO driver;
    TAboutForm about(form.get(), driver);
    UrlCatcher catcher;
    for (const char* scheme : {"https", "mailto"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "Open");
    QTest::mouseClick(about.Value(TAboutForm::RowWeb), Qt::LeftButton);
    about.Value(TAboutForm::RowSupport)->setFocus();
    QTest::keyClick(about.Value(TAboutForm::RowSupport), Qt::Key_Space);
    for (const char* scheme : {"https", "mailto"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[0], QUrl(Strings::AboutWebAddress));
    EXPECT_EQ(catcher.urls[1], QUrl(QStringLiteral("mailto:") + Strings::AboutSupportAddress));
    EXPECT_EQ(about.Value(TAboutForm::RowWeb)->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(about.Value(TAboutForm::RowWeb)->font().underline());
}

// ---- Detached windows ----

TEST_F(Windows, EveryGroupDetachesInPlaceAndComesBackOnClose)
{
    const TMainForm::TGroup groups[] = {TMainForm::GroupOutputL,  TMainForm::GroupOutputH, TMainForm::GroupWaveform,
                                        TMainForm::GroupArm,      TMainForm::GroupTrigger, TMainForm::GroupMode,
                                        TMainForm::GroupFrequency};
    for (const TMainForm::TGroup g : groups) {
        QGroupBox* box = form->Group(g);
        const QPoint screen = box->mapToGlobal(QPoint(0, 0));
        const QRect place = box->geometry();
        QWidget* home = box->parentWidget();
        TDetachedForm* detached = DetachByDoubleClick(g);
        ASSERT_NE(detached, nullptr) << box->title().toStdString();
        detached->show();
        QApplication::processEvents();
        EXPECT_EQ(detached->parentWidget(), form.get());
        EXPECT_EQ(detached->windowTitle(), box->title() + " - Sable Generator");
        EXPECT_EQ(box->mapToGlobal(QPoint(0, 0)), screen) << box->title().toStdString();
        EXPECT_EQ(detached->centralWidget()->size(), place.size());
        EXPECT_EQ(detached->width(), place.width());
        EXPECT_EQ(box->size(), place.size());
        // A second double click on the floating group makes no second window.
        QTest::mouseDClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(1, box->height() - 2));
        EXPECT_EQ(form->findChildren<TDetachedForm*>(Qt::FindDirectChildrenOnly).size(), 1);

        QPointer<TDetachedForm> gone(detached);
        detached->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(gone.isNull());
        EXPECT_EQ(box->parentWidget(), home);
        EXPECT_EQ(box->geometry(), place);
        EXPECT_TRUE(box->isVisible());
    }
}

TEST_F(Windows, TransparencyItemsSetTheOpacityAndKeepOneCheck)
{
    for (const bool available : {true, false}) {
        TDetachedForm detached(*form, available);
        detached.Detach(*form->Group(TMainForm::GroupFrequency));
        EXPECT_EQ(detached.FormTransparency1().Transparency(), 255);
        const int order[] = {3, 1, 2, 0, 3, 0};
        for (const int index : order) {
            detached.TransparencyItem(index)->trigger();
            // Without window opacity on the platform the value stays.
            const int expected = available ? TDetachedForm::kTransparencies[static_cast<std::size_t>(index)] : 255;
            EXPECT_EQ(detached.FormTransparency1().Transparency(), expected);
            EXPECT_DOUBLE_EQ(detached.windowOpacity(), expected / 255.0);
            EXPECT_EQ(detached.TransparencyIndex(), index);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(detached.TransparencyItem(i)->isChecked(), i == index);
        }
        EXPECT_DOUBLE_EQ(detached.windowOpacity(), 1.0) << "None after High is opaque";
    }
    EXPECT_EQ(form->Group(TMainForm::GroupFrequency)->window(), form.get());
}

TEST_F(Windows, AlwaysOnTopTogglesAndMainWindowItems)
{
    TDetachedForm* detached = DetachByDoubleClick(TMainForm::GroupMode);
    ASSERT_NE(detached, nullptr);
    detached->show();
    for (const bool onTop : {true, false, true}) {
        EXPECT_EQ(detached->AlwaysOnTop1()->isChecked(), onTop);
        EXPECT_EQ(detached->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        EXPECT_TRUE(detached->isVisible());
        detached->AlwaysOnTop1()->trigger();
    }
    detached->Hide1()->trigger();
    EXPECT_FALSE(form->isVisible());
    detached->Show1()->trigger();
    EXPECT_TRUE(form->isVisible());
    QStringList menus;
    for (QAction* menu : detached->menuBar()->actions()) {
        menus << menu->text();
        for (QAction* item : menu->menu()->actions()) {
            menus << item->text();
            if (item->menu() != nullptr) {
                for (QAction* sub : item->menu()->actions())
                    menus << sub->text();
            }
        }
    }
    EXPECT_EQ(menus.join('|'),
              "&Main window|&Show|&Hide|&Settings|&Transparency|&None|&Low|&Medium|&High|&Always on top");
    // The main window goes with a group still floating; the group goes with it.
}

TEST_F(Windows, OnlyTheLastDetachedWindowShowsAHiddenMainWindow)
{
    TDetachedForm* first = DetachByDoubleClick(TMainForm::GroupArm);
    TDetachedForm* second = DetachByDoubleClick(TMainForm::GroupTrigger);
    ASSERT_TRUE(first != nullptr && second != nullptr && first != second);
    first->show();
    second->show();
    first->Hide1Click();
    first->close();
    EXPECT_FALSE(form->isVisible());
    second->close();
    EXPECT_TRUE(form->isVisible());
}

// ---- The user manual ----

TEST(HelpPage, EveryPictureAndSectionLinkOfTheManualIsThere)
{
    const QString folder = QStringLiteral(TARN_SOURCE_DIR "/help/");
    QFile page(folder + QStringLiteral("help.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    int pictures = 0;
    for (const auto& m : QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(html)) {
        ++pictures;
        EXPECT_TRUE(QFile::exists(folder + m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GE(pictures, 4);
    for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html))
        EXPECT_TRUE(html.contains(QStringLiteral("id=\"") + m.captured(1) + '"')) << m.captured(1).toStdString();
    for (const char* topic : {"demonstration mode", "settings.xml", "waveforms.dat", "udev", "modules", "Options"})
        EXPECT_TRUE(html.contains(QLatin1String(topic))) << topic;
}

// ---- Texts of the main window ----

TEST_F(Windows, EveryHintAndCaptionOfTheMainWindowComesFromTheStringTable)
{
    TMainForm& form = *this->form;

    using TChannel = std::function<QWidget*(const TChannelControls&)>;
    struct ChannelHint {
        const char* control;
        TChannel get;
        const char* key;
        const char* text;
    };
#define CONTROL(name) #name, [](const TChannelControls& c) -> QWidget* { return c.name; }
    const ChannelHint channelHints[] = {
        {CONTROL(VppOnOffBtn), "HintVppOnOff", "Toggle peak-peak voltage indicator on/off"},
        {CONTROL(VpOnOffBtn), "HintVpOnOff", "Toggle peak voltage indicator on/off"},
        {CONTROL(VrmsOnOffBtn), "HintVrmsOnOff", "Toggle effective voltage indicator on/off"},
        {CONTROL(VavgOnOffBtn), "HintVavgOnOff", "Toggle average voltage indicator on/off"},
        {CONTROL(VpPlusOnOffBtn), "HintVpPlus", "Show zero-maximum voltage peak"},
        {CONTROL(VpMinusOnOffBtn), "HintVpMinus", "Show minimum-zero voltage peak"},
        {CONTROL(VppEdit), "HintVppEdit", "Peak-peak voltage"},
        {CONTROL(VpEdit), "HintVpEdit", "Peak voltage"},
        {CONTROL(OutputOnBtn), "HintOutputOn", "Turn channel output on"},
        {CONTROL(OutputOffBtn), "HintOutputOff", "Turn channel output off"},
        {CONTROL(Output20Btn), "HintOutput20", "Set output attenuator to -20dB"},
        {CONTROL(Output0Btn), "HintOutput0", "Set output attenuator to 0dB"},
        {CONTROL(dBUnitsBox), "HintdBUnits", "Unit of displayed value"},
        {CONTROL(AutodBBtn), "HintAutodB", "Value filled in dB indicator is relative to current level"},
        {CONTROL(ManualdBBtn), "HintManualdB",
         "Value filled in dB indicator is relative to the level, that was marked as 0dB"},
        {CONTROL(Set0dBBtn), "HintSet0dB", "Set this level as 0dB"},
        {CONTROL(dBRelEdit), "HintdBRel", "Fill the value in dB and hit enter to set it"},
        {CONTROL(ShiftConBtn), "HintShiftCon", "Every change of shift is set to device immediately"},
        {CONTROL(ShiftStepBtn), "HintShiftStep",
         "Every change of shift is set to device after click on \"OUT\" button"},
        {CONTROL(ShiftOutBtn), "HintShiftOut", "Set shift to device"},
        {CONTROL(ShiftNullBtn), "HintShiftNull", "Set zero shift to device"},
        {CONTROL(LoadOpenBtn), "HintLoadOpen", "No load is connected to output"},
        {CONTROL(LoadEdit), "HintLoadEdit", "Load connected to output"},
        {CONTROL(FilterBox), "HintFilter", "Output filter"},
    };
#undef CONTROL
    for (const ChannelHint& row : channelHints) {
        EXPECT_EQ(FindString(row.key), row.text) << row.key;
        for (const TChannelWrapperTarn* panel : {&form.ChannelWrapperTarn1(), &form.ChannelWrapperTarn2()}) {
            QWidget* control = row.get(panel->Controls());
            ASSERT_NE(control, nullptr) << row.control;
            // The hint first; a field's colour may add what it means below.
            EXPECT_EQ(control->toolTip().section(QLatin1Char('\n'), 0, 0), row.text)
                << row.control << " of channel " << panel->ChannelIndex();
            EXPECT_EQ(control->accessibleDescription(), row.text) << row.control;
            EXPECT_FALSE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                << row.control;
        }
    }
    EXPECT_EQ(FindString("HintLoad50"), "The %d ohm load is connected to output");
    struct LoadRow {
        const TChannelWrapperTarn* panel;
        const char* caption;
        const char* hint;
    };
    for (const LoadRow& row :
         {LoadRow{&form.ChannelWrapperTarn1(), "50", "The 50 ohm load is connected to output"},
          LoadRow{&form.ChannelWrapperTarn2(), "600", "The 600 ohm load is connected to output"}}) {
        EXPECT_EQ(row.panel->Controls().Load50Btn->text(), row.caption);
        EXPECT_EQ(row.panel->Controls().Load50Btn->toolTip(), row.hint);
    }

    TFrequencyBarTarn& bar = form.FrequencyBarTarn1();
    TTriggerWrapperTarn& trigger = form.TriggerWrapperTarn1();
    struct Hint {
        const char* control;
        QWidget* widget;
        const char* key;
        const char* text;
    };
    const Hint hints[] = {
        {"FrequencyEdit", bar.FrequencyEdit, "HintFrequencyEdit", "Frequency in software"},
        {"DevFrequencyEdit", bar.DevFrequencyEdit, "HintDevFrequencyEdit", "Frequency in device"},
        {"ConModeBtn", bar.ConModeBtn, "HintConMode", "Every change of frequency is set to device immediately"},
        {"StepModeBtn", bar.StepModeBtn, "HintStepMode",
         "Every change of frequency is set to device after click on \"Set\" button"},
        {"TrigOnBtn", trigger.TrigOnBtn, "HintTrigOn", "Trigger from external source"},
        {"TrigOffBtn", trigger.TrigOffBtn, "HintTrigOff", "Triggering disabled"},
        {"TrigLeadingBtn", trigger.TrigLeadingBtn, "HintTrigLeading", "Trigger on leading edge"},
        {"TrigTrailingBtn", trigger.TrigTrailingBtn, "HintTrigTrailing", "Trigger on trailing edge"},
        {"TrigGoBtn", trigger.TrigGoBtn, "HintTrigGo", "Enable generation"},
        {"TrigStopBtn", trigger.TrigStopBtn, "HintTrigStop", "Disable generation"},
        {"ModeSingleBtn", trigger.ModeSingleBtn, "HintModeSingle", "Set single mode"},
        {"ModePeriodBtn", trigger.ModePeriodBtn, "HintModePeriod", "Set period mode"},
        {"ArmOnBtn", trigger.ArmOnBtn, "HintArmOn", "Enables arming from external source"},
        {"ArmOffBtn", trigger.ArmOffBtn, "HintArmOff", "Disables arming from external source"},
        {"ArmZeroBtn", trigger.ArmZeroBtn, "HintArmZero", "Zero suspends generation"},
        {"ArmOneBtn", trigger.ArmOneBtn, "HintArmOne", "One suspends generation"},
    };
    for (const Hint& row : hints) {
        EXPECT_EQ(FindString(row.key), row.text) << row.key;
        ASSERT_NE(row.widget, nullptr) << row.control;
        EXPECT_EQ(row.widget->toolTip().section(QLatin1Char('\n'), 0, 0), row.text) << row.control;
        EXPECT_EQ(row.widget->accessibleDescription(), row.text) << row.control;
    }

    // Captions: the window, the menus and the groups.
    QStringList menus;
    // The captions as shown: the ampersand of a mnemonic is not.
    const auto shown = [](const QAction* a) { return QString(a->text()).remove(QLatin1Char('&')); };
    for (QAction* menu : form.menuBar()->actions()) {
        menus << shown(menu);
        for (QAction* item : menu->menu()->actions()) {
            if (!item->isSeparator())
                menus << shown(item);
        }
    }
    // The two pop-up menus of the waveform list, separators left out.
    QStringList popups;
    for (QMenu* popup : {form.PopupMenu1(), form.PopupMenu2()}) {
        for (QAction* item : popup->actions()) {
            if (!item->isSeparator())
                popups << shown(item);
        }
    }
    const TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    struct Caption {
        QString shown;
        const char* key;
        const char* text;
    };
    const Caption captions[] = {
        {form.windowTitle(), "MainCaption", "Sable Generator"},
        {menus.value(0), "MenuFiles", "Files"},
        {menus.value(1), "MenuUndo", "Undo"},
        {menus.value(2), "MenuRedo", "Redo"},
        {menus.value(3), "MenuExitPreserveH", "Exit (preserve H output)"},
        {menus.value(4), "MenuExit", "Exit"},
        {menus.value(5), "MenuSettings", "Settings"},
        {menus.value(6), "MenuOptions", "Options"},
        {menus.value(7), "MenuSweep", "Sweep..."},
        {menus.value(8), "MenuHelp", "Help"},
        {menus.value(9), "MenuHelpItem", "Help"},
        {menus.value(10), "MenuAbout", "About"},
        {form.Group(TMainForm::GroupOutputL)->title(), "GroupOutputL", "Output L"},
        {form.Group(TMainForm::GroupOutputH)->title(), "GroupOutputH", "Output H"},
        {form.Group(TMainForm::GroupWaveform)->title(), "GroupWaveform", "Waveform"},
        {form.Group(TMainForm::GroupArm)->title(), "GroupArm", "ARM"},
        {form.Group(TMainForm::GroupTrigger)->title(), "GroupTrigger", "Trigger"},
        {form.Group(TMainForm::GroupMode)->title(), "GroupMode", "Mode"},
        {form.Group(TMainForm::GroupFrequency)->title(), "GroupFrequency", "Frequency"},
        {list.FilterAllBtn->text(), "FilterAllWaveforms", "Show all waveforms"},
        {list.FilterStandardBtn->text(), "FilterStandardWaveforms", "Show standard waveforms"},
        {list.FilterArbitraryBtn->text(), "FilterArbitraryWaveforms", "Show arbitrary waveforms"},
        {popups.value(0), "PopupSendToGenerator", "Send to generator"},
        {popups.value(1), "PopupNew", "New"},
        {popups.value(2), "PopupDuplicate", "Duplicate"},
        {popups.value(3), "PopupDelete", "Delete"},
        {popups.value(4), "PopupEditBy", "Edit by"},
        {popups.value(5), "PopupProperties", "Properties"},
        {popups.value(6), "PopupNew", "New"},
        {popups.value(7), "PopupCreateBy", "Create by"},
    };
    for (const Caption& row : captions) {
        EXPECT_EQ(FindString(row.key), row.text) << row.key;
        EXPECT_EQ(row.shown, row.text) << row.key;
    }
    EXPECT_EQ(menus.size(), 11);
    EXPECT_EQ(popups.size(), 8);
}

} // namespace
} // namespace tarn

#include "WindowsTest.moc"
