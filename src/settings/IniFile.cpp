// One INI file in memory: read forgivingly, edited key by key, saved as UTF-16LE with everything it did not know kept.
#include "IniFile.h"

#include "NativePath.h"
#include "PosixFile.h"
#include "Utf8.h"

#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString LineBreakMark = QStringLiteral("%cc%");

QString utf16(const QByteArray &bytes, qsizetype start, bool littleEndian)
{
    // An odd last byte is half a character: it is dropped.
    const qsizetype units = (bytes.size() - start) / 2;
    QString text(units, Qt::Uninitialized);
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData()) + start;
    for (qsizetype i = 0; i < units; ++i, b += 2)
        text[i] = QChar(littleEndian ? char16_t(b[0] | b[1] << 8) : char16_t(b[0] << 8 | b[1]));
    return text;
}

// The file's text by its byte-order mark; without one it is UTF-8 when
// well-formed and else 8-bit text, so a file edited by hand in any of the
// usual ways still loads.
QString decode(const QByteArray &bytes)
{
    const auto starts = [&bytes](const char *mark) { return bytes.startsWith(mark); };
    if (starts("\xFF\xFE"))
        return utf16(bytes, 2, true);
    if (starts("\xFE\xFF"))
        return utf16(bytes, 2, false);
    const QByteArray body = starts("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const std::size_t size = static_cast<std::size_t>(body.size());
    QString text;
    if (!Utf8::DecodeStrict(body.constData(), size, text))
        text = Utf8::DecodeLatin1(body.constData(), size);
    return text;
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path) {}

bool IniFile::Load()
{
    m_lines.clear();
    m_unreadable = false;
    // Anything but a regular file (a folder, a device, a pipe) might never
    // end or block the start-up: it counts as unreadable.
    struct stat st;
    const int fd = PosixFile::OpenRegular(NativePath::Encode(m_path).constData(), O_RDONLY, &st);
    if (fd == -ENOENT || fd == -ENOTDIR)
        return false;
    m_unreadable = fd < 0;
    if (m_unreadable)
        return false;
    QByteArray bytes(std::min<qint64>(st.st_size, MaxFileBytes), Qt::Uninitialized);
    const ssize_t got = PosixFile::ReadFull(fd, bytes.data(), static_cast<std::size_t>(bytes.size()));
    ::close(fd);
    m_unreadable = got < 0;
    if (m_unreadable)
        return false;
    bytes.resize(got);
    parse(decode(bytes));
    return true;
}

void IniFile::parse(const QString &decoded)
{
    QString text = decoded;
    // NUL characters end a value in most readers and cannot be typed: they
    // are damage. Dropping them also makes UTF-16 text without its mark
    // readable, which arrives here as 8-bit text with a NUL after each letter.
    text.remove(QChar(0));
    while (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    bool inSection = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QString line = text.mid(pos, end - pos);
        // CR LF, a lone CR and a lone LF all end a line.
        pos = end;
        if (pos < text.size() && text[pos] == u'\r')
            ++pos;
        if (pos < text.size() && text[pos] == u'\n')
            ++pos;

        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            m_lines.push_back({Line::Kind::Other, {}, {}});
        } else if (trimmed.startsWith(u'[')) {
            qsizetype close = trimmed.indexOf(u']');
            if (close < 0)
                close = trimmed.size();
            m_lines.push_back({Line::Kind::Section, trimmed.mid(1, close - 1), {}});
            inSection = true;
        } else if (trimmed.startsWith(u';') || trimmed.startsWith(u'#')) {
            m_lines.push_back({Line::Kind::Other, {}, line});
        } else if (const qsizetype eq = line.indexOf(u'='); eq >= 0 && inSection) {
            // The value stays exactly as written: blanks and quotes around a
            // search text belong to it.
            m_lines.push_back({Line::Kind::Key, line.left(eq).trimmed(), line.mid(eq + 1)});
        }
        // Anything else (a line without "=", a key before the first section)
        // no reader can reach; it is damage and is not written back.
    }
}

qsizetype IniFile::findSection(const QString &section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Kind::Section && sameName(m_lines[i].name, section))
            return qsizetype(i);
    }
    return -1;
}

qsizetype IniFile::findKey(const QString &section, const QString &key) const
{
    // A section that stands twice is read as one, the first key winning.
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line &l = m_lines[i];
        if (l.kind == Line::Kind::Section)
            inSection = sameName(l.name, section);
        else if (inSection && l.kind == Line::Kind::Key && sameName(l.name, key))
            return qsizetype(i);
    }
    return -1;
}

QString IniFile::ReadKey(const QString &section, const QString &key) const
{
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return QString();
    const QString &value = m_lines[size_t(i)].text;
    if (value.size() <= MaxValueLength)
        return value;
    // Never cut between the two halves of a character outside the BMP.
    qsizetype cut = MaxValueLength;
    if (value[cut - 1].isHighSurrogate() && value[cut].isLowSurrogate())
        --cut;
    return value.left(cut);
}

void IniFile::WriteKey(const QString &section, const QString &key, const QString &value)
{
    QString clean = value;
    clean.replace(QStringLiteral("\r\n"), LineBreakMark);
    clean.replace(u'\r', LineBreakMark);
    clean.replace(u'\n', LineBreakMark);
    clean.remove(QChar(0));

    if (const qsizetype i = findKey(section, key); i >= 0) {
        m_lines[size_t(i)].text = clean;
        return;
    }
    const Line entry{Line::Kind::Key, key.trimmed(), clean};
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.push_back({Line::Kind::Section, section, {}});
        m_lines.push_back(entry);
        return;
    }
    // After the section's last key, so blank lines and comments that close
    // the section stay between it and the next one.
    size_t at = size_t(header) + 1;
    for (size_t i = at; i < m_lines.size() && m_lines[i].kind != Line::Kind::Section; ++i) {
        if (m_lines[i].kind == Line::Kind::Key)
            at = i + 1;
    }
    m_lines.insert(m_lines.begin() + qsizetype(at), entry);
}

bool IniFile::Save() const
{
    // Overwriting a file that exists but could not be read would lose it.
    if (m_unreadable)
        return false;

    QString text;
    for (const Line &l : m_lines) {
        switch (l.kind) {
        case Line::Kind::Section:
            text += u'[' + l.name + u']';
            break;
        case Line::Kind::Key:
            text += l.name + u'=' + l.text;
            break;
        case Line::Kind::Other:
            text += l.text;
            break;
        }
        text += QStringLiteral("\r\n");
    }

    QByteArray bytes;
    bytes.reserve(2 + 2 * text.size());
    bytes.append("\xFF\xFE", 2);
    for (const QChar c : std::as_const(text)) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }

    // A settings file made read-only by its user stays as it is; a new one
    // gets the permissions any new file of the user gets.
    PosixFile::ReplaceOptions options;
    options.onlyWritable = true;
    options.newFileMode = 0666 & ~PosixFile::Umask();
    return bool(PosixFile::Replace(NativePath::Encode(m_path).constData(), bytes.constData(),
                                   static_cast<std::size_t>(bytes.size()), options));
}
