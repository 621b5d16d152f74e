#pragma once

#include <QProgressBar>
#include <algorithm>

#include "core/base/progress.h"

// An engine's range and position shown on a progress bar (an empty range still draws a bar).
class BarProgress : public voxmg::ProgressSink {
public:
    explicit BarProgress(QProgressBar* bar) : m_bar(bar) {}
    void setRange(int range) override { m_bar->setRange(0, std::max(range, 1)); }
    void setPosition(int position) override { m_bar->setValue(std::clamp(position, 0, m_bar->maximum())); }

private:
    QProgressBar* m_bar;
};
