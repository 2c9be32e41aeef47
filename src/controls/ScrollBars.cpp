// The scroll bar value rules on QScrollBar: range and page, change reports, clicks and the wheel.
#include "ScrollBars.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace {

// One wheel notch, in the units of QWheelEvent::angleDelta().
constexpr int kNotch = 120;

} // namespace

ScrollBars::ScrollBars(QObject *parent) : QObject(parent) {}

ScrollBars::~ScrollBars()
{
    Detach();
}

void ScrollBars::Create(QAbstractScrollArea *window)
{
    if (window == nullptr || window == m_Window)
        return;
    Detach();
    m_Window = window;
    for (int eBar : {Horizontal, Vertical}) {
        QScrollBar *bar = BarOf(eBar);
        m_Connections << connect(bar, &QScrollBar::valueChanged, this, [this, eBar] { Report(eBar, false); });
        m_Connections << connect(bar, &QScrollBar::sliderReleased, this, [this, eBar] { Report(eBar, true); });
        m_Connections << connect(bar, &QScrollBar::actionTriggered, this,
                                 [this, eBar](int action) { OnAction(eBar, action); });
        bar->installEventFilter(this);
        // A fresh window's scroll information: no range, no page, position 0.
        bar->setPageStep(0);
        bar->setRange(0, 0);
        bar->setSingleStep(m_SmallChange[eBar]);
        bar->setEnabled(m_Enabled[eBar]);
        m_LastValue[eBar] = bar->value();
        SetVisible(eBar, m_Visible[eBar]);
    }
    window->viewport()->installEventFilter(this);
    const int lines = QApplication::wheelScrollLines();
    m_WheelLines = lines < 1 ? 3 : lines;
    m_WheelRest = 0;
}

void ScrollBars::Terminate()
{
    Detach();
}

void ScrollBars::Detach()
{
    for (const QMetaObject::Connection &c : std::as_const(m_Connections))
        disconnect(c);
    m_Connections.clear();
    if (m_Window) {
        m_Window->viewport()->removeEventFilter(this);
        m_Window->horizontalScrollBar()->removeEventFilter(this);
        m_Window->verticalScrollBar()->removeEventFilter(this);
    }
    m_Window = nullptr;
}

QScrollBar *ScrollBars::BarOf(int eBar) const
{
    if (!m_Window)
        return nullptr;
    return eBar == Horizontal ? m_Window->horizontalScrollBar() : m_Window->verticalScrollBar();
}

bool ScrollBars::Visible(int eBar) const
{
    return eBar == Horizontal || eBar == Vertical ? m_Visible[eBar] : false;
}

void ScrollBars::SetVisible(int eBar, bool on)
{
    if (eBar != Horizontal && eBar != Vertical)
        return;
    m_Visible[eBar] = on;
    if (!m_Window)
        return;
    const Qt::ScrollBarPolicy policy = on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (eBar == Horizontal)
        m_Window->setHorizontalScrollBarPolicy(policy);
    else
        m_Window->setVerticalScrollBarPolicy(policy);
}

bool ScrollBars::Enabled(int eBar) const
{
    return eBar == Horizontal || eBar == Vertical ? m_Enabled[eBar] : false;
}

void ScrollBars::SetEnabled(int eBar, bool on)
{
    if (eBar != Horizontal && eBar != Vertical)
        return;
    m_Enabled[eBar] = on;
    if (QScrollBar *bar = BarOf(eBar))
        bar->setEnabled(on);
}

int ScrollBars::SmallChange(int eBar) const
{
    return eBar == Horizontal || eBar == Vertical ? m_SmallChange[eBar] : 0;
}

void ScrollBars::SetSmallChange(int eBar, int change)
{
    if (eBar != Horizontal && eBar != Vertical)
        return;
    m_SmallChange[eBar] = change;
    if (QScrollBar *bar = BarOf(eBar))
        bar->setSingleStep(change);
}

