// The run host of the command line: inputs from the arguments, messages on
// standard error, questions answered by --yes (or No without it).
#pragma once

#include "RunDialogs.h"
#include "RunView.h"

#include <QString>
#include <cstdio>

class ConsoleHost : public RunDialogs, public RunView
{
public:
    ConsoleHost(RunOptions options, bool answerYes, std::FILE *messages = stderr);

    RunOptions Options() const override { return m_options; }
    Answer MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    QString ApplicationTitle() const override;

    // Whether a message (not a question) was shown: the run is then not a
    // plain success.
    bool MessageShown() const { return m_messageShown; }

private:
    RunOptions m_options;
    bool m_answerYes;
    std::FILE *m_messages;
    bool m_messageShown = false;
};
