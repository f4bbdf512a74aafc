// SPDX-License-Identifier: MIT
#include "access/AccessibleTarn.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace tarn {

namespace {

constexpr char kChoiceProperty[] = "tarnChoice";
constexpr char kCaptionProperty[] = "tarnCaption";

// Qt on Linux names a drop-down by its current item, so "Output filter" would
// be read as "20MHz": here the name is what it chooses (its accessible name or
// its label) and the item is its value. Its one child is the list of items.
class TComboAccessible : public QAccessibleWidget {
public:
    explicit TComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Box()->isEditable() && Box()->lineEdit() != nullptr ? Box()->lineEdit()->text()
                                                                       : Box()->currentText();
        const QString text = QAccessibleWidget::text(t);
        return t == QAccessible::Name ? StripMnemonic(text) : text;
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child != nullptr && child->object() == Box()->view() ? 0 : -1;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Box()->view()->isVisible();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            Box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

class TChoiceAccessible : public QAccessibleWidget {
public:
    explicit TChoiceAccessible(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        // Not the base's fallback, which would give the group box's title.
        if (!Button()->accessibleName().isEmpty())
            return Button()->accessibleName();
        const QString caption = StripMnemonic(Button()->text());
        return caption.isEmpty() ? Button()->toolTip() : caption;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Button()->isChecked();
        s.pressed = Button()->isDown();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction() || action == toggleAction())
            Button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* Factory(const QString&, QObject* object)
{
    if (auto* box = qobject_cast<QComboBox*>(object))
        return new TComboAccessible(box);
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (button != nullptr && button->property(kChoiceProperty).toBool())
        return new TChoiceAccessible(button);
    return nullptr;
}

void InstallFactory()
{
    InstallAccessibility();
}

void FollowText(QLineEdit& field)
{
    const QString text = field.text().trimmed();
    field.setAccessibleName(text.isEmpty() ? field.property(kCaptionProperty).toString() : text);
}

} // namespace

void InstallAccessibility()
{
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
}

QString StripMnemonic(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i >= text.size())
            break;
        out += text[i];
    }
    return out;
}

void NameByValue(QLabel& label, const QString& caption)
{
    InstallFactory();
    label.setAccessibleName(QString());
    if (label.accessibleDescription().isEmpty())
        label.setAccessibleDescription(caption);
}

void NameByValue(QLineEdit& field, const QString& caption)
{
    InstallFactory();
    field.setProperty(kCaptionProperty, caption);
    if (field.accessibleDescription().isEmpty())
        field.setAccessibleDescription(caption);
    FollowText(field);
    QObject::connect(&field, &QLineEdit::textChanged, &field, [&field] { FollowText(field); });
}

void MarkChoice(QAbstractButton& button)
{
    InstallFactory();
    button.setProperty(kChoiceProperty, true);
    // Qt may have made the button's interface already (its text and check
    // state announce themselves); the next one asked for is the radio button.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&button);
    if (made != nullptr && made->role() != QAccessible::RadioButton)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void NameMenus(QWidget& root)
{
    InstallFactory();
    for (QMenu* menu : root.findChildren<QMenu*>()) {
        const auto follow = [menu] {
            if (!menu->title().isEmpty())
                menu->setAccessibleName(StripMnemonic(menu->title()));
        };
        follow();
        QObject::connect(menu->menuAction(), &QAction::changed, menu, follow);
    }
}

} // namespace tarn
