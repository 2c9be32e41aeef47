// The finds document of one file, built without widgets: the text the viewer
// shows, its red and grey ranges, the caption and the first red line.
#pragma once

#include "TextEncoding.h"

#include <QLocale>
#include <QString>
#include <QStringView>
#include <vector>

class cFileResder;
class SearchPattern;

class FindsDocument
{
public:
    // A run of characters of Text, 0-based.
    struct Range
    {
        qsizetype start = 0;
        qsizetype length = 0;
        qsizetype end() const { return start + length; }
        bool operator==(const Range &) const = default;
    };

    // Reads the file through the reader (which never creates it: a missing
    // file reads as empty text) and builds its document.
    static FindsDocument Load(cFileResder &reader, const QString &path, const QString &lookedFor, bool wholeWords,
                              bool caseSensitive, const QLocale &locale = QLocale::system());

    // Builds the document of a file's text. A looked-for text of one line
    // gives line mode (the lines that hold it, numbered); one with a line
    // break gives whole-file mode (the whole text).
    static FindsDocument Build(QStringView fileText, const QString &path, const QString &lookedFor, bool wholeWords,
                               bool caseSensitive, const QLocale &locale = QLocale::system());

    // "Z", the 1-based line number grouped ("##,##0") and right-aligned to six
    // characters, ": ".
    static QString LinePrefix(qint64 lineNumber, const QLocale &locale);

    // The lines of a text: CR LF, LF and CR each end one. A text that ends in
    // a line end has an empty last line, so a text always has at least one.
    static std::vector<QStringView> SplitLines(QStringView text);

    // Whether the line holds the looked-for text; with whole words the
    // occurrences are tried left to right without overlapping, and the first
    // one whose neighbours are delimiters (or the line's ends) takes the line.
    static bool LineHolds(QStringView line, const SearchPattern &pattern, bool wholeWords);

    bool LineMode = true;
    QString Caption;
    bool PositionVisible = false; // the caret position label
    // Paragraphs separated by a single '\n' (one position each, as in the
    // text view); in line mode every shown line ends with one.
    QString Text;
    std::vector<Range> Red;                     // the occurrences: ascending, never overlapping
    std::vector<Range> Grey;                    // the line prefixes ("courier new" 8): ascending
    qsizetype FirstRedLine = -1;                // 0-based paragraph of the first red range
    QString PositionCaption;                    // "Zeile: " and the 1-based line of the first red range
    qsizetype FileLines = 0;                    // lines of the file (line mode), shown or not
    TextEncoding Encoding = TextEncoding::Ansi; // as the reader reported it
};
