// SPDX-License-Identifier: MIT
// The value edit field: separates the committed text (what the program last
// showed) from what the user types, highlights the field while they differ and
// hands the typed text to its owner only on Enter.
#pragma once
#include <QColor>
#include <QLineEdit>
#include <QString>

#include <functional>

namespace tarn {

class THLEditTarn : public QLineEdit {
    Q_OBJECT
public:
    using TOnUserEnter = std::function<void(THLEditTarn* sender, const QString& text)>;

    explicit THLEditTarn(QWidget* parent = nullptr);

    // The committed text, not the visible one.
    QString Text() const { return committed_; }
    // Commits and shows the text when it differs from the committed one or a
    // force is pending; an equal text leaves what the user types alone.
    void SetText(const QString& text);
    // The next SetText applies even an equal text.
    void Force() { force_ = true; }

    QColor FontColor() const { return fontColor_; }
    QColor BackColor() const { return backColor_; }
    QColor RedFontColor() const { return redFontColor_; }
    void SetColors(const QColor& font, const QColor& back, const QColor& redFont);

    // True while the visible text differs from the committed one.
    bool Highlighted() const { return QLineEdit::text() != committed_; }
    // What the field's own colour means, added to its tooltip; the typed
    // highlight explains itself instead while it shows.
    void SetColourNote(const QString& note);
    // Shown in the palette's disabled text colour (a value that is not live).
    void SetGreyed(bool greyed);
    bool Greyed() const { return greyed_; }

    TOnUserEnter OnUserEnter;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void UpdateColors();
    void UpdateToolTip();

    QString committed_;
    QString hint_;
    QString colourNote_;
    bool force_ = false;
    bool greyed_ = false;
    bool composingTip_ = false;
    // Invalid: the palette's text colour.
    QColor fontColor_ = Qt::black;
    QColor backColor_ = Qt::red;
    QColor redFontColor_ = Qt::white;
};

// The three colour sets of the main window's fields, each shown in the
// shade of its colour that the palette's background leaves readable.
enum class THLEditStyle {
    Value,   // levels, load, dB: the palette's text (black), highlighted white on red
    Pending, // frequency in software, pending shift: red, highlighted white on red
    Device,  // frequency in device, device shift: green, highlighted lime on red, read-only
};
void ApplyStyle(THLEditTarn& edit, THLEditStyle style);

} // namespace tarn
