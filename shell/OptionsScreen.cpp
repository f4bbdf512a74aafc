// SPDX-License-Identifier: MIT
#include "shell/OptionsScreen.h"

#include "shell/master/DialogService.h"
#include "access/AccessibleTarn.h"
#include "data/OptionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace tarn {

namespace {

constexpr int kMargin = 8;
constexpr int kRuleGap = 3;
constexpr int kButtonWidth = 55;
constexpr int kButtonHeight = 25;
constexpr int kPagesHeight = 305;

// The toolkit's check box as the options see it.
class TQtCheckBox : public TCheckBoxControl {
public:
    explicit TQtCheckBox(QCheckBox& box) : box_(box) {}
    bool IsChecked() const override { return box_.isChecked(); }
    void SetChecked(bool checked) override { box_.setChecked(checked); }

private:
    QCheckBox& box_;
};

// Any other control; a Boolean option refuses it.
class TOtherControl : public TOptionControl {};

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

void TransferOptions(QTabWidget& pages, TOptions& options, TOptionTransfer direction)
{
    for (int i = 0; i < pages.count(); ++i) {
        QWidget* page = pages.widget(i);
        if (Tag(*page) != OptionPageTag)
            continue;
        for (QWidget* control : page->findChildren<QWidget*>()) {
            const int tag = Tag(*control);
            if (tag < OptionControlTagBase)
                continue;
            const std::int32_t index = tag - OptionControlTagBase;
            const auto transfer = [&](TOptionControl& bound) {
                if (direction == TOptionTransfer::ToControls)
                    options.ToControl(index, bound);
                else
                    options.FromControl(index, bound);
            };
            if (auto* box = qobject_cast<QCheckBox*>(control)) {
                TQtCheckBox checkBox(*box);
                transfer(checkBox);
            } else {
                TOtherControl other;
                transfer(other);
            }
        }
    }
}

TOptionsForm::TOptionsForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint)
{
    MakeModalToOwner(*this);
    setFixedSize(kClientWidth, kClientHeight);
    pages_ = new QTabWidget(this);
    pages_->setGeometry(0, 0, kClientWidth, kPagesHeight);
    devicePage_ = new QWidget;
    displayPage_ = new QWidget;
    pages_->addTab(devicePage_, QStringLiteral("Device"));
    pages_->addTab(displayPage_, QStringLiteral("Display"));
    SetTag(*devicePage_, OptionPageTag);
    SetTag(*displayPage_, OptionPageTag);

    autoset_ = AddSection(*devicePage_);
    filterAutoset_ = new QCheckBox(QStringLiteral("Automatically set output filters"), devicePage_);
    SetTag(*filterAutoset_, OptionControlTagBase + optFilterAutoset);
    outputInfo_ = AddSection(*displayPage_);
    vrmsFromAC_ = new QCheckBox(QStringLiteral("VRms from AC"), displayPage_);
    SetTag(*vrmsFromAC_, OptionControlTagBase + optVrmsFromAC);
    // A second section on the device page; FormCreate puts it below the filter check box.
    remote_ = AddSection(*devicePage_);
    remoteControl_ = new QCheckBox(QStringLiteral("Remote control"), devicePage_);
    SetTag(*remoteControl_, OptionControlTagBase + optRemoteControl);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    const int top = kPagesHeight + (kClientHeight - kPagesHeight - kButtonHeight) / 2;
    cancel_->setGeometry(kClientWidth - kMargin - kButtonWidth, top, kButtonWidth, kButtonHeight);
    ok_->setGeometry(cancel_->x() - 6 - kButtonWidth, top, kButtonWidth, kButtonHeight);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
    if (owner != nullptr)
        move(owner->window()->frameGeometry().center() - rect().center());
}

TOptionsForm::TSection TOptionsForm::AddSection(QWidget& page)
{
    TSection section{new QLabel(&page), new QFrame(&page)};
    QFont bold = section.label->font();
    bold.setBold(true);
    section.label->setFont(bold);
    section.label->move(kMargin, kMargin);
    section.rule->setFrameShape(QFrame::HLine);
    section.rule->setFrameShadow(QFrame::Sunken);
    // Its right end stays; its left end follows the label's text.
    section.rule->setGeometry(kMargin, kMargin, kClientWidth - 2 * kMargin - 4, 2);
    return section;
}

void TOptionsForm::SetSectionText(const TSection& section, const char* text)
{
    section.label->setText(Text(text));
    section.label->adjustSize();
    const int right = section.rule->geometry().right();
    const int left = section.label->geometry().right() + 1 + kRuleGap;
    const int middle = section.label->y() + section.label->height() / 2;
    section.rule->setGeometry(left, middle - 1, right - left + 1, 2);
}

void TOptionsForm::FormCreate()
{
    setWindowTitle(Text(Strings::OptionsCaption));
    pages_->setTabText(0, Text(Strings::OptionsPageDevice));
    pages_->setTabText(1, Text(Strings::OptionsPageDisplay));
    SetSectionText(autoset_, Strings::OptionsSectionAutoset);
    SetSectionText(outputInfo_, Strings::OptionsSectionOutputInfo);
    filterAutoset_->setText(Text(Strings::OptionFilterAutoset));
    vrmsFromAC_->setText(Text(Strings::OptionVrmsFromAC));
    remoteControl_->setText(Text(Strings::OptionRemoteControl));
    ok_->setText(Text(Strings::ButtonOK));
    cancel_->setText(Text(Strings::ButtonCancel));
    // Room on a page beside the check boxes' indent; a larger desktop font
    // gets smaller type for a caption that would run past it (down to half).
    const int room = kClientWidth - 3 * kMargin - 4;
    for (QCheckBox* box : {filterAutoset_, vrmsFromAC_, remoteControl_}) {
        box->adjustSize();
        QFont font = box->font();
        const double least = font.pointSizeF() / 2;
        while (box->width() > room && font.pointSizeF() - 0.5 >= least) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            box->setFont(font);
            box->adjustSize();
        }
    }
    // Placed once labels and check boxes have their final sizes, each check
    // box the same distance below its section label.
    filterAutoset_->move(2 * kMargin, autoset_.label->geometry().bottom() + kMargin);
    vrmsFromAC_->move(2 * kMargin, outputInfo_.label->geometry().bottom() + kMargin);
    remote_.label->move(kMargin, filterAutoset_->geometry().bottom() + 2 * kMargin);
    SetSectionText(remote_, Strings::OptionsSectionRemote);
    remoteControl_->move(2 * kMargin, remote_.label->geometry().bottom() + kMargin);
    for (const TSection& section : {autoset_, outputInfo_, remote_}) {
        section.rule->setAccessibleName(StripMnemonic(section.label->text()));
    }
}

int TOptionsForm::Execute(TSettingsTarn& settings)
{
    TransferOptions(*pages_, *settings.Options, TOptionTransfer::ToControls);
    const int result = exec();
    if (result == QDialog::Accepted)
        TransferOptions(*pages_, *settings.Options, TOptionTransfer::FromControls);
    return result;
}

} // namespace tarn
