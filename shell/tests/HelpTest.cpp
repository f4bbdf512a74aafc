// SPDX-License-Identifier: MIT
// The manual in its own window: F1 opens it at the focused control's section,
// its links stay inside it, and nothing outside the program is started.
#include "data/SettingsTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/HelpScreen.h"
#include "shell/KeyboardTarn.h"
#include "shell/Main.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/ModalKeys.h"
#include "shell/master/tests/TestApp.h"
#include "shell/tests/ShownForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <set>

namespace tarn {
namespace {

class Outside : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

// The anchors a reader of the loaded page can be sent to.
std::set<QString> Anchors(const QTextDocument& document)
{
    std::set<QString> names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (const QString& n : block.charFormat().anchorNames())
            names.insert(n);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            for (const QString& n : it.fragment().charFormat().anchorNames())
                names.insert(n);
        }
    }
    return names;
}

class NoQuestions : public TDialogService {
public:
    TDialogResult Message(TDialogKind, TDialogButtons, const std::string&, const std::string&) override
    {
        return TDialogResult::No;
    }
};

class Help : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        previous = QDir::currentPath();
        // The program folder: the manual as the build copies it.
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral(TARN_SOURCE_DIR)));
        for (const char* scheme : {"file", "http", "https", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &outside, "Open");
        form = test::ShownForm(dialogs);
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override
    {
        form.reset();
        for (const char* scheme : {"file", "http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        QDir::setCurrent(previous);
    }
    QWidget* First(TMainForm::TGroup group) const
    {
        return form->Group(group)->findChildren<QAbstractButton*>().value(0);
    }

    QString previous;
    Outside outside;
    NoQuestions dialogs;
    std::unique_ptr<TMainForm> form;
};

TEST_F(Help, F1OpensTheManualAtTheFocusedControlsSectionWithNoOutsideProgram)
{
    const std::pair<std::function<QWidget*()>, const char*> cases[] = {
        {[&] { return First(TMainForm::GroupOutputL); }, "outputs"},
        {[&] { return First(TMainForm::GroupOutputH); }, "outputs"},
        {[&] { return &form->WaveListBoxTarn1(); }, "waveform"},
        {[&] { return &form->WaveScreenTarn1(); }, "preview"},
        {[&] { return First(TMainForm::GroupArm); }, "arm"},
        {[&] { return First(TMainForm::GroupTrigger); }, "trigger"},
        {[&] { return First(TMainForm::GroupMode); }, "mode"},
        {[&] { return &form->FrequencyBarTarn1(); }, "frequency"},
        {[&] { return static_cast<QWidget*>(form->menuBar()); }, "menus"},
    };
    int lastScroll = -1;
    THelpForm* first = nullptr;
    for (const auto& [widget, anchor] : cases) {
        QWidget* control = widget();
        ASSERT_NE(control, nullptr) << anchor;
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        // Straight at the control: focus policies aside, this is the control F1 asks about.
        EXPECT_EQ(HelpAnchorFor(*form, control), QString::fromLatin1(anchor));
        control->setFocus(Qt::OtherFocusReason);
        if (QApplication::focusWidget() != control)
            continue; // a control Tab does not stop at; mapped above all the same
        QTest::keyClick(form.get(), Qt::Key_F1);
        THelpForm* help = form->HelpWindow();
        ASSERT_NE(help, nullptr) << anchor;
        EXPECT_EQ(help, first != nullptr ? first : (first = help)) << "one window, reused";
        EXPECT_TRUE(help->isVisible()) << anchor;
        EXPECT_EQ(help->Browser()->source().fileName(), QStringLiteral("help.htm")) << anchor;
        EXPECT_EQ(Anchors(*help->Browser()->document()).count(QString::fromLatin1(anchor)), 1u) << anchor;
        // Two sections in a row are never both at the top of the page.
        const int scroll = help->Browser()->verticalScrollBar()->value();
        EXPECT_NE(scroll, lastScroll) << anchor;
        lastScroll = scroll;
    }
    EXPECT_EQ(HelpAnchorFor(*form, nullptr), QStringLiteral("window"));
    EXPECT_TRUE(outside.urls.isEmpty());
}

// F1 in each modal window opens the manual at that window's section; the
// manual then takes keys while the window stays modal, usable, and the main
// window still waits.
TEST_F(Help, F1InAModalWindowOpensItsSectionAndTheManualIsUsableBesideIt)
{
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"options", [&] { form->Options1Click(); }},
        {"about", [&] { form->About1Click(); }},
        {"newwave", [&] { form->New1Click(); }},
        {"properties",
         [&] {
             bool changed = false;
             form->WaveListBoxTarn1PropertiesShow(&form->WaveListBoxTarn1(), 0, changed);
         }},
        {"commbroken",
         [&] {
             TCommBrokenForm broken(form->ObjMasterTarn1(), form.get());
             broken.Execute();
         }},
        {"modules",
         [&] {
             QDialog module(form.get()); // as a module's window stands over the main window
             module.setWindowModality(Qt::WindowModal);
             module.exec();
         }},
    };
    QToolButton* step = form->FrequencyBarTarn1().StepModeBtn;
    const QPoint onStep = step->mapTo(form.get(), step->rect().center());
    for (const auto& [anchor, open] : cases) {
        QWidget* modal = nullptr;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (modal != nullptr || QApplication::activeModalWidget() == nullptr)
                return;
            modal = QApplication::activeModalWidget();
            poll.stop();
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus != nullptr && focus->window() == modal ? focus : modal, Qt::Key_F1);
            THelpForm* help = form->HelpWindow();
            ASSERT_NE(help, nullptr) << anchor;
            EXPECT_TRUE(help->isVisible()) << anchor;
            EXPECT_EQ(QApplication::activeModalWidget(), modal) << anchor;
            QScrollBar& scroll = *help->Browser()->verticalScrollBar();
            const int at = scroll.value();
            help->Browser()->scrollToAnchor(QString::fromLatin1(anchor));
            EXPECT_EQ(scroll.value(), at) << "opened at " << anchor;
            // The manual takes keys; the main window does not.
            help->Browser()->setFocus();
            QTest::keyClick(help->windowHandle(), Qt::Key_End);
            EXPECT_EQ(scroll.value(), scroll.maximum()) << anchor;
            QTest::mouseClick(form->windowHandle(), Qt::LeftButton, Qt::NoModifier, onStep);
            EXPECT_FALSE(step->isChecked()) << anchor;
            // The modal window still answers: Escape closes it.
            QTest::keyClick(modal->windowHandle(), Qt::Key_Escape);
        });
        poll.start();
        open();
        EXPECT_NE(modal, nullptr) << anchor;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << anchor;
        test::RefocusAfterModal(*form);
    }
    EXPECT_TRUE(outside.urls.isEmpty());
}

