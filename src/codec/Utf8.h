// UTF-8 and 8-bit conversion kernels between bytes and UTF-16 code units.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>

class Utf8
{
public:
    // Well-formed UTF-8 only: no overlong forms, no surrogates, nothing above
    // U+10FFFF, no truncated or stray continuation bytes.
    static bool IsWellFormed(const char *data, std::size_t size);

    // Decodes well-formed UTF-8 and appends it to out; returns false (out in
    // an unspecified state) at the first malformed byte.
    static bool DecodeStrict(const char *data, std::size_t size, QString &out);

    // Decodes any bytes; each maximal ill-formed subpart becomes one U+FFFD.
    static QString DecodeLenient(const char *data, std::size_t size);

    // Encodes UTF-16; an unpaired surrogate is written as U+FFFD.
    static QByteArray Encode(QStringView text);

    // True when Encode would give back these exact code units on decoding.
    static bool EncodesLosslessly(QStringView text);

    // One code unit per byte, the byte's value as the code (U+0000..U+00FF).
    static void WidenLatin1(const char *data, std::size_t size, char16_t *out);

    // Lets tests run the narrower vector kernel on a machine with wider ones.
    static void UseWideVectors(bool on);

    // The low 8 bits of each code unit.
    static QByteArray NarrowLatin1(QStringView text);
};
