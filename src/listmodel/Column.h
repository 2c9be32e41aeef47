// One column of the result list: header text, alignment, widths and flags.
#pragma once

#include "TextAlignment.h"

#include <QString>

// Every field is a plain property without checks: the list model and the
// widget that draws it are the only writers, and each keeps its own rules.
class Column
{
public:
    Column();
    explicit Column(const QString &columnKey);

    QString key;     // identifier of the column within its collection
    QString Caption; // header text
    TextAlignment TextAlign = TextAlignment::Left;
    int Width = 0;          // in pixels
    int WidthAutoSized = 0; // width found by auto-sizing the column
    bool Pushed = false;    // header cell drawn pressed
    bool Visible = false;   // column is shown
    bool Resizable = false; // the user may drag the right edge
    int LastSortOrder = 0;  // kept for the widget; the model never reads it
};
