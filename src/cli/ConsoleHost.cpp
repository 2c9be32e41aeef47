// The run host of the command line.
#include "ConsoleHost.h"

#include <QCoreApplication>
#include <QFileInfo>

ConsoleHost::ConsoleHost(RunOptions options, bool answerYes, std::FILE *messages)
    : m_options(std::move(options)), m_answerYes(answerYes), m_messages(messages)
{}

QString ConsoleHost::ApplicationTitle() const
{
    const QString app = QCoreApplication::applicationFilePath();
    return app.isEmpty() ? QStringLiteral("velmora-cli") : QFileInfo(app).baseName();
}

RunDialogs::Answer ConsoleHost::MessageBox(const QString &text, Buttons buttons, Icon, const QString &)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (buttons == Buttons::Ok) {
        m_messageShown = true;
        std::fprintf(m_messages, "%s\n", shown.toLocal8Bit().constData());
        return Answer::Ok;
    }
    if (m_answerYes)
        return Answer::Yes;
    std::fprintf(m_messages, "%s\n\n%s\n", shown.toLocal8Bit().constData(), "Nein (ohne --yes wird nichts geändert).");
    return Answer::No;
}
