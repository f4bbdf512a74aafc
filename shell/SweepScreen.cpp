// SPDX-License-Identifier: MIT
#include "shell/SweepScreen.h"

#include "data/CommonFunctionsTarn.h"
#include "data/StringsTarn.h"
#include "data/SweepListCsv.h"
#include "panels/ThemeTarn.h"
#include "shell/KeyboardTarn.h"
#include "sweep/SweepRunnerTarn.h"

#include <QButtonGroup>
#include <QTableWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>

#include <cmath>

namespace tarn {
namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// A control with its mnemonic; the accessible name is the caption without it.
template <typename W> W* Captioned(W* widget, const char* caption, char letter)
{
    widget->setText(WithMnemonic(Text(caption), QLatin1Char(letter)));
    widget->setAccessibleName(Text(caption));
    return widget;
}

// A field's label with the mnemonic that focuses the field.
QLabel* LabelFor(QWidget* field, const char* caption, char letter)
{
    auto* label = new QLabel(WithMnemonic(Text(caption), QLatin1Char(letter)));
    label->setBuddy(field);
    field->setAccessibleName(Text(caption));
    return label;
}

// A row of a grid: the field's label, the field, and its error beside it.
void AddRow(QGridLayout& grid, int row, QWidget* field, const char* caption, char letter, QLabel* error = nullptr)
{
    grid.addWidget(LabelFor(field, caption, letter), row, 0);
    grid.addWidget(field, row, 1);
    if (error != nullptr)
        grid.addWidget(error, row, 2);
}

QComboBox* Choice(std::initializer_list<const char*> items)
{
    auto* box = new QComboBox;
    for (const char* item : items)
        box->addItem(Text(item));
    return box;
}

bool IsLevel(TSweepTarget target)
{
    return target != TSweepTarget::Frequency;
}

QString FormatValue(TSweepTarget target, double value)
{
    return QString::fromStdString(IsLevel(target) ? FormatVoltage(value) : FormatFrequency(value));
}

} // namespace

QLabel* MakeErrorLabel()
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAutoFillBackground(true);
    const TPanelColours colours = PanelColours(label->palette());
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colours.WarningBack);
    palette.setColor(QPalette::WindowText, colours.WarningText);
    label->setPalette(palette);
    // The room stays, so that an error never moves the fields about.
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->hide();
    return label;
}

void ShowError(QLabel& label, const QString& text)
{
    label.setText(text);
    label.setVisible(!text.isEmpty());
}

