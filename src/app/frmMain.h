// The main window: inputs, start buttons and the result list.
#pragma once

#include "ElidedLabel.h"
#include "FolderIconProvider.h"
#include "ICustomDraw.h"
#include "SearchRun.h"
#include "WidgetSettingsControl.h"
#include "WindowRunHost.h"

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class ListView;
class RestoreRun;
class ProgressBox;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRect;
class QTimer;
class QTreeView;
class TextBoxW;

class frmMain : public QWidget, public ICustomDraw
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    static QString WindowCaption();

    // Row colours: light green when selected, white and pale yellow by turns,
    // grey separator columns.
    bool CustomDraw(int ItemIndex, int ColumnIndex, qint32 &BackColor, qint32 &ForeColor) override;

    SearchRun &Run() { return m_run; }

    // The controls, named as the rest of the program knows them.
    QComboBox *drvFolder;
    QTreeView *dirFolder;
    QListWidget *filFolder;
    QLineEdit *txtStartFolder;
    QLineEdit *txtPattern;
    std::array<QCheckBox *, 15> chkP{};
    TextBoxW *txtFindW;
    TextBoxW *txtReplaceW;
    std::array<QLabel *, 2> lblLen{};
    QPushButton *cmdSwap;
    std::array<QPushButton *, 2> cmdClear{};
    QCheckBox *chkUnterordner;
    QCheckBox *chkCaseSensitive;
    QCheckBox *chkNurGanzeWorte;
    QCheckBox *chkAuchSchreibschutz;
    QCheckBox *chkNS;
    QCheckBox *chkBackup;
    ElidedLabel *lblBackupFolder;
    QPushButton *cmdBackupFolder;
    QPushButton *cmdUndo;
    std::array<QPushButton *, 2> cmdStart{};
    QPushButton *cmdAbbruch;
    QPushButton *cmdSave;
    QLabel *lblVorbereitung;
    QLabel *lblInfo;
    ProgressBox *picProgress;
    ListView *ListView1;
    QTimer *Timer1;

    void chkP_Click();
    void txtPattern_Change();
    void cmdSwap_Click();
    void cmdClear_Click(int Index);
    void Timer1_Timer();
    void drvFolder_Change();
    void dirFolder_Change(const QString &path);
    void ListView1_DblClick(int row);
    void ListView1_ItemCheck();
    void cmdStart_Click(int Index);
    // Restores the files of a replace run from the backup archive the user picks.
    void cmdUndo_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class WindowRunHost;
    void buildControls();
    // One builder per group of controls, called in this order: each adds its
    // widgets to the layout given and, in the inputs grid, moves row on.
    void buildFolderPickers(QBoxLayout &top);
    void buildFolderAndFilterInputs(QGridLayout &inputs, int &row);
    void buildFileTypeBoxes(QGridLayout &inputs, int &row);
    void buildTextInputs(QGridLayout &inputs, int &row);
    void buildOptions(QGridLayout &inputs, int &row);
    void buildStartButtons(QGridLayout &inputs, int &row);
    void buildStatusAndList(QBoxLayout &root);
    void buildTimer();
    void setFocusOrder();
    // The events that reach across groups, wired once every control exists.
    void connectFolderAndListEvents();
    // The result columns as wide as their texts in the list's font; the
    // path column takes what the list has left.
    void sizeResultColumns();
    void loadSettings();
    void saveSettings();
    // The remembered size and position, never below the minimum size, and
    // the maximised state.
    void restoreWindow(const QRect &geometry, bool maximized);
    // Expands the tree down to the folder in txtStartFolder and highlights
    // it, or highlights nothing when it is no folder; scroll brings it into
    // view even when it is highlighted already.
    void followStartFolder(bool scroll);
    QString currentFolder() const;

    WindowRunHost m_host;
    SearchRun m_run;
    FolderIconProvider m_folderIcons; // outlives m_folders (see the destructor)
    QFileSystemModel *m_folders;
    std::vector<std::unique_ptr<WidgetSettingsControl>> m_settings;
    RestoreRun *m_restore = nullptr; // while a restore runs
    bool m_closeAfterRun = false;
    bool m_settingsSaved = false;
    // The tree keeps the start folder in view while folders load, until the
    // user scrolls or clicks in it.
    bool m_treeScrollPending = false;
};
