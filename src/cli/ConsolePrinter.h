// The command line's output: one row per file with finds, as the pass
// reports it: the count, the encoding and the path, separated by tabs.
#pragma once

#include "ResultSink.h"

#include <QByteArray>
#include <cstdio>

class ConsolePrinter : public ResultSink
{
public:
    // Escaped: each row ends with a newline, and control bytes and the
    // backslash in the path are escaped so no name can break a row.
    // NulTerminated: each row ends with a NUL and the path is its raw bytes.
    enum class Rows { Escaped, NulTerminated };

    explicit ConsolePrinter(std::FILE *out = stdout, Rows rows = Rows::Escaped) : m_out(out), m_rows(rows) {}
    void FileDone(const FileResult &result, int position) override;

    // "\n", "\t", "\r" and "\\" for those bytes, "\xHH" (lower-case hex) for
    // every other byte below 0x20 and 0x7F; all other bytes as they are, so
    // the escaping is undone byte for byte.
    static QByteArray Escaped(const QByteArray &path);

private:
    std::FILE *m_out;
    Rows m_rows;
};
