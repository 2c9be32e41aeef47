// How a search text is compared with a text.
#pragma once

enum class CompareMode : int {
    Binary = 0, // exact 16-bit code units, case-sensitive
    Text = 1,   // case-insensitive, per code unit
};
