// The progress bar of a run (picProgress): paints what ProgressBar computes.
#include "ProgressBox.h"

#include <QPainter>

namespace {

QColor fromBgr(unsigned c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

} // namespace

ProgressBox::ProgressBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBox::SetBackground(unsigned colour)
{
    m_background = colour;
    update();
}

void ProgressBox::Draw(const ProgressBar::Request &request)
{
    m_request = request;
    m_drawn = true;
    update();
}

void ProgressBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), fromBgr(m_background));
    if (!m_drawn)
        return;
    const QString text = ProgressBar::TextFor(m_request);
    const QFontMetrics fm(font());
    const ProgressBar::Drawing d =
        ProgressBar::DrawProgress(m_request, width(), height(), fm.horizontalAdvance(text), fm.height());
    if (!d.Bar)
        return;
    p.fillRect(0, 0, d.BarWidth, height(), fromBgr(ProgressBar::BarColour));
    if (!d.Text.isEmpty()) {
        p.setPen(fromBgr(d.TextWhite ? ProgressBar::WhiteText : ProgressBar::YellowText));
        p.drawText(d.TextLeft, d.TextTop + fm.ascent(), d.Text);
    }
}
