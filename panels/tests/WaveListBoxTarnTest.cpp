// SPDX-License-Identifier: MIT
// The waveform list and preview: pictures against an independent reckoning,
// filter, selection, menus, delete/duplicate/properties and the listener codes.
#include "data/SettingsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <vector>

namespace tarn {
namespace {

using Code = TObjMasterCode;

// The picture worked out pixel by pixel: column x covers samples
// floor(x*n/w) .. floor((x+1)*n/w - 1), joined to the column before; the
// bar covers row Nint(h - h*min/V) + top up to, not onto, Nint(h - h*max/V - 1) + top.
QImage Expected(const std::vector<std::uint16_t>& s, int range, bool standard, QSize size, double h, int top)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRgb pen = standard ? qRgb(0, 255, 0) : qRgb(255, 255, 0);
    const double n = static_cast<double>(s.size()), w = size.width();
    if (s.empty() || range <= 0)
        return image;
    double prevMin = 0, prevMax = 0;
    for (int x = 0; x < size.width(); ++x) {
        const int a = static_cast<int>(std::floor(x * n / w));
        const int b = std::max(a, static_cast<int>(std::floor((x + 1) * n / w - 1)));
        double mn = 1e9, mx = -1e9;
        for (int i = a; i <= b; ++i)
            mn = std::min<double>(mn, s[i]), mx = std::max<double>(mx, s[i]);
        if (x > 0 && prevMax < mn)
            mn = prevMax;
        if (x > 0 && prevMin > mx)
            mx = prevMin;
        prevMin = mn, prevMax = mx;
        const int from = static_cast<int>(std::nearbyint(h - h * mn / range)) + top;
        const int to = static_cast<int>(std::nearbyint(h - h * mx / range - 1)) + top;
        for (int y = std::min(to + 1, from); y <= from; ++y)
            if (y >= 0 && y < size.height())
                image.setPixel(x, y, pen);
    }
    return image;
}

std::unique_ptr<TWaveformTarn> Wave(const std::string& name, bool standard, std::vector<std::uint16_t> samples,
                                    int range = 4096)
{
    TWaveformTarn made;
    made.Allocate(static_cast<std::int32_t>(samples.size()), range, standard);
    std::copy(samples.begin(), samples.end(), made.Samples());
    made.Name = name;
    made.UpdateStatistics();
    // A copy, whose buffer was never handed out, as the repository holds them.
    auto w = std::make_unique<TWaveformTarn>();
    w->Assign(made);
    return w;
}

std::vector<std::uint16_t> Ramp(int n, int step, int start = 0)
{
    std::vector<std::uint16_t> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<std::uint16_t>((start + i * step) % 4096);
    return v;
}

struct TPictureCase {
    const char* what;
    std::vector<std::uint16_t> samples;
    int range;
    bool standard;
};

const std::vector<TPictureCase>& PictureCases()
{
    static const std::vector<TPictureCase> cases = {
        {"fewer samples than columns", {0, 4095, 1000, 3000, 2048}, 4096, true},
        {"more samples than columns", Ramp(1000, 37), 4096, false},
        {"constant", std::vector<std::uint16_t>(300, 2048), 4096, true},
        {"steps joined to the column before", {100, 100, 4000, 4000, 50, 50, 3000, 3000, 10}, 4096, false},
        {"8192 samples on 348 columns", Ramp(8192, 7, 11), 4096, true},
        {"range 0 draws nothing", {1, 2, 3}, 0, true},
        {"no samples draw nothing", {}, 4096, false},
        {"codes above the range are clipped", {5000, 0, 9000}, 4096, false},
    };
    return cases;
}

class WaveListTest : public ::testing::Test {
protected:
    WaveListTest()
    {
        settings.MakeStandardWaveforms(); // "Sine", "Saw", "Triangle", "Square"
        for (int i = 0; i < 3; ++i)
            settings.Repository.push_back(Wave("arb" + std::to_string(i), false, Ramp(100 + i, 40)));
        settings.Repository.push_back(Wave("std4", true, Ramp(8192, 1)));
        list = TWaveListBoxTarn::CreateInGroup(group, QRect(0, 0, 200, 260));
        list->ItemMenu = &itemMenu;
        list->NonItemMenu = &nonItemMenu;
        list->DeleteMenuItem = itemMenu.addAction("Delete");
        list->DuplicateMenuItem = itemMenu.addAction("Duplicate");
        list->PropertiesMenuItem = itemMenu.addAction("Properties");
        list->OnPropertiesShow = [this](TWaveListBoxTarn*, std::int32_t index, bool& changed) {
            shown.push_back(index);
            changed = true;
        };
        screen = new TWaveScreenTarn(&group);
        screen->setGeometry(0, 330, 348, 345);
        group.resize(400, 680);
        screen->SetSettings(&settings);
        screen->SetObjMaster(&master);
        list->SetSettings(&settings);
        list->SetObjMaster(&master);
        master.RegisterListener(TObjMasterNotifyEvent::Bind<&WaveListTest::Record>(this));
        master.Notify(Code::omWireControls);
        master.Notify(Code::omSettingsApplied, 5);
        group.show();
        recorded.clear();
    }
    void Record(Code code, std::int32_t index, void*) { recorded.push_back({code, index}); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < list->Count(); ++i)
            names.push_back(list->Item(i).toStdString());
        return names;
    }
    QPoint ItemCentre(int row)
    {
        list->doItemsLayout();
        return list->visualRect(list->model()->index(row, 0)).center();
    }

