// The command line's output: one line per file with finds, as the pass
// reports it: the count, the encoding and the path, separated by tabs.
#pragma once

#include "ResultSink.h"

#include <cstdio>

class ConsolePrinter : public ResultSink
{
public:
    explicit ConsolePrinter(std::FILE *out = stdout) : m_out(out) {}
    void FileDone(const FileResult &result, int position) override;

private:
    std::FILE *m_out;
};
