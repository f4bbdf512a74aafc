// SPDX-License-Identifier: MIT
#include "panels/WaveListBoxTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/FocusFrameTarn.h"
#include "panels/PanelControlsTarn.h"

#include <QAbstractListModel>
#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QFont>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QStyledItemDelegate>

#include <algorithm>

namespace tarn {

namespace {

constexpr QRgb kStandardPen = qRgb(0, 255, 0);
constexpr QRgb kArbitraryPen = qRgb(255, 255, 0);
const char* const kDragFormat = "application/x-tarn-waveform";

} // namespace

QImage RenderWavePicture(const TWaveformTarn& waveform, QSize size, TWaveMapping mapping, qreal ratio)
{
    // Logical rows Offset .. Offset + Scale become device rows Offset * ratio
    // .. (Offset + Scale + 1) * ratio - 1.
    if (ratio > 1.0) {
        mapping.Scale = (mapping.Scale + 1) * ratio - 1;
        mapping.Offset = qRound(mapping.Offset * ratio);
        size = QSize(qRound(size.width() * ratio), qRound(size.height() * ratio));
    }
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(std::max<qreal>(ratio, 1.0));
    image.fill(Qt::black);
    const QRgb pen = waveform.IsStandard ? kStandardPen : kArbitraryPen;
    const auto columns =
        WaveColumns(waveform.Samples(), waveform.SampleCount(), waveform.SampleRange(), size.width(), mapping);
    for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
        const int first = std::max(columns[x].First, 0);
        const int last = std::min(columns[x].Last, size.height() - 1);
        for (int y = first; y <= last; ++y) {
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = pen;
        }
    }
    return image;
}

// The list's items: the names of the mapped waveforms.
class TWaveListModel : public QAbstractListModel {
public:
    explicit TWaveListModel(TWaveListBoxTarn& list) : QAbstractListModel(&list), list_(list) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : list_.Count(); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= list_.Count()) {
            return {};
        }
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            return list_.Item(index.row());
        }
        if (role == Qt::AccessibleDescriptionRole && list_.IndexMap()[index.row()] == list_.PlayingIndex()) {
            return QString::fromUtf8(Strings::WaveListPlaying);
        }
        return {};
    }
    void Reset(const std::function<void()>& change)
    {
        beginResetModel();
        change();
        endResetModel();
    }

private:
    TWaveListBoxTarn& list_;
};

namespace {

// Item: the list's brush, the thumbnail 2 pixels in, the name 3 pixels right of it.
class TWaveItemDelegate : public QStyledItemDelegate {
public:
    explicit TWaveItemDelegate(TWaveListBoxTarn& list) : QStyledItemDelegate(&list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {list_.viewport()->width(), TWaveListBoxTarn::kItemHeight};
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        const QRect r = option.rect;
        painter->fillRect(r, selected ? palette.highlight() : palette.base());
        const int row = index.row();
        if (row < 0 || row >= list_.Count() || list_.Settings() == nullptr) {
            return;
        }
        const TWaveformTarn& waveform = *list_.Settings()->Repository[list_.IndexMap()[row]];
        const QImage picture = list_.Thumbnail(waveform);
        painter->drawImage(r.left() + 2, r.top() + 2, picture);
        painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
        if (list_.IndexMap()[row] == list_.PlayingIndex()) {
            QFont bold = option.font;
            bold.setBold(true);
            painter->setFont(bold);
        }
        const int pictureWidth = qRound(picture.deviceIndependentSize().width());
        const QRect text(r.left() + 2 + pictureWidth + 3, r.top(), r.width(), r.height());
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, list_.Item(row));
    }

private:
    TWaveListBoxTarn& list_;
};

// The column beside the preview is narrow: a caption that does not fit
// takes a smaller type, down to half (a larger desktop font needs that).
void FitCaption(QRadioButton& button)
{
    QFont font = button.font();
    const double least = font.pointSizeF() * 0.5;
    while (button.sizeHint().width() > button.width() && font.pointSizeF() - 0.5 >= least) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        button.setFont(font);
    }
}

} // namespace

