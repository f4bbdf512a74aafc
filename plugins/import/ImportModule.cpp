// SPDX-License-Identifier: MIT
// The "Import" module: creates a waveform from the values of a text, CSV or
// 16-bit WAV file, resampled to a chosen size, and hands it to the New-wave
// dialog with its size fixed.
#include "ImportReader.h"
#include "ModulePreview.h"
#include "ModuleSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using namespace tarnplugin;

constexpr TModuleDescription kModule = {"TarnImport", "Import", 0x494d5031, TARN_FLAG_CREATE};

template <typename T> T* Named(T* control, const char* name, const QString& hint)
{
    control->setObjectName(QLatin1String(name));
    control->setToolTip(hint);
    control->setAccessibleDescription(hint);
    return control;
}

class TImportDialog : public QDialog {
public:
    TImportDialog(QWidget* parent, int range) : QDialog(parent), range_(range)
    {
        // Holds up the program's main window only: its manual stays usable.
        setWindowModality(Qt::WindowModal);
        setWindowTitle(QString::fromUtf8(kModule.caption));
        auto* layout = new QVBoxLayout(this);
        auto* form = new QFormLayout;
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
        File = Named(new QLineEdit(this), "ImportFile",
                     QStringLiteral("Text or CSV file (one value per line or in columns), or a 16-bit PCM WAV file"));
        File->setMinimumWidth(300);
        auto* browse = Named(new QPushButton(QStringLiteral("Browse..."), this), "ImportBrowse",
                             QStringLiteral("Choose the file to import"));
        auto* fileRow = new QHBoxLayout;
        fileRow->addWidget(File, 1);
        fileRow->addWidget(browse);
        Column = Named(new QSpinBox(this), "ImportColumn",
                       QStringLiteral("Column of a CSV file that holds the values (1 = first)"));
        Column->setRange(1, 999);
        Decimal = Named(new QComboBox(this), "ImportDecimal",
                        QStringLiteral("Automatic: a comma is the decimal mark when fields are separated by "
                                       "semicolons or tabs, otherwise it separates fields"));
        Decimal->addItems({QStringLiteral("Automatic"), QStringLiteral("Point (1.5)"), QStringLiteral("Comma (1,5)")});
        Kind = Named(new QComboBox(this), "ImportKind",
                     QStringLiteral("Sample codes are used as they are; volts are scaled so that the full scale "
                                    "spans the code range, 0 V at the middle code"));
        Kind->addItems({QStringLiteral("Sample codes"), QStringLiteral("Volts")});
        FullScale = Named(new QDoubleSpinBox(this), "ImportFullScale",
                          QStringLiteral("Peak-to-peak voltage that spans the whole code range"));
        FullScale->setRange(0.001, 1000.0);
        FullScale->setDecimals(3);
        FullScale->setValue(2.0);
        FullScale->setSuffix(QStringLiteral(" Vpp"));
        Size = Named(new QSpinBox(this), "ImportSize",
                     QStringLiteral("Number of samples of the new waveform, 1 to %1; the values are resampled "
                                    "over one period")
                         .arg(kMaxImportSize));
        Size->setRange(1, kMaxImportSize);
        Size->setValue(1024);
        AddRow(form, QStringLiteral("&File:"), File, fileRow);
        AddRow(form, QStringLiteral("&Column:"), Column);
        AddRow(form, QStringLiteral("&Decimal mark:"), Decimal);
        AddRow(form, QStringLiteral("&Values are:"), Kind);
        AddRow(form, QStringLiteral("F&ull scale:"), FullScale);
        AddRow(form, QStringLiteral("&Size:"), Size);
        layout->addLayout(form);
        Preview = new TModulePreview(this);
        layout->addWidget(Preview, 1);
        Status = Named(new QLabel(this), "ImportStatus", QStringLiteral("What was read, or why the file is refused"));
        Status->setWordWrap(true);
        Status->setMinimumHeight(Status->fontMetrics().lineSpacing() * 2);
        Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        layout->addWidget(Status);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        for (QAbstractButton* button : buttons->buttons()) {
            button->setAccessibleName(button->text().remove(QLatin1Char('&')));
        }
        Ok = buttons->button(QDialogButtonBox::Ok);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(browse, &QPushButton::clicked, this, &TImportDialog::Browse);
        // Also emitted when the field loses focus, as when the dialog closes: only a new name reloads.
        connect(File, &QLineEdit::editingFinished, this, [this] {
            if (File->text() != loaded_) {
                Load();
            }
        });
        connect(Column, &QSpinBox::valueChanged, this, [this] { Read(); });
        connect(Decimal, &QComboBox::currentIndexChanged, this, [this] { Read(); });
        connect(Kind, &QComboBox::currentIndexChanged, this, [this] { Update(); });
        connect(FullScale, &QDoubleSpinBox::valueChanged, this, [this] { Update(); });
        connect(Size, &QSpinBox::valueChanged, this, [this] { Update(); });
        Read();
    }

