// The per-cell colour hook through which the owner of a list colours its rows.
#pragma once

#include <QtGlobal>

class ICustomDraw
{
public:
    virtual ~ICustomDraw() = default;

    // Asked for every visible cell on every redraw, with both colours preset
    // to -1. Returning true makes the list draw the cell in the colours set
    // here (0x00BBGGRR or a system colour); one left at -1 falls back to the
    // list's normal colour, and the list shows no selection of its own.
    // Returning false draws the cell in the list's own colours.
    virtual bool CustomDraw(int ItemIndex, int ColumnIndex, qint32 &BackColor, qint32 &ForeColor) = 0;
};
