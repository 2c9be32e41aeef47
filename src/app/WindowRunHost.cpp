// The main window as a run sees it.
#include "WindowRunHost.h"

#include "ListView.h"
#include "ProgressBox.h"
#include "TextBoxW.h"
#include "frmMain.h"
#include "frmRTF.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>

namespace {

WindowRunHost::MessageHook &messageHook()
{
    static WindowRunHost::MessageHook hook;
    return hook;
}

WindowRunHost::FolderHook &folderHook()
{
    static WindowRunHost::FolderHook hook;
    return hook;
}

WindowRunHost::OpenHook &openHook()
{
    static WindowRunHost::OpenHook hook;
    return hook;
}

// Repainting the progress bar after every one of 16,000 files would cost
// more than the work; a run looks alive with a few repaints a second.
constexpr qint64 kPaintEveryMs = 50;
constexpr qint64 kEventsEveryMs = 15;

} // namespace

WindowRunHost::WindowRunHost(frmMain &window) : m_window(window)
{
    m_sinceEvents.start();
    m_sincePaint.start();
}

void WindowRunHost::SetMessageHook(MessageHook hook)
{
    messageHook() = std::move(hook);
}

void WindowRunHost::SetFolderHook(FolderHook hook)
{
    folderHook() = std::move(hook);
}

void WindowRunHost::SetOpenHook(OpenHook hook)
{
    openHook() = std::move(hook);
}

RunOptions WindowRunHost::Options() const
{
    const frmMain &w = m_window;
    RunOptions o;
    o.txtStartFolder = w.txtStartFolder->text();
    o.txtPattern = w.txtPattern->text();
    o.txtFindW = w.txtFindW->Text();
    o.txtReplaceW = w.txtReplaceW->Text();
    o.chkUnterordner = w.chkUnterordner->isChecked() ? 1 : 0;
    o.chkCaseSensitive = w.chkCaseSensitive->isChecked() ? 1 : 0;
    o.chkNurGanzeWorte = w.chkNurGanzeWorte->isChecked() ? 1 : 0;
    o.chkAuchSchreibschutz = w.chkAuchSchreibschutz->isChecked() ? 1 : 0;
    o.chkNS = w.chkNS->isChecked() ? 1 : 0;
    o.chkBackup = w.chkBackup->isChecked() ? 1 : 0;
    return o;
}

RunHost::Answer WindowRunHost::MessageBox(const QString &text, Buttons buttons, Icon icon, const QString &title)
{
    if (messageHook())
        return messageHook()(text, buttons, icon, title);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(&m_window);
    box.setWindowTitle(title);
    box.setText(shown);
    box.setIcon(icon == Icon::Question      ? QMessageBox::Question
                : icon == Icon::Exclamation ? QMessageBox::Warning
                : icon == Icon::Critical    ? QMessageBox::Critical
                                            : QMessageBox::Information);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

ListModel *WindowRunHost::ResultList()
{
    return &m_window.ListView1->Model();
}

QString WindowRunHost::ApplicationTitle() const
{
    return QCoreApplication::applicationName();
}

void WindowRunHost::ProcessEvents()
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventsEveryMs)
        return;
    m_sinceEvents.start();
    QCoreApplication::processEvents();
}

void WindowRunHost::SetBusyCursor(bool busy)
{
    if (busy && !QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy)
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

void WindowRunHost::SetInputsEnabled(bool on)
{
    m_sinceEvents.invalidate(); // a run starts or ends: let the next events through at once
    for (QWidget *w : std::initializer_list<QWidget *>{m_window.cmdStart[0], m_window.cmdStart[1], m_window.drvFolder,
                                                       m_window.dirFolder, m_window.txtPattern, m_window.cmdUndo})
        w->setEnabled(on);
}

void WindowRunHost::SetStopEnabled(bool on)
{
    m_window.cmdAbbruch->setEnabled(on);
}

void WindowRunHost::SetSaveEnabled(bool on)
{
    m_window.cmdSave->setEnabled(on);
}

void WindowRunHost::SetNsChecked(bool on)
{
    m_window.chkNS->setChecked(on);
}

void WindowRunHost::SetNsEnabled(bool on)
{
    m_window.chkNS->setEnabled(on);
}

void WindowRunHost::ShowPreparing(bool on)
{
    m_window.lblVorbereitung->setVisible(on);
}

void WindowRunHost::SetInfo(const QString &text)
{
    m_window.lblInfo->setText(text);
}

void WindowRunHost::SetProgressBackground(unsigned colour)
{
    m_window.picProgress->SetBackground(colour);
}

void WindowRunHost::DrawProgress(const ProgressBar::Request &request)
{
    if (request.Running && m_sincePaint.elapsed() < kPaintEveryMs)
        return;
    m_sincePaint.restart();
    m_window.picProgress->Draw(request);
}

void WindowRunHost::SetListRedraw(bool on)
{
    m_window.ListView1->SetRedraw(on);
}

void WindowRunHost::SetListCheckboxes(bool on)
{
    m_window.ListView1->SetCheckboxes(on);
}

void WindowRunHost::SetListToolTip(const QString &text)
{
    m_window.ListView1->setToolTip(text);
}

void WindowRunHost::CloseViewer()
{
    frmRTF::CloseViewer();
}

void WindowRunHost::SetBackupFolderCaption(const QString &text)
{
    m_window.lblBackupFolder->SetFullText(text);
}

void WindowRunHost::SetBackupButtonToolTip(const QString &text)
{
    m_window.cmdBackupFolder->setToolTip(text);
}

void WindowRunHost::FocusPattern()
{
    m_window.txtPattern->setFocus();
}

QString WindowRunHost::BrowseForFolder(const QString &title)
{
    if (folderHook())
        return folderHook()(title);
    return QFileDialog::getExistingDirectory(&m_window, title, QString(), QFileDialog::ShowDirsOnly);
}

QString WindowRunHost::BrowseForArchive(const QString &folder)
{
    const QString title = QStringLiteral("Backup-Archiv zum Wiederherstellen wählen");
    if (folderHook())
        return folderHook()(title);
    // Without a backup folder the home folder is a better start than wherever the program was started.
    return QFileDialog::getOpenFileName(&m_window, title, folder.isEmpty() ? QDir::homePath() : folder,
                                        QStringLiteral("Backup-Archive (backup-*.zip)"));
}

void WindowRunHost::OpenDocument(const QString &path)
{
    const bool opened = openHook() ? openHook()(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    // Without a program for the file type nothing would happen at all.
    if (!opened)
        MessageBox(QStringLiteral("Für die Datei \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(path),
                   Buttons::Ok, Icon::Exclamation, ApplicationTitle());
}
