// SPDX-License-Identifier: MIT
// The start-up window: a picture and a status line that repaints at once,
// because start-up keeps the thread busy between its steps.
#pragma once
#include <QWidget>

class QLabel;

namespace tarn {

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);
    void SetStatus(const QString& text);
    QString Status() const;
    // False when the picture could not be decoded.
    bool PictureLoaded() const { return pictureLoaded_; }

private:
    QLabel* picture_;
    QLabel* status_;
    bool pictureLoaded_ = false;
};

} // namespace tarn
