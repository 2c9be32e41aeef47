// The run host of the command line: inputs from the arguments, messages on
// standard error, questions answered by --yes (or No without it).
#pragma once

#include "ListModel.h"
#include "RunHost.h"

#include <QString>

#include <cstdio>

class ConsoleHost : public RunHost
{
public:
    ConsoleHost(RunOptions options, bool answerYes, std::FILE *messages = stderr);

    RunOptions Options() const override { return m_options; }
    Answer MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    ListModel &ResultList() override { return m_list; }
    QString ApplicationTitle() const override;
    void SetInfo(const QString &text) override { m_info = text; }

    const QString &Info() const { return m_info; }
    // Whether a message (not a question) was shown: the run is then not a
    // plain success.
    bool MessageShown() const { return m_messageShown; }

private:
    RunOptions m_options;
    bool m_answerYes;
    std::FILE *m_messages;
    ListModel m_list;
    QString m_info;
    bool m_messageShown = false;
};
