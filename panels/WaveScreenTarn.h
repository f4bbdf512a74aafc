// SPDX-License-Identifier: MIT
// The waveform preview: the waveform of one real channel, drawn from an
// off-screen image, and the drop target that gives the channel a waveform
// dragged from the waveform list.
#pragma once
#include "shell/master/ComponentsTarn.h"

#include <QImage>

namespace tarn {

class TWaveScreenTarn : public TGraphicControlTarn {
    Q_OBJECT
public:
    explicit TWaveScreenTarn(QWidget* parent = nullptr);
    ~TWaveScreenTarn() override;

    std::int32_t ChannelIndex() const { return channelIndex_; }
    void SetChannelIndex(std::int32_t index) { channelIndex_ = index; }
    // The off-screen picture as last drawn.
    const QImage& Bitmap() const { return bitmap_; }
    void Redraw();
    // What a drop of a list item does: the repository waveform at index goes
    // to the channel and is announced; false (nothing changes) for a bad index.
    bool Play(std::int32_t repositoryIndex);
    // True while an accepted drag is over the preview.
    bool DropHighlighted() const { return highlighted_; }

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The control's size in device pixels, the picture's size.
    QSize PixelSize() const;
    // Asks the listeners which repository waveform is being dragged; -1 for none.
    std::int32_t QueryDragged();
    void SetHighlighted(bool on);
    // Tool tip and accessible description name the waveform played.
    void DescribePlaying();

    std::int32_t channelIndex_ = 0;
    std::int32_t dragged_ = -1;
    bool highlighted_ = false;
    QImage bitmap_;
};

} // namespace tarn
