// SPDX-License-Identifier: MIT
// Every window as a screen reader sees it: the accessibility tree from each
// top-level widget, walked as an assistive tool would. A control without a
// name, a value label named by its caption, or a name that is not the visible
// text (mnemonics stripped) is reported with its path.
// TARN_ACCESSIBILITY_DUMP=1 prints each tree (role, name, value, description).
#include "panels/WaveListBoxTarn.h"
#include "plugins/include/tarn/tarnmodule.h"
#include "shell/CommBrokenScreen.h"
#include "shell/DetachedScreen.h"
#include "shell/SweepScreen.h"
#include "shell/HelpScreen.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/program/ProgramHarness.h"
#include "tests/screenshots/ScreenshotSupport.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>

namespace tarn::test {
namespace {

QString Stripped(QString text)
{
    // "&&" is a literal ampersand, "&x" underlines x.
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&'))
            text.remove(i, 1);
    }
    return text.trimmed();
}

bool Interactive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::ScrollBar:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
    case QAccessible::Link:
    case QAccessible::List:
    case QAccessible::ListItem:
    case QAccessible::MenuBar:
    case QAccessible::PopupMenu:
        return true;
    default:
        return false;
    }
}

// What the eye reads on the control, or nothing when it shows no text of its own.
QString VisibleText(QObject* object)
{
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return Stripped(button->text());
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->pixmap().isNull() ? Stripped(label->text()) : QString();
    if (auto* group = qobject_cast<QGroupBox*>(object))
        return Stripped(group->title());
    if (auto* menu = qobject_cast<QMenu*>(object))
        return Stripped(menu->title());
    if (auto* action = qobject_cast<QAction*>(object))
        return action->isSeparator() ? QString() : Stripped(action->text());
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return edit->text().trimmed();
    return {};
}

// The caption a field or value label is labelled by: a related label, else its description.
QString Caption(QAccessibleInterface& node)
{
    for (const auto& [other, relation] : node.relations(QAccessible::Label)) {
        if (other->role() == QAccessible::StaticText)
            return Stripped(other->text(QAccessible::Name));
    }
    return node.text(QAccessible::Description).trimmed();
}

bool LabelledByCaption(QAccessibleInterface& node)
{
    for (const auto& [other, relation] : node.relations(QAccessible::Label)) {
        if (other->role() == QAccessible::StaticText)
            return true;
    }
    return false;
}

class TTreeWalk {
public:
    std::vector<std::string> problems;
    std::string dump;

    void Walk(QAccessibleInterface* node, const QString& path, int depth = 0)
    {
        if (node == nullptr || !node->isValid() || (depth > 0 && node->state().invisible))
            return;
        const QAccessible::Role role = node->role();
        const QString name = node->text(QAccessible::Name).trimmed();
        const QString value = node->text(QAccessible::Value);
        const QString description = node->text(QAccessible::Description);
        dump += QStringLiteral("%1%2 \"%3\"%4%5%6\n")
                    .arg(QString(depth * 2, QLatin1Char(' ')), RoleName(role), name,
                         value.isEmpty() ? QString() : QStringLiteral(" value \"%1\"").arg(value),
                         description.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(description),
                         node->state().checkable
                             ? (node->state().checked ? QStringLiteral(" [down]") : QStringLiteral(" [up]"))
                             : QString())
                    .toStdString();
        const QString here = path + QLatin1Char('/') + RoleName(role) + QLatin1Char(':') + name;
        Check(*node, role, name, here);
        // A drop-down's list is its items, read through its value.
        if (role == QAccessible::ComboBox || role == QAccessible::SpinBox)
            return;
        for (int i = 0; i < node->childCount(); ++i)
            Walk(node->child(i), here, depth + 1);
    }

private:
    static QString RoleName(QAccessible::Role role)
    {
        static const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
        const char* key = roles.valueToKey(role);
        return key != nullptr ? QString::fromLatin1(key) : QString::number(role);
    }

    void Problem(const QString& path, const QString& what) { problems.push_back((path + " " + what).toStdString()); }

