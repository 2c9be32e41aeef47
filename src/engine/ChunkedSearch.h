// The search and the replace of one file's text a piece at a time: the file
// is decoded, searched and, for a replace, encoded anew in pieces of a few
// MiB, so neither its whole text nor its whole new text is ever held.
#pragma once

#include "ChunkedTextReader.h"
#include "SearchPattern.h"
#include "TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

class ChunkedSearch
{
public:
    // chunkBytes: the bytes decoded at a time (tests make it small).
    ChunkedSearch(const SearchPattern &pattern, bool wholeWords,
                  qsizetype chunkBytes = ChunkedTextReader::DefaultChunkBytes);

    // The search text of the following files (a file's line breaks may ask
    // for another form of it); the pattern must outlive its use.
    void SetPattern(const SearchPattern &pattern) { m_pattern = &pattern; }

    // Polled after each piece: true abandons the file.
    using Stop = std::function<bool()>;
    enum class End { Done, Stopped, ReadFailed };

    struct Counted
    {
        End end = End::Done;
        qint64 count = 0;
        TextEncoding encoding = TextEncoding::Ansi;
        int error = 0; // errno of ReadFailed
    };
    // Counts the finds in an open regular file (of size bytes when opened,
    // -1 when not known).
    Counted CountFile(int fd, const Stop &stop, qint64 size = -1);

    struct Replaced
    {
        End end = End::Done;
        qint64 count = 0;
        TextEncoding encoding = TextEncoding::Ansi;
        bool changed = false;          // the new text differs from the text
        bool originalComesBack = true; // the text encodes to exactly these bytes
        bool newTextLossless = true;   // the new text fits the encoding
        qint64 newSize = 0;            // the bytes of the new content
    };
    // Replaces every find in a file's bytes by replacement. output, when
    // given, receives the bytes of the new content in order; without it the
    // pass only finds out what they would be.
    Replaced ReplaceBytes(const QByteArray &bytes, const QString &replacement,
                          const std::function<void(QByteArrayView)> &output, const Stop &stop);

private:
    ChunkedTextReader::Step countPass(const Stop &stop, Counted &result);

    const SearchPattern *m_pattern;
    bool m_wholeWords;
    qsizetype m_chunkBytes;
    ChunkedTextReader m_reader;
    // Reused from piece to piece and from file to file: at most a chunk each.
    QString m_text;
    QByteArray m_encoded;
};