    // Reads the named file again (a new path or the same file changed on disk).
    void Load()
    {
        content_.clear();
        loaded_ = File->text();
        std::string error;
        fileError_.clear();
        if (!loaded_.isEmpty() && !ReadImportFile(QFile::encodeName(loaded_).toStdString(), content_, error)) {
            fileError_ = error;
        }
        Read();
        if (values_.Ok() && !values_.Values.empty()) {
            Size->setValue(std::clamp(static_cast<int>(values_.Values.size()), 1, kMaxImportSize));
        }
    }

    std::vector<unsigned short> Codes;
    QLineEdit* File = nullptr;
    QSpinBox* Column = nullptr;
    QComboBox* Decimal = nullptr;
    QComboBox* Kind = nullptr;
    QDoubleSpinBox* FullScale = nullptr;
    QSpinBox* Size = nullptr;
    TModulePreview* Preview = nullptr;
    QLabel* Status = nullptr;
    QPushButton* Ok = nullptr;

private:
    void AddRow(QFormLayout* form, const QString& caption, QWidget* control, QLayout* field = nullptr)
    {
        auto* label = new QLabel(caption, this);
        label->setBuddy(control);
        control->setAccessibleName(caption.chopped(1).remove(QLatin1Char('&')));
        if (field != nullptr) {
            form->addRow(label, field);
        } else {
            form->addRow(label, control);
        }
    }

    void Browse()
    {
        const QString name =
            QFileDialog::getOpenFileName(this, QStringLiteral("Import file"), File->text(),
                                         QStringLiteral("Data files (*.csv *.txt *.dat *.wav);;All files (*)"));
        if (!name.isEmpty()) {
            File->setText(name);
            Load();
        }
    }

    TImportOptions Options() const
    {
        TImportOptions options;
        options.Column = Column->value();
        options.Decimal = static_cast<TDecimalMark>(Decimal->currentIndex());
        options.Kind = static_cast<TValueKind>(Kind->currentIndex());
        options.FullScaleVpp = FullScale->value();
        return options;
    }

    void Read()
    {
        values_ = loaded_.isEmpty() || !fileError_.empty() ? TImportedValues{} : ReadImportValues(content_, Options());
        if (!fileError_.empty()) {
            values_.Error = fileError_;
        }
        Update();
    }

    void Update()
    {
        const bool text = !values_.FromWave;
        Column->setEnabled(text);
        Decimal->setEnabled(text);
        Kind->setEnabled(text);
        FullScale->setEnabled(text && Kind->currentIndex() == static_cast<int>(TValueKind::Volts));
        Status->setStyleSheet(values_.Ok() ? QString() : tarnplugin::ErrorTextStyle(*this));
        if (loaded_.isEmpty()) {
            Status->setText(QStringLiteral("Choose a file."));
            Show({});
            return;
        }
        if (!values_.Ok()) {
            Status->setText(QString::fromStdString(values_.Error));
            Show({});
            return;
        }
        int clamped = 0;
        Show(ToCodes(Resample(values_.Values, Size->value()), values_.FromWave, Options(), range_, &clamped));
        const QLocale locale;
        QString summary = values_.FromWave
                              ? QStringLiteral("WAV, %1 channel(s), %2 Hz: %3 samples of the first channel")
                                    .arg(values_.Channels)
                                    .arg(locale.toString(values_.SampleRate),
                                         locale.toString(static_cast<qlonglong>(values_.Values.size())))
                              : QStringLiteral("%1 values from line %2")
                                    .arg(locale.toString(static_cast<qlonglong>(values_.Values.size())))
                                    .arg(values_.FirstLine);
        if (values_.Truncated) {
            summary += QStringLiteral(" (the data chunk is cut short)");
        }
        summary += QStringLiteral(", resampled to %1.").arg(locale.toString(Size->value()));
        if (clamped > 0) {
            summary += QStringLiteral(" %1 sample(s) outside the code range 0 .. %2 clipped.")
                           .arg(locale.toString(clamped))
                           .arg(range_ - 1);
        }
        Status->setText(summary);
    }

    void Show(std::vector<unsigned short> codes)
    {
        Codes = std::move(codes);
        Ok->setEnabled(!Codes.empty());
        Preview->Show(Codes, range_);
    }

    int range_;
    QString loaded_;
    std::string fileError_;
    std::string content_;
    TImportedValues values_;
};

bool MakeSamples(QWidget* parent, int range, std::vector<unsigned short>& samples)
{
    TImportDialog dialog(parent, range);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    samples = dialog.Codes;
    return true;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void AppRequest(int32_t Code, intptr_t Param, void* P3, void* P4)
{
    tarnplugin::ServeCreateRequest(kModule, MakeSamples, Code, Param, P3, P4);
}
