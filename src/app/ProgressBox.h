// The progress bar of a run (picProgress): paints what ProgressBar computes.
#pragma once

#include "ProgressBar.h"

#include <QWidget>

class ProgressBox : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressBox(QWidget *parent = nullptr);

    void SetBackground(unsigned colour); // 0x00BBGGRR
    void Draw(const ProgressBar::Request &request);
    const ProgressBar::Request &Current() const { return m_request; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ProgressBar::Request m_request;
    bool m_drawn = false;
    unsigned m_background = 0xFFFFFF;
};
