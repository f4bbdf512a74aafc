// SPDX-License-Identifier: MIT
// A group of the main window torn off into a small window of its own, with a
// menu to show or hide the main window, transparency and stay-on-top.
#pragma once
#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QMenu;

namespace tarn {

// The window opacity of its owner window, 0 .. 255 (255 opaque). Where the
// platform cannot make a window translucent, setting it changes nothing.
class TFormTransparency : public QObject {
    Q_OBJECT
public:
    explicit TFormTransparency(QWidget& owner, bool available = PlatformHasWindowOpacity());
    int Transparency() const { return transparency_; }
    void SetTransparency(int value);
    static bool PlatformHasWindowOpacity();

private:
    QWidget& owner_;
    bool available_;
    int transparency_ = 255;
};

class TDetachedForm : public QMainWindow {
    Q_OBJECT
public:
    // Transparency of the four menu items None, Low, Medium, High.
    static constexpr std::array<int, 4> kTransparencies = {255, 220, 150, 75};

    explicit TDetachedForm(QWidget& mainWindow, bool opacityAvailable = TFormTransparency::PlatformHasWindowOpacity());
    ~TDetachedForm() override;

    // Takes control out of the main window and hosts it at the same screen place.
    void Detach(QWidget& control);
    // Puts the hosted control back at its old place; the window is then empty.
    void GiveBack();
    // Moves the window so that the hosted control is where it was on the
    // screen; again after showing, when the window frame is known.
    void KeepHostedInPlace();
    QWidget* Hosted() const { return hosted_; }
    int TransparencyIndex() const { return transparencyIndex_; }
    TFormTransparency& FormTransparency1() { return *transparency_; }

    QAction* Show1() const { return show1_; }
    QAction* Hide1() const { return hide1_; }
    QAction* TransparencyItem(int index) const { return transparencyItems_[index]; }
    QAction* AlwaysOnTop1() const { return alwaysOnTop1_; }

    void Show1Click();
    void Hide1Click();
    void SetTransparencyIndex(int index);
    void AlwaysOnTop1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void UpdateChecks();

    QWidget& mainWindow_;
    QPointer<QWidget> hosted_;
    QPointer<QWidget> oldParent_;
    QPoint oldPlace_;
    QPoint hostScreen_;
    int transparencyIndex_ = 0;
    TFormTransparency* transparency_ = nullptr;
    QMenu* mainWindowMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QMenu* transparencyMenu_ = nullptr;
    QAction* show1_ = nullptr;
    QAction* hide1_ = nullptr;
    std::array<QAction*, 4> transparencyItems_{};
    QAction* alwaysOnTop1_ = nullptr;
};

} // namespace tarn
