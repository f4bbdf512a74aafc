// SPDX-License-Identifier: MIT
// The list page of the "Sweep" window: the points as an editable table, and
// their import from a CSV file.
#include "shell/SweepScreen.h"

#include "data/CommonFunctionsTarn.h"
#include "data/StringsTarn.h"
#include "data/SweepListCsv.h"
#include "shell/KeyboardTarn.h"
#include "sweep/SweepRunnerTarn.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarn {
namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

enum Column { kFrequency, kLevel, kDwell };

QPushButton* Button(const char* caption, char letter)
{
    auto* button = new QPushButton(WithMnemonic(Text(caption), QLatin1Char(letter)));
    button->setAccessibleName(Text(caption));
    return button;
}

} // namespace

QWidget* TSweepForm::MakeListPage()
{
    ListTable = new QTableWidget(0, 3);
    ListTable->setAccessibleName(Text(Strings::SweepListTable));
    ListTable->setHorizontalHeaderLabels(
        {Text(Strings::SweepColumnFrequency), Text(Strings::SweepColumnLevel), Text(Strings::SweepColumnDwell)});
    ListTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ListTable->setTabKeyNavigation(false); // Tab leaves the table; the arrows move inside
    // As tall as the sweep page beside it, not as the scroll area would like.
    ListTable->setMinimumHeight(ListTable->fontMetrics().lineSpacing() * 6);
    ListTable->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    AddPointBtn = Button(Strings::SweepAddPoint, 'A');
    RemovePointBtn = Button(Strings::SweepRemovePoint, 'v');
    ImportBtn = Button(Strings::SweepImportCsv, 'm');
    ListError = MakeErrorLabel();
    ListError->setMinimumHeight(ListError->fontMetrics().lineSpacing() * 2 + 4);
    connect(AddPointBtn, &QPushButton::clicked, this, [this] {
        const int row = ListTable->rowCount();
        ListTable->insertRow(row);
        // A new point starts as a copy of the last one, which is what people extend.
        for (int c = 0; c < 3; ++c) {
            const QTableWidgetItem* above = row > 0 ? ListTable->item(row - 1, c) : nullptr;
            ListTable->setItem(row, c, new QTableWidgetItem(above != nullptr ? above->text() : QString()));
        }
        ListTable->setCurrentCell(row, kFrequency);
    });
    connect(RemovePointBtn, &QPushButton::clicked, this, [this] {
        const int row = ListTable->currentRow();
        if (row >= 0)
            ListTable->removeRow(row);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddPointBtn);
    buttons->addWidget(RemovePointBtn);
    buttons->addStretch(1);
    buttons->addWidget(ImportBtn);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListTable, 1);
    layout->addLayout(buttons);
    layout->addWidget(ListError);
    return page;
}

void TSweepForm::ShowList(const std::vector<TSweepListPoint>& list)
{
    ListTable->setRowCount(static_cast<int>(list.size()));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TSweepListPoint& p = list[i];
        const int row = static_cast<int>(i);
        ListTable->setItem(row, kFrequency, new QTableWidgetItem(QString::fromStdString(FormatFrequency(p.Frequency))));
        ListTable->setItem(row, kLevel,
                           new QTableWidgetItem(p.Level ? QString::fromStdString(FormatVoltage(*p.Level)) : QString()));
        ListTable->setItem(row, kDwell, new QTableWidgetItem(QString::fromStdString(FormatDwell(p.Dwell))));
    }
}

std::optional<std::vector<TSweepListPoint>> TSweepForm::ReadList(double defaultDwell)
{
    std::vector<TSweepListPoint> list;
    const auto cell = [this](int row, int column) {
        const QTableWidgetItem* item = ListTable->item(row, column);
        return item != nullptr ? item->text().trimmed().toStdString() : std::string();
    };
    for (int row = 0; row < ListTable->rowCount(); ++row) {
        TSweepListPoint p;
        const char* problem = nullptr;
        try {
            problem = Strings::SweepFieldFrequency;
            p.Frequency = ParseFrequency(cell(row, kFrequency));
            problem = Strings::SweepFieldLevel;
            if (const std::string level = cell(row, kLevel); !level.empty())
                p.Level = ParseVoltage(level);
            problem = Strings::SweepFieldDwell;
            const std::string dwell = cell(row, kDwell);
            p.Dwell = dwell.empty() ? defaultDwell : ParseDwell(dwell);
            if (!(p.Dwell >= kSweepMinDwell - 1e-12))
                throw EDataError("dwell");
        } catch (const EDataError&) {
            ShowError(*ListError, Text(Strings::SweepListRowError).arg(row + 1).arg(Text(problem)));
            ListTable->setCurrentCell(row, 0);
            return std::nullopt;
        }
        list.push_back(p);
    }
    // An empty list is the plan's to refuse, as from the remote control.
    return list;
}

bool TSweepForm::ImportCsv(const std::filesystem::path& file)
{
    ShowError(*ListError, {});
    std::vector<TSweepListRow> rows;
    try {
        rows = ReadSweepListCsv(file);
    } catch (const ESweepListError& e) {
        ShowError(*ListError, QString::fromStdString(e.what()));
        return false;
    }
    // Points without a dwell of their own take the window's.
    double dwell = runner_.Setup().Dwell;
    try {
        dwell = ParseDwell(DwellEdit->text().toStdString());
    } catch (const EDataError&) {
    }
    std::vector<TSweepListPoint> list;
    list.reserve(rows.size());
    for (const TSweepListRow& r : rows)
        list.push_back({r.Frequency, r.Level, r.Dwell.value_or(dwell)});
    ShowList(list);
    return true;
}

void TSweepForm::ImportClick()
{
    const QString file =
        ChooseCsvFile ? ChooseCsvFile()
                      : QFileDialog::getOpenFileName(this, Text(Strings::SweepImportCsv).remove(QStringLiteral("...")),
                                                     QString(), Text(Strings::SweepImportFilter));
    if (!file.isEmpty())
        ImportCsv(std::filesystem::path(QFile::encodeName(file).toStdString()));
}

} // namespace tarn
