// SPDX-License-Identifier: MIT
#include "panels/HLEditTarn.h"

#include "data/StringsTarn.h"
#include "panels/ThemeTarn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPalette>

namespace tarn {

THLEditTarn::THLEditTarn(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { UpdateColors(); });
    // A new palette gives the fixed colours new readable shades.
    OnPaletteChange(*this, [this] { UpdateColors(); });
    UpdateColors();
}

void THLEditTarn::SetText(const QString& text)
{
    if (text == committed_ && !force_) {
        return;
    }
    committed_ = text;
    force_ = false;
    QLineEdit::setText(text);
    UpdateColors();
}

void THLEditTarn::SetColors(const QColor& font, const QColor& back, const QColor& redFont)
{
    fontColor_ = font;
    backColor_ = back;
    redFontColor_ = redFont;
    UpdateColors();
}

void THLEditTarn::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && OnUserEnter) {
        OnUserEnter(this, QLineEdit::text());
    }
    // Not consumed: the line edit (and a dialog around it) still sees the key.
    QLineEdit::keyPressEvent(event);
}

void THLEditTarn::SetColourNote(const QString& note)
{
    colourNote_ = note;
    UpdateToolTip();
}

void THLEditTarn::SetGreyed(bool greyed)
{
    if (greyed == greyed_)
        return;
    greyed_ = greyed;
    UpdateColors();
}

bool THLEditTarn::event(QEvent* event)
{
    // A hint set from outside is the first line; the colour's meaning follows.
    if (event->type() == QEvent::ToolTipChange && !composingTip_) {
        hint_ = toolTip();
        UpdateToolTip();
    }
    return QLineEdit::event(event);
}

void THLEditTarn::UpdateToolTip()
{
    const QString note = Highlighted() ? QString::fromUtf8(Strings::HintColourTyped) : colourNote_;
    const QString tip = note.isEmpty() || hint_.isEmpty() ? hint_ + note : hint_ + QLatin1Char('\n') + note;
    if (tip == toolTip())
        return;
    composingTip_ = true;
    setToolTip(tip);
    composingTip_ = false;
}

void THLEditTarn::UpdateColors()
{
    QPalette pal = palette();
    const bool differs = Highlighted();
    const QPalette& application = QApplication::palette(this);
    const QColor window = application.color(QPalette::Active, QPalette::Base);
    const QColor font = fontColor_.isValid() ? fontColor_ : application.color(QPalette::Active, QPalette::Text);
    // The highlight's red darkens until white reads on it, its text then lightens as needed.
    const QColor back = Readable(backColor_, Qt::white);
    const QColor plain = greyed_ ? application.color(QPalette::Disabled, QPalette::Text) : Readable(font, window);
    const QColor text = differs ? Readable(redFontColor_, back) : plain;
    const QColor base = differs ? back : window;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Text, text);
        pal.setColor(group, QPalette::Base, base);
    }
    setPalette(pal);
    UpdateToolTip();
}

void ApplyStyle(THLEditTarn& edit, THLEditStyle style)
{
    const QColor red(0xFF, 0, 0);
    switch (style) {
    case THLEditStyle::Value:
        edit.SetColors(QColor(), red, Qt::white);
        break;
    case THLEditStyle::Pending:
        edit.SetColors(red, red, Qt::white);
        edit.SetColourNote(QString::fromUtf8(Strings::HintColourPending));
        break;
    case THLEditStyle::Device:
        edit.SetColors(QColor(0, 0x80, 0), red, QColor(0, 0xFF, 0));
        edit.SetColourNote(QString::fromUtf8(Strings::HintColourDevice));
        edit.setReadOnly(true);
        break;
    }
}

} // namespace tarn
