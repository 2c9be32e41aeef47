// The two scroll bars of a scroll area with the value rules and events the owner-drawn controls rely on.
#pragma once

#include <QAbstractScrollArea>
#include <QObject>
#include <QPointer>

class QScrollBar;
class QWheelEvent;

// Wraps the horizontal and vertical QScrollBar of one QAbstractScrollArea.
//
// Value rules: the bar covers Min .. Max + LargeChange with a page of
// LargeChange, so Value runs from Min up to Max + 1 while LargeChange is at
// least 1 and up to Max while it is 0. Every change of the position, by code
// or by the user, is reported once as Change; a position that was already
// reported is never reported again. Wheel turns over the area or its bars are
// turned into a MouseWheel event and a change of the vertical value.
class ScrollBars : public QObject
{
    Q_OBJECT

public:
    enum Bar { Horizontal = 0, Vertical = 1 };

    explicit ScrollBars(QObject *parent = nullptr);
    ~ScrollBars() override;

    // Attaches to the area (detaching from a previous one first); a null
    // area, or the one already attached, changes nothing. Both bars start
    // with range 0 .. 0 and no page, and from then on show only while
    // Visible says so. Reads the system's wheel setting.
    void Create(QAbstractScrollArea *window);
    void Terminate();
    bool Created() const { return m_Window != nullptr; }

    // 0 horizontal only, 1 vertical only, 2 both. Together with Style it
    // would choose the look of flat bars; Qt draws its own, so both are kept
    // for the owner and change nothing.
    int Orientation() const { return m_Orientation; }
    void SetOrientation(int orientation) { m_Orientation = orientation; }
    int Style() const { return m_Style; }
    void SetStyle(int style) { m_Style = style; }
    bool CanBeFlat() const { return false; }

    bool Visible(int eBar) const;
    void SetVisible(int eBar, bool on);
    bool Enabled(int eBar) const;
    void SetEnabled(int eBar, bool on);
    int SmallChange(int eBar) const;
    void SetSmallChange(int eBar, int change);

    int Min(int eBar) const;
    void SetMin(int eBar, int value);         // keeps Max and LargeChange
    int Max(int eBar) const;                  // the range end less the page
    void SetMax(int eBar, int value);         // keeps LargeChange
    int LargeChange(int eBar) const;          // the page
    void SetLargeChange(int eBar, int value); // keeps Max
    int Value(int eBar) const;
    // Stores the position, kept within the bar's limits, and reports Change
    // when that moved it.
    void SetValue(int eBar, int value);

    // Lines per wheel notch as read from the system; 3 when it says less than 1.
    int WheelLines() const { return m_WheelLines; }

signals:
    // A mouse press on a bar: eButton 1 left, 2 right.
    void ScrollClick(int eBar, int eButton);
    // The position a thumb drag ended on, when Change has not told it yet.
    void Scroll(int eBar);
    void Change(int eBar);
    // Raised before a wheel turn moves a bar; the handler may pick another
    // bar or change the amount (0 moves nothing).
    void MouseWheel(int *eBar, int *lAmount);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QScrollBar *BarOf(int eBar) const;
    int PageExtra(int eBar) const { return LargeChange(eBar) >= 1 ? 1 : 0; }
    void SetRange(int eBar, int min, int max, int page);
    void Report(int eBar, bool asScroll);
    void OnAction(int eBar, int action);
    bool HandleWheel(QWheelEvent *event);
    void Detach();

    QPointer<QAbstractScrollArea> m_Window;
    int m_Orientation = 2;
    int m_Style = 0;
    int m_SmallChange[2] = {1, 1};
    bool m_Enabled[2] = {true, true};
    bool m_Visible[2] = {false, false};
    int m_LastValue[2] = {0, 0};
    int m_WheelLines = 3;
    // Wheel delta not yet worth a whole notch: high-resolution wheels and
    // touchpads send many small deltas that only add up to notches.
    int m_WheelRest = 0;
    QList<QMetaObject::Connection> m_Connections;
};