    void Check(QAccessibleInterface& node, QAccessible::Role role, const QString& name, const QString& path)
    {
        QObject* object = node.object();
        const QString visible = VisibleText(object);
        const bool valueLabel = role == QAccessible::StaticText && !visible.isEmpty()
                                && (LabelledByCaption(node) || !node.text(QAccessible::Description).isEmpty());
        // A scroll area's own bars are Qt's, named by nobody; a box of dialog buttons is no group.
        const auto* widget = qobject_cast<QWidget*>(object);
        const bool areaBar = widget != nullptr && widget->parentWidget() != nullptr
                             && widget->parentWidget()->objectName().startsWith(QStringLiteral("qt_scrollarea"));
        const bool named = (Interactive(role) && !areaBar) || valueLabel || qobject_cast<QGroupBox*>(object) != nullptr;
        if (named && name.isEmpty()) {
            Problem(path, "has no name");
            return;
        }
        if (auto* box = qobject_cast<QComboBox*>(object)) {
            for (int i = 0; i < box->count(); ++i) {
                if (name == box->itemText(i))
                    Problem(path, "is named by an item, not by what it chooses");
            }
            if (node.text(QAccessible::Value) != box->currentText())
                Problem(path, "does not show its current item as its value");
            return;
        }
        if (valueLabel && name == Caption(node) && visible != name)
            Problem(path, "is a value label named by its caption \"" + Caption(node) + "\"");
        // An entry with a caption label is named by the caption (or its first
        // words: "File" for "File:") and shows its text as the value.
        if (role == QAccessible::EditableText && LabelledByCaption(node)) {
            if (!Caption(node).startsWith(name))
                Problem(path, "differs from its caption \"" + Caption(node) + "\"");
            return;
        }
        if (!visible.isEmpty() && name != visible)
            Problem(path, "differs from the visible text \"" + visible + "\"");
        auto* button = qobject_cast<QAbstractButton*>(object);
        if (button != nullptr && button->isCheckable() && node.state().checked != button->isChecked())
            Problem(path, "does not say whether it is down");
    }
};

bool DumpWanted()
{
    const char* dump = std::getenv("TARN_ACCESSIBILITY_DUMP");
    return dump != nullptr && *dump == '1';
}

// Walks the window and returns what is wrong with it.
std::vector<std::string> Problems(QObject& window, const std::string& title)
{
    TTreeWalk walk;
    walk.Walk(QAccessible::queryAccessibleInterface(&window), QString::fromStdString(title));
    if (DumpWanted())
        std::cout << "---- " << title << "\n" << walk.dump;
    return walk.problems;
}

// Walks the next modal window, then closes it.
std::vector<std::string> ModalProblems(const std::string& title, const std::function<void()>& open,
                                       const std::function<void(QWidget&)>& prepare = {})
{
    std::vector<std::string> problems{"not shown"};
    TStepper steps({[&] {
                       QWidget* modal = QApplication::activeModalWidget();
                       if (modal == nullptr)
                           return false;
                       if (prepare)
                           prepare(*modal);
                       QApplication::processEvents();
                       problems = Problems(*modal, title);
                       if (auto* pages = modal->findChild<QTabWidget*>()) {
                           for (int page = 1; page < pages->count(); ++page) {
                               pages->setCurrentIndex(page);
                               QApplication::processEvents();
                               for (std::string& p : Problems(*modal, title + " page " + std::to_string(page)))
                                   problems.push_back(std::move(p));
                           }
                       }
                       modal->close();
                       return true;
                   }},
                   std::chrono::seconds(20));
    open();
    QApplication::processEvents();
    EXPECT_TRUE(steps.Finished()) << title;
    return problems;
}

class AccessibleTree : public ::testing::Test {
protected:
    // The offscreen platform has no accessibility bridge: QAccessible stays
    // inactive and sends no events, so the tree is read as it stands.
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
    TScreenWindow screen;
    TMainForm& form = screen.Form();
};

using TWalkCase = std::pair<const char*, std::function<std::vector<std::string>(TMainForm&)>>;

