// SPDX-License-Identifier: MIT
// Undo and redo of library edits in the running program on the virtual
// generator: each edit made through the window's own menus, dialogs and
// modules, undone and redone with the "Files" items (their keys are in the
// shell's keyboard test), the library compared record by record.
#include "data/BinStreamEx.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "modules/ModuleManagerTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/TarnProgram.h"
#include "shell/WavePropertiesScreen.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <sstream>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

// Every library record as the file would hold it: samples and module data.
std::vector<std::string> Library(const TSettingsTarn& settings)
{
    std::vector<std::string> records;
    for (const auto& waveform : settings.Repository) {
        std::ostringstream bytes(std::ios::binary);
        TBinStreamEx stream(bytes);
        waveform->SaveToStream(stream);
        records.push_back(std::move(bytes).str());
    }
    return records;
}

QAction* ModuleAction(const QMenu* menu)
{
    const QList<QAction*> items = menu->actions();
    const auto equation = std::find_if(items.begin(), items.end(),
                                       [](const QAction* a) { return a->text() == QLatin1String("Equation"); });
    return equation == items.end() ? nullptr : *equation;
}

// The Equation module's window: the expression typed and OK clicked.
TStepper::Step Expression(const char* text)
{
    return [text] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* field = modal != nullptr ? modal->findChild<QLineEdit*>(QStringLiteral("EquationEdit")) : nullptr;
        if (field == nullptr)
            return false;
        field->setText(QString::fromUtf8(text));
        modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        return true;
    };
}

// A dialog of the program once it is modal: filled, then OK.
template <typename TForm> TStepper::Step Fill(std::function<void(TForm&)> fill)
{
    return [fill = std::move(fill)] {
        auto* form = qobject_cast<TForm*>(QApplication::activeModalWidget());
        if (form == nullptr)
            return false;
        fill(*form);
        form->OkBtn->click();
        return true;
    };
}

class LibraryUndo : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run.started); }
    TMainForm& Form() { return run.Form(); }
    TSettingsTarn& S() { return Form().SettingsTarn1(); }
    TWaveListBoxTarn& List() { return Form().WaveListBoxTarn1(); }
    void Select(const char* name)
    {
        List().FilterAllBtn->click();
        const int row = ListRow(Form(), QString::fromUtf8(name));
        ASSERT_GE(row, 0) << name;
        List().SetItemIndex(row);
        List().setFocus();
    }
    // Runs steps in the modal windows that open opens.
    static void Modal(std::vector<TStepper::Step> steps, const std::function<void()>& open)
    {
        TStepper stepper(std::move(steps), 20s);
        open();
        EXPECT_TRUE(stepper.Finished());
    }
    // The "Files" item as it shows: its text without the mnemonic, or "" when greyed.
    static std::string Shown(const QAction* item)
    {
        return item->isEnabled() ? QString(item->text()).remove(QLatin1Char('&')).toStdString() : std::string();
    }

    TStartedProgram run{true};
};

