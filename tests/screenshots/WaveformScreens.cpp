// SPDX-License-Identifier: MIT
// The "Waveform" group (list with thumbnails and a selection, the preview
// after a drop) and the two waveform dialogs, at the running screen scale.
#include "data/SettingsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/WavePropertiesScreen.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/screenshots/Screenshot.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::test {
namespace {

class WaveformScreens : public ::testing::Test {
protected:
    WaveformScreens()
    {
        TSettingsTarn& settings = window.Form().SettingsTarn1();
        const char* names[] = {"Pulse train", "Noise burst", "Damped sine", "Staircase"};
        for (int k = 0; k < 4; ++k) {
            TWaveformTarn wave;
            wave.Allocate(500 * (k + 1), 4096, false);
            std::uint16_t* s = wave.Samples();
            for (int i = 0; i < wave.SampleCount(); ++i) {
                const double t = double(i) / wave.SampleCount();
                const double v[] = {std::fmod(t * 8, 1) < 0.2 ? 1.0 : 0.0,
                                    std::fabs(std::sin(i * 12.9898) * 0.5) + 0.25,
                                    0.5 + 0.5 * std::exp(-4 * t) * std::sin(t * 40), std::floor(t * 6) / 5};
                s[i] = static_cast<std::uint16_t>(std::lround(v[k] * 4095));
            }
            wave.Name = names[k];
            settings.AddWaveform(wave);
        }
        window.Form().ObjMasterTarn1().Notify(TObjMasterCode::omWaveformListChanged, -1);
        window.Settle();
    }
    TScreenWindow window;
};

TEST_F(WaveformScreens, ListWithThumbnailsAndASelectionAndThePreviewAfterADrop)
{
    TMainForm& form = window.Form();
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    list.SetItemIndex(list.Count() - 2);
    TSettingsTarn& settings = form.SettingsTarn1();
    settings.Device.Waveforms[0]->Assign(*settings.Repository[list.IndexMap()[list.ItemIndex()]]);
    form.ObjMasterTarn1().Notify(TObjMasterCode::omChannelWaveformChanged, 0);
    window.Settle();
    EXPECT_EQ(SqueezedControls(*form.Group(TMainForm::GroupWaveform)), std::vector<std::string>{});
    for (QRadioButton* button : {list.FilterAllBtn, list.FilterStandardBtn, list.FilterArbitraryBtn})
        EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString(); // with its circle
    EXPECT_TRUE(std::filesystem::exists(window.Save("waveform_list_and_preview")));
}

TEST_F(WaveformScreens, Dialogs)
{
    TMainForm& form = window.Form();
    TNewWaveForm newWave(form.Dialogs(), &form);
    newWave.show();
    TWavePropertiesForm properties(&form);
    // As Execute fills it for the last waveform added above.
    const TWaveformTarn& wave = *form.SettingsTarn1().Repository.back();
    properties.NameEdit->setText(QString::fromStdString(wave.Name));
    properties.SizeText->setText(QString::fromStdString(wave.SizeText()));
    properties.ModeText->setText(QString::fromStdString(wave.ModeText()));
    properties.EditorText->setText("None");
    properties.show();
    window.Settle();
    for (QWidget* dialog : std::initializer_list<QWidget*>{&newWave, &properties})
        EXPECT_EQ(SqueezedControls(*dialog), std::vector<std::string>{}) << dialog->windowTitle().toStdString();
    EXPECT_FALSE(SaveScreenshot(newWave, "dialog_new_wave").isNull());
    EXPECT_FALSE(SaveScreenshot(properties, "dialog_waveform_properties").isNull());
}

} // namespace
} // namespace tarn::test