TSweepForm::TSweepForm(TSweepRunnerTarn& runner, QWidget* parent) : QGroupBox(parent), runner_(runner)
{
    setTitle(Text(Strings::SweepCaption));
    setAccessibleName(Text(Strings::SweepCaption));
    SweepModeBtn = Captioned(new QRadioButton, Strings::SweepModeSweep, 'w');
    ListModeBtn = Captioned(new QRadioButton, Strings::SweepModeList, 'L');
    auto* modes = new QButtonGroup(this);
    modes->addButton(SweepModeBtn);
    modes->addButton(ListModeBtn);
    SweepModeBtn->setChecked(true);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(SweepModeBtn);
    modeRow->addWidget(ListModeBtn);
    modeRow->addStretch(1);

    pages_ = new QStackedWidget;
    pages_->addWidget(MakeSweepPage());
    pages_->addWidget(MakeListPage());

    DwellEdit = new QLineEdit;
    DwellEdit->setToolTip(Text(Strings::SweepHintDwell));
    TimeEdit = new QLineEdit;
    TimeEdit->setToolTip(Text(Strings::SweepHintTime));
    CountBox = new QSpinBox;
    CountBox->setRange(1, 1000000);
    ContinuousBox = Captioned(new QCheckBox, Strings::SweepContinuous, 'u');
    DwellError = MakeErrorLabel();
    TimeError = MakeErrorLabel();
    auto* common = new QGridLayout;
    AddRow(*common, 0, DwellEdit, Strings::SweepDwell, 'e', DwellError);
    AddRow(*common, 1, TimeEdit, Strings::SweepTime, 'i', TimeError);
    common->addWidget(LabelFor(CountBox, Strings::SweepCount, 'C'), 2, 0);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(CountBox);
    countRow->addWidget(ContinuousBox);
    common->addLayout(countRow, 2, 1, 1, 2);
    common->setColumnStretch(2, 1);

    PlanError = MakeErrorLabel();
    PlanError->setMinimumHeight(PlanError->fontMetrics().lineSpacing() * 2 + 4);
    StepLabel = new QLabel;
    ValueLabel = new QLabel;
    ProgressBar = new QProgressBar;
    ProgressBar->setAccessibleName(Text(Strings::SweepProgressName));
    ProgressBar->setTextVisible(false);
    StartBtn = Captioned(new QPushButton, Strings::SweepStartButton, 'S');
    StopBtn = Captioned(new QPushButton, Strings::SweepStopButton, 'p');
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(StartBtn);
    runRow->addWidget(StopBtn);
    runRow->addWidget(ProgressBar, 1);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(StepLabel);
    progressRow->addStretch(1);
    progressRow->addWidget(ValueLabel);

    auto* main = new QVBoxLayout(this);
    main->addLayout(modeRow);
    main->addWidget(pages_);
    main->addLayout(common);
    main->addWidget(PlanError);
    main->addLayout(runRow);
    main->addLayout(progressRow);

    connect(ListModeBtn, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
    connect(TimeEdit, &QLineEdit::textChanged, this, [this] { UpdateEnabled(); });
    connect(StepSizeEdit, &QLineEdit::textChanged, this, [this] { UpdateEnabled(); });
    connect(ContinuousBox, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
    connect(StartBtn, &QPushButton::clicked, this, &TSweepForm::StartClick);
    connect(StopBtn, &QPushButton::clicked, this, &TSweepForm::StopClick);
    connect(ImportBtn, &QPushButton::clicked, this, &TSweepForm::ImportClick);
    connect(&runner_, &TSweepRunnerTarn::SetupChanged, this, [this] {
        // The fields already say what this window set; showing it back would
        // put the runner's old list over a table being edited.
        if (!applying_)
            ShowSetup(runner_.Setup());
    });
    connect(&runner_, &TSweepRunnerTarn::StateChanged, this, [this] {
        ShowProgress();
        UpdateEnabled();
    });
    connect(&runner_, &TSweepRunnerTarn::Stepped, this, &TSweepForm::ShowProgress);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WidgetWithChildrenShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        if (OnHelp)
            OnHelp();
    });
    SetUpKeyboard();
    ShowSetup(runner_.Setup());
    ShowProgress();
}

QWidget* TSweepForm::MakeSweepPage()
{
    TargetBox = Choice({Strings::SweepTargetFrequency, Strings::SweepTargetLevelL, Strings::SweepTargetLevelH});
    StartEdit = new QLineEdit;
    StartEdit->setToolTip(Text(Strings::SweepHintStart));
    StopEdit = new QLineEdit;
    StopEdit->setToolTip(Text(Strings::SweepHintStop));
    PointsBox = new QSpinBox;
    PointsBox->setRange(2, static_cast<int>(kSweepMaxPoints));
    StepSizeEdit = new QLineEdit;
    StepSizeEdit->setToolTip(Text(Strings::SweepHintStepSize));
    SpacingBox = Choice({Strings::SweepLinear, Strings::SweepLogarithmic});
    DirectionBox = Choice({Strings::SweepUp, Strings::SweepDown, Strings::SweepUpDown});
    StartError = MakeErrorLabel();
    StopError = MakeErrorLabel();
    StepSizeError = MakeErrorLabel();
    // Room for the longest error beside the fields.
    StartError->setMinimumWidth(StartError->fontMetrics().horizontalAdvance(Text(Strings::SweepFieldLevel)) + 8);

    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    AddRow(*grid, 0, TargetBox, Strings::SweepTarget, 'T');
    AddRow(*grid, 1, StartEdit, Strings::SweepStart, 'r', StartError);
    AddRow(*grid, 2, StopEdit, Strings::SweepStop, 'o', StopError);
    AddRow(*grid, 3, PointsBox, Strings::SweepPoints, 'n');
    AddRow(*grid, 4, StepSizeEdit, Strings::SweepStepSize, 'z', StepSizeError);
    AddRow(*grid, 5, SpacingBox, Strings::SweepSpacing, 'g');
    AddRow(*grid, 6, DirectionBox, Strings::SweepDirection, 'D');
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(7, 1);
    return page;
}

