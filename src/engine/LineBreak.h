// The line break a file writes (CR LF, LF or CR) and a search or new text put
// into that form, so a multi-line find matches the file's own breaks and a
// replace never changes the file's line-end style.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

class LineBreak
{
public:
    enum class Form { CrLf = 0, Lf = 1, Cr = 2 };

    // Whether the text holds a CR or an LF.
    static bool In(QStringView text);

    // The form of the text's first line break; none when it holds none.
    static std::optional<Form> FirstIn(QStringView text);

    // The same for a file's bytes (mark included): UTF-16 is looked at in
    // code units as its mark says, all else in bytes, where CR and LF are
    // the same in ANSI and UTF-8.
    static std::optional<Form> FirstInBytes(const char *data, qsizetype size);
    // The same for an open file, read a piece at a time from its start
    // without moving its offset; none, too, when it cannot be read.
    static std::optional<Form> FirstInFile(int fd);

    // Whether the n units at pos would take one half of a CR LF (the text
    // is at least pos + n long): in a file of mixed line ends a find in the
    // LF or CR form must not, or its replace would leave the other half.
    static bool SplitsPair(const char16_t *text, qsizetype size, qsizetype pos, qsizetype n)
    {
        return (text[pos] == u'\n' && pos > 0 && text[pos - 1] == u'\r') ||
               (text[pos + n - 1] == u'\r' && pos + n < size && text[pos + n] == u'\n');
    }

    // The text with every line break (CR LF, LF or a lone CR) in this form.
    static QString InForm(QStringView text, Form form);
};
