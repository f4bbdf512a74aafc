// SPDX-License-Identifier: MIT
// The waveform list: the repository's waveforms with thumbnails, filtered to
// all, standard or arbitrary ones; deletes, duplicates, asks for a waveform's
// properties and is the source of a drag onto the preview.
#pragma once
#include "panels/WavePictureTarn.h"
#include "shell/master/ObjMasterTarn.h"

#include <QCache>
#include <QImage>
#include <QListView>
#include <QPointer>

#include <functional>
#include <vector>

class QAction;
class QDrag;
class QGroupBox;
class QMenu;
class QRadioButton;
class TSettingsTarn;
class TWaveformTarn;

namespace tarn {

class TWaveListModel;

// The picture of waveform in an image of the given size, black behind a lime
// (standard) or yellow (arbitrary) bar per column. At a device pixel ratio
// above 1 the image has that many times the pixels, one bar per device pixel
// column, and the mapping's rows stretched to match.
QImage RenderWavePicture(const TWaveformTarn& waveform, QSize size, TWaveMapping mapping, qreal ratio = 1.0);

class TWaveListBoxTarn : public QListView {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 30;
    // Thumbnails kept at most, enough for a whole large library to scroll
    // by without making any twice; each is about 3.3 kB.
    static constexpr int kThumbnailCacheSize = 16384;

    explicit TWaveListBoxTarn(QWidget* parent = nullptr);
    ~TWaveListBoxTarn() override;

    // Builds the list at rect in group with the three filter buttons below it.
    static TWaveListBoxTarn* CreateInGroup(QGroupBox& group, const QRect& rect);
    // Puts the list at rect and the filter buttons below it (a window that grows).
    void Place(const QRect& rect);

    TObjMasterTarn* ObjMaster() const { return objMaster_; }
    // Registers the list's listener with master.
    void SetObjMaster(TObjMasterTarn* master);
    TSettingsTarn* Settings() const { return settings_; }
    void SetSettings(TSettingsTarn* settings) { settings_ = settings; }

    QPointer<QMenu> ItemMenu;
    QPointer<QMenu> NonItemMenu;
    QPointer<QAction> DeleteMenuItem;
    QPointer<QAction> DuplicateMenuItem;
    QPointer<QAction> PropertiesMenuItem;
    QPointer<QRadioButton> FilterAllBtn;
    QPointer<QRadioButton> FilterStandardBtn;
    QPointer<QRadioButton> FilterArbitraryBtn;
    // Runs a drag the list started and gives the action taken; the
    // platform's drag unless replaced (a headless platform drops nothing).
    std::function<Qt::DropAction(QDrag&)> DragRunner;
    // (list, repository index, changed): the window shows the properties.
    std::function<void(TWaveListBoxTarn*, std::int32_t, bool&)> OnPropertiesShow;
    // (list, repository index): Enter on an item; the window gives it to the
    // generator as a drop on the preview does.
    std::function<void(TWaveListBoxTarn*, std::int32_t)> OnPlay;
    // Asked before "Delete" takes the waveform away; unset, nothing is asked.
    std::function<bool(const TWaveformTarn&)> ConfirmDelete;

    // 0 all, 1 standard, 2 arbitrary.
    int Filter() const { return filter_; }
    // Repository index of each list item.
    const std::vector<std::int32_t>& IndexMap() const { return indexMap_; }
    int Count() const { return static_cast<int>(indexMap_.size()); }
    QString Item(int position) const;
    // -1 when nothing is selected.
    int ItemIndex() const;
    void SetItemIndex(int position);
    bool Dragging() const { return dragging_; }
    // Repository index of the waveform the generator plays (shown bold), -1
    // when it is none of the list's.
    std::int32_t PlayingIndex() const { return playing_; }

    void Rebuild();
    void DeleteClick();
    void DuplicateClick();
    void PropertiesClick();
    // "Send to generator" and Enter: the selected item goes to OnPlay.
    void PlayClick();
    void FilterBtnClick(int tag);
    // Selects the item of a repository waveform, showing all waveforms when
    // the filter hides it (an undone edit brings back what the user looks for).
    void Reveal(std::int32_t repositoryIndex);
    // The thumbnail of a repository waveform at the list's device pixel
    // ratio, made on first use and kept until the samples or the ratio change.
    QImage Thumbnail(const TWaveformTarn& waveform) const;
    int ThumbnailsMade() const { return thumbnailsMade_; }
    // The keyboard's pop-up: the item menu under the selected item, or the
    // empty-area menu at the list's top when nothing is selected.
    QMenu* PopupFromKeyboard();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data);
    void Wire();
    void StartDrag();
    // The repository waveform of the selection, or nullptr.
    TWaveformTarn* Selected() const;
    // Finds the repository waveform equal to the one real channel 0 plays,
    // the selected one first (it is what a drop, Enter or the menu sent).
    void FindPlaying();

    TObjMasterTarn* objMaster_ = nullptr;
    TSettingsTarn* settings_ = nullptr;
    TWaveListModel* model_ = nullptr;
    int filter_ = 0;
    std::int32_t playing_ = -1;
    std::size_t repositorySize_ = 0;
    std::vector<std::int32_t> indexMap_;
    bool dragging_ = false;
    QPoint pressPos_;
    bool leftPressed_ = false;

    struct TThumbnail {
        std::uint64_t stamp = 0;
        qreal ratio = 1.0;
        QImage image;
    };
    mutable QCache<const TWaveformTarn*, TThumbnail> thumbnails_;
    mutable int thumbnailsMade_ = 0;
};

} // namespace tarn
