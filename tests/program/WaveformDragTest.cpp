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

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QMenu>
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

// The menu entry, Enter and a drop each load the item into sample memory; the
// list marks what plays, the preview names it, and it highlights while an
// accepted drag is over it.
TEST_F(WaveformDrag, MenuEnterAndDropPlayAndTheListMarksWhatPlays)
{
    struct Wave {
        const char* name;
        int count;
        int first; // codes first, first + 1, ...
    };
    const Wave waves[] = {{"ramp", 1000, 1024}, {"short", 300, 3000}};
    TWaveListBoxTarn& list = Form().WaveListBoxTarn1();
    for (const Wave& w : waves) {
        TWaveformTarn wave;
        wave.Allocate(w.count, 4096, false);
        for (int i = 0; i < w.count; ++i)
            wave.Samples()[i] = static_cast<std::uint16_t>(w.first + i);
        wave.Name = w.name;
        S().AddWaveform(wave);
        Form().ObjMasterTarn1().Notify(TObjMasterCode::omWaveformListChanged, -1);
        // What was just added is the selection.
        EXPECT_EQ(list.Item(list.ItemIndex()).toStdString(), w.name);
    }
    const auto repositoryIndex = [this](const char* name) {
        for (std::size_t i = 0; i < S().Repository.size(); ++i)
            if (S().Repository[i]->Name == name)
                return static_cast<std::int32_t>(i);
        return -1;
    };
    const auto inMemory = [this](const Wave& w) {
        int mismatches = 0;
        for (int i = 0; i < w.count; ++i)
            mismatches += run.vg->SampleWord(16384 - w.count + i) != w.first + i;
        return mismatches;
    };
    const auto expectPlaying = [&](const char* name) {
        EXPECT_EQ(S().Device.Waveforms[0]->Name, name);
        EXPECT_EQ(list.PlayingIndex(), repositoryIndex(name)) << name;
        const QString described = QStringLiteral("Now playing: ") + QString::fromUtf8(name);
        EXPECT_EQ(Form().WaveScreenTarn1().toolTip(), described);
        EXPECT_EQ(Form().WaveScreenTarn1().accessibleDescription(), described);
    };

    QAction* send = Form().SendToGenerator1();
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(Form().PopupMenu1()->actions().value(0), send);
    EXPECT_EQ(Form().PopupMenu1()->defaultAction(), send);
    list.SetItemIndex(Row("ramp"));
    send->trigger();
    expectPlaying("ramp");
    EXPECT_EQ(inMemory(waves[0]), 0);

    list.setFocus();
    list.SetItemIndex(Row("short"));
    QTest::keyClick(&list, Qt::Key_Return);
    expectPlaying("short");
    EXPECT_EQ(inMemory(waves[1]), 0);

    // Over the preview the drag is shown as taken; leaving or dropping clears it.
    TWaveScreenTarn& preview = Form().WaveScreenTarn1();
    std::vector<bool> highlighted;
    const bool dragged = DragListItem(Form(), Row("ramp"), [&](QDrag& drag) {
        const QPoint at = preview.rect().center();
        QDragEnterEvent enter(at, drag.supportedActions(), drag.mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(&preview, &enter);
        highlighted.push_back(preview.DropHighlighted());
        QDragLeaveEvent leave;
        QApplication::sendEvent(&preview, &leave);
        highlighted.push_back(preview.DropHighlighted());
        return DropOnPreview(Form(), drag);
    });
    EXPECT_TRUE(dragged);
    highlighted.push_back(preview.DropHighlighted());
    EXPECT_EQ(highlighted, (std::vector<bool>{true, false, false}));
    expectPlaying("ramp");
    EXPECT_EQ(inMemory(waves[0]), 0);

    // A rebuild under another filter keeps the mark on the same waveform.
    list.FilterBtnClick(2);
    EXPECT_EQ(list.PlayingIndex(), repositoryIndex("ramp"));
    list.FilterBtnClick(0);
    DragItem(Row("Sine"));
    expectPlaying("Sine");
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
    EXPECT_FALSE(Form().WaveScreenTarn1().DropHighlighted());
    EXPECT_EQ(S().Device.Waveforms[0]->Name, name);
}

} // namespace
} // namespace tarn::test
