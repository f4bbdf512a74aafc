// SPDX-License-Identifier: MIT
// The main window as the screenshots show it: a fresh program folder, the
// demonstration device, the settings loaded and every panel refreshed;
// pictures are saved per screen scale.
#pragma once
#include "shell/master/DialogService.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace tarn {
class TMainForm;
}

namespace tarn::test {

// QT_SCALE_FACTOR as a whole number, 1 when unset.
int ScaleFactor();

class TScreenWindow {
public:
    TScreenWindow();
    ~TScreenWindow();
    TScreenWindow(const TScreenWindow&) = delete;
    TScreenWindow& operator=(const TScreenWindow&) = delete;

    TMainForm& Form() { return *form_; }
    // Lets pending layout and paint work run.
    void Settle();
    // Writes the window to <screenshots>/scale<N>/<state>.png and returns the path.
    std::filesystem::path Save(const std::string& state);

private:
    QTemporaryDir folder_;
    TMessageBoxDialogService dialogs_;
    std::unique_ptr<TMainForm> form_;
};

// Writes any window to <screenshots>/scale<N>/<state>.png and returns the path.
std::filesystem::path SavePicture(QWidget& window, const std::string& state);

// Controls of the group that are narrower or lower than they need (a button: its
// caption and picture with 2 pixels either side), or reach outside the group:
// one description each.
std::vector<std::string> SqueezedControls(const QWidget& group);

} // namespace tarn::test
