// The window as a run sees it: the inputs it reads, the controls it switches,
// the progress bar, the summary line and the result list. A front end
// without a window overrides only Options.
#pragma once

#include "ProgressBar.h"
#include "RunOptions.h"

#include <QString>

class ListModel;

class RunView
{
public:
    virtual ~RunView() = default;

    // The current state of the input controls.
    virtual RunOptions Options() const = 0;
    // The list the window draws, or none: a run then keeps a list of its own.
    virtual ListModel *ResultList() { return nullptr; }

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
