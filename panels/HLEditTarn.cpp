// SPDX-License-Identifier: MIT
#include "panels/HLEditTarn.h"

#include "data/StringsTarn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPalette>

namespace tarn {

THLEditTarn::THLEditTarn(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { UpdateColors(); });
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
    const QColor plain = greyed_ ? QApplication::palette(this).color(QPalette::Disabled, QPalette::Text) : fontColor_;
    const QColor text = differs ? redFontColor_ : plain;
    const QColor base = differs ? backColor_ : QApplication::palette(this).color(QPalette::Base);
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
        edit.SetColors(Qt::black, red, Qt::white);
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
