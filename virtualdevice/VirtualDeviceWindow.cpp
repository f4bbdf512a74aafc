// SPDX-License-Identifier: MIT
#include "virtualdevice/VirtualDeviceWindow.h"

#include "access/AccessibleTarn.h"
#include "data/WindowPlace.h"
#include "data/XMLSettings.h"

#include "virtualdevice/DeviceTexts.h"
#include "virtualdevice/FrequencyStrip.h"
#include "virtualdevice/ScopeView.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace vdev {
namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// The accessible name where the widget shows no text of its own (a button
// reads its caption, so the name follows it), the hint as its description.
template <typename W> W* Described(W* widget, const char* name, const char* hint)
{
    if (name != nullptr)
        widget->setAccessibleName(Text(name));
    if (hint != nullptr) {
        widget->setAccessibleDescription(Text(hint));
        widget->setToolTip(Text(hint));
    }
    return widget;
}

QGroupBox* Group(const char* title, QLayout* layout)
{
    auto* group = new QGroupBox(Text(title));
    group->setAccessibleName(Text(title));
    group->setLayout(layout);
    return group;
}

struct RegisterName {
    int number;
    const char* content;
};
constexpr RegisterName kRegisters[] = {
    {1, "level"},           {2, "shift"},         {3, "clock word 0"}, {4, "clock word 1"},
    {5, "standard length"}, {6, "standard half"}, {7, "playback"},     {8, "relays"},
    {9, "divider, clock"},  {10, "control"},      {13, "write start"},
};

QString OnOff(bool on)
{
    return Text(on ? Texts::Yes : Texts::No);
}

} // namespace

