// SPDX-License-Identifier: MIT
// The New-wave and Waveform-properties dialogs, alone and from the main
// window's pop-up menus and the waveform list.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/WavePropertiesScreen.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tarn {
namespace {

class Recorded : public TDialogService {
public:
    std::vector<std::string> texts;
    TDialogResult Message(TDialogKind, TDialogButtons, const std::string& text, const std::string&) override
    {
        texts.push_back(text);
        return TDialogResult::Ok;
    }
};

// Acts on the next modal dialog as soon as it shows; act closes it.
template <class Dialog> void WhenShown(std::function<void(Dialog&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

const std::string kSizeMessage = "Waveform size is out of device capabilities. Valid values are from 1 to 16384.";

TEST(NewWaveForm, InputsGiveTheWaveformOrTheSizeMessage)
{
    test::TestApp();
    TSettingsTarn settings;
    const struct {
        const char* name;
        const char* size; // nullptr: leave as shown
        int mode;
        bool ok;
        bool result;
        int count;
        const char* message;
    } rows[] = {
        {"New", nullptr, 0, true, true, 8192, nullptr},
        {"big", "16k", 1, true, true, 16384, nullptr},
        {"odd", "1.5k", 1, true, true, 1536, nullptr},
        {"", "100", 1, true, true, 100, nullptr}, // an empty name is accepted
        {"over", "16385", 1, true, false, 0, kSizeMessage.c_str()},
        {"zero", "0", 1, true, false, 0, kSizeMessage.c_str()},
        {"minus", "-3", 1, true, false, 0, kSizeMessage.c_str()},
        {"blank", "", 1, true, false, 0, nullptr},
        {"text", "lots", 1, true, false, 0, nullptr},
        {"cancel", "100", 1, false, false, 0, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Recorded dialogs;
        TNewWaveForm form(dialogs, nullptr);
        EXPECT_EQ(form.NameEdit->text(), "New");
        EXPECT_EQ(form.SizeEdit->text(), "8k");
        WhenShown<TNewWaveForm>([&](TNewWaveForm& d) {
            EXPECT_FALSE(d.SizeEdit->isEnabled()); // "Standard" at first
            d.NameEdit->setText(QString::fromUtf8(r.name));
            d.ModeBox->setCurrentIndex(r.mode);
            EXPECT_EQ(d.SizeEdit->isEnabled(), r.mode == 1);
            if (r.size != nullptr)
                d.SizeEdit->setText(QString::fromUtf8(r.size));
            (r.ok ? d.OkBtn : d.CancelBtn)->click();
        });
        ASSERT_EQ(form.Execute(settings, nullptr), r.result);
        EXPECT_EQ(dialogs.texts, r.message ? std::vector<std::string>{r.message} : std::vector<std::string>{});
        if (r.result) {
            EXPECT_EQ(form.Waveform().SampleCount(), r.count);
            EXPECT_EQ(form.Waveform().SampleRange(), 4096);
            EXPECT_EQ(form.Waveform().IsStandard, r.mode == 0);
            EXPECT_EQ(form.Waveform().Name, r.name);
        }
    }
}

TEST(NewWaveForm, StandardModeRestoresTheSizeAndModuleDataFixesIt)
{
    test::TestApp();
    TSettingsTarn settings;
    Recorded dialogs;
    {
        TNewWaveForm form(dialogs, nullptr);
        WhenShown<TNewWaveForm>([](TNewWaveForm& d) {
            d.ModeBox->setCurrentIndex(1);
            d.SizeEdit->setText("100");
            d.ModeBox->setCurrentIndex(0);
            EXPECT_EQ(d.SizeEdit->text(), "8k");
            d.CancelBtn->click();
        });
        EXPECT_FALSE(form.Execute(settings, nullptr));
    }
    for (const int count : {4096, 8192}) {
        std::vector<std::uint16_t> samples(count, 7);
        TWaveformData data{samples.data(), count, 4096};
        TNewWaveForm form(dialogs, nullptr);
        WhenShown<TNewWaveForm>([count](TNewWaveForm& d) {
            EXPECT_EQ(d.SizeEdit->text(), QString::number(count));
            EXPECT_FALSE(d.SizeEdit->isEnabled());
            EXPECT_EQ(d.ModeBox->isEnabled(), count == 8192);
            EXPECT_EQ(d.ModeBox->currentIndex(), count == 8192 ? 0 : 1);
            d.ModeBox->setCurrentIndex(1); // no longer touches the size
            d.ModeBox->setCurrentIndex(0);
            EXPECT_EQ(d.SizeEdit->text(), QString::number(count));
            d.ModeBox->setCurrentIndex(1);
            d.OkBtn->click();
        });
        ASSERT_TRUE(form.Execute(settings, &data));
        EXPECT_EQ(form.Waveform().SampleCount(), count);
        EXPECT_EQ(form.Waveform().Samples()[count - 1], 7);
        EXPECT_FALSE(form.Waveform().IsStandard);
    }
    EXPECT_TRUE(dialogs.texts.empty());
}

TEST(WavePropertiesForm, OkRenamesCancelKeepsTheName)
{
    test::TestApp();
    TWaveformTarn wave;
    wave.Allocate(1000, 4096, false);
    wave.Name = "Old";
    const struct {
        const char* typed;
        bool ok;
        const char* after;
    } rows[] = {{"Renamed", false, "Old"}, {"Renamed", true, "Renamed"}, {"", true, ""}};
    for (const auto& r : rows) {
        TWavePropertiesForm form(nullptr);
        WhenShown<TWavePropertiesForm>([&](TWavePropertiesForm& d) {
            EXPECT_EQ(d.SizeText->text().toStdString(), wave.SizeText());
            EXPECT_EQ(d.ModeText->text(), "Arbitrary");
            EXPECT_EQ(d.EditorText->text(), "None");
            d.NameEdit->setText(QString::fromUtf8(r.typed));
            (r.ok ? d.OkBtn : d.CancelBtn)->click();
        });
        EXPECT_EQ(form.Execute(wave, {}), r.ok);
        EXPECT_EQ(wave.Name, r.after);
    }
}

TEST(WaveDialogs, FieldsFollowTheirLabelsAndCarryTheirCaptions)
{
    test::TestApp();
    Recorded dialogs;
    TNewWaveForm newWave(dialogs, nullptr);
    TWavePropertiesForm properties(nullptr);
    const struct {
        QDialog* dialog;
        QSize client;
        QString title;
        std::vector<QWidget*> fields;
    } rows[] = {
        {&newWave, {185, 99}, "New wave", {newWave.NameEdit, newWave.SizeEdit, newWave.ModeBox}},
        {&properties,
         {287, 113},
         "Waveform properties",
         {properties.NameEdit, properties.SizeText, properties.ModeText, properties.EditorText}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.dialog->size(), r.client);
        EXPECT_EQ(r.dialog->windowTitle(), r.title);
        for (QWidget* field : r.fields) {
            const QLabel* label = nullptr;
            for (QLabel* l : r.dialog->findChildren<QLabel*>())
                if (l->buddy() == field)
                    label = l;
            ASSERT_NE(label, nullptr);
            // An entry is named by its caption; a value label by its value, described by the caption.
            const QString name = QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name);
            if (auto* value = qobject_cast<QLabel*>(field)) {
                // Before it shows a value, the caption.
                EXPECT_EQ(name, value->text().isEmpty() ? label->text() : value->text());
                value->setText(QStringLiteral("16k"));
                EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name), "16k");
                EXPECT_EQ(value->accessibleDescription(), label->text());
            } else {
                EXPECT_EQ(name, label->text());
            }
            EXPECT_EQ(field->x(), label->geometry().right() + 1 + 5);
            const int margin = field == properties.NameEdit ? 3 : 2;
            EXPECT_EQ(field->geometry().right() + 1, r.client.width() - margin);
        }
    }
}

TEST(WaveDialogs, MainWindowMenusAddAndRenameWaveforms)
{
    test::TestApp();
    Recorded dialogs;
    TMainForm form(dialogs);
    TSettingsTarn& settings = form.SettingsTarn1();
    settings.MakeStandardWaveforms();
    form.ObjMasterTarn1().Notify(TObjMasterCode::omWireControls);
    form.ObjMasterTarn1().Notify(TObjMasterCode::omSettingsApplied, 5);
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    ASSERT_EQ(list.Count(), 4);
    for (QMenu* menu : {form.PopupMenu1(), form.PopupMenu2()}) {
        WhenShown<TNewWaveForm>([](TNewWaveForm& d) { d.OkBtn->click(); });
        (menu == form.PopupMenu1() ? form.New1() : menu->actions().front())->trigger(); // "New"
    }
    EXPECT_EQ(settings.Repository.size(), 6u);
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.Item(5), "New");
    EXPECT_EQ(settings.Repository[5]->SampleCount(), 8192);

    list.SetItemIndex(1);
    WhenShown<TWavePropertiesForm>([](TWavePropertiesForm& d) {
        d.NameEdit->setText("Ramp");
        d.OkBtn->click();
    });
    list.PropertiesMenuItem->trigger();
    EXPECT_EQ(settings.Repository[1]->Name, "Ramp");
    EXPECT_EQ(list.Item(1), "Ramp");

    QStringList texts;
    for (QMenu* menu : {form.PopupMenu1(), form.PopupMenu2()})
        for (QAction* item : menu->actions())
            texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(texts.join('|'),
              "&Send to generator|-|&New|&Duplicate|De&lete|-|&Edit by|-|&Properties|&New|-|&Create by");
}

} // namespace
} // namespace tarn