TEST_F(LibraryUndo, EveryEditIsUndoneAndRedoneRecordForRecord)
{
    QAction* create = ModuleAction(Form().ModuleManagerTarn1().CreatorMenuItem);
    QAction* edit = ModuleAction(Form().ModuleManagerTarn1().EditorMenuItem);
    ASSERT_TRUE(create != nullptr && edit != nullptr);
    const struct {
        const char* name;
        std::function<void()> edit;
        const char* undo;
        const char* redo;
    } cases[] = {
        {"a module creates",
         [&] {
             Modal({Expression("sin(2*pi*t)"), Fill<TNewWaveForm>([](TNewWaveForm& f) {
                        f.NameEdit->setText(QStringLiteral("eq"));
                        f.ModeBox->setCurrentIndex(1);
                        f.SizeEdit->setText(QStringLiteral("1000"));
                    })},
                   [&] { create->trigger(); });
         },
         "Undo create \"eq\"", "Redo create \"eq\""},
        {"duplicate",
         [&] {
             Select("eq");
             List().DuplicateMenuItem->trigger();
         },
         "Undo duplicate \"eq\"", "Redo duplicate \"eq\""},
        {"rename in the properties",
         [&] {
             Select("eq");
             Modal({Fill<TWavePropertiesForm>(
                       [](TWavePropertiesForm& f) { f.NameEdit->setText(QStringLiteral("eq 2")); })},
                   [&] { List().PropertiesMenuItem->trigger(); });
         },
         "Undo rename \"eq\" to \"eq 2\"", "Redo rename \"eq\" to \"eq 2\""},
        {"a module edits",
         [&] {
             Select("eq 2");
             Modal({Expression("square(t)")}, [&] { edit->trigger(); });
         },
         "Undo edit \"eq 2\"", "Redo edit \"eq 2\""},
        {"delete an arbitrary waveform (nothing asked)",
         [&] {
             Select("eq 2");
             List().DeleteMenuItem->trigger();
         },
         "Undo delete \"eq 2\"", "Redo delete \"eq 2\""},
        {"new",
         [&] {
             Modal({Fill<TNewWaveForm>([](TNewWaveForm& f) { f.NameEdit->setText(QStringLiteral("fresh")); })},
                   [&] { Form().New1()->trigger(); });
         },
         "Undo new \"fresh\"", "Redo new \"fresh\""},
    };
    QAction* undo = Form().Undo1();
    QAction* redo = Form().Redo1();
    EXPECT_EQ(Shown(undo), "");
    EXPECT_EQ(undo->text(), "&Undo");
    EXPECT_EQ(redo->text(), "&Redo");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = Library(S());
        c.edit();
        const auto after = Library(S());
        ASSERT_NE(after, before);
        EXPECT_EQ(Shown(undo), c.undo);
        EXPECT_EQ(Shown(redo), "");
        undo->trigger();
        EXPECT_TRUE(Library(S()) == before) << "undone record for record";
        EXPECT_EQ(Shown(redo), c.redo);
        redo->trigger();
        EXPECT_TRUE(Library(S()) == after) << "redone record for record";
        EXPECT_EQ(Shown(undo), c.undo);
    }
    EXPECT_TRUE(run.dialogs.shown.empty());
    // Back through all of them: the library of the start.
    for (std::size_t i = 0; i < std::size(cases); ++i)
        undo->trigger();
    EXPECT_EQ(Shown(undo), "");
    EXPECT_EQ(List().Count(), 4);
}

// The playing standard waveform deleted after the question, with the list
// showing only arbitrary ones: the generator keeps playing it, and Undo
// brings it back to its place, shown, selected and marked as playing.
TEST_F(LibraryUndo, AStandardWaveformIsAskedForAndComesBackShownAndPlaying)
{
    Select("Saw");
    Form().SendToGenerator1()->trigger();
    const std::vector<std::uint16_t> memory = run.vg->SampleMemory();
    const auto before = Library(S());
    const std::int32_t saw = List().PlayingIndex();
    ASSERT_EQ(saw, 1);

    // Unanswered, the question takes its default: No.
    List().DeleteMenuItem->trigger();
    ASSERT_EQ(run.dialogs.shown.size(), 1u);
    const TShownMessage& question = run.dialogs.shown[0];
    EXPECT_EQ(question.kind, TDialogKind::Question);
    EXPECT_EQ(question.buttons, TDialogButtons::YesNoDefaultNo);
    EXPECT_EQ(question.text, "\"Saw\" is a standard waveform. Delete it?");
    EXPECT_TRUE(Library(S()) == before);
    EXPECT_FALSE(Form().Undo1()->isEnabled());

    run.dialogs.answers.push_back(TDialogResult::Yes);
    List().DeleteMenuItem->trigger();
    EXPECT_EQ(S().Repository.size(), 3u);
    EXPECT_EQ(List().PlayingIndex(), -1);
    List().FilterArbitraryBtn->click();
    ASSERT_EQ(List().Count(), 0);

    Form().Undo1()->trigger();
    EXPECT_TRUE(Library(S()) == before);
    EXPECT_EQ(List().Filter(), 0) << "the filter would hide it";
    EXPECT_EQ(List().Item(List().ItemIndex()), "Saw");
    EXPECT_EQ(List().PlayingIndex(), saw);
    EXPECT_EQ(S().Device.Waveforms[0]->Name, "Saw");
    EXPECT_EQ(run.vg->SampleMemory(), memory) << "undo never reaches the generator";
    EXPECT_EQ(run.dialogs.shown.size(), 2u);
}

} // namespace
} // namespace tarn::test
