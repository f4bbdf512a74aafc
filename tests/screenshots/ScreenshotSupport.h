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

#include <QColor>
#include <QRect>

#include <functional>

class QImage;
class QWidget;

namespace tarn {
class TMainForm;
}

namespace tarn::test {

// QT_SCALE_FACTOR as a whole number, 1 when unset.
int ScaleFactor();

// The test application in the palette of the run: Fusion with the default
// light palette, or with a dark one when TARN_TEST_PALETTE is "dark".
void ScreenApp();

// The colours found in a rectangle of a rendered picture (device pixels): the
// background is its commonest colour; the foreground, among the other colours
// that `accept` takes (any without it) and that occur twice at least, the one
// of the highest contrast: blended edges lie between it and the background.
struct TMeasuredContrast {
    QColor Foreground;
    QColor Background;
    double Ratio = 0;
    int Pixels = 0; // of the foreground colours accepted
};
using TColourTest = std::function<bool(const QColor&)>;
TMeasuredContrast MeasureContrast(const QImage& image, const QRect& rect, const TColourTest& accept = {});
// Saturated colours within `within` degrees of hue.
TColourTest HueNear(int hue, int within = 20);
// Nearly white or light grey.
TColourTest Whitish();
// The widget's rectangle in the picture of its window, shrunk by inset logical pixels.
QRect PictureRect(const QWidget& widget, const QImage& windowPicture, int inset = 0);
// Appends "element ratio foreground background" to contrast.txt beside the
// pictures and checks the ratio is at least 4.5.
void ExpectReadable(const std::string& element, const TMeasuredContrast& measured);
// True when some aligned 2 x 2 block of device pixels in rect is not of one
// colour: the picture has detail finer than a logical pixel, so it was not
// drawn at scale 1 and enlarged.
bool HasDevicePixelDetail(const QImage& image, const QRect& rect);

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
