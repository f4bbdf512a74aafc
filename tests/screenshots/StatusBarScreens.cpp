// SPDX-License-Identifier: MIT
// The status bar in each of its states, and the manual's window, as pictures
// at the running scale; each text shows whole, none over another.
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "shell/HelpScreen.h"
#include "shell/Main.h"
#include "shell/StatusBarTarn.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextImageFormat>

#include <gtest/gtest.h>

#include <functional>

namespace tarn::test {
namespace {

class TLinkedDriver : public TDAO_DEMO {
public:
    TGeneratorLink Link;
    TGeneratorLink DescribeLink() override { return Link; }
    std::int32_t GetSerialNumber() override { return 100042; }
};

// Every label that shows has room for its whole text, inside the bar, apart from the others.
std::vector<std::string> CrowdedLabels(const QStatusBar& bar)
{
    std::vector<std::string> out;
    std::vector<const QLabel*> shown;
    for (const QLabel* label : bar.findChildren<QLabel*>()) {
        if (!label->isVisible())
            continue;
        const std::string text = label->text().toStdString();
        const QRect place(label->mapTo(&bar, QPoint(0, 0)), label->size());
        if (label->width() < label->fontMetrics().horizontalAdvance(label->text()))
            out.push_back(text + " is clipped");
        if (!bar.rect().contains(place))
            out.push_back(text + " reaches outside the bar");
        for (const QLabel* other : shown)
            if (QRect(other->mapTo(&bar, QPoint(0, 0)), other->size()).intersects(place))
                out.push_back(text + " overlaps " + other->text().toStdString());
        shown.push_back(label);
    }
    return out;
}

TEST(StatusBarScreens, EachStateAndAllAtOnce)
{
    TScreenWindow window;
    TMainForm& form = window.Form();
    TStatusBarTarn& status = form.StatusBarTarn1();
    TLinkedDriver driver;
    const auto describe = [&](TGeneratorLink link) {
        driver.Link = std::move(link);
        status.Driver = [&driver]() -> TDriverAbstraction* { return &driver; };
        form.ObjMasterTarn1().Notify(TObjMasterCode::omSettingsApplied, 5); // the bar asks again
    };
    const auto type = [&](QWidget* edit, const QString& text) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    const auto arbitrary = [&] {
        TWaveformTarn& wave = *form.SettingsTarn1().Device.Waveforms[0];
        wave.Allocate(20, 4096, false);
        wave.Name = "Ramp";
        form.ObjMasterTarn1().Notify(TObjMasterCode::omChannelWaveformChanged, 0);
        type(form.FrequencyBarTarn1().FrequencyEdit, QStringLiteral("1k"));
    };
    struct State {
        const char* name;
        std::function<void()> enter;
        std::function<QString()> shown;
        const char* text;
    };
    const State states[] = {
        {"demonstration", [] {}, [&] { return status.Generator(); }, "demonstration mode"},
        {"virtual",
         [&] {
             describe({"virtual", "in this process"});
         },
         [&] { return status.Generator(); }, "virtual generator"},
        {"serial",
         [&] {
             describe({"usb", "bus 003 device 117"});
         },
         [&] { return status.Generator(); }, "generator 00100042"},
        {"frequency_clamped", [&] { type(form.FrequencyBarTarn1().FrequencyEdit, QStringLiteral("900M")); },
         [&] { return status.Adjustment(); }, "900M is above the limit: 50M set"},
        {"level_clamped", [&] { type(form.ChannelWrapperTarn1().Controls().VppEdit, QStringLiteral("100")); },
         [&] { return status.Adjustment().section(':', 0, 0); }, "100 Vpp exceeds Output L"},
        {"comm_broken", [&] { status.CommBroken(); }, [&] { return status.Communication(); },
         "communication broken, retrying"},
        {"reconnected", [&] { status.Reconnected(); }, [&] { return status.Communication(); }, "reconnected"},
        {"sampling_rate", arbitrary, [&] { return status.Rate(); }, "1 kSa/s = 50 Hz waveform"},
    };
    for (const State& s : states) {
        s.enter();
        window.Settle();
        EXPECT_EQ(s.shown(), QString::fromUtf8(s.text)) << s.name;
        EXPECT_EQ(CrowdedLabels(status), std::vector<std::string>{}) << s.name;
        SavePicture(status, std::string("status_") + s.name);
    }
    // Everything at once, the longest texts: the whole window shows how the bar copes.
    describe({"virtual", "in this process"});
    type(form.ChannelWrapperTarn1().Controls().VppEdit, QStringLiteral("100"));
    status.CommBroken();
    window.Settle();
    EXPECT_EQ(CrowdedLabels(status), std::vector<std::string>{});
    window.Save("status_crowded");
}

TEST(StatusBarScreens, TheManualsWindowShowsEveryPictureWhole)
{
    TScreenWindow window;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral(TARN_SOURCE_DIR)));
    window.Form().Help2Click();
    THelpForm* help = window.Form().HelpWindow();
    ASSERT_NE(help, nullptr);
    window.Settle();
    QDir::setCurrent(previous);
    // Every picture within the page, at its own size or narrower.
    QTextDocument& page = *help->Browser()->document();
    const qreal room = help->Browser()->viewport()->width() - 2 * page.documentMargin();
    int pictures = 0;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
            if (!image.isValid())
                continue;
            ++pictures;
            const QVariant resource = page.resource(QTextDocument::ImageResource, QUrl(image.name()));
            const QImage picture = resource.value<QImage>();
            const qreal shown = picture.width() / picture.devicePixelRatio();
            EXPECT_LE(shown, room) << image.name().toStdString() << " is cut";
            EXPECT_GT(shown, 0) << image.name().toStdString();
        }
    }
    EXPECT_GE(pictures, 4);
    SavePicture(*help, "help");
}

} // namespace
} // namespace tarn::test