    QApplication& app = test::TestApp();
    std::vector<std::pair<Code, std::int32_t>> recorded; // outlives the master
    std::vector<std::int32_t> shown;
    TObjMasterTarn master;
    TSettingsTarn settings;
    QMenu itemMenu, nonItemMenu;
    QGroupBox group;
    TWaveListBoxTarn* list = nullptr;
    TWaveScreenTarn* screen = nullptr;
};

TEST_F(WaveListTest, ThumbnailItemAndPreviewMatchTheReckonedPictures)
{
    for (const TPictureCase& c : PictureCases()) {
        SCOPED_TRACE(c.what);
        auto w = Wave(c.what, c.standard, c.samples, c.range);
        EXPECT_EQ(list->Thumbnail(*w).convertToFormat(QImage::Format_RGB32),
                  Expected(c.samples, c.range, c.standard, QSize(64, 26), 23, 1));
        settings.Device.Waveforms[0]->Assign(*w);
        master.Notify(Code::omChannelWaveformChanged, 0);
        EXPECT_EQ(screen->Bitmap(), Expected(c.samples, c.range, c.standard, QSize(348, 345), 344, 0));
    }
    // The item: the thumbnail 2 pixels in from the item's corner, the name to its right.
    list->setCurrentIndex({});
    list->selectionModel()->clear();
    const QImage shot = list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect item = list->visualRect(list->model()->index(1, 0));
    const QImage thumb = list->Thumbnail(*settings.Repository[1]).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(item.height(), 30);
    EXPECT_EQ(shot.copy(item.left() + 2, item.top() + 2, 64, 26), thumb);
    EXPECT_EQ(shot.pixel(item.left() + 1, item.top() + 1), list->palette().base().color().rgb());
}

TEST(WavePicture, NoSamplesNoRangeOrNoWidthGiveNoBars)
{
    const std::uint16_t s[] = {0, 4095, 7};
    const struct {
        const std::uint16_t* samples;
        int count, range, width;
        std::size_t bars;
    } rows[] = {{s, 3, 4096, 5, 5}, {s, 3, 0, 5, 0},          {s, 3, -1, 5, 0},
                {s, 0, 4096, 5, 0}, {nullptr, 3, 4096, 5, 0}, {s, 3, 4096, 0, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(WaveColumns(r.samples, r.count, r.range, r.width, {10, 0}).size(), r.bars) << r.range;
}

TEST_F(WaveListTest, FilterMapsIndexesAndKeepsTheSelectionInRange)
{
    const struct {
        int filter;
        std::vector<std::int32_t> map;
    } rows[] = {{1, {0, 1, 2, 3, 7}}, {2, {4, 5, 6}}, {0, {0, 1, 2, 3, 4, 5, 6, 7}}};
    for (const auto& r : rows) {
        const int last = list->Count() - 1;
        list->SetItemIndex(last);
        QRadioButton* buttons[] = {list->FilterAllBtn, list->FilterStandardBtn, list->FilterArbitraryBtn};
        buttons[r.filter]->click();
        EXPECT_EQ(list->IndexMap(), r.map);
        EXPECT_EQ(list->ItemIndex(), std::min<int>(last, int(r.map.size()) - 1));
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ(buttons[b]->isChecked(), b == r.filter);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"Sine", "Saw", "Triangle", "Square", "arb0", "arb1", "arb2", "std4"}));
    EXPECT_EQ(list->model()->data(list->model()->index(4, 0), Qt::AccessibleTextRole).toString(), "arb0");
    EXPECT_EQ(list->accessibleName(), "Waveforms");
}

