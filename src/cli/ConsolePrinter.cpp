// The command line's output: one line per file with finds.
#include "ConsolePrinter.h"

#include "NativePath.h"
#include "cFileResder.h"

void ConsolePrinter::FileDone(const FileResult &result, int)
{
    if (result.count <= 0)
        return;
    // The path as the file system has it, byte for byte, so a script can
    // open exactly the file that was listed.
    const QByteArray line = QByteArray::number(result.count) + '\t' +
                            cFileResder::EncodingLabel(result.encoding).toUtf8() + '\t' +
                            NativePath::Encode(result.path) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_out);
}
