// The search and the replace of one file's text a piece at a time.
#include "ChunkedSearch.h"

#include "StreamSearch.h"
#include "TextDecoder.h"
#include "TextEncoder.h"

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
        StreamSearch search(*m_pattern, m_wholeWords, m_text);
        ChunkedTextReader::Step step;
        while ((step = m_reader.Next(m_text)) == ChunkedTextReader::Step::More) {
            search.Advance(false);
            if (stop && stop()) {
                result.end = End::Stopped;
                return result;
            }
        }
        if (step == ChunkedTextReader::Step::Restart)
            continue; // the text starts over as ANSI
        if (step == ChunkedTextReader::Step::Failed) {
            result.end = End::ReadFailed;
            result.error = m_reader.Error();
            return result;
        }
        search.Advance(true);
        result.count = search.Count();
        result.encoding = m_reader.Encoding();
        return result;
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
