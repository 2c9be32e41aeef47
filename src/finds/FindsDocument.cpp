// The finds document of one file, built without widgets.
#include "FindsDocument.h"

#include "FileNames.h"
#include "LineBreak.h"
#include "NativePath.h"
#include "NumberFormat.h"
#include "RichTextFind.h"
#include "SearchPattern.h"
#include "TextSearch.h"
#include "cFileResder.h"

#include <algorithm>

namespace {

using Range = FindsDocument::Range;

int findFlags(bool wholeWords, bool caseSensitive)
{
    return (caseSensitive ? RichTextFind::MatchCase : 0) | (wholeWords ? RichTextFind::WholeWord : 0);
}

// Pass A: every match of the find routine in [from, to), each search going on
// right behind the previous match.
void markMatches(QStringView text, const RichTextFind &finder, qsizetype length, qsizetype from, qsizetype to,
                 std::vector<Range> &red)
{
    RichTextFind::Box box{text, from, from};
    for (;;) {
        const qsizetype pos = finder.Find(box, -1, to);
        if (pos < 0)
            return;
        red.push_back({pos, length});
        box.selStart = box.selEnd = pos + length;
    }
}

// Pass B: the program's own word rule over [from, to). A rejected occurrence
// at 0-based f resumes the search at f + 1 + length, a taken one one character
// further (past the delimiter behind it), so the candidates it tries are not
// always those of pass A; what it takes is added to pass A's red.
void markWholeWords(QStringView text, const SearchPattern &pattern, qsizetype from, qsizetype to,
                    std::vector<Range> &red)
{
    const qsizetype n = pattern.size();
    const QStringView window = text.first(to);
    const char16_t *t = reinterpret_cast<const char16_t *>(text.data());
    qsizetype start = from;
    for (qsizetype f; (f = pattern.IndexIn(window, start)) >= 0;) {
        if (pattern.HoldsLineBreak() && LineBreak::SplitsPair(t, text.size(), f, n)) {
            start = f + 1; // as the run: no find, so the next may start inside it
            continue;
        }
        const bool hasAfter = f + n < text.size();
        const bool beforeWord = f > 0 && !TextSearch::IsWordDelimiter(t[f - 1]);
        const bool afterWord = hasAfter && !TextSearch::IsWordDelimiter(t[f + n]);
        if (beforeWord || afterWord) {
            start = f + 1 + n;
        } else {
            red.push_back({f, n});
            start = f + 1 + n + (hasAfter ? 1 : 0);
        }
    }
}

// Sorts the ranges and joins those that overlap, so every character is in at
// most one range; ranges that merely touch stay apart.
void normalise(std::vector<Range> &red)
{
    std::sort(red.begin(), red.end(), [](const Range &a, const Range &b) { return a.start < b.start; });
    std::vector<Range> out;
    out.reserve(red.size());
    for (const Range &r : red) {
        if (r.length <= 0)
            continue;
        if (!out.empty() && r.start < out.back().end())
            out.back().length = std::max(out.back().end(), r.end()) - out.back().start;
        else
            out.push_back(r);
    }
    red.swap(out);
}

void buildLineMode(FindsDocument &d, QStringView fileText, const QString &lookedFor, bool wholeWords,
                   bool caseSensitive, const QLocale &locale)
{
    const SearchPattern pattern(lookedFor, caseSensitive ? CompareMode::Binary : CompareMode::Text);
    const std::vector<QStringView> lines = FindsDocument::SplitLines(fileText);
    d.FileLines = static_cast<qsizetype>(lines.size());

    std::vector<qsizetype> taken;
    qsizetype size = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (FindsDocument::LineHolds(lines[i], pattern, wholeWords)) {
            taken.push_back(static_cast<qsizetype>(i));
            size += lines[i].size() + 12;
        }
    }

    // The lines are set down first and marked afterwards, each in its own
    // range: a find never reaches into a prefix or across a line.
    std::vector<Range> lineRanges;
    lineRanges.reserve(taken.size());
    d.Grey.reserve(taken.size());
    d.Text.reserve(size);
    for (const qsizetype i : taken) {
        const QString prefix = FindsDocument::LinePrefix(i + 1, locale);
        d.Grey.push_back({d.Text.size(), prefix.size()});
        d.Text += prefix;
        lineRanges.push_back({d.Text.size(), lines[static_cast<std::size_t>(i)].size()});
        d.Text += lines[static_cast<std::size_t>(i)];
        d.Text += QLatin1Char('\n');
    }

    const RichTextFind finder(lookedFor, findFlags(wholeWords, caseSensitive));
    d.Red.reserve(taken.size());
    for (const Range &r : lineRanges) {
        markMatches(d.Text, finder, pattern.size(), r.start, r.end(), d.Red);
        if (wholeWords)
            markWholeWords(d.Text, pattern, r.start, r.end(), d.Red);
    }
}

