// SPDX-License-Identifier: MIT
// The "Sweep" window's group: sets up a sweep (start, stop, points or a step
// size, spacing, direction, dwell or a sweep time, count) or a list of
// points, starts and
// stops it on the one runner the remote control drives too, and follows it:
// a setup or a start from the remote control shows here at once.
#pragma once
#include "data/SweepTarn.h"

#include <QGroupBox>

#include <filesystem>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;

namespace tarn {

class TSweepRunnerTarn;

class TSweepForm : public QGroupBox {
    Q_OBJECT
public:
    explicit TSweepForm(TSweepRunnerTarn& runner, QWidget* parent = nullptr);

    // The file "Import CSV..." reads; empty: cancelled. A file dialog unless set.
    std::function<QString()> ChooseCsvFile;
    // F1 inside the window.
    std::function<void()> OnHelp;

    // The fields as a setup; empty, with each error shown beside its field,
    // when one does not read.
    std::optional<TSweepSetup> ReadSetup();
    void ShowSetup(const TSweepSetup& setup);
    void StartClick();
    void StopClick();
    void ImportClick();
    // The list from a CSV file; false with the error shown under the list.
    bool ImportCsv(const std::filesystem::path& file);
    void ShowProgress();

    QRadioButton* SweepModeBtn = nullptr;
    QRadioButton* ListModeBtn = nullptr;
    QComboBox* TargetBox = nullptr;
    QLineEdit* StartEdit = nullptr;
    QLineEdit* StopEdit = nullptr;
    QSpinBox* PointsBox = nullptr;
    QLineEdit* StepSizeEdit = nullptr;
    QComboBox* SpacingBox = nullptr;
    QComboBox* DirectionBox = nullptr;
    QLineEdit* DwellEdit = nullptr;
    QLineEdit* TimeEdit = nullptr;
    QSpinBox* CountBox = nullptr;
    QCheckBox* ContinuousBox = nullptr;
    QTableWidget* ListTable = nullptr;
    QPushButton* AddPointBtn = nullptr;
    QPushButton* RemovePointBtn = nullptr;
    QPushButton* ImportBtn = nullptr;
    QPushButton* StartBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QLabel* StepLabel = nullptr;
    QLabel* ValueLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    // Beside the fields: start, stop, step size, dwell, time; under the list;
    // and what the plan says about the whole.
    QLabel* StartError = nullptr;
    QLabel* StopError = nullptr;
    QLabel* StepSizeError = nullptr;
    QLabel* DwellError = nullptr;
    QLabel* TimeError = nullptr;
    QLabel* ListError = nullptr;
    QLabel* PlanError = nullptr;

private:
    QWidget* MakeSweepPage();
    QWidget* MakeListPage();
    void SetUpKeyboard();
    void UpdateEnabled();
    void ClearErrors();
    // The list table as points; empty with ListError set when a cell does not read.
    std::optional<std::vector<TSweepListPoint>> ReadList(double defaultDwell);
    void ShowList(const std::vector<TSweepListPoint>& list);

    TSweepRunnerTarn& runner_;
    QStackedWidget* pages_ = nullptr;
    bool applying_ = false;
};

// A label for an error beside a field: hidden while empty, in the warning colours.
QLabel* MakeErrorLabel();
void ShowError(QLabel& label, const QString& text);

} // namespace tarn