int ScrollBars::Min(int eBar) const
{
    const QScrollBar *bar = BarOf(eBar);
    return bar ? bar->minimum() : 0;
}

int ScrollBars::Max(int eBar) const
{
    const QScrollBar *bar = BarOf(eBar);
    return bar ? bar->maximum() - PageExtra(eBar) : 0;
}

int ScrollBars::LargeChange(int eBar) const
{
    const QScrollBar *bar = BarOf(eBar);
    return bar ? bar->pageStep() : 0;
}

int ScrollBars::Value(int eBar) const
{
    const QScrollBar *bar = BarOf(eBar);
    return bar ? bar->value() : 0;
}

void ScrollBars::SetRange(int eBar, int min, int max, int page)
{
    QScrollBar *bar = BarOf(eBar);
    if (!bar)
        return;
    {
        // The area's own reaction to a range change is a new layout of its
        // bars, which their fixed policies make needless; it would cost more
        // than everything else when a range grows row by row.
        const QSignalBlocker quiet(bar);
        bar->setPageStep(page);
        // QScrollBar's maximum is the last position; a page of at least one
        // lets the position pass Max by one, so the page's far edge can
        // reach the end of the range.
        bar->setRange(min, max + (page >= 1 ? 1 : 0));
    }
    // A range that shrank may have moved the position.
    Report(eBar, false);
}

void ScrollBars::SetMin(int eBar, int value)
{
    SetRange(eBar, value, Max(eBar), LargeChange(eBar));
}

void ScrollBars::SetMax(int eBar, int value)
{
    SetRange(eBar, Min(eBar), value, LargeChange(eBar));
}

void ScrollBars::SetLargeChange(int eBar, int value)
{
    SetRange(eBar, Min(eBar), Max(eBar), value < 0 ? 0 : value);
}

void ScrollBars::SetValue(int eBar, int value)
{
    QScrollBar *bar = BarOf(eBar);
    if (!bar || bar->value() == value)
        return;
    bar->setValue(value);
    Report(eBar, false);
}

void ScrollBars::Report(int eBar, bool asScroll)
{
    const QScrollBar *bar = BarOf(eBar);
    if (!bar)
        return;
    const int position = bar->value();
    if (position == m_LastValue[eBar])
        return;
    m_LastValue[eBar] = position;
    if (asScroll)
        emit Scroll(eBar);
    else
        emit Change(eBar);
}

void ScrollBars::OnAction(int eBar, int action)
{
    // "Bottom" goes to Max, not to the one position past it that a page allows.
    if (action == QAbstractSlider::SliderToMaximum)
        BarOf(eBar)->setSliderPosition(Max(eBar));
}

bool ScrollBars::HandleWheel(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return false; // a sideways turn: Qt moves the horizontal bar, reported as Change
    if (m_WheelRest != 0 && (m_WheelRest > 0) != (delta > 0))
        m_WheelRest = 0;
    m_WheelRest += delta;
    const int notches = m_WheelRest / kNotch;
    m_WheelRest -= notches * kNotch;
    if (notches == 0)
        return true;
    int eBar = Vertical;
    int amount = -notches * m_SmallChange[Vertical] * m_WheelLines;
    emit MouseWheel(&eBar, &amount);
    if (amount != 0 && Visible(eBar) && Enabled(eBar))
        SetValue(eBar, Value(eBar) + amount);
    return true;
}

bool ScrollBars::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_Window)
        return false;
    switch (event->type()) {
    case QEvent::Wheel:
        return HandleWheel(static_cast<QWheelEvent *>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const int eBar = watched == m_Window->horizontalScrollBar() ? Horizontal
                         : watched == m_Window->verticalScrollBar() ? Vertical
                                                                    : -1;
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (eBar >= 0 && (button == Qt::LeftButton || button == Qt::RightButton))
            emit ScrollClick(eBar, button == Qt::LeftButton ? 1 : 2);
        return false;
    }
    default:
        return false;
    }
}
