// The command line's output: one row per file with finds.
#include "ConsolePrinter.h"

#include "NativePath.h"
#include "cFileResder.h"

QByteArray ConsolePrinter::Escaped(const QByteArray &path)
{
    static const char Hex[] = "0123456789abcdef";
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
    const QByteArray line = QByteArray::number(result.CountMade()) + '\t' +
                            cFileResder::EncodingLabel(result.encoding).toUtf8() + '\t' +
                            (m_rows == Rows::Escaped ? Escaped(path) + '\n' : path + '\0');
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_out);
}
