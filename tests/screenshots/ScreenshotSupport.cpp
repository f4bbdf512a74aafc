// SPDX-License-Identifier: MIT
#include "tests/screenshots/ScreenshotSupport.h"

#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "device/DriverAbstraction.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>

#include <cstdlib>

namespace tarn::test {

int ScaleFactor()
{
    const char* scale = std::getenv("QT_SCALE_FACTOR");
    const int n = scale != nullptr ? std::atoi(scale) : 0;
    return n > 0 ? n : 1;
}

TScreenWindow::TScreenWindow()
{
    TestApp();
    form_ = std::make_unique<TMainForm>(dialogs_);
    TSettingsTarn& settings = form_->SettingsTarn1();
    settings.SetDefaults();
    TObjMasterTarn& master = form_->ObjMasterTarn1();
    // The demonstration device reports back what it is given, as a generator would.
    form_->DeviceAbstractionTarn1().SetDriverFactory([] { return std::make_unique<TDAO_DEMO>(); });
    master.Notify(TObjMasterCode::omConnectDevice);
    master.Notify(TObjMasterCode::omWireControls);
    settings.Load(folder_.path().toStdString());
    for (int phase = 0; phase < 10; ++phase)
        master.Notify(TObjMasterCode::omSettingsApplied, phase);
    master.Notify(TObjMasterCode::omStart);
    form_->show();
    Settle();
}

TScreenWindow::~TScreenWindow() = default;

void TScreenWindow::Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

std::filesystem::path TScreenWindow::Save(const std::string& state)
{
    Settle();
    return SavePicture(*form_, state);
}

std::filesystem::path SavePicture(QWidget& window, const std::string& state)
{
    const std::filesystem::path dir =
        std::filesystem::path(TARN_SCREENSHOT_DIR) / ("scale" + std::to_string(ScaleFactor()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / (state + ".png");
    window.grab().save(QString::fromStdString(file.string()));
    return file;
}

std::vector<std::string> SqueezedControls(const QWidget& group)
{
    std::vector<std::string> out;
    const QRect inside = group.rect();
    for (const QWidget* w : group.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible())
            continue;
        const QString name = w->accessibleName().isEmpty() ? w->metaObject()->className() : w->accessibleName();
        QSize least = w->minimumSizeHint();
        // A button needs its caption and picture with 2 pixels on each side,
        // not the roomier size its style would like.
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            const int icon = b->icon().isNull() ? 0 : b->iconSize().width();
            least.setWidth(b->fontMetrics().horizontalAdvance(b->text()) + icon + 4);
        }
        if (w->width() < least.width() || w->height() < least.height())
            out.push_back(name.toStdString() + " is " + std::to_string(w->width()) + "x" + std::to_string(w->height())
                          + ", needs " + std::to_string(least.width()) + "x" + std::to_string(least.height()));
        if (!inside.contains(w->geometry()))
            out.push_back(name.toStdString() + " reaches outside " + group.objectName().toStdString());
    }
    return out;
}

} // namespace tarn::test