TWaveListBoxTarn::TWaveListBoxTarn(QWidget* parent)
    : QListView(parent), model_(new TWaveListModel(*this)), thumbnails_(kThumbnailCacheSize)
{
    setModel(model_);
    setItemDelegate(new TWaveItemDelegate(*this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Describe(*this, QString(), QString(), QString::fromUtf8(Strings::AccessibleWaveformList));
}

TWaveListBoxTarn::~TWaveListBoxTarn()
{
    if (objMaster_ != nullptr) {
        objMaster_->UnregisterListener(TObjMasterNotifyEvent::Bind<&TWaveListBoxTarn::ObjMasterNotify>(this));
    }
}

TWaveListBoxTarn* TWaveListBoxTarn::CreateInGroup(QGroupBox& group, const QRect& rect)
{
    auto* list = new TWaveListBoxTarn(&group);
    const std::pair<QPointer<QRadioButton>*, const char*> buttons[] = {
        {&list->FilterAllBtn, Strings::FilterAllWaveforms},
        {&list->FilterStandardBtn, Strings::FilterStandardWaveforms},
        {&list->FilterArbitraryBtn, Strings::FilterArbitraryWaveforms},
    };
    for (const auto& [button, caption] : buttons) {
        *button = new QRadioButton(QString::fromUtf8(caption), &group);
        Describe(**button, (*button)->text(), QString());
    }
    list->Place(rect);
    for (const auto& entry : buttons)
        FitCaption(**entry.first);
    // One type for the three: the smallest any of them needed.
    QFont font = list->FilterAllBtn->font();
    for (const auto& entry : buttons) {
        if ((*entry.first)->font().pointSizeF() < font.pointSizeF()) {
            font = (*entry.first)->font();
        }
    }
    for (const auto& entry : buttons) {
        (*entry.first)->setFont(font);
    }
    return list;
}

void TWaveListBoxTarn::Place(const QRect& rect)
{
    setGeometry(rect);
    int top = rect.bottom() + 4;
    for (QRadioButton* button : {FilterAllBtn.data(), FilterStandardBtn.data(), FilterArbitraryBtn.data()}) {
        if (button != nullptr)
            button->setGeometry(rect.left(), top, rect.width(), 20);
        top += 20;
    }
}

void TWaveListBoxTarn::SetObjMaster(TObjMasterTarn* master)
{
    objMaster_ = master;
    if (master != nullptr) {
        master->RegisterListener(TObjMasterNotifyEvent::Bind<&TWaveListBoxTarn::ObjMasterNotify>(this));
    }
}

void TWaveListBoxTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data)
{
    switch (code) {
    case TObjMasterCode::omMasterDestroying:
        objMaster_ = nullptr;
        break;
    case TObjMasterCode::omSettingsApplied:
        if (index == 5) {
            Rebuild();
            FindPlaying();
        }
        break;
    case TObjMasterCode::omWireControls:
        Wire();
        break;
    case TObjMasterCode::omQueryDraggedWaveform:
        if (dragging_ && data != nullptr && ItemIndex() >= 0) {
            *static_cast<std::int32_t*>(data) = indexMap_[ItemIndex()];
        }
        break;
    case TObjMasterCode::omGetSelectedWaveform:
        if (TWaveformTarn* selected = Selected(); selected != nullptr && data != nullptr) {
            static_cast<TWaveformTarn*>(data)->Assign(*selected);
        }
        break;
    case TObjMasterCode::omReplaceSelectedWaveform:
        if (TWaveformTarn* selected = Selected(); selected != nullptr && data != nullptr) {
            // Through the history: a module's edit can be undone.
            settings_->LibraryUndo.Replace(settings_->Repository, static_cast<std::size_t>(indexMap_[ItemIndex()]),
                                           *static_cast<const TWaveformTarn*>(data));
            if (objMaster_ != nullptr) {
                objMaster_->Notify(TObjMasterCode::omWaveformListChanged, ItemIndex());
            }
        }
        break;
    case TObjMasterCode::omWaveformListChanged: {
        const bool grew = settings_ != nullptr && settings_->Repository.size() > repositorySize_;
        Rebuild();
        // -1: a waveform was appended (New, a module, the remote control); it
        // becomes the selection when the filter shows it.
        if (index == -1 && grew && !indexMap_.empty()
            && indexMap_.back() == static_cast<std::int32_t>(settings_->Repository.size()) - 1) {
            SetItemIndex(Count() - 1);
            scrollTo(model_->index(Count() - 1));
        }
        FindPlaying();
        break;
    }
    case TObjMasterCode::omChannelWaveformChanged:
        if (index == 0) {
            FindPlaying();
        }
        break;
    default:
        break;
    }
}

void TWaveListBoxTarn::Wire()
{
    const std::pair<QAction*, void (TWaveListBoxTarn::*)()> items[] = {
        {DeleteMenuItem, &TWaveListBoxTarn::DeleteClick},
        {DuplicateMenuItem, &TWaveListBoxTarn::DuplicateClick},
        {PropertiesMenuItem, &TWaveListBoxTarn::PropertiesClick},
    };
    for (const auto& [item, handler] : items) {
        if (item != nullptr) {
            connect(item, &QAction::triggered, this, handler, Qt::UniqueConnection);
        }
    }
    const QRadioButton* buttons[] = {FilterAllBtn, FilterStandardBtn, FilterArbitraryBtn};
    for (int tag = 0; tag < 3; ++tag) {
        if (auto* button = const_cast<QRadioButton*>(buttons[tag])) {
            SetTag(*button, tag);
            connect(button, &QRadioButton::clicked, this, [this, button] { FilterBtnClick(Tag(*button)); });
        }
    }
}

QString TWaveListBoxTarn::Item(int position) const
{
    if (settings_ == nullptr || position < 0 || position >= Count()) {
        return {};
    }
    return QString::fromStdString(settings_->Repository[indexMap_[position]]->Name);
}

int TWaveListBoxTarn::ItemIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void TWaveListBoxTarn::SetItemIndex(int position)
{
    if (position < 0 || position >= Count()) {
        selectionModel()->clear();
        return;
    }
    setCurrentIndex(model_->index(position));
}

TWaveformTarn* TWaveListBoxTarn::Selected() const
{
    const int position = ItemIndex();
    return position < 0 || settings_ == nullptr ? nullptr : settings_->Repository[indexMap_[position]].get();
}

void TWaveListBoxTarn::Rebuild()
{
    const int remembered = ItemIndex();
    model_->Reset([this] {
        indexMap_.clear();
        if (settings_ == nullptr) {
            return;
        }
        const auto& repository = settings_->Repository;
        for (std::size_t i = 0; i < repository.size(); ++i) {
            const bool standard = repository[i]->IsStandard;
            if (filter_ == 0 || (filter_ == 1) == standard) {
                indexMap_.push_back(static_cast<std::int32_t>(i));
            }
        }
    });
    repositorySize_ = settings_ != nullptr ? settings_->Repository.size() : 0;
    SetItemIndex(remembered < 0 ? -1 : std::min(remembered, Count() - 1));
    QRadioButton* buttons[] = {FilterAllBtn, FilterStandardBtn, FilterArbitraryBtn};
    for (int tag = 0; tag < 3; ++tag) {
        if (buttons[tag] != nullptr) {
            buttons[tag]->setChecked(tag == filter_);
        }
    }
}

void TWaveListBoxTarn::DeleteClick()
{
    const int position = ItemIndex();
    if (position < 0 || settings_ == nullptr) {
        return;
    }
    const auto index = static_cast<std::size_t>(indexMap_[position]);
    if (ConfirmDelete && !ConfirmDelete(*settings_->Repository[index])) {
        return;
    }
    // Kept by the history, so that Undo brings it back.
    settings_->LibraryUndo.Remove(settings_->Repository, index);
    if (objMaster_ != nullptr) {
        objMaster_->Notify(TObjMasterCode::omWaveformListChanged, 0);
    }
}

void TWaveListBoxTarn::DuplicateClick()
{
    TWaveformTarn* selected = Selected();
    if (selected == nullptr) {
        return;
    }
    settings_->AddWaveform(*selected);
    settings_->LibraryUndo.Added(settings_->Repository, settings_->Repository.size() - 1, TLibraryEdit::Duplicate);
    if (objMaster_ != nullptr) {
        objMaster_->Notify(TObjMasterCode::omWaveformListChanged, 0);
    }
}

void TWaveListBoxTarn::PropertiesClick()
{
    const int position = ItemIndex();
    if (position < 0 || settings_ == nullptr) {
        return;
    }
    const std::int32_t index = indexMap_[position];
    bool changed = false;
    if (OnPropertiesShow) {
        OnPropertiesShow(this, index, changed);
    }
    if (objMaster_ != nullptr) {
        objMaster_->Notify(TObjMasterCode::omWaveformListChanged, index);
    }
}

void TWaveListBoxTarn::PlayClick()
{
    const int position = ItemIndex();
    if (position >= 0 && OnPlay) {
        OnPlay(this, indexMap_[position]);
    }
}

void TWaveListBoxTarn::FindPlaying()
{
    playing_ = -1;
    if (settings_ != nullptr && !settings_->Device.Waveforms.empty()) {
        const TWaveformTarn& played = *settings_->Device.Waveforms[0];
        const auto same = [&played](const TWaveformTarn& w) {
            return w.Name == played.Name && w.IsStandard == played.IsStandard && w.SampleCount() == played.SampleCount()
                   && std::equal(w.Samples(), w.Samples() + w.SampleCount(), played.Samples());
        };
        const auto& repository = settings_->Repository;
        if (const int position = ItemIndex(); position >= 0 && same(*repository[indexMap_[position]])) {
            playing_ = indexMap_[position];
        }
        for (std::size_t i = 0; playing_ < 0 && i < repository.size(); ++i) {
            if (same(*repository[i])) {
                playing_ = static_cast<std::int32_t>(i);
            }
        }
    }
    viewport()->update();
}

void TWaveListBoxTarn::FilterBtnClick(int tag)
{
    filter_ = std::clamp(tag, 0, 2);
    Rebuild();
}

void TWaveListBoxTarn::Reveal(std::int32_t repositoryIndex)
{
    const auto shown = [this, repositoryIndex] {
        return std::find(indexMap_.begin(), indexMap_.end(), repositoryIndex);
    };
    if (shown() == indexMap_.end() && filter_ != 0) {
        FilterBtnClick(0);
    }
    const auto at = shown();
    if (at != indexMap_.end()) {
        const int position = static_cast<int>(at - indexMap_.begin());
        SetItemIndex(position);
        scrollTo(model_->index(position));
    }
}

QImage TWaveListBoxTarn::Thumbnail(const TWaveformTarn& waveform) const
{
    TThumbnail* cached = thumbnails_.object(&waveform);
    // A stamp is never reused, so a new waveform at a freed one's address
    // does not find the old picture; shared samples may change unstamped.
    const qreal ratio = viewport()->devicePixelRatioF();
    if (cached != nullptr && cached->stamp == waveform.ChangeStamp() && cached->ratio == ratio
        && !waveform.SamplesShared()) {
        return cached->image;
    }
    const int height = kItemHeight - 4;
    // Three colours that 16 bits per pixel hold exactly, at half the memory.
    QImage image = RenderWavePicture(waveform, QSize(ThumbnailWidth(kItemHeight), height),
                                     TWaveMapping{static_cast<double>(height - 3), 1}, ratio)
                       .convertToFormat(QImage::Format_RGB16);
    ++thumbnailsMade_;
    thumbnails_.insert(&waveform, new TThumbnail{waveform.ChangeStamp(), ratio, image});
    return image;
}

void TWaveListBoxTarn::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        const QModelIndex under = indexAt(event->position().toPoint());
        const QPoint global = event->globalPosition().toPoint();
        if (!under.isValid()) {
            if (NonItemMenu != nullptr) {
                NonItemMenu->popup(global);
            }
        } else {
            SetItemIndex(under.row());
            if (ItemMenu != nullptr) {
                ItemMenu->popup(global);
            }
        }
        event->accept();
        return;
    }
    leftPressed_ = event->button() == Qt::LeftButton;
    pressPos_ = event->position().toPoint();
    QListView::mousePressEvent(event);
}

