// What the list model asks of the control that shows it after a change.
#pragma once

class ListModelObserver
{
public:
    virtual ~ListModelObserver() = default;
    virtual void ListRedraw() = 0;             // redraw the control
    virtual void ListRefresh() = 0;            // lay out, recompute the scroll range, redraw
    virtual void ListScrollRangeChanged() = 0; // recompute the vertical scroll range
};
