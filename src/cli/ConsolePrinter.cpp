// The command line's output: one row per file with finds.
#include "ConsolePrinter.h"

#include "NativePath.h"
#include "cFileResder.h"

#include <algorithm>
#include <cstdio>

QByteArray ConsolePrinter::Escaped(const QByteArray &path)
{
    static const char Hex[] = "0123456789abcdef";
    const auto plain = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b != 0x7F && b != '\\';
    };
    // Most paths need no escape: they are passed on as they are.
    if (std::all_of(path.begin(), path.end(), plain))
        return path;
    QByteArray out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                out += "\\x";
                out += Hex[b >> 4];
                out += Hex[b & 15];
            } else {
                out += c;
            }
        }
    }
    return out;
}

void ConsolePrinter::FileDone(const FileResult &result, int)
{
    if (result.count <= 0)
        return;
    // The path as the file system has it, so a script can open exactly the
    // file that was listed (raw, or once the escapes are undone).
    const QByteArray path = NativePath::Encode(result.path);
    const QByteArray shown = m_rows == Rows::Escaped ? Escaped(path) : path;
    // Written in pieces to the stream's buffer: a run may print a row for
    // each of a few hundred thousand files.
    std::fprintf(m_out, "%lld\t%s\t", static_cast<long long>(result.CountMade()),
                 cFileResder::EncodingLabel(result.encoding).toUtf8().constData());
    std::fwrite(shown.constData(), 1, static_cast<std::size_t>(shown.size()), m_out);
    std::fputc(m_rows == Rows::Escaped ? '\n' : '\0', m_out);
}
