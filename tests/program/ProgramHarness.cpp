#include "tests/program/ProgramHarness.h"

#include <QCoreApplication>

#include <dlfcn.h>
#include <unistd.h>

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

TProgramFolder::TProgramFolder(bool withDriver)
{
    namespace fs = std::filesystem;
    std::random_device random;
    path_ = fs::temp_directory_path() / ("tarn-program-" + std::to_string(getpid()) + "-" + std::to_string(random()));
    fs::create_directories(path_);
    if (withDriver) {
        fs::copy_file(fs::path(TARN_BIN_DIR) / "libtarndrv.so", path_ / "libtarndrv.so");
    }
    fs::copy_file(fs::path(TARN_VIRTUAL_LIB_DIR) / "libvireo.so", path_ / "libvireo.so");
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

} // namespace tarn::test
