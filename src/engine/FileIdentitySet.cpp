// A set of file identities in one table, with linear probing.
#include "FileIdentitySet.h"

#include <cstdint>

namespace {

std::size_t hashOf(dev_t device, ino_t inode)
{
    // Inodes of one folder are often close together: the multiplication
    // spreads them over the whole table.
    const std::uint64_t h =
        (static_cast<std::uint64_t>(inode) ^ (static_cast<std::uint64_t>(device) << 40)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

} // namespace

bool FileIdentitySet::Insert(dev_t device, ino_t inode)
{
    if (device == 0 && inode == 0) {
        const bool added = !m_hasZero;
        m_hasZero = true;
        return added;
    }
    if ((m_count + 1) * 4 > m_slots.size() * 3)
        grow();
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hashOf(device, inode) & mask;; i = (i + 1) & mask) {
        Slot &s = m_slots[i];
        if (s.device == device && s.inode == inode)
            return false;
        if (s.device == 0 && s.inode == 0) {
            s = {device, inode};
            ++m_count;
            return true;
        }
    }
}

void FileIdentitySet::Clear()
{
    m_slots.clear();
    m_count = 0;
    m_hasZero = false;
}

void FileIdentitySet::grow()
{
    std::vector<Slot> old(m_slots.empty() ? 64 : m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &s : old) {
        if (s.device == 0 && s.inode == 0)
            continue;
        std::size_t i = hashOf(s.device, s.inode) & mask;
        while (m_slots[i].device != 0 || m_slots[i].inode != 0)
            i = (i + 1) & mask;
        m_slots[i] = s;
    }
}