TEST_F(AccessibleTree, EveryWindowNamesItsControlsByWhatTheyShow)
{
    const TWalkCase cases[] = {
        {"main window",
         [](TMainForm& f) {
             auto all = Problems(f, "main window");
             if (QAccessible::queryAccessibleInterface(f.centralWidget())->text(QAccessible::Name).isEmpty())
                 all.push_back("main window: the central area has no name");
             for (QMenu* menu : f.findChildren<QMenu*>()) {
                 // Qt's own overflow of the menu bar, shown only when it does not fit.
                 if (menu->title().isEmpty() && menu->parent() != &f)
                     continue;
                 menu->popup(f.geometry().center());
                 QApplication::processEvents();
                 for (std::string& p : Problems(*menu, "menu"))
                     all.push_back(std::move(p));
                 menu->hide();
             }
             return all;
         }},
        {"main window, attenuator in, two indicators off",
         [](TMainForm& f) {
             for (QAbstractButton* b : f.Group(TMainForm::GroupOutputL)->findChildren<QAbstractButton*>()) {
                 if (b->text() == QStringLiteral("Vpp") || b->text() == QStringLiteral("Vrms")
                     || b->text() == QStringLiteral("-20"))
                     b->click();
             }
             QApplication::processEvents();
             return Problems(f, "main window changed");
         }},
        {"Options", [](TMainForm& f) { return ModalProblems("Options", [&f] { f.Options1()->trigger(); }); }},
        {"About", [](TMainForm& f) { return ModalProblems("About", [&f] { f.About1()->trigger(); }); }},
        {"New waveform",
         [](TMainForm& f) { return ModalProblems("New waveform", [&f] { f.PopupMenu2()->actions()[0]->trigger(); }); }},
        {"Waveform properties",
         [](TMainForm& f) {
             f.WaveListBoxTarn1().setCurrentIndex(f.WaveListBoxTarn1().model()->index(0, 0));
             return ModalProblems("Waveform properties", [&f] { f.WaveListBoxTarn1().PropertiesMenuItem->trigger(); });
         }},
        {"communication broken",
         [](TMainForm& f) {
             TCommBrokenForm broken(f.ObjMasterTarn1(), &f);
             broken.show();
             QApplication::processEvents();
             return Problems(broken, "communication broken");
         }},
        {"help",
         [](TMainForm& f) {
             // The manual itself, as the build copies it beside the program.
             const QString previous = QDir::currentPath();
             QDir::setCurrent(QStringLiteral(TARN_SOURCE_DIR));
             f.Help2()->trigger();
             QDir::setCurrent(previous);
             QApplication::processEvents();
             if (f.HelpWindow() == nullptr)
                 return std::vector<std::string>{"help window not shown"};
             auto problems = Problems(*f.HelpWindow(), "help");
             f.HelpWindow()->close();
             return problems;
         }},
        {"sweep window, both pages",
         [](TMainForm& f) {
             f.Sweep1()->trigger();
             QApplication::processEvents();
             TSweepForm* sweep = f.SweepForm();
             if (sweep == nullptr || qobject_cast<TDetachedForm*>(sweep->window()) == nullptr)
                 return std::vector<std::string>{"sweep window not shown"};
             QWidget* window = sweep->window();
             auto all = Problems(*window, "sweep");
             sweep->ListModeBtn->click();
             sweep->AddPointBtn->click();
             // An error beside a field is read as what it says.
             sweep->ListTable->item(0, 0)->setText(QStringLiteral("x"));
             sweep->StartBtn->click();
             QApplication::processEvents();
             for (std::string& p : Problems(*window, "sweep list"))
                 all.push_back(std::move(p));
             window->close();
             QApplication::processEvents();
             return all;
         }},
        {"detached groups",
         [](TMainForm& f) {
             std::vector<std::string> all;
             for (auto group : {TMainForm::GroupOutputL, TMainForm::GroupFrequency, TMainForm::GroupTrigger}) {
                 QGroupBox* box = f.Group(group);
                 QTest::mouseDClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(1, box->height() - 2));
                 QApplication::processEvents();
                 auto* detached = qobject_cast<TDetachedForm*>(box->window());
                 if (detached == nullptr) {
                     all.push_back(box->title().toStdString() + " not detached");
                     continue;
                 }
                 for (std::string& p : Problems(*detached, "detached " + box->title().toStdString()))
                     all.push_back(std::move(p));
                 detached->close();
                 QApplication::processEvents();
             }
             return all;
         }},
    };
    for (const auto& [title, walk] : cases)
        EXPECT_EQ(walk(form), std::vector<std::string>{}) << title;
}

