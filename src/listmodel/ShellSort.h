// An in-place Shell sort with fixed gaps and moves, so equal elements end up in the same order every time.
#pragma once

#include <cstdint>
#include <utility>

class ShellSort
{
public:
    // Sorts count elements starting at first. compare(left, right) returns -1,
    // 0 or 1 and is always given the element from the lower position first;
    // only 1 ("left belongs after right") moves anything. Gaps run down the
    // sequence 1, 4, 13, 40, ... from the first one above count, so rows that
    // compare equal may swap places in the passes with a gap above 1.
    template <typename T, typename Compare> static void Sort(T *first, int count, Compare compare)
    {
        if (count < 2)
            return;
        const std::int64_t n = count;
        std::int64_t h = 0;
        do {
            h = 3 * h + 1;
        } while (h <= n);
        do {
            h /= 3;
            for (std::int64_t i = h; i < n; ++i) {
                if (compare(first[i - h], first[i]) != 1)
                    continue;
                T scratch = std::move(first[i]);
                std::int64_t j = i;
                do {
                    first[j] = std::move(first[j - h]);
                    j -= h;
                } while (j - h >= 0 && compare(first[j - h], scratch) == 1);
                first[j] = std::move(scratch);
            }
        } while (h > 1);
    }
};
