// SPDX-License-Identifier: MIT
#include "tests/program/ProgramHarness.h"

#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/Main.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QTest>
#include <QWindow>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <random>

namespace tarn::test {

TDialogResult TScriptedDialogs::Message(TDialogKind kind, TDialogButtons buttons, const std::string& text,
                                        const std::string& caption)
{
    shown.push_back({kind, buttons, text, caption});
    if (!answers.empty()) {
        const TDialogResult r = answers.front();
        answers.pop_front();
        return r;
    }
    return DefaultAnswer(buttons);
}

std::vector<std::string> TScriptedDialogs::Texts() const
{
    std::vector<std::string> texts;
    for (const TShownMessage& m : shown)
        texts.push_back(m.text);
    return texts;
}

TVirtualGenerator::TVirtualGenerator(const std::filesystem::path& library)
    : handle_(dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL))
{
}

TVirtualGenerator::~TVirtualGenerator()
{
    if (handle_ != nullptr)
        dlclose(handle_);
}

void* TVirtualGenerator::Fn(const char* name) const
{
    return dlsym(handle_, name);
}

std::int32_t TVirtualGenerator::Register(std::int32_t reg) const
{
    return reinterpret_cast<std::int32_t (*)(std::int32_t)>(Fn("VgGetRegister"))(reg);
}
std::int32_t TVirtualGenerator::RegisterWriteCount(std::int32_t reg) const
{
    return reinterpret_cast<std::int32_t (*)(std::int32_t)>(Fn("VgGetRegisterWriteCount"))(reg);
}
std::int32_t TVirtualGenerator::SampleWord(std::int32_t index) const
{
    return reinterpret_cast<std::int32_t (*)(std::int32_t)>(Fn("VgGetSampleWord"))(index);
}
std::vector<std::uint16_t> TVirtualGenerator::SampleMemory() const
{
    std::vector<std::uint16_t> words(16384);
    reinterpret_cast<std::int32_t (*)(std::uint16_t*, std::int32_t)>(Fn("VgCopySamples"))(words.data(), 16384);
    return words;
}
std::int32_t TVirtualGenerator::EEPROMByte(std::int32_t address) const
{
    return reinterpret_cast<std::int32_t (*)(std::int32_t)>(Fn("VgGetEEPROMByte"))(address);
}
void TVirtualGenerator::SetEEPROMByte(std::int32_t address, std::int32_t value) const
{
    reinterpret_cast<void (*)(std::int32_t, std::int32_t)>(Fn("VgSetEEPROMByte"))(address, value);
}
std::int32_t TVirtualGenerator::Power() const
{
    return reinterpret_cast<std::int32_t (*)()>(Fn("VgGetPower"))();
}
void TVirtualGenerator::SwitchPower(bool on) const
{
    reinterpret_cast<void (*)(std::int32_t)>(Fn("USBSetPowerOnOff"))(on ? 1 : 0);
}
void TVirtualGenerator::SetPlugged(bool plugged) const
{
    reinterpret_cast<void (*)(std::int32_t)>(Fn("VgSetPlugged"))(plugged ? 1 : 0);
}

std::vector<std::array<std::uint8_t, 4>> TVirtualGenerator::CommandPackets() const
{
    using Count = std::int32_t (*)();
    using Get = std::int32_t (*)(std::int32_t, std::int32_t*, std::int32_t*, std::uint8_t*, std::int32_t);
    std::vector<std::array<std::uint8_t, 4>> packets;
    const std::int32_t n = reinterpret_cast<Count>(Fn("VgGetRequestCount"))();
    for (std::int32_t i = 0; i < n; ++i) {
        std::int32_t function = 0, succeeded = 0;
        std::uint8_t bytes[256];
        const std::int32_t size =
            reinterpret_cast<Get>(Fn("VgGetRequest"))(i, &function, &succeeded, bytes, sizeof bytes);
        if (function != 6 || !succeeded)
            continue;
        for (std::int32_t at = 0; at + 4 <= std::min<std::int32_t>(size, sizeof bytes); at += 4)
            packets.push_back({bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]});
    }
    return packets;
}
void TVirtualGenerator::ClearRequests() const
{
    reinterpret_cast<void (*)()>(Fn("VgClearRequestLog"))();
}

std::vector<bool> TVirtualGenerator::RequestOutcomes() const
{
    using Get = std::int32_t (*)(std::int32_t, std::int32_t*, std::int32_t*, std::uint8_t*, std::int32_t);
    std::vector<bool> outcomes;
    const std::int32_t n = reinterpret_cast<std::int32_t (*)()>(Fn("VgGetRequestCount"))();
    for (std::int32_t i = 0; i < n; ++i) {
        std::int32_t function = 0, succeeded = 0;
        reinterpret_cast<Get>(Fn("VgGetRequest"))(i, &function, &succeeded, nullptr, 0);
        outcomes.push_back(succeeded != 0);
    }
    return outcomes;
}
void TVirtualGenerator::FailNextRequests(std::int32_t n) const
{
    reinterpret_cast<void (*)(std::int32_t)>(Fn("VgFailNextRequests"))(n);
}
void TVirtualGenerator::FailRequestsAfter(std::int32_t after, std::int32_t n) const
{
    reinterpret_cast<void (*)(std::int32_t, std::int32_t)>(Fn("VgFailRequestsAfter"))(after, n);
}
std::int32_t TVirtualGenerator::PendingFailures() const
{
    return reinterpret_cast<std::int32_t (*)()>(Fn("VgGetPendingFailures"))();
}
void TVirtualGenerator::UnplugAfterRequests(std::int32_t n) const
{
    reinterpret_cast<void (*)(std::int32_t)>(Fn("VgUnplugAfterRequests"))(n);
}
std::int32_t TVirtualGenerator::UnplugCountdown() const
{
    return reinterpret_cast<std::int32_t (*)()>(Fn("VgGetUnplugCountdown"))();
}
bool TVirtualGenerator::Plugged() const
{
    return reinterpret_cast<std::int32_t (*)()>(Fn("VgIsPlugged"))() != 0;
}

