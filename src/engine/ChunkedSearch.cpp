// The search and the replace of one file's text a piece at a time.
#include "ChunkedSearch.h"

#include "StreamSearch.h"
#include "TextDecoder.h"
#include "TextEncoder.h"
#include "Utf8Kernel.h"

#include <algorithm>

ChunkedSearch::ChunkedSearch(const SearchPattern &pattern, bool wholeWords, qsizetype chunkBytes)
    : m_pattern(&pattern), m_wholeWords(wholeWords), m_chunkBytes(std::max<qsizetype>(chunkBytes, 4)),
      m_reader(m_chunkBytes)
{}

ChunkedSearch::Counted ChunkedSearch::CountFile(int fd, const Stop &stop, qint64 size)
{
    Counted result;
    m_reader.Start(fd, size);
    for (;;) {
        switch (countPass(stop, result)) {
        case ChunkedTextReader::Step::Last:
            result.end = End::Done;
            return result;
        case ChunkedTextReader::Step::Failed:
            result.end = End::ReadFailed;
            result.error = m_reader.Error();
            return result;
        case ChunkedTextReader::Step::More:
            if (result.end == End::Stopped)
                return result;
            m_reader.RestartAsAnsi(); // the text starts over as ANSI
            break;
        }
    }
}

// One reading of the file: Last when counted, Failed, or More when stopped
// (result.end says so) or when the file turns out not to be UTF-8.
//
// UTF-8 and ANSI text is counted in its bytes where the search text allows
// (ByteSearch), other text once decoded. A piece keeps for the next the bytes
// where a find may still start, and of a guess of UTF-8 the bytes not yet
// found well-formed (a character that goes on in the next piece).
ChunkedTextReader::Step ChunkedSearch::countPass(const Stop &stop, Counted &result)
{
    StreamSearch search(*m_pattern, m_wholeWords, m_text);
    qint64 count = 0;
    qsizetype from = 0;    // where the next find may start, in the piece
    qsizetype checked = 0; // the piece is well-formed UTF-8 up to here
    for (;;) {
        QByteArrayView piece;
        const ChunkedTextReader::Step step = m_reader.Next(piece);
        if (step == ChunkedTextReader::Step::Failed)
            return step;
        const bool last = step == ChunkedTextReader::Step::Last;
        const TextEncoding encoding = m_reader.Encoding();
        const ByteSearch *bytes = m_wholeWords || m_pattern->HoldsLineBreak() ? nullptr : m_pattern->InBytes(encoding);
        const char *data = piece.data();
        const qsizetype size = piece.size();
        qsizetype keep = 0;
        if (bytes) {
            if (encoding == TextEncoding::Utf8) {
                const qsizetype end = last ? size : TextDecoder::Utf8PieceEnd(data, size);
                if (!Utf8Kernel::IsWellFormed(data + checked, static_cast<std::size_t>(end - checked)))
                    return ChunkedTextReader::Step::More;
                checked = end;
            } else {
                checked = size;
            }
            const qsizetype lastStart = last ? size - 1 : size - bytes->MaxBytes();
            qsizetype next = from;
            count += bytes->CountIn(data, size, from, lastStart, next);
            const qsizetype resume = last ? size : std::max(next, lastStart + 1);
            const qsizetype drop = std::min(resume, checked);
            keep = size - drop;
            from = resume - drop;
            checked -= drop;
        } else {
            const qsizetype taken = TextDecoder::Decode(encoding, data, size, last, m_text);
            if (taken < 0)
                return ChunkedTextReader::Step::More;
            search.Advance(last);
            count = search.Count();
            keep = size - taken;
        }
        if (last) {
            result.count = count;
            result.encoding = encoding;
            return step;
        }
        m_reader.Keep(keep);
        if (stop && stop()) {
            result.end = End::Stopped;
            return ChunkedTextReader::Step::More;
        }
    }
}

ChunkedSearch::Replaced ChunkedSearch::ReplaceBytes(const QByteArray &bytes, const QString &replacement,
                                                    const std::function<void(QByteArrayView)> &output, const Stop &stop)
{
    Replaced result;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    result.encoding = TextDecoder::Detect(data, size);
    result.originalComesBack = TextDecoder::ComesBack(result.encoding, data, size);
    TextEncoder encoder(result.encoding);
    // The new bytes go out a piece at a time, through one reused buffer.
    auto flush = [&] {
        result.newSize += m_encoded.size();
        if (output && !m_encoded.isEmpty())
            output(m_encoded);
        m_encoded.resize(0);
    };
    StreamSearch search(*m_pattern, m_wholeWords, m_text, &replacement, [&](QStringView piece) {
        encoder.Add(piece, m_encoded);
        if (m_encoded.size() >= m_chunkBytes)
            flush();
    });
    m_encoded.resize(0);
    qsizetype at = TextDecoder::MarkSize(result.encoding);
    for (bool last = false; !last;) {
        const qsizetype take = std::min(m_chunkBytes, size - at);
        last = at + take == size;
        const qsizetype taken = TextDecoder::Decode(result.encoding, data + at, take, last, m_text);
        if (taken < 0) { // cannot be: the bytes were found to be well-formed
            result.end = End::ReadFailed;
            return result;
        }
        at += taken;
        search.Advance(last);
        if (!last && stop && stop()) {
            result.end = End::Stopped;
            return result;
        }
    }
    encoder.Finish(m_encoded);
    flush();
    result.count = search.Count();
    result.changed = search.Changed();
    result.newTextLossless = encoder.Lossless();
    return result;
}
