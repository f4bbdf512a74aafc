// SPDX-License-Identifier: MIT
// A waveform dragged from the list onto the preview, with the mouse, down to
// the virtual generator's sample memory, the frequency caption and the Vpp.
#include "data/SettingsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QDrag>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include <memory>

namespace tarn::test {
namespace {

class WaveformDrag : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run.started); }

    TMainForm& Form() { return run.Form(); }
    TSettingsTarn& S() { return Form().SettingsTarn1(); }
    // Drags the item in row onto the preview with the mouse.
    void DragItem(int row)
    {
        drags += DragListItem(Form(), row) ? 1 : 0;
        EXPECT_FALSE(Form().WaveListBoxTarn1().Dragging());
    }
    int Row(const char* name) { return ListRow(Form(), QString::fromUtf8(name)); }

    TStartedProgram run;
    int drags = 0;
};

TEST_F(WaveformDrag, AListItemDroppedOnThePreviewReachesTheGenerator)
{
    TWaveformTarn ramp;
    ramp.Allocate(1000, 4096, false);
    for (int i = 0; i < 1000; ++i)
        ramp.Samples()[i] = static_cast<std::uint16_t>(1024 + i); // half the full scale
    ramp.Name = "ramp";
    S().AddWaveform(ramp);
    Form().ObjMasterTarn1().Notify(TObjMasterCode::omWaveformListChanged, -1);
    TWaveListBoxTarn& list = Form().WaveListBoxTarn1();
    const int rampRow = Row("ramp"), sineRow = Row("Sine");
    ASSERT_GE(rampRow, 0);
    ASSERT_GE(sineRow, 0);
    QGroupBox* frequency = Form().Group(TMainForm::GroupFrequency);
    DragItem(sineRow);
    ASSERT_EQ(S().Device.Waveforms[0]->Name, "Sine");
    EXPECT_EQ(frequency->title(), "Waveform frequency");
    const QString vppSine = Form().ChannelWrapperTarn1().Controls().VppEdit->text();
    const QImage sinePicture = Form().WaveScreenTarn1().Bitmap();

    DragItem(rampRow);
    const TWaveformTarn& played = *S().Device.Waveforms[0];
    EXPECT_EQ(played.Name, "ramp");
    ASSERT_EQ(played.SampleCount(), 1000);
    int mismatches = 0;
    for (int i = 0; i < 1000; ++i)
        mismatches += run.vg->SampleWord(16384 - 1000 + i) != 1024 + i;
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(frequency->title(), "Sampling rate");
    EXPECT_NE(Form().ChannelWrapperTarn1().Controls().VppEdit->text(), vppSine);
    EXPECT_NE(Form().WaveScreenTarn1().Bitmap(), sinePicture);
    EXPECT_FALSE(list.Dragging());
    EXPECT_EQ(drags, 2);

    DragItem(sineRow);
    EXPECT_EQ(S().Device.Waveforms[0]->Name, "Sine");
    EXPECT_EQ(frequency->title(), "Waveform frequency");
    EXPECT_EQ(Form().ChannelWrapperTarn1().Controls().VppEdit->text(), vppSine);
    EXPECT_EQ(Form().WaveScreenTarn1().Bitmap(), sinePicture);
}

TEST_F(WaveformDrag, ADragFromElsewhereIsRefused)
{
    const std::string name = S().Device.Waveforms[0]->Name;
    QDrag drag(Form().Group(TMainForm::GroupArm));
    auto* mime = new QMimeData;
    mime->setData("application/x-tarn-waveform", "0");
    mime->setText("Sine");
    drag.setMimeData(mime);
    EXPECT_EQ(DropOnPreview(Form(), drag), Qt::IgnoreAction);
    EXPECT_EQ(S().Device.Waveforms[0]->Name, name);
}

} // namespace
} // namespace tarn::test
