// Reads a text file while recognising its encoding, and writes text back in
// any of the five encodings with its byte order mark.
#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QString>

class cFileResder
{
public:
    // Encoding of the last file read by FileRead.
    TextEncoding Encoding = TextEncoding::Ansi;

    // The whole file as text, without its byte order mark. Reading never
    // creates a file: a missing or unreadable one reads as empty text with
    // Encoding 0. The raw bytes of the file are left in *rawBytes when given,
    // so a caller can back them up or compare them without reading again.
    QString FileRead(const QString &sFileName, bool EnsureWinLFs = false, QByteArray *rawBytes = nullptr);

    // Writes text as the whole content of the file; true when every byte was
    // written. This writes in place: callers that must never leave a file
    // half-written encode with EncodeText and replace the file themselves.
    bool FileWrite(const QString &fileName, const QString &text, TextEncoding encoding);

    static QString ToUnicode(const QByteArray &bytes);
    static QByteArray FromUnicode(const QString &strText);
    static QString EncodingVerbose(TextEncoding Encoding);

    // The short label of an encoding in the result list ("UTF-8B", ...).
    static QString EncodingLabel(TextEncoding Encoding);

    // The bytes FileWrite writes: the mark of the encoding, then the text.
    // An unknown encoding gives no bytes.
    static QByteArray EncodeText(const QString &text, TextEncoding encoding);

    // False when writing text in this encoding would change it on reading
    // back: a character above U+00FF in ANSI, an unpaired surrogate in UTF-8.
    static bool CanEncodeLosslessly(const QString &text, TextEncoding encoding);

    // The whole content of a regular file, with one size query and one read.
    // False (and out empty) for a missing, unreadable or non-regular file.
    static bool ReadAllBytes(const QString &path, QByteArray &out);

    // Decodes bytes as FileRead does and returns the encoding found.
    static QString DecodeBytes(const QByteArray &bytes, TextEncoding &encoding);

private:
    static bool HasBOM(const QByteArray &bytes, TextEncoding encoding);
};
