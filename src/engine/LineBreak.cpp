// The line break a file writes, found in its text or bytes, and texts put
// into that form.
#include "LineBreak.h"

#include "TextDecoder.h"

#include <unistd.h>
#include <vector>

namespace {

// How a file's code units lie in its bytes.
struct Units
{
    int step = 1;  // bytes per unit
    int value = 0; // the byte of a UTF-16 unit that holds CR or LF
    int mark = 0;  // bytes of the mark

    explicit Units(const char *data, qsizetype size)
    {
        TextEncoding encoding = TextEncoding::Ansi;
        TextDecoder::HasMark(data, size, encoding);
        mark = TextDecoder::MarkSize(encoding);
        if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
            step = 2;
            value = encoding == TextEncoding::Utf16BE ? 1 : 0;
        }
    }
    // CR, LF or anything else (-1) at byte i.
    int at(const char *data, qsizetype i) const
    {
        const auto b = [&](qsizetype k) { return static_cast<unsigned char>(data[k]); };
        if (step == 1)
            return b(i);
        return b(i + 1 - value) != 0 ? -1 : b(i + value);
    }
};

// Scans the whole units in [from, end). pendingCr carries a CR that ended
// the previous piece: the next unit tells whether it began a CR LF.
std::optional<LineBreak::Form> scan(const Units &u, const char *data, qsizetype from, qsizetype end, bool &pendingCr)
{
    using F = LineBreak::Form;
    for (qsizetype i = from; i + u.step <= end; i += u.step) {
        const int c = u.at(data, i);
        if (pendingCr)
            return c == '\n' ? F::CrLf : F::Cr;
        if (c == '\n')
            return F::Lf;
        pendingCr = c == '\r';
    }
    return std::nullopt;
}

} // namespace

bool LineBreak::In(QStringView text)
{
    for (const QChar c : text)
        if (c == u'\r' || c == u'\n')
            return true;
    return false;
}

std::optional<LineBreak::Form> LineBreak::FirstIn(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n')
            return Form::Lf;
        if (text[i] == u'\r')
            return i + 1 < text.size() && text[i + 1] == u'\n' ? Form::CrLf : Form::Cr;
    }
    return std::nullopt;
}

std::optional<LineBreak::Form> LineBreak::FirstInBytes(const char *data, qsizetype size)
{
    const Units units(data, size);
    bool pendingCr = false;
    if (const auto form = scan(units, data, units.mark, size, pendingCr))
        return form;
    return pendingCr ? std::optional<Form>(Form::Cr) : std::nullopt;
}

std::optional<LineBreak::Form> LineBreak::FirstInFile(int fd)
{
    // Pieces of an even size keep UTF-16 units whole; a file's first break
    // is almost always in the first piece.
    std::vector<char> piece(64 * 1024);
    std::optional<Units> units;
    bool pendingCr = false;
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, piece.data(), piece.size(), at);
        if (got <= 0)
            break;
        if (!units)
            units.emplace(piece.data(), got);
        if (const auto form = scan(*units, piece.data(), at == 0 ? units->mark : 0, got, pendingCr))
            return form;
        at += got;
    }
    return pendingCr ? std::optional<Form>(Form::Cr) : std::nullopt;
}

QString LineBreak::InForm(QStringView text, Form form)
{
    const QStringView breakText = form == Form::CrLf ? QStringView(u"\r\n") : form == Form::Lf ? u"\n" : u"\r";
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += breakText;
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}