VirtualDeviceWindow::VirtualDeviceWindow(vg::VirtualGenerator& generator, const vg::DeviceServer* server,
                                         QWidget* parent)
    : QWidget(parent), generator_(generator), server_(server),
      characteristic_(
          vg::CharacteristicFromPage(generator.State().calibrationPage).value_or(vg::AnalogCharacteristic{}))
{
    tarn::InstallAccessibility();
    setWindowTitle(Text(Texts::WindowTitle));
    setAccessibleName(Text(Texts::WindowTitle));

    scope_ = new ScopeView;
    periods_ = Described(new QSpinBox, Texts::Periods, Texts::PeriodsHint);
    periods_->setRange(1, vg::AnalogModel::kMaxPeriods);
    periods_->setValue(2);
    load_ = Described(new QComboBox, Texts::Load, Texts::LoadHint);
    load_->addItems({Text(Texts::LoadOpen), Text(Texts::Load50), Text(Texts::Load600)});
    auto* periodsLabel = new QLabel(Text(Texts::Periods));
    periodsLabel->setBuddy(periods_);
    auto* loadLabel = new QLabel(Text(Texts::Load));
    loadLabel->setBuddy(load_);
    auto* controls = new QHBoxLayout;
    controls->addWidget(periodsLabel);
    controls->addWidget(periods_);
    controls->addSpacing(16);
    controls->addWidget(loadLabel);
    controls->addWidget(load_);
    controls->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addWidget(scope_, 1);
    strip_ = new FrequencyStrip;
    strip_->hide();
    left->addWidget(strip_);
    left->addLayout(controls);
    left->addWidget(MakeMeasurements());

    state_ = new QLabel;
    tarn::NameByValue(*state_, Text(Texts::State));
    state_->setTextFormat(Qt::PlainText);
    state_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* stateLayout = new QVBoxLayout;
    stateLayout->addWidget(state_);
    registers_ = Described(new QLabel, nullptr, Texts::RegistersHint);
    tarn::NameByValue(*registers_, Text(Texts::Registers));
    registers_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    registers_->setTextFormat(Qt::PlainText);
    registers_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* registerLayout = new QVBoxLayout;
    registerLayout->addWidget(registers_);

    auto* right = new QVBoxLayout;
    right->addWidget(Group(Texts::State, stateLayout));
    right->addWidget(Group(Texts::Registers, registerLayout));
    right->addWidget(MakeBench());
    right->addStretch(1);

    auto* main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addLayout(right);

    connect(periods_, &QSpinBox::valueChanged, this, [this] { Refresh(); });
    connect(load_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
    timer_.start(kRefreshMs);
    Refresh();
}

QWidget* VirtualDeviceWindow::MakeMeasurements()
{
    auto* grid = new QGridLayout;
    // Vrms and Vavg of the whole signal, its mean included.
    const char* heads[] = {Texts::Vpp, Texts::Vmax, Texts::Vmin, Texts::Vrms, Texts::Vavg, Texts::Frequency};
    for (int c = 0; c < 6; ++c) {
        auto* head = new QLabel(Text(heads[c]));
        head->setAlignment(Qt::AlignRight);
        grid->addWidget(head, 0, c + 1);
    }
    for (int row = 0; row < 2; ++row) {
        const char* output = row == 0 ? Texts::OutputL : Texts::OutputH;
        grid->addWidget(new QLabel(Text(output)), row + 1, 0);
        for (int c = 0; c < 6; ++c) {
            auto* number = new QLabel;
            number->setAlignment(Qt::AlignRight);
            const QString widest = c < 5 ? QStringLiteral("-999.9 mV") : QStringLiteral("0.999999 MHz");
            number->setMinimumWidth(number->fontMetrics().horizontalAdvance(widest) + 4);
            tarn::NameByValue(*number, Text(output) + QLatin1Char(' ') + Text(heads[c]));
            grid->addWidget(number, row + 1, c + 1);
            numbers_[std::size_t(row)][std::size_t(c)] = number;
        }
    }
    grid->setColumnStretch(0, 1);
    return Group(Texts::Measurements, grid);
}

QWidget* VirtualDeviceWindow::MakeBench()
{
    plug_ = Described(new QPushButton(Text(Texts::Unplug)), nullptr, Texts::UnplugHint);
    plug_->setCheckable(true);
    fail_ = Described(new QPushButton(Text(Texts::FailNext)), nullptr, Texts::FailNextHint);
    damage_ = Described(new QPushButton(Text(Texts::Damage)), nullptr, Texts::DamageHint);
    trigger_ = Described(new QPushButton(Text(Texts::TriggerIn)), nullptr, Texts::TriggerInHint);
    connect(plug_, &QPushButton::toggled, this, [this](bool unplugged) {
        generator_.SetPlugged(!unplugged);
        Refresh();
    });
    connect(fail_, &QPushButton::clicked, this, [this] { generator_.FailNextRequests(1); });
    connect(damage_, &QPushButton::clicked, this, [this] {
        generator_.SetEepromByte(kDamagedByte, generator_.EepromByte(kDamagedByte) ^ 0xFF);
        Refresh();
    });
    connect(trigger_, &QPushButton::clicked, this, [this] {
        generator_.TriggerIn();
        Refresh();
    });
    auto* grid = new QGridLayout;
    grid->addWidget(plug_, 0, 0);
    grid->addWidget(fail_, 0, 1);
    grid->addWidget(damage_, 1, 0);
    grid->addWidget(trigger_, 1, 1);
    return Group(Texts::Bench, grid);
}

double VirtualDeviceWindow::Load() const
{
    switch (load_->currentIndex()) {
    case 1:
        return 50.0;
    case 2:
        return 600.0;
    default:
        return vg::kOpenLoad;
    }
}

void VirtualDeviceWindow::Refresh()
{
    const vg::GeneratorState state = generator_.State();
    const vg::AnalogModel model(state, characteristic_);
    const int periods = periods_->value();
    const double load = Load();
    for (int row = 0; row < 2; ++row) {
        const auto output = static_cast<vg::AnalogOutput>(row);
        const vg::Measurement m = model.Measure(output, load, periods);
        measured_[std::size_t(row)] = m;
        const double values[] = {m.vpp, m.vmax, m.vmin, m.vrms, m.vavg};
        for (int c = 0; c < 5; ++c)
            numbers_[std::size_t(row)][std::size_t(c)]->setText(Engineering(values[c], "V", 4, true));
        numbers_[std::size_t(row)][5]->setText(m.frequency > 0 ? Engineering(m.frequency, "Hz", 6, true)
                                                               : Text(Texts::None));
    }
    const int columns = scope_->TraceWidth();
    scope_->Show(model.Envelope(vg::AnalogOutput::L, load, periods, columns),
                 model.Envelope(vg::AnalogOutput::H, load, periods, columns), periods * model.PeriodSeconds());
    const vg::Clock::time_point now = vg::Clock::now();
    strip_->Show(generator_.ClockSteps(now
                                       - std::chrono::duration_cast<vg::Clock::duration>(
                                           std::chrono::duration<double>(FrequencyStrip::kSeconds))),
                 now);
    strip_->setVisible(strip_->Switching());
    ShowState(state, model);
    {
        const QSignalBlocker block(plug_);
        plug_->setChecked(!state.plugged);
    }
    plug_->setText(Text(state.plugged ? Texts::Unplug : Texts::PlugIn));
    damage_->setEnabled(vg::CharacteristicFromPage(state.calibrationPage).has_value());
}

void VirtualDeviceWindow::ShowState(const vg::GeneratorState& state, const vg::AnalogModel& model)
{
    const std::uint16_t control = state.registers[10];
    const auto bit = [control](int b) { return (control & b) != 0; };
    QStringList lines;
    lines << QStringLiteral("Sample rate: %1 (divider 2^%2)")
                 .arg(Engineering(model.SampleRate(), "Hz"))
                 .arg(model.DividerExponent());
    lines << QStringLiteral("Period samples: %1 from word %2 (%3)")
                 .arg(model.PeriodSamples())
                 .arg(model.FirstWord())
                 .arg(model.StandardPlayback() ? QStringLiteral("standard") : QStringLiteral("arbitrary"));
    lines
        << QStringLiteral("Output gate: %1").arg(model.GateOpen() ? QStringLiteral("open") : QStringLiteral("closed"));
    lines << QStringLiteral("Generation: %1, shots fired: %2")
                 .arg(model.Running()     ? QStringLiteral("running")
                      : model.ShotShown() ? QStringLiteral("last shot shown")
                                          : QStringLiteral("stopped"))
                 .arg(state.shots);
    lines << QStringLiteral("Run %1, arm %2 (stop level %3)").arg(OnOff(bit(4)), OnOff(bit(16))).arg(bit(32) ? 1 : 0);
    lines << QStringLiteral("Trigger input %1, %2 edge")
                 .arg(OnOff(bit(1)), bit(2) ? QStringLiteral("leading") : QStringLiteral("trailing"));
    lines << QStringLiteral("Filter: %1, attenuator: %2")
                 .arg(model.FilterCorner() > 0 ? Engineering(model.FilterCorner(), "Hz") : QStringLiteral("off"),
                      model.AttenuatorIn() ? QStringLiteral("-20 dB") : QStringLiteral("0 dB"));
    lines << QStringLiteral("Configured: %1, powered: %2, plugged in: %3")
                 .arg(OnOff(state.configured), OnOff(state.power), OnOff(state.plugged));
    lines << QStringLiteral("Calibration page: %1")
                 .arg(vg::CharacteristicFromPage(state.calibrationPage) ? QStringLiteral("valid")
                                                                        : QStringLiteral("damaged"));
    if (server_ != nullptr)
        lines << QStringLiteral("Host: %1")
                     .arg(server_->ClientConnected() ? QStringLiteral("connected") : QStringLiteral("waiting"));
    state_->setText(lines.join(QLatin1Char('\n')));

    QStringList rows;
    for (const auto& r : kRegisters) {
        const std::uint16_t v = state.registers[std::size_t(r.number)];
        rows << QStringLiteral("%1 %2 0x%3 %4")
                    .arg(r.number, 2)
                    .arg(QString::fromUtf8(r.content), -15)
                    .arg(v, 4, 16, QLatin1Char('0'))
                    .arg(v, 5);
    }
    registers_->setText(rows.join(QLatin1Char('\n')));
}

namespace {
constexpr const char* kPlaceElement = "/window";
}

std::filesystem::path PlaceFile(const char* xdgDataHome, const char* home)
{
    std::filesystem::path folder;
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (xdgDataHome != nullptr && *xdgDataHome == '/')
        folder = std::filesystem::path(xdgDataHome) / "tarn-virtual";
    else if (home != nullptr && *home == '/')
        folder = std::filesystem::path(home) / ".local" / "share" / "tarn-virtual";
    return folder.empty() ? folder : folder / "virtual-device.xml";
}

void VirtualDeviceWindow::RestorePlace(const std::filesystem::path& file)
{
    TXMLSettings store;
    if (file.empty() || !store.LoadFromFile(file))
        return;
    const std::optional<TWindowPlace> stored = ReadWindowPlace(store, kPlaceElement);
    if (!stored)
        return;
    std::vector<TWindowPlace> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr) {
        const QRect a = primary->availableGeometry();
        screens.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        if (screen != primary)
            screens.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    // The frame's corner and the inside's size, as move() and resize() take them.
    const QSize least = minimumSizeHint().expandedTo(minimumSize());
    const TWindowPlace fit = FitWindowPlace(*stored, least.width(), least.height(), screens);
    resize(fit.Width, fit.Height);
    move(fit.Left, fit.Top);
}

bool VirtualDeviceWindow::SavePlace(const std::filesystem::path& file) const
{
    if (file.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    // Whatever else the file holds stays.
    TXMLSettings store;
    store.LoadFromFile(file);
    store.EnsureRoot();
    WriteWindowPlace(store, kPlaceElement, {pos().x(), pos().y(), width(), height()});
    return store.SaveToFile(file);
}

} // namespace vdev
