// SPDX-License-Identifier: MIT
// The windows with an application font a quarter larger: every caption
// still fits its control, at the running screen scale; and the main window
// made larger: the preview and the frequency scale take the room.
#include "data/SettingsTarn.h"
#include "device/DriverAbstraction.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/AboutScreen.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/OptionsScreen.h"
#include "shell/WavePropertiesScreen.h"
#include "tests/screenshots/ScreenshotSupport.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// The application font a quarter larger while it lives.
class TLargerFont {
public:
    TLargerFont() : saved_(QApplication::font())
    {
        QFont larger = saved_;
        larger.setPointSizeF(saved_.pointSizeF() * 1.25);
        QApplication::setFont(larger);
    }
    ~TLargerFont() { QApplication::setFont(saved_); }
    TLargerFont(const TLargerFont&) = delete;
    TLargerFont& operator=(const TLargerFont&) = delete;

private:
    QFont saved_;
};

// Every shown label, button and list of window whose text does not fit.
std::vector<std::string> Clipped(const QWidget& window)
{
    std::vector<std::string> out;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window) || w->inherits("QTabBar") || w->parentWidget()->inherits("QComboBox"))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        QString text;
        int needed = 0;
        int height = fm.height();
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            if (label->wordWrap() || label->text().isEmpty())
                continue;
            text = label->text();
            for (const QString& line : text.split(QLatin1Char('\n')))
                needed = std::max(needed, fm.horizontalAdvance(line));
            height = fm.height() * static_cast<int>(text.count(QLatin1Char('\n')) + 1);
            needed += 2 * label->margin() + label->contentsMargins().left() + label->contentsMargins().right();
        } else if (qobject_cast<const QRadioButton*>(w) != nullptr || qobject_cast<const QCheckBox*>(w) != nullptr) {
            text = static_cast<const QAbstractButton*>(w)->text();
            needed = w->sizeHint().width();
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            text = button->text();
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width();
            needed = fm.horizontalAdvance(QString(text).remove(QLatin1Char('&'))) + icon + 4;
            height += 2;
        } else if (const auto* box = qobject_cast<const QComboBox*>(w)) {
            text = box->currentText();
            for (int i = 0; i < box->count(); ++i)
                needed = std::max(needed, fm.horizontalAdvance(box->itemText(i)));
            needed += 16; // the arrow
        } else {
            continue;
        }
        // Inside what its parent shows, too.
        if (!w->parentWidget()->rect().contains(w->geometry()))
            out.push_back(text.toStdString() + " (" + w->metaObject()->className() + ") reaches outside its "
                          + w->parentWidget()->metaObject()->className());
        if (needed > w->width() || height > w->height())
            out.push_back(text.toStdString() + " (" + w->metaObject()->className() + ") is "
                          + std::to_string(w->width()) + "x" + std::to_string(w->height()) + ", needs "
                          + std::to_string(needed) + "x" + std::to_string(height));
    }
    return out;
}

TEST(LayoutScreens, NothingClippedWithALargerFont)
{
    ScreenApp();
    const TLargerFont larger;
    TScreenWindow window;
    TMainForm& form = window.Form();
    EXPECT_EQ(Clipped(form), std::vector<std::string>{}) << "main window";
    SavePicture(form, "font125_main");

    TDAO_DEMO driver;
    TAboutForm about(&form, driver);
    about.show();
    TOptionsForm options(&form);
    options.show();
    TNewWaveForm newWave(form.Dialogs(), &form);
    newWave.show();
    TWavePropertiesForm properties(&form);
    properties.NameEdit->setText(QStringLiteral("Sine"));
    properties.SizeText->setText(QStringLiteral("8k"));
    properties.ModeText->setText(QStringLiteral("Standard"));
    properties.EditorText->setText(QStringLiteral("None"));
    properties.show();
    vdev::test::BenchSignal bench;
    ASSERT_EQ(bench.Start(2600, 2700), 0);
    vdev::VirtualDeviceWindow device(bench.generator, nullptr);
    device.show();
    window.Settle();
    device.Refresh();
    window.Settle();
    for (int page = 0; page < options.PageControl1()->count(); ++page) {
        options.PageControl1()->setCurrentIndex(page);
        window.Settle();
        EXPECT_EQ(Clipped(options), std::vector<std::string>{}) << "options page " << page;
        SavePicture(options, "font125_options" + std::to_string(page));
    }
    const std::pair<QWidget*, const char*> windows[] = {{&about, "font125_about"},
                                                        {&newWave, "font125_new_wave"},
                                                        {&properties, "font125_properties"},
                                                        {&device, "font125_virtual_device"}};
    for (const auto& [w, name] : windows) {
        EXPECT_EQ(Clipped(*w), std::vector<std::string>{}) << name;
        SavePicture(*w, name);
    }
}

TEST(LayoutScreens, ALargerMainWindowGivesTheRoomToThePreviewAndTheScale)
{
    TScreenWindow window;
    TMainForm& form = window.Form();
    QWidget* client = form.centralWidget();
    ASSERT_EQ(client->size(), QSize(TMainForm::kClientWidth, TMainForm::kClientHeight));
    std::vector<QRect> before;
    for (int g = 0; g < TMainForm::kGroupCount; ++g)
        before.push_back(form.Group(TMainForm::TGroup(g))->geometry());
    const QSize preview = form.WaveScreenTarn1().size();
    const QSize bar = form.FrequencyBarTarn1().size();
    const QSize list = form.WaveListBoxTarn1().size();

    form.resize(form.size() + QSize(300, 200));
    window.Settle();
    ASSERT_EQ(client->size(), QSize(TMainForm::kClientWidth + 300, TMainForm::kClientHeight + 200));
    const struct {
        TMainForm::TGroup group;
        QPoint moved;
        QSize grown;
    } expected[] = {
        {TMainForm::GroupOutputL, {0, 0}, {0, 0}},       {TMainForm::GroupOutputH, {0, 0}, {0, 0}},
        {TMainForm::GroupWaveform, {0, 0}, {300, 200}},  {TMainForm::GroupArm, {0, 200}, {0, 0}},
        {TMainForm::GroupTrigger, {0, 200}, {0, 0}},     {TMainForm::GroupMode, {300, 200}, {0, 0}},
        {TMainForm::GroupFrequency, {0, 200}, {300, 0}},
    };
    for (const auto& e : expected) {
        const QRect was = before[std::size_t(e.group)];
        EXPECT_EQ(form.Group(e.group)->geometry(), QRect(was.topLeft() + e.moved, was.size() + e.grown))
            << form.Group(e.group)->title().toStdString();
        EXPECT_EQ(SqueezedControls(*form.Group(e.group)), std::vector<std::string>{});
    }
    EXPECT_EQ(form.WaveScreenTarn1().size(), preview + QSize(300, 200));
    EXPECT_EQ(form.FrequencyBarTarn1().size(), bar + QSize(300, 0));
    EXPECT_EQ(form.WaveListBoxTarn1().size(), list + QSize(0, 200));
    EXPECT_EQ(form.WaveScreenTarn1().Bitmap().size(), form.WaveScreenTarn1().size() * ScaleFactor());
    SavePicture(form, "main_larger");

    // Never below the layout's size.
    form.resize(400, 300);
    window.Settle();
    EXPECT_EQ(client->size(), QSize(TMainForm::kClientWidth, TMainForm::kClientHeight));
    for (int g = 0; g < TMainForm::kGroupCount; ++g)
        EXPECT_EQ(form.Group(TMainForm::TGroup(g))->geometry(), before[std::size_t(g)]);
}

} // namespace
} // namespace tarn::test
