// SPDX-License-Identifier: MIT
// The "Harmonics" module: creates and edits waveforms as a sum of harmonics
// 1 .. 32 with amplitude and phase, shown live; the parameters are kept with
// the waveform as one data block.
#include "HarmonicsMath.h"
#include "ModulePreview.h"
#include "ModuleSupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>

namespace {

using tarnplugin::kHarmonicCount;
using tarnplugin::THarmonics;

constexpr tarnplugin::TModuleDescription kModule = {"TarnHarmonics", "Harmonics", 0x48524d31,
                                                    TARN_FLAG_CREATE | TARN_FLAG_EDIT | TARN_FLAG_KEEP_DATA};
constexpr int kPreviewSamples = 512;
constexpr int kPreviewRange = 4096;

class THarmonicsDialog : public QDialog {
public:
    THarmonicsDialog(QWidget* parent, const THarmonics& start) : QDialog(parent)
    {
        // Holds up the program's main window only: its manual stays usable.
        setWindowModality(Qt::WindowModal);
        setWindowTitle(QString::fromUtf8(kModule.caption));
        auto* layout = new QVBoxLayout(this);
        Preview = new tarnplugin::TModulePreview(this);
        layout->addWidget(Preview);
        auto* table = new QWidget;
        auto* grid = new QGridLayout(table);
        grid->addWidget(new QLabel(QStringLiteral("Harmonic")), 0, 0);
        grid->addWidget(new QLabel(QStringLiteral("Amplitude")), 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("Phase (degrees)")), 0, 2);
        for (int k = 0; k < kHarmonicCount; ++k) {
            grid->addWidget(new QLabel(QString::number(k + 1)), k + 1, 0, Qt::AlignCenter);
            Amplitude[k] = Spin(0.0, 1.0, 0.05, start.Amplitude[k], QStringLiteral("Amplitude %1").arg(k + 1),
                                QStringLiteral("Amplitude of harmonic %1, 1 = full scale").arg(k + 1));
            Phase[k] = Spin(-360.0, 360.0, 15.0, start.Phase[k], QStringLiteral("Phase %1").arg(k + 1),
                            QStringLiteral("Phase of harmonic %1 in degrees").arg(k + 1));
            grid->addWidget(Amplitude[k], k + 1, 1);
            grid->addWidget(Phase[k], k + 1, 2);
        }
        auto* scroll = new QScrollArea(this);
        scroll->setWidget(table);
        scroll->setWidgetResizable(true);
        scroll->setMinimumHeight(240);
        layout->addWidget(scroll);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        for (QAbstractButton* button : buttons->buttons()) {
            button->setAccessibleName(button->text());
        }
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        ShowPreview();
    }

    THarmonics Value() const
    {
        THarmonics value;
        for (int k = 0; k < kHarmonicCount; ++k) {
            value.Amplitude[k] = Amplitude[k]->value();
            value.Phase[k] = Phase[k]->value();
        }
        return value;
    }

    std::array<QDoubleSpinBox*, kHarmonicCount> Amplitude{};
    std::array<QDoubleSpinBox*, kHarmonicCount> Phase{};
    tarnplugin::TModulePreview* Preview = nullptr;

private:
    void ShowPreview() { Preview->Show(Value().Sample(kPreviewSamples, kPreviewRange), kPreviewRange); }
    QDoubleSpinBox* Spin(double low, double high, double step, double value, const QString& name, const QString& hint)
    {
        auto* spin = new QDoubleSpinBox;
        spin->setRange(low, high);
        spin->setSingleStep(step);
        spin->setDecimals(3);
        spin->setValue(value);
        spin->setObjectName(name);
        spin->setAccessibleName(name);
        spin->setToolTip(hint);
        spin->setAccessibleDescription(hint);
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { ShowPreview(); });
        return spin;
    }
};

bool AskHarmonics(QWidget* parent, const std::string& stored, std::string& block)
{
    THarmonics start;
    start.Amplitude[0] = 1.0;
    if (const auto loaded = THarmonics::Load(stored)) {
        start = *loaded;
    }
    THarmonicsDialog dialog(parent, start);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    block = dialog.Value().Save();
    return true;
}

std::vector<unsigned short> SampleHarmonics(const std::string& block, int count, int range)
{
    return THarmonics::Load(block).value_or(THarmonics{}).Sample(count, range);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void AppRequest(int32_t Code, intptr_t Param, void* P3, void* P4)
{
    tarnplugin::ServeAppRequest(kModule, AskHarmonics, SampleHarmonics, Code, Param, P3, P4);
}