TStartedProgram::TStartedProgram(bool withModules, const std::function<void(const TVirtualGenerator&)>& prepare)
{
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
    WriteDistinctSettings(folder.Path());
    if (withModules) {
        std::filesystem::copy(std::filesystem::path(TARN_BIN_DIR) / "modules", folder.File("modules"));
    }
    vg = std::make_unique<TVirtualGenerator>(folder.File("libvireo.so"));
    if (vg->Loaded() && prepare)
        prepare(*vg);
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.singleInstanceCheck = false;
    program = std::make_unique<TTarnProgram>(dialogs, options);
    if (!vg->Loaded() || !program->Start() || !dialogs.shown.empty())
        return;
    // Shown as the message loop shows it; the first paint draws the panels.
    program->MainForm()->show();
    started = QTest::qWaitForWindowExposed(program->MainForm());
    QApplication::processEvents();
}

TStartedProgram::~TStartedProgram()
{
    if (program)
        program->Finish();
}

TProgramFolder::TProgramFolder(bool withDriver, const std::filesystem::path& usbLibrary)
{
    namespace fs = std::filesystem;
    std::random_device random;
    path_ = fs::temp_directory_path() / ("tarn-program-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directories(path_);
    if (withDriver) {
        fs::copy_file(fs::path(TARN_BIN_DIR) / "libtarndrv.so", path_ / "libtarndrv.so");
    }
    fs::copy_file(usbLibrary.empty() ? fs::path(TARN_VIRTUAL_LIB_DIR) / "libvireo.so" : usbLibrary,
                  path_ / "libvireo.so");
}

TProgramFolder::~TProgramFolder()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

TStepper::TStepper(std::vector<Step> steps, std::chrono::milliseconds timeout) : steps_(std::move(steps))
{
    ticker_.setInterval(20);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { Tick(); });
    ticker_.start();
    deadline_.setSingleShot(true);
    QObject::connect(&deadline_, &QTimer::timeout, [this] {
        timedOut_ = true;
        ticker_.stop();
        QCoreApplication::exit(1);
    });
    deadline_.start(timeout);
}

void TStepper::Tick()
{
    // A step may open a modal window whose loop runs this timer again.
    static thread_local int depth = 0;
    if (Finished() || depth > 0) {
        if (Finished())
            ticker_.stop();
        return;
    }
    ++depth;
    const std::size_t current = next_;
    const bool done = steps_[current]();
    if (done && next_ == current)
        ++next_;
    --depth;
}

TStepper::Step Do(std::function<void()> action)
{
    return [action = std::move(action)] {
        action();
        return true;
    };
}

void RunSteps(TTarnProgram& program, std::vector<TStepper::Step> steps, std::chrono::milliseconds timeout)
{
    steps.push_back(Do([] { QCoreApplication::exit(0); }));
    TStepper stepper(std::move(steps), timeout);
    program.Exec();
    EXPECT_FALSE(stepper.TimedOut()) << "after step " << stepper.StepsDone();
    EXPECT_TRUE(stepper.Finished()) << "stopped at step " << stepper.StepsDone();
}

TStepper::Step TStepper::Wait(std::chrono::milliseconds time)
{
    auto started = std::make_shared<std::chrono::steady_clock::time_point>();
    auto running = std::make_shared<bool>(false);
    return [=] {
        if (!*running) {
            *running = true;
            *started = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - *started >= time;
    };
}

Qt::DropAction DropOnPreview(TMainForm& form, QDrag& drag)
{
    QWidget& preview = form.WaveScreenTarn1();
    const QPoint at = preview.mapTo(&form, preview.rect().center());
    QWidget* target = form.childAt(at);
    if (target != &preview)
        return Qt::IgnoreAction;
    const QPointF local = target->mapFrom(&form, at);
    QDragEnterEvent enter(local.toPoint(), drag.supportedActions(), drag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(local, drag.supportedActions(), drag.mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

bool DragListItem(TMainForm& form, int row, const std::function<Qt::DropAction(QDrag&)>& runner)
{
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    list.doItemsLayout();
    list.scrollTo(list.model()->index(row, 0));
    const QPoint at = list.viewport()->mapTo(&form, list.visualRect(list.model()->index(row, 0)).center());
    bool dragged = false;
    list.DragRunner = [&form, &dragged, &runner](QDrag& drag) {
        dragged = true;
        return runner ? runner(drag) : DropOnPreview(form, drag);
    };
    QWindow* window = form.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseMove(window, at + QPoint(0, 2 * QApplication::startDragDistance()));
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    list.DragRunner = nullptr;
    return dragged;
}

int ListRow(TMainForm& form, const QString& caption)
{
    const TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    for (int row = 0; row < list.Count(); ++row)
        if (list.Item(row) == caption)
            return row;
    return -1;
}

} // namespace tarn::test
