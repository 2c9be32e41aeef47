// What a run asks of the person in front of it: message boxes, the folder
// picker, opening a document, and the locale and clock it reports in.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class RunDialogs
{
public:
    enum class Icon { Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~RunDialogs() = default;

    // A Yes/No box always has No as its default button.
    virtual Answer MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title) = 0;
    // The executable's name, the start of every message box title.
    virtual QString ApplicationTitle() const = 0;
    virtual QLocale Locale() const { return QLocale::system(); }
    virtual QDateTime Now() const { return QDateTime::currentDateTime(); }
    // The folder picker: the chosen folder, or an empty text when cancelled.
    virtual QString BrowseForFolder(const QString &) { return QString(); }
    // Opens a document with the application the system associates with it.
    virtual void OpenDocument(const QString &) {}
};
