// SPDX-License-Identifier: MIT
#include "panels/PanelControlsTarn.h"

#include "access/AccessibleTarn.h"
#include "panels/FocusFrameTarn.h"
#include "panels/ThemeTarn.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLayout>

namespace tarn {

namespace {

constexpr char kTagProperty[] = "Tag";
constexpr int kRowGap = 6;

void SetPanelStyleSheet(QWidget& group)
{
    // A down button's caption and picture on the highlight, darkened as far as they need.
    const TPanelColours colours = PanelColours(QApplication::palette(&group));
    group.setStyleSheet(
        QStringLiteral(
            "QToolButton { border: 1px solid palette(mid); border-radius: 3px; background: palette(button); }"
            "QToolButton:hover { border-color: palette(dark); }"
            "QToolButton:pressed, QToolButton:checked { background: %1; color: %2; border-color: palette(shadow); }"
            "QToolButton:disabled { color: palette(mid); background: palette(window); }")
            .arg(colours.CheckedBack.name(), colours.CheckedText.name()));
}

} // namespace

QString ValueWithUnit(const std::string& value, const char* unit)
{
    QString text = QString::fromStdString(value);
    const qsizetype at = !text.isEmpty() && text.back().isLetter() ? text.size() - 1 : text.size();
    return text.insert(at, QLatin1Char(' ')) + QString::fromUtf8(unit);
}

void Describe(QWidget& control, const QString& caption, const QString& hint, const QString& name)
{
    // A caption is read from the control itself, so the name follows it.
    control.setAccessibleName(!caption.isEmpty() ? QString() : !hint.isEmpty() ? hint : name);
    if (!hint.isEmpty()) {
        control.setToolTip(hint);
        control.setAccessibleDescription(hint);
    }
}

void SetHint(QWidget& control, const char* hint, const char* accessibleName)
{
    Describe(control, QString::fromUtf8(accessibleName != nullptr ? accessibleName : ""), QString::fromUtf8(hint));
}

void ApplyPanelStyle(QWidget& group)
{
    SetPanelStyleSheet(group);
    OnPaletteChange(group, [&group] { SetPanelStyleSheet(group); });
}

QToolButton* MakeButton(QWidget& parent, const char* caption, const char* hint)
{
    auto* button = new TFocusToolButton(&parent);
    button->setText(QString::fromUtf8(caption));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    SetHint(*button, hint, caption);
    return button;
}

QToolButton* MakeToggleButton(QWidget& parent, const char* caption, const char* hint)
{
    QToolButton* button = MakeButton(parent, caption, hint);
    button->setCheckable(true);
    if (*caption == '\0')
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Every toggle of the panels is one half of a choice.
    MarkChoice(*button);
    return button;
}

void FitCaptions(QWidget& group)
{
    for (bool shrunk = true; shrunk;) {
        shrunk = false;
        if (QLayout* layout = group.layout())
            layout->activate();
        for (QToolButton* button : group.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
            QFont font = button->font();
            const double least = QApplication::font(button).pointSizeF() / 2;
            if (button->text().isEmpty() || font.pointSizeF() - 0.5 < least
                || button->fontMetrics().horizontalAdvance(button->text()) + 4 <= button->width())
                continue;
            font.setPointSizeF(font.pointSizeF() - 0.5);
            button->setFont(font);
            shrunk = true;
        }
    }
}

void PlaceInRow(QGroupBox& group, std::initializer_list<QWidget*> widgets)
{
    auto* row = new QHBoxLayout(&group);
    // Buttons of a pair touch; gaps separate the pairs.
    row->setContentsMargins(2, 2, 2, 5);
    row->setSpacing(0);
    for (QWidget* widget : widgets) {
        if (widget == nullptr)
            row->addSpacing(kRowGap);
        else
            row->addWidget(widget);
    }
}

void SetTag(QObject& control, int tag)
{
    control.setProperty(kTagProperty, tag);
}

int Tag(const QObject& control)
{
    return control.property(kTagProperty).toInt();
}

} // namespace tarn
