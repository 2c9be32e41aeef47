// The files a walk has taken, known by device and inode.
#pragma once

#include <cstddef>
#include <sys/types.h>
#include <vector>

// One flat table: a tree of many small files would otherwise take (and
// give back) a piece of memory for each of them.
class FileIdentitySet
{
public:
    // Adds the file; false when it was there already.
    bool Insert(dev_t device, ino_t inode);
    void Clear();

private:
    struct Slot
    {
        dev_t device = 0;
        ino_t inode = 0; // device and inode 0: an empty slot
    };
    void grow();

    std::vector<Slot> m_slots; // a power of two, never more than 3/4 full
    std::size_t m_count = 0;
    bool m_hasZero = false; // device 0, inode 0 is taken
};