void TWaveListBoxTarn::mouseMoveEvent(QMouseEvent* event)
{
    if (leftPressed_ && (event->buttons() & Qt::LeftButton) && !dragging_ && ItemIndex() >= 0
        && (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        leftPressed_ = false;
        StartDrag();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void TWaveListBoxTarn::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex under = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && under.isValid()) {
        SetItemIndex(under.row());
        PropertiesClick();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void TWaveListBoxTarn::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        event->accept();
        // The item with the focus, selected or not (the list's first focus only marks it).
        const QModelIndex current = currentIndex();
        if (current.isValid() && current.row() < Count()) {
            SetItemIndex(current.row());
            PlayClick();
        }
        return;
    }
    if ((key == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        event->accept();
        PopupFromKeyboard();
        return;
    }
    QListView::keyPressEvent(event);
}

void TWaveListBoxTarn::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse's menus open on the button press.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        PopupFromKeyboard();
        return;
    }
    QListView::contextMenuEvent(event);
}

QMenu* TWaveListBoxTarn::PopupFromKeyboard()
{
    // As a right click on it: the item with the focus becomes the selection.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() < Count()) {
        SetItemIndex(current.row());
        scrollTo(current);
    }
    const int position = ItemIndex();
    QMenu* menu = position >= 0 ? ItemMenu.data() : NonItemMenu.data();
    if (menu == nullptr) {
        return nullptr;
    }
    const QRect item = position >= 0 ? visualRect(model_->index(position)) : QRect(0, 0, 1, 1);
    menu->popup(viewport()->mapToGlobal(item.center()));
    return menu;
}

void TWaveListBoxTarn::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    QPainter painter(viewport());
    PaintFocusFrame(painter, *this, viewport()->rect());
}

void TWaveListBoxTarn::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    viewport()->update();
}

void TWaveListBoxTarn::focusOutEvent(QFocusEvent* event)
{
    QListView::focusOutEvent(event);
    viewport()->update();
}

void TWaveListBoxTarn::StartDrag()
{
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDragFormat), QByteArray::number(indexMap_[ItemIndex()]));
    drag->setMimeData(mime);
    const QPointer<QDrag> guard(drag);
    dragging_ = true;
    if (DragRunner) {
        DragRunner(*drag);
    } else {
        drag->exec(Qt::CopyAction);
    }
    dragging_ = false;
    // The toolkit may have let the drag go already; otherwise it goes now,
    // not with the list.
    if (guard != nullptr) {
        guard->deleteLater();
    }
}

} // namespace tarn
