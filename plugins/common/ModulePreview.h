// SPDX-License-Identifier: MIT
// A small picture of one period of sample codes, and the colour of an error
// text, for the modules' dialogs.
#pragma once
#include <QWidget>

#include <vector>

namespace tarnplugin {

class TModulePreview : public QWidget {
public:
    explicit TModulePreview(QWidget* parent);
    void Show(std::vector<unsigned short> samples, int range);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<unsigned short> samples_;
    int range_ = 4096;
};

// The style of a red error text that reads on the widget's window colour:
// a dark red on a light window, a light red on a dark one (4.5:1 or more
// on both).
QString ErrorTextStyle(const QWidget& widget);

} // namespace tarnplugin
