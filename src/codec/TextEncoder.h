// Encodes a text handed over a piece at a time into exactly the bytes that
// cFileResder::EncodeText makes of it whole, and tells whether they read back
// as the same text.
#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QStringView>

class TextEncoder
{
public:
    explicit TextEncoder(TextEncoding encoding) : m_encoding(encoding) {}

    // Appends the bytes of the next piece to out, the encoding's mark before
    // the first. A high surrogate at the end of a piece waits for the next
    // one, so a pair split between pieces is written as the pair it is.
    void Add(QStringView piece, QByteArray &out);
    // Appends what is still waiting, and the mark of an empty text.
    void Finish(QByteArray &out);

    // False once a character was met that this encoding cannot hold so that
    // it reads back the same (as cFileResder::CanEncodeLosslessly).
    bool Lossless() const { return m_lossless; }

private:
    void encode(QStringView text, QByteArray &out);

    TextEncoding m_encoding;
    bool m_started = false;
    bool m_lossless = true;
    char16_t m_waiting = 0; // a high surrogate from the end of the last piece
};