TEST_F(Help, EveryAnchorAndPictureTheManualNeedsIsThereAndLinksStayInside)
{
    form->Help2()->trigger();
    QTextBrowser& browser = *form->HelpWindow()->Browser();
    const std::set<QString> anchors = Anchors(*browser.document());
    for (const char* used : {"window", "outputs", "waveform", "preview", "arm", "trigger", "mode", "frequency", "menus",
                             "options", "about", "newwave", "properties", "commbroken", "modules", "statusbar", "sweep"})
        EXPECT_EQ(anchors.count(QString::fromLatin1(used)), 1u) << used;
    // Every picture as the window loads it, not only as a file name.
    QFile page(QStringLiteral("help/help.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    int pictures = 0;
    for (const auto& m : QRegularExpression(QStringLiteral("<img src=\"([^\"]+)\"")).globalMatch(html)) {
        ++pictures;
        const QVariant image = browser.loadResource(QTextDocument::ImageResource, QUrl(m.captured(1)));
        // The file's bytes, or the picture fitted to the page.
        EXPECT_FALSE(image.isNull() || (image.toByteArray().isEmpty() && image.value<QImage>().isNull()))
            << m.captured(1).toStdString();
    }
    EXPECT_GE(pictures, 4);

    // A section link moves inside the window; a link out goes to the opener on click only.
    QList<QUrl> opened;
    form->HelpWindow()->SetExternalOpener([&opened](const QUrl& url) { opened << url; });
    emit browser.anchorClicked(QUrl(QStringLiteral("#permissions")));
    EXPECT_EQ(browser.source().fileName(), QStringLiteral("help.htm"));
    EXPECT_EQ(browser.source().fragment(), QStringLiteral("permissions"));
    EXPECT_GT(browser.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(opened.isEmpty());
    emit browser.anchorClicked(QUrl(QStringLiteral("https://example.org/page")));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].host(), QStringLiteral("example.org"));
    EXPECT_EQ(browser.source().fileName(), QStringLiteral("help.htm"));
    EXPECT_TRUE(outside.urls.isEmpty());
}

TEST_F(Help, AMissingManualIsSaidInTheWindow)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    ASSERT_TRUE(QDir::setCurrent(empty.path()));
    form->Help2()->trigger();
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_TRUE(form->HelpWindow()->isVisible());
    EXPECT_TRUE(form->HelpWindow()->Browser()->toPlainText().contains(QStringLiteral("help/help.htm")));
    EXPECT_TRUE(outside.urls.isEmpty());
}

} // namespace
} // namespace tarn

#include "HelpTest.moc"
