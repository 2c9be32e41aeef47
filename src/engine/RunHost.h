// Everything a run needs from its window: the inputs, message boxes, the
// result list and the controls it switches. The window, the command line and
// the tests each implement it; the run itself never touches a widget.
#pragma once

#include "ProgressBar.h"
#include "RunOptions.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

class ListModel;

class RunHost
{
public:
    enum class Icon { Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~RunHost() = default;

    // The current state of the input controls.
    virtual RunOptions Options() const = 0;
    // A Yes/No box always has No as its default button.
    virtual Answer MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title) = 0;
    virtual ListModel &ResultList() = 0;
    // The executable's name, the start of every message box title.
    virtual QString ApplicationTitle() const = 0;
    virtual QLocale Locale() const { return QLocale::system(); }
    virtual QDateTime Now() const { return QDateTime::currentDateTime(); }
    // The folder picker: the chosen folder, or an empty text when cancelled.
    virtual QString BrowseForFolder(const QString &) { return QString(); }
    // Opens a document with the application the system associates with it.
    virtual void OpenDocument(const QString &) {}

    // Lets the window handle pending events (the stop button among them).
    virtual void ProcessEvents() {}
    virtual void SetBusyCursor(bool) {}
    // Both start buttons, the drive and folder lists and the filter box.
    virtual void SetInputsEnabled(bool) {}
    virtual void SetStopEnabled(bool) {}
    virtual void SetSaveEnabled(bool) {}
    virtual void SetNsChecked(bool) {}
    virtual void SetNsEnabled(bool) {}
    virtual void ShowPreparing(bool) {}
    virtual void SetInfo(const QString &) {}
    virtual void SetProgressBackground(unsigned) {}
    virtual void DrawProgress(const ProgressBar::Request &) {}
    virtual void SetListRedraw(bool) {}
    virtual void SetListCheckboxes(bool) {}
    virtual void SetListToolTip(const QString &) {}
    virtual void CloseViewer() {}
    virtual void SetBackupFolderCaption(const QString &) {}
    virtual void SetBackupButtonToolTip(const QString &) {}
    virtual void FocusPattern() {}
};