TEST_F(WaveListTest, DeleteDuplicateAndPropertiesActOnTheRepository)
{
    list->FilterArbitraryBtn->click();
    list->SetItemIndex(2); // "arb2", the last arbitrary one
    list->DeleteMenuItem->trigger();
    EXPECT_EQ(settings.Repository.size(), 7u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"arb0", "arb1"}));
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(recorded, (decltype(recorded){{Code::omWaveformListChanged, 0}}));

    list->FilterStandardBtn->click();
    list->SetItemIndex(1); // "Saw"
    list->DuplicateMenuItem->trigger();
    EXPECT_EQ(Names().back(), "Saw");
    EXPECT_EQ(settings.Repository.back()->SampleCount(), settings.Repository[1]->SampleCount());
    EXPECT_NE(settings.Repository.back().get(), settings.Repository[1].get());

    recorded.clear();
    list->SetItemIndex(4); // "std4" at repository 6
    list->PropertiesMenuItem->trigger();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, ItemCentre(0));
    EXPECT_EQ(shown, (std::vector<std::int32_t>{6, 0}));
    EXPECT_EQ(recorded, (decltype(recorded){{Code::omWaveformListChanged, 6}, {Code::omWaveformListChanged, 0}}));
}

TEST_F(WaveListTest, WithoutASelectionTheActionsDoNothing)
{
    for (bool emptied : {false, true}) {
        if (emptied) {
            settings.Repository.resize(4); // standard ones only
            master.Notify(Code::omWaveformListChanged, -1);
            list->FilterArbitraryBtn->click();
            ASSERT_EQ(list->Count(), 0);
        }
        list->SetItemIndex(-1);
        recorded.clear();
        const std::size_t size = settings.Repository.size();
        for (QAction* item : {list->DeleteMenuItem, list->DuplicateMenuItem, list->PropertiesMenuItem})
            item->trigger();
        TWaveformTarn fill;
        fill.Name = "untouched";
        master.Notify(Code::omGetSelectedWaveform, 0, &fill);
        master.Notify(Code::omReplaceSelectedWaveform, 0, &fill);
        EXPECT_EQ(fill.Name, "untouched");
        EXPECT_EQ(settings.Repository.size(), size);
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(recorded.size(), 2u); // only the two codes sent here
    }
}

TEST_F(WaveListTest, RightButtonPicksTheItemOrShowsTheEmptyAreaMenu)
{
    list->SetItemIndex(2);
    ASSERT_LT(8 * 30, list->viewport()->height() - 5);
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(20, list->viewport()->height() - 5));
    EXPECT_TRUE(nonItemMenu.isVisible());
    EXPECT_FALSE(itemMenu.isVisible());
    EXPECT_EQ(list->ItemIndex(), 2);
    nonItemMenu.hide();
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, ItemCentre(3));
    EXPECT_TRUE(itemMenu.isVisible());
    EXPECT_FALSE(nonItemMenu.isVisible());
    EXPECT_EQ(list->ItemIndex(), 3);
    itemMenu.hide();
}

TEST_F(WaveListTest, SelectedWaveformCodesAndTheDragQuery)
{
    list->SetItemIndex(5);
    TWaveformTarn got;
    master.Notify(Code::omGetSelectedWaveform, 0, &got);
    EXPECT_EQ(got.Name, "arb1");
    EXPECT_EQ(got.SampleCount(), 101);
    auto replacement = Wave("replaced", true, {1, 2, 3});
    recorded.clear();
    master.Notify(Code::omReplaceSelectedWaveform, 0, replacement.get());
    EXPECT_EQ(settings.Repository[5]->Name, "replaced");
    EXPECT_EQ(settings.Repository[5]->SampleCount(), 3);
    EXPECT_EQ(recorded.front(), std::make_pair(Code::omWaveformListChanged, 5)); // nested, so seen first
    std::int32_t dragged = -1;
    master.Notify(Code::omQueryDraggedWaveform, 0, &dragged);
    EXPECT_EQ(dragged, -1); // no drag in progress
}

TEST_F(WaveListTest, ThumbnailsAreMadeOnceUntilTheSamplesChange)
{
    TWaveformTarn& w = *settings.Repository[4];
    const int before = list->ThumbnailsMade();
    const QImage first = list->Thumbnail(w);
    list->Thumbnail(w);
    EXPECT_EQ(list->ThumbnailsMade(), before + 1);
    w.Allocate(50, 4096, true); // new samples, new stamp, green pen
    EXPECT_NE(list->Thumbnail(w), first);
    EXPECT_EQ(list->ThumbnailsMade(), before + 2);
}

