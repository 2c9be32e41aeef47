// Decodes a file's bytes a piece at a time into exactly the text that
// cFileResder::DecodeBytes makes of them whole.
#pragma once

#include "TextEncoding.h"

#include <QString>

class TextDecoder
{
public:
    // The encoding DecodeBytes finds for these bytes: a byte order mark, else
    // well-formed UTF-8 (not empty), else ANSI.
    static TextEncoding Detect(const char *data, qsizetype size);

    // The encoding whose mark starts data, or none (data holds at least the
    // first three bytes of the file, or all of a shorter one).
    static bool HasMark(const char *data, qsizetype size, TextEncoding &encoding);

    // The length of the mark that begins a file in this encoding.
    static int MarkSize(TextEncoding encoding);

    // Appends the text of a piece of the bytes that follow the mark to out.
    // Unless last, a piece ends before a character whose bytes may go on in
    // the next piece (up to three bytes are left for it); with last every byte
    // is taken. Returns the number of bytes taken, or -1 when the bytes are
    // not well-formed UTF-8 in Utf8 (out then holds part of the piece).
    static qsizetype Decode(TextEncoding encoding, const char *data, qsizetype size, bool last, QString &out);

    // Where a piece of UTF-8 of size bytes may end when more bytes follow:
    // before the last character when its bytes may go on in the next piece.
    static qsizetype Utf8PieceEnd(const char *data, qsizetype size);

    // Whether encoding the text of these bytes (mark included) gives them back
    // exactly: false for ill-formed UTF-8 after a mark and for UTF-16 of odd
    // length.
    static bool ComesBack(TextEncoding encoding, const char *data, qsizetype size);
};