void buildWholeFileMode(FindsDocument &d, QStringView fileText, const QString &lookedFor, bool wholeWords,
                        bool caseSensitive)
{
    // The finds are looked for in the text as read, so they are exactly those
    // the run counted whatever the file's line ends; the view gets one
    // paragraph break per line end, and the ranges are moved to match.
    const SearchPattern pattern(lookedFor, caseSensitive ? CompareMode::Binary : CompareMode::Text);
    const RichTextFind finder(lookedFor, findFlags(wholeWords, caseSensitive));
    std::vector<Range> raw;
    markMatches(fileText, finder, pattern.size(), 0, -1, raw);
    if (wholeWords)
        markWholeWords(fileText, pattern, std::min<qsizetype>(1, fileText.size()), fileText.size(), raw);
    normalise(raw);

    std::vector<qsizetype> droppedLf; // raw index of the LF of every CR LF
    d.Text.resize(fileText.size());
    QChar *out = d.Text.data();
    qsizetype o = 0;
    for (qsizetype i = 0; i < fileText.size(); ++i) {
        const QChar c = fileText[i];
        if (c == QLatin1Char('\r')) {
            out[o++] = QLatin1Char('\n');
            if (i + 1 < fileText.size() && fileText[i + 1] == QLatin1Char('\n'))
                droppedLf.push_back(++i);
        } else {
            out[o++] = c;
        }
    }
    d.Text.truncate(o);

    auto shown = [&](qsizetype rawPos) {
        return rawPos - (std::lower_bound(droppedLf.begin(), droppedLf.end(), rawPos) - droppedLf.begin());
    };
    d.Red.reserve(raw.size());
    for (const Range &r : raw) {
        const qsizetype s = shown(r.start);
        const qsizetype e = shown(r.end());
        if (e > s)
            d.Red.push_back({s, e - s});
    }
}

} // namespace

std::vector<QStringView> FindsDocument::SplitLines(QStringView text)
{
    std::vector<QStringView> lines;
    const char16_t *t = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype n = text.size();
    qsizetype begin = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = t[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.push_back(text.sliced(begin, i - begin));
        if (c == u'\r' && i + 1 < n && t[i + 1] == u'\n')
            ++i;
        begin = i + 1;
    }
    lines.push_back(text.sliced(begin));
    return lines;
}

bool FindsDocument::LineHolds(QStringView line, const SearchPattern &pattern, bool wholeWords)
{
    const qsizetype n = pattern.size();
    qsizetype pos = pattern.IndexIn(line, 0);
    if (!wholeWords || pos < 0)
        return pos >= 0;
    const char16_t *t = reinterpret_cast<const char16_t *>(line.data());
    for (; pos >= 0; pos = pattern.IndexIn(line, pos + n)) {
        const bool beforeOk = pos == 0 || TextSearch::IsWordDelimiter(t[pos - 1]);
        const bool afterOk = pos + n >= line.size() || TextSearch::IsWordDelimiter(t[pos + n]);
        if (beforeOk && afterOk)
            return true;
    }
    return false;
}

QString FindsDocument::LinePrefix(qint64 lineNumber, const QLocale &locale)
{
    return QLatin1Char('Z') + NumberFormat::RightAlign6(NumberFormat::Grouped(lineNumber, locale)) +
           QLatin1String(": ");
}

FindsDocument FindsDocument::Build(QStringView fileText, const QString &path, const QString &lookedFor, bool wholeWords,
                                   bool caseSensitive, const QLocale &locale)
{
    FindsDocument d;
    const QString name = FileNames::FileNameOf(NativePath::Display(path));
    d.LineMode = SplitLines(lookedFor).size() == 1;
    if (d.LineMode) {
        d.Caption = QStringLiteral(" Die Fundstellen mit Zeilennummer für Datei: ") + name;
        d.PositionVisible = false;
        buildLineMode(d, fileText, lookedFor, wholeWords, caseSensitive, locale);
    } else {
        d.Caption = QStringLiteral(" Die Fundstellen für Datei: ") + name;
        d.PositionVisible = true;
        // Its line breaks are looked for in the form the run looked for them:
        // that of the file's first line break.
        const std::optional<LineBreak::Form> form = LineBreak::FirstIn(fileText);
        buildWholeFileMode(d, fileText, form ? LineBreak::InForm(lookedFor, *form) : lookedFor, wholeWords,
                           caseSensitive);
    }
    normalise(d.Red);

    // Without a red range the label points one past the last line, which is
    // where a search for the first one ends.
    const QStringView shown(d.Text);
    if (!d.Red.empty()) {
        d.FirstRedLine = shown.first(d.Red.front().start).count(QLatin1Char('\n'));
        d.PositionCaption = QStringLiteral("Zeile: ") + QString::number(d.FirstRedLine + 1);
    } else {
        d.PositionCaption = QStringLiteral("Zeile: ") + QString::number(shown.count(QLatin1Char('\n')) + 1);
    }
    return d;
}

FindsDocument FindsDocument::Load(cFileResder &reader, const QString &path, const QString &lookedFor, bool wholeWords,
                                  bool caseSensitive, const QLocale &locale)
{
    const QString text = reader.FileRead(path, false);
    FindsDocument d = Build(text, path, lookedFor, wholeWords, caseSensitive, locale);
    d.Encoding = reader.Encoding;
    return d;
}
