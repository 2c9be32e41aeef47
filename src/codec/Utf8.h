// QString and QByteArray faces of the UTF-8 and Latin-1 kernel.
#pragma once

#include "Utf8Kernel.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>

class Utf8
{
public:
    static bool IsWellFormed(const char *data, std::size_t size) { return Utf8Kernel::IsWellFormed(data, size); }

    // Decodes well-formed UTF-8 and appends it to out; returns false (out in
    // an unspecified state) at the first malformed byte.
    static bool DecodeStrict(const char *data, std::size_t size, QString &out);

    // Decodes any bytes; each maximal ill-formed subpart becomes one U+FFFD.
    static QString DecodeLenient(const char *data, std::size_t size);

    // Encodes UTF-16; an unpaired surrogate is written as U+FFFD.
    static QByteArray Encode(QStringView text);

    // True when Encode would give back these exact code units on decoding.
    static bool EncodesLosslessly(QStringView text)
    {
        return Utf8Kernel::EncodesLosslessly(reinterpret_cast<const char16_t *>(text.data()),
                                             static_cast<std::size_t>(text.size()));
    }

    // One code unit per byte, the byte's value as the code (U+0000..U+00FF).
    static void WidenLatin1(const char *data, std::size_t size, char16_t *out)
    {
        Utf8Kernel::WidenLatin1(data, size, out);
    }
    static QString DecodeLatin1(const char *data, std::size_t size);

    // The low 8 bits of each code unit.
    static QByteArray NarrowLatin1(QStringView text);
};
