// SPDX-License-Identifier: MIT
// Support for running the program in-process: a temporary program folder with
// the real driver library and the virtual generator, scripted dialogs, and
// steps that run inside the program's own message loop.
#pragma once
#include "shell/TarnProgram.h"
#include "shell/master/DialogService.h"

#include <QTimer>

class QDrag;

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn::test {

struct TShownMessage {
    TDialogKind kind;
    TDialogButtons buttons;
    std::string text;
    std::string caption;
};

// Answers from a list; with the list empty, OK to OK, Yes to Yes/No, No to the search question.
class TScriptedDialogs : public TDialogService {
public:
    std::deque<TDialogResult> answers;
    std::vector<TShownMessage> shown;
    TDialogResult Message(TDialogKind kind, TDialogButtons buttons, const std::string& text,
                          const std::string& caption) override;
    std::vector<std::string> Texts() const;
};

// The virtual generator's inspection API, reached through the same file the
// driver library loads from the program folder.
class TVirtualGenerator {
public:
    explicit TVirtualGenerator(const std::filesystem::path& library);
    ~TVirtualGenerator();
    TVirtualGenerator(const TVirtualGenerator&) = delete;
    TVirtualGenerator& operator=(const TVirtualGenerator&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    std::int32_t Register(std::int32_t reg) const;
    std::int32_t RegisterWriteCount(std::int32_t reg) const;
    std::int32_t SampleWord(std::int32_t index) const;
    // All 16,384 words of the sample memory.
    std::vector<std::uint16_t> SampleMemory() const;
    std::int32_t EEPROMByte(std::int32_t address) const;
    void SetEEPROMByte(std::int32_t address, std::int32_t value) const;
    std::int32_t Power() const;
    // Switches the generator's power as the host's power switch packet does.
    void SwitchPower(bool on) const;
    void SetPlugged(bool plugged) const;
    // The 4-byte command packets of every request since the last clear, in order.
    std::vector<std::array<std::uint8_t, 4>> CommandPackets() const;
    void ClearRequests() const;
    // Whether each logged request succeeded, in order.
    std::vector<bool> RequestOutcomes() const;
    // Fault injection of VirtualGeneratorApi.h.
    void FailNextRequests(std::int32_t n) const;
    void FailRequestsAfter(std::int32_t after, std::int32_t n) const;
    std::int32_t PendingFailures() const;
    void UnplugAfterRequests(std::int32_t n) const;
    std::int32_t UnplugCountdown() const;
    bool Plugged() const;

private:
    void* Fn(const char* name) const;
    void* handle_ = nullptr;
};

// A fresh folder under the system's temporary folder, removed at the end.
class TProgramFolder {
public:
    // withDriver: copy libtarndrv.so; libvireo.so is always copied, the
    // virtual one unless another is named.
    explicit TProgramFolder(bool withDriver = true, const std::filesystem::path& usbLibrary = {});
    ~TProgramFolder();
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path File(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The program started in a fresh folder on the virtual generator with the
// distinct settings of DeviceExpectations and its window shown, before its
// message loop; finished (saved) when destroyed.
struct TStartedProgram {
    // withModules: the shipped plug-in modules go into the folder's modules/ first;
    // prepare: sets up the generator before the program finds it.
    explicit TStartedProgram(bool withModules = false,
                             const std::function<void(const TVirtualGenerator&)>& prepare = {});
    ~TStartedProgram();
    TStartedProgram(const TStartedProgram&) = delete;
    TStartedProgram& operator=(const TStartedProgram&) = delete;
    TMainForm& Form() const { return *program->MainForm(); }

    TProgramFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TVirtualGenerator> vg;
    std::unique_ptr<TTarnProgram> program;
    // Start-up went through without a message and the window was painted.
    bool started = false;
};

// Runs steps one after another from a timer inside whatever event loop is
// running (the program's or a modal window's). A step returns true when done.
class TStepper {
public:
    using Step = std::function<bool()>;
    TStepper(std::vector<Step> steps, std::chrono::milliseconds timeout);
    bool Finished() const { return next_ >= steps_.size(); }
    std::size_t StepsDone() const { return next_; }
    bool TimedOut() const { return timedOut_; }
    // A step that waits the given time.
    static Step Wait(std::chrono::milliseconds time);

private:
    void Tick();
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool timedOut_ = false;
    QTimer ticker_;
    QTimer deadline_;
};

// A step that runs action once.
TStepper::Step Do(std::function<void()> action);
// Runs the steps in the program's message loop, which ends after the last;
// a timeout or an unfinished list is a test failure.
void RunSteps(TTarnProgram& program, std::vector<TStepper::Step> steps,
              std::chrono::milliseconds timeout = std::chrono::seconds(45));

// The platform's part of a drag from the waveform list, done by hand since the
// headless platform drops nothing: the pointer goes onto the preview, the
// widget there is offered the drag and it is dropped there if accepted.
Qt::DropAction DropOnPreview(TMainForm& form, QDrag& drag);
// Presses on the list item in row, moves past the drag distance and drops the
// item on the preview, as the mouse does (or hands the drag to runner); false
// when the list started no drag.
bool DragListItem(TMainForm& form, int row, const std::function<Qt::DropAction(QDrag&)>& runner = {});
// The row of the list item with that caption, -1 when none.
int ListRow(TMainForm& form, const QString& caption);

} // namespace tarn::test
