// SPDX-License-Identifier: MIT
// The About window: program, driver and device versions and the two links.
#pragma once
#include <QDialog>
#include <QLabel>

#include <array>
#include <cstdint>
#include <functional>

class QToolButton;

namespace tarn {

class TDriverAbstraction;

// "%d.%.2d" of major and minor, or "N/A" when both are 0.
QString DriverVersionText(std::uint8_t major, std::uint8_t minor);
// The program's own version, compiled in from the project's version.
QString ApplicationVersionText();
// "%.8d", or "N/A" for 0 (no serial number stored in the device).
QString SerialNumberText(std::int32_t serial);

// A label that reads and acts as a link: blue, underlined, hand cursor; a click
// or Space/Enter with the focus on it runs OnClick.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent);
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 392;
    static constexpr int kClientHeight = 154;

    TAboutForm(QWidget* owner, TDriverAbstraction& driver);

    // Caption and value labels, in the window's rows: application version,
    // driver version, serial number, web address, support address.
    enum TRow { RowApplication, RowDriver, RowSerial, RowWeb, RowSupport, kRowCount };
    QLabel* Caption(TRow row) const { return captions_[row]; }
    QLabel* Value(TRow row) const { return values_[row]; }
    QLabel* PNGImage1() const { return logo_; }
    QLabel* PNGImage2() const { return banner_; }
    QToolButton* SpeedButton1() const { return ok_; }

    void Label6Click();
    void Label8Click();

private:
    void FormCreate(TDriverAbstraction& driver);

    std::array<QLabel*, kRowCount> captions_{};
    std::array<QLabel*, kRowCount> values_{};
    QLabel* logo_ = nullptr;
    QLabel* banner_ = nullptr;
    QToolButton* ok_ = nullptr;
};

} // namespace tarn