TEST_F(WaveListTest, ALargeLibraryDrawsOnlyTheVisibleItems)
{
    for (int i = 0; i < 10000; ++i)
        settings.Repository.push_back(Wave("w" + std::to_string(i), i % 2 == 0, Ramp(64, i + 1)));
    master.Notify(Code::omWaveformListChanged, -1);
    list->doItemsLayout();
    list->scrollToTop();      // the appended last item was selected and scrolled to
    list->viewport()->grab(); // paints the visible items
    const int visible = list->viewport()->height() / 30 + 2;
    EXPECT_GT(list->ThumbnailsMade(), 0);
    EXPECT_LE(list->ThumbnailsMade(), visible);
    list->scrollToBottom();
    list->viewport()->grab(); // paints the visible items
    const int made = list->ThumbnailsMade();
    EXPECT_LE(made, 2 * visible);
    list->scrollToTop();      // cached: nothing made again
    list->viewport()->grab(); // paints the visible items
    EXPECT_EQ(list->ThumbnailsMade(), made);
    EXPECT_EQ(list->Count(), 10008);
}

} // namespace
} // namespace tarn

namespace tarn {
namespace {

TEST_F(WaveListTest, EnterGivesTheItemWithTheFocusToTheChannelAsADropDoes)
{
    if (settings.Device.Waveforms.empty())
        settings.Device.Waveforms.push_back(std::make_unique<TWaveformTarn>());
    std::vector<std::int32_t> played;
    list->OnPlay = [&](TWaveListBoxTarn*, std::int32_t index) {
        played.push_back(index);
        EXPECT_TRUE(screen->Play(index));
    };
    list->FilterBtnClick(2); // arbitrary ones: list rows are not repository indexes
    struct Case {
        int row;
        int key;
        std::int32_t repositoryIndex; // -1: nothing is played
    };
    const Case cases[] = {{1, Qt::Key_Return, 5}, {0, Qt::Key_Enter, 4}, {2, Qt::Key_Return, 6}};
    for (const Case& c : cases) {
        // Current but not selected, as the list's first focus leaves it.
        list->selectionModel()->setCurrentIndex(list->model()->index(c.row, 0), QItemSelectionModel::Clear);
        recorded.clear();
        QTest::keyClick(list, Qt::Key(c.key));
        EXPECT_EQ(list->ItemIndex(), c.row);
        EXPECT_EQ(played.back(), c.repositoryIndex);
        EXPECT_EQ(settings.Device.Waveforms[0]->Name, settings.Repository[c.repositoryIndex]->Name);
        EXPECT_EQ(recorded, (std::vector<std::pair<Code, std::int32_t>>{{Code::omChannelWaveformChanged, 0}}));
    }
    // With the Shift key, or without an item, Enter plays nothing.
    played.clear();
    QTest::keyClick(list, Qt::Key_Return, Qt::ShiftModifier);
    list->FilterBtnClick(2);
    settings.Repository.clear();
    master.Notify(Code::omWaveformListChanged, 0);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(played.empty());
    recorded.clear();
    EXPECT_FALSE(screen->Play(0));
    EXPECT_FALSE(screen->Play(-1));
    EXPECT_TRUE(recorded.empty());
}

TEST_F(WaveListTest, MenuKeyAndShiftF10OpenTheItemMenuAtTheItemWithTheFocus)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int current; // -1: none
        bool itemMenu;
        bool nonItemMenu;
    };
    const Case cases[] = {
        {Qt::Key_Menu, {}, 3, true, false},  {Qt::Key_F10, Qt::ShiftModifier, 6, true, false},
        {Qt::Key_Menu, {}, -1, false, true}, {Qt::Key_F10, Qt::ShiftModifier, -1, false, true},
        {Qt::Key_F10, {}, 2, false, false},
    };
    for (const Case& c : cases) {
        if (c.current < 0)
            list->setCurrentIndex({});
        else
            list->selectionModel()->setCurrentIndex(list->model()->index(c.current, 0), QItemSelectionModel::Clear);
        QTest::keyClick(list, Qt::Key(c.key), c.modifiers);
        EXPECT_EQ(itemMenu.isVisible(), c.itemMenu) << c.key;
        EXPECT_EQ(nonItemMenu.isVisible(), c.nonItemMenu) << c.key;
        if (c.itemMenu) {
            EXPECT_EQ(list->ItemIndex(), c.current);
            const QRect item(
                list->viewport()->mapToGlobal(list->visualRect(list->model()->index(c.current, 0)).topLeft()),
                QSize(list->viewport()->width(), TWaveListBoxTarn::kItemHeight));
            EXPECT_TRUE(item.contains(itemMenu.pos())) << "at the item, not at the pointer";
        }
        itemMenu.hide();
        nonItemMenu.hide();
    }
}

} // namespace
} // namespace tarn
