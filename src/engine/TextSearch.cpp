// Counting and replacing a literal search text in a text, whole words or not.
#include "TextSearch.h"

#include <array>

namespace {

constexpr std::array<bool, 128> makeDelimiters()
{
    std::array<bool, 128> d{};
    const char set[] = "+*~`|#$=&%(){}[]-><'@/\\,.;:!? \r\n\"\t";
    for (const char *p = set; *p; ++p)
        d[static_cast<unsigned char>(*p)] = true;
    return d;
}

constexpr std::array<bool, 128> kDelimiters = makeDelimiters();

} // namespace

bool TextSearch::IsWordDelimiter(char16_t c)
{
    return c < 128 && kDelimiters[c];
}

qint64 TextSearch::CountOccurrences(QStringView Text, const SearchPattern &Find, int Start)
{
    return Find.CountIn(Text, Start < 2 ? 0 : Start - 1);
}

qint64 TextSearch::CountOccurrences(const QString &Text, const QString &Find, int Start, CompareMode Compare)
{
    return CountOccurrences(QStringView(Text), SearchPattern(Find, Compare), Start);
}

TextSearch::WholeWords TextSearch::ReplaceNurGanzeWorte(const QString &sText, const QString &sWord,
                                                        const QString &eWord, CompareMode cSensitive, bool ersetzen)
{
    WholeWords result;
    const SearchPattern pattern(sWord, cSensitive);
    const qsizetype wordLen = sWord.size();
    const char16_t *t = reinterpret_cast<const char16_t *>(sText.constData());
    const qsizetype len = sText.size();

    // The neighbours are always taken from the original text, so counting and
    // replacing agree, and text brought in by eWord is never searched again.
    // The scan resumes right behind each occurrence (not behind the delimiter
    // that follows it): a search text that begins with a delimiter may start
    // there.
    qsizetype pos = 0, copied = 0;
    if (wordLen == 0) {
        result.text = sText;
        return result;
    }
    QString &out = result.text;
    if (ersetzen)
        out.reserve(len + (eWord.size() > wordLen ? len / 8 : 0));
    while ((pos = pattern.IndexIn(sText, pos)) >= 0) {
        const qsizetype end = pos + wordLen;
        const bool beforeOk = pos == 0 || IsWordDelimiter(t[pos - 1]);
        const bool afterOk = end >= len || IsWordDelimiter(t[end]);
        if (beforeOk && afterOk) {
            ++result.count;
            if (ersetzen) {
                out.append(QStringView(sText).sliced(copied, pos - copied));
                out.append(eWord);
                copied = end;
            }
        }
        pos = end;
    }
    if (ersetzen && result.count > 0)
        out.append(QStringView(sText).sliced(copied));
    else
        out = sText;
    return result;
}

QString TextSearch::ReplaceAll(const QString &Text, const QString &Find, const QString &Replacement,
                               CompareMode Compare)
{
    const SearchPattern pattern(Find, Compare);
    if (pattern.isEmpty())
        return Text;
    qsizetype pos = pattern.IndexIn(Text, 0);
    if (pos < 0)
        return Text;
    QString out;
    out.reserve(Text.size() + (Replacement.size() > Find.size() ? Text.size() / 8 : 0));
    qsizetype copied = 0;
    for (; pos >= 0; pos = pattern.IndexIn(Text, pos)) {
        out.append(QStringView(Text).sliced(copied, pos - copied));
        out.append(Replacement);
        pos += pattern.size();
        copied = pos;
    }
    out.append(QStringView(Text).sliced(copied));
    return out;
}
