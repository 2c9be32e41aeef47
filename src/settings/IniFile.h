// One INI file in memory: read forgivingly, edited key by key, saved as UTF-16LE with everything it did not know kept.
#pragma once

#include <QString>
#include <vector>

class IniFile
{
public:
    // Longest value ReadKey returns; longer values are cut.
    static constexpr qsizetype MaxValueLength = 2048;
    // Bytes read at most from a (damaged) file; what lies beyond is dropped.
    static constexpr qsizetype MaxFileBytes = 16 * 1024 * 1024;

    explicit IniFile(const QString &path);

    // Reads the file; false when it is missing or unreadable (the content is
    // then empty). A damaged file loads whatever lines can be made out.
    bool Load();

    // The value, cut to MaxValueLength characters; "" when the key is missing.
    // Sections and keys compare case-insensitively and without outer blanks.
    QString ReadKey(const QString &section, const QString &key) const;
    // Whether the key is there at all, an empty value included.
    bool HasKey(const QString &section, const QString &key) const { return findKey(section, key) >= 0; }

    // Sets the value in memory, adding the section and key when missing. A
    // line break in the value is stored as "%cc%" so that it cannot split
    // the line.
    void WriteKey(const QString &section, const QString &key, const QString &value);

    // Writes the whole content as UTF-16LE with FF FE and CR LF through a
    // temporary file renamed over the old one; false (old file untouched)
    // when that fails, when the file is read-only, or when Load found the
    // file but could not read it.
    bool Save() const;

    const QString &Path() const { return m_path; }

private:
    struct Line
    {
        enum class Kind { Section, Key, Other };
        Kind kind = Kind::Other;
        QString name; // section name as written between the brackets, or the trimmed key
        QString text; // the value of a key, or the whole of any other line
    };

    void parse(const QString &text);
    qsizetype findKey(const QString &section, const QString &key) const;
    qsizetype findSection(const QString &section) const;

    QString m_path;
    std::vector<Line> m_lines;
    bool m_unreadable = false;
};
