// Encodes a text handed over a piece at a time into exactly the bytes that
// cFileResder::EncodeText makes of it whole.
#include "TextEncoder.h"

#include "Utf8Kernel.h"

#include <QChar>

void TextEncoder::Add(QStringView piece, QByteArray &out)
{
    if (piece.isEmpty())
        return;
    if (m_waiting) {
        const char16_t pair[2] = {m_waiting, piece.front().unicode()};
        m_waiting = 0;
        const bool joined = QChar::isLowSurrogate(pair[1]);
        encode(QStringView(pair, joined ? 2 : 1), out);
        if (joined)
            piece = piece.sliced(1);
    }
    if (!piece.isEmpty() && QChar::isHighSurrogate(piece.back().unicode())) {
        m_waiting = piece.back().unicode();
        piece.chop(1);
    }
    encode(piece, out);
}

void TextEncoder::Finish(QByteArray &out)
{
    const char16_t waiting = m_waiting;
    m_waiting = 0;
    encode(QStringView(&waiting, waiting ? 1 : 0), out);
}

void TextEncoder::encode(QStringView text, QByteArray &out)
{
    if (!m_started) {
        m_started = true;
        switch (m_encoding) {
        case TextEncoding::Utf8Bom:
            out.append("\xEF\xBB\xBF", 3);
            break;
        case TextEncoding::Utf16LE:
            out.append("\xFF\xFE", 2);
            break;
        case TextEncoding::Utf16BE:
            out.append("\xFE\xFF", 2);
            break;
        default:
            break;
        }
    }
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    const std::size_t n = static_cast<std::size_t>(text.size());
    const qsizetype base = out.size();
    switch (m_encoding) {
    case TextEncoding::Ansi:
        for (std::size_t i = 0; i < n && m_lossless; ++i)
            m_lossless = s[i] <= 0xFF;
        out.resize(base + text.size());
        Utf8Kernel::NarrowLatin1(s, n, out.data() + base);
        return;
    case TextEncoding::Utf8Bom:
    case TextEncoding::Utf8:
        m_lossless = m_lossless && Utf8Kernel::EncodesLosslessly(s, n);
        out.resize(base + static_cast<qsizetype>(Utf8Kernel::MaxEncodedSize(n)));
        out.resize(base + static_cast<qsizetype>(Utf8Kernel::Encode(s, n, out.data() + base)));
        return;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool big = m_encoding == TextEncoding::Utf16BE;
        out.resize(base + 2 * text.size());
        unsigned char *o = reinterpret_cast<unsigned char *>(out.data()) + base;
        for (std::size_t i = 0; i < n; ++i) {
            o[2 * i] = static_cast<unsigned char>(big ? s[i] >> 8 : s[i] & 0xFF);
            o[2 * i + 1] = static_cast<unsigned char>(big ? s[i] & 0xFF : s[i] >> 8);
        }
        return;
    }
    default:
        m_lossless = false; // no bytes at all for an unknown encoding
        return;
    }
}
