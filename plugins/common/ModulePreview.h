// SPDX-License-Identifier: MIT
// A small picture of one period of sample codes, for the modules' dialogs.
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

} // namespace tarnplugin
