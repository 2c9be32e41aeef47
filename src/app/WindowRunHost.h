// The main window as a run sees it: message boxes, the hourglass, the
// controls a run switches, the progress bar and the result list.
#pragma once

#include "RunHost.h"

#include <QElapsedTimer>
#include <functional>

class frmMain;

class WindowRunHost : public RunHost
{
public:
    explicit WindowRunHost(frmMain &window);

    RunOptions Options() const override;
    Answer MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    ListModel *ResultList() override;
    QString ApplicationTitle() const override;

    void ProcessEvents() override;
    void SetBusyCursor(bool busy) override;
    void SetInputsEnabled(bool on) override;
    void SetStopEnabled(bool on) override;
    void SetSaveEnabled(bool on) override;
    void SetNsChecked(bool on) override;
    void SetNsEnabled(bool on) override;
    void ShowPreparing(bool on) override;
    void SetInfo(const QString &text) override;
    void SetProgressBackground(unsigned colour) override;
    void DrawProgress(const ProgressBar::Request &request) override;
    void SetListRedraw(bool on) override;
    void SetListCheckboxes(bool on) override;
    void SetListToolTip(const QString &text) override;
    void CloseViewer() override;
    void SetBackupFolderCaption(const QString &text) override;
    void SetBackupButtonToolTip(const QString &text) override;
    void FocusPattern() override;
    QString BrowseForFolder(const QString &title) override;
    // The file dialog for a backup archive, opened in folder; the folder
    // hook answers it in tests.
    QString BrowseForArchive(const QString &folder);
    void OpenDocument(const QString &path) override;

    // Tests answer message boxes and pick folders here instead of a dialog.
    using MessageHook = std::function<Answer(const QString &text, Buttons, Icon, const QString &title)>;
    static void SetMessageHook(MessageHook hook);
    using FolderHook = std::function<QString(const QString &title)>;
    static void SetFolderHook(FolderHook hook);
    // Stands in for the desktop; false as when no program opens the file.
    using OpenHook = std::function<bool(const QString &path)>;
    static void SetOpenHook(OpenHook hook);

private:
    frmMain &m_window;
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sincePaint;
};