void TSweepForm::SetUpKeyboard()
{
    // Reading order: modes, the page's fields top to bottom, timing, count, run.
    QWidget* order[] = {SweepModeBtn, ListModeBtn,  TargetBox,     StartEdit,   StopEdit,       PointsBox, StepSizeEdit,
                        SpacingBox,   DirectionBox, ListTable,     AddPointBtn, RemovePointBtn, ImportBtn, DwellEdit,
                        TimeEdit,     CountBox,     ContinuousBox, StartBtn,    StopBtn};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TSweepForm::UpdateEnabled()
{
    const bool list = ListModeBtn->isChecked();
    pages_->setCurrentIndex(list ? 1 : 0);
    // A list's points carry their own dwell; the time of a pass is a sweep's.
    // A sweep time overrides the dwell, a step size the points.
    TimeEdit->setEnabled(!list);
    DwellEdit->setEnabled(list || TimeEdit->text().trimmed().isEmpty());
    PointsBox->setEnabled(StepSizeEdit->text().trimmed().isEmpty());
    CountBox->setEnabled(!ContinuousBox->isChecked());
    const bool running = runner_.Running();
    const bool hadFocus = StartBtn->hasFocus() || StopBtn->hasFocus();
    StartBtn->setEnabled(!running);
    StopBtn->setEnabled(running);
    // The keyboard stays on the button that can be pressed next.
    if (hadFocus)
        (running ? StopBtn : StartBtn)->setFocus();
}

void TSweepForm::ClearErrors()
{
    for (QLabel* label : {StartError, StopError, StepSizeError, DwellError, TimeError, ListError, PlanError})
        ShowError(*label, {});
    // Without a description of its own a field reads its hint again.
    for (QLineEdit* edit : {StartEdit, StopEdit, StepSizeEdit, DwellEdit, TimeEdit})
        edit->setAccessibleDescription(QString());
}

void TSweepForm::ShowSetup(const TSweepSetup& setup)
{
    (setup.ListMode ? ListModeBtn : SweepModeBtn)->setChecked(true);
    TargetBox->setCurrentIndex(static_cast<int>(setup.Target));
    StartEdit->setText(FormatValue(setup.Target, setup.Start));
    StopEdit->setText(FormatValue(setup.Target, setup.Stop));
    if (setup.Points > 0)
        PointsBox->setValue(setup.Points);
    const bool log = setup.Spacing == TSweepSpacing::Logarithmic;
    StepSizeEdit->setText(setup.Points > 0 || setup.Step <= 0.0 ? QString()
                          : log                                 ? QString::number(setup.Step, 'g', 6)
                                                                : FormatValue(setup.Target, setup.Step));
    SpacingBox->setCurrentIndex(log ? 1 : 0);
    DirectionBox->setCurrentIndex(static_cast<int>(setup.Direction));
    DwellEdit->setText(QString::fromStdString(FormatDwell(setup.Dwell)));
    TimeEdit->setText(setup.Time > 0.0 ? QString::fromStdString(FormatDwell(setup.Time)) : QString());
    ContinuousBox->setChecked(setup.Count == 0);
    if (setup.Count > 0)
        CountBox->setValue(setup.Count);
    ShowList(setup.List);
    UpdateEnabled();
}

std::optional<TSweepSetup> TSweepForm::ReadSetup()
{
    ClearErrors();
    TSweepSetup s = runner_.Setup();
    bool ok = true;
    const auto read = [&ok](QLineEdit* edit, QLabel* error, const char* message, auto parse) -> double {
        try {
            return parse(edit->text().toStdString());
        } catch (const EDataError&) {
            ShowError(*error, Text(message));
            // A screen reader on the field hears what is wrong with it.
            edit->setAccessibleDescription(Text(message));
            ok = false;
            return 0.0;
        }
    };
    s.ListMode = ListModeBtn->isChecked();
    s.Target = s.ListMode ? TSweepTarget::Frequency : static_cast<TSweepTarget>(TargetBox->currentIndex());
    s.Spacing = SpacingBox->currentIndex() == 1 ? TSweepSpacing::Logarithmic : TSweepSpacing::Linear;
    s.Direction = static_cast<TSweepDirection>(DirectionBox->currentIndex());
    const bool level = IsLevel(s.Target);
    const auto value = [level](const std::string& t) { return level ? ParseVoltage(t) : ParseFrequency(t); };
    const char* bad = level ? Strings::SweepFieldLevel : Strings::SweepFieldFrequency;
    if (!s.ListMode) {
        s.Start = read(StartEdit, StartError, bad, value);
        s.Stop = read(StopEdit, StopError, bad, value);
        if (StepSizeEdit->text().trimmed().isEmpty()) {
            s.Points = PointsBox->value();
            s.Step = 0.0;
        } else {
            s.Points = 0;
            const bool log = s.Spacing == TSweepSpacing::Logarithmic;
            const auto step = [&](const std::string& t) {
                const double v = log ? static_cast<double>(ParseNumber(t)) : value(t);
                if (!(log ? v > 1.0 : v > 0.0) || !std::isfinite(v))
                    throw EDataError("step");
                return v;
            };
            s.Step = read(StepSizeEdit, StepSizeError, log ? Strings::SweepFieldRatio : Strings::SweepFieldStep, step);
        }
    }
    const bool byTime = !TimeEdit->text().trimmed().isEmpty() && !s.ListMode;
    const auto dwell = [](const std::string& t) {
        const double v = ParseDwell(t);
        if (!(v >= kSweepMinDwell - 1e-12))
            throw EDataError("dwell");
        return v;
    };
    if (byTime) {
        s.Time = read(TimeEdit, TimeError, Strings::SweepFieldDwell, dwell);
    } else {
        s.Time = 0.0;
        s.Dwell = read(DwellEdit, DwellError, Strings::SweepFieldDwell, dwell);
    }
    s.Count = ContinuousBox->isChecked() ? 0 : CountBox->value();
    if (s.ListMode) {
        std::optional<std::vector<TSweepListPoint>> list = ReadList(s.Dwell);
        if (list)
            s.List = std::move(*list);
        else
            ok = false;
    }
    if (!ok)
        return std::nullopt;
    return s;
}

void TSweepForm::StartClick()
{
    const std::optional<TSweepSetup> setup = ReadSetup();
    if (!setup)
        return;
    applying_ = true;
    runner_.SetSetup(*setup);
    applying_ = false;
    std::string error;
    if (!runner_.Start(error))
        ShowError(*PlanError, QString::fromStdString(error));
}

void TSweepForm::StopClick()
{
    runner_.Stop();
}

void TSweepForm::ShowProgress()
{
    const TSweepProgress p = runner_.Progress();
    const std::optional<TSweepPlan>& plan = runner_.Plan();
    if (!p.Running || p.Steps == 0) {
        StepLabel->setText(Text(Strings::SweepIdle));
    } else {
        QString text = Text(Strings::SweepStepOf).arg(p.Step).arg(p.Steps);
        text += QStringLiteral(", ")
                + (p.Count == 0 ? Text(Strings::SweepPassContinuous).arg(p.Pass)
                                : Text(Strings::SweepPassOf).arg(p.Pass).arg(p.Count));
        StepLabel->setText(text);
    }
    const TSweepTarget target = plan ? plan->Target : runner_.Setup().Target;
    ValueLabel->setText(p.Step > 0 ? Text(Strings::SweepValueNow).arg(FormatValue(target, p.Value)) : QString());
    ValueLabel->setVisible(p.Step > 0);
    ProgressBar->setRange(0, static_cast<int>(std::max<std::size_t>(p.Steps, 1)));
    ProgressBar->setValue(p.Running ? static_cast<int>(p.Step) : 0);
}

} // namespace tarn
