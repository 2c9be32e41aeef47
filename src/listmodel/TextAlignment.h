// The alignment of a column's texts and caption; the numbers are what a
// caller passes when it adds a column. Any other value is kept and draws
// nothing.
#pragma once

enum class TextAlignment : int {
    Left = 0,
    Right = 1,
    Center = 2,
};