TEST_F(AccessibleTree, TheVirtualGeneratorWindowReadsItsValuesAndFollowsItsToggle)
{
    vdev::test::BenchSignal bench;
    ASSERT_EQ(bench.Start(2600, 2700), 0);
    vdev::VirtualDeviceWindow window(bench.generator, nullptr);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(Problems(window, "virtual generator"), std::vector<std::string>{});
    window.PlugButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(window.PlugButton()->text(), QStringLiteral("Plug in"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window.PlugButton())->text(QAccessible::Name).toStdString(),
              "Plug in");
    EXPECT_EQ(Problems(window, "virtual generator unplugged"), std::vector<std::string>{});
}

// Answers only the sample range: every module dialog is cancelled.
int32_t RangeOnly(int32_t code, intptr_t, void* p3, void*)
{
    if (code != TARN_REQUEST_SAMPLE_RANGE)
        return 0;
    *static_cast<int32_t*>(p3) = 4096;
    return 1;
}

TEST_F(AccessibleTree, ModuleWindowsNameTheirControls)
{
    for (const char* module : {"equation.so", "harmonics.so", "import.so"}) {
        QLibrary library(QString::fromStdString((std::filesystem::path(TARN_BIN_DIR) / "modules" / module).string()));
        auto request = reinterpret_cast<TTarnAppRequestFunc>(library.resolve(TARN_MODULE_ENTRY_NAME));
        ASSERT_NE(request, nullptr) << module;
        request(TARN_MODULE_SET_REQUEST, 0, reinterpret_cast<void*>(&RangeOnly), nullptr);
        EXPECT_EQ(
            ModalProblems(module,
                          [&] { request(TARN_MODULE_CREATE, reinterpret_cast<intptr_t>(&form), nullptr, nullptr); }),
            std::vector<std::string>{});
    }
}

// Pairs that act as one choice, by group and visible text or name: read as
// radio buttons, with the one that is down checked.
TEST_F(AccessibleTree, TwoButtonChoicesAreRadioButtonsThatSayWhichIsDown)
{
    const std::pair<TMainForm::TGroup, std::vector<const char*>> choices[] = {
        {TMainForm::GroupOutputL,
         {"On", "Off", "-20", "0", "Con", "Step", "+", "-", "Open", "50", "Auto dB", "Man dB"}},
        {TMainForm::GroupOutputH, {"On", "Off", "Open", "600"}},
        {TMainForm::GroupArm, {"On", "Off", "0", "1"}},
        {TMainForm::GroupTrigger, {"On", "Off", "Go", "Stop", "Trigger on leading edge", "Trigger on trailing edge"}},
        {TMainForm::GroupMode, {"Single", "Period"}},
        {TMainForm::GroupFrequency, {"Con", "Step"}},
    };
    for (const auto& [group, names] : choices) {
        const QString title = form.Group(group)->title();
        for (const char* name : names) {
            int found = 0;
            for (QAbstractButton* button : form.Group(group)->findChildren<QAbstractButton*>()) {
                QAccessibleInterface* node = QAccessible::queryAccessibleInterface(button);
                if (node->text(QAccessible::Name) != QString::fromUtf8(name) || !button->isCheckable())
                    continue;
                ++found;
                EXPECT_EQ(node->role(), QAccessible::RadioButton) << title.toStdString() << " " << name;
                EXPECT_EQ(node->state().checked, button->isChecked()) << title.toStdString() << " " << name;
            }
            EXPECT_GE(found, 1) << title.toStdString() << " " << name;
        }
    }
}

} // namespace
} // namespace tarn::test
