// The main window: inputs, start buttons and the result list.
#include "frmMain.h"

#include "AppPaths.h"
#include "FileNames.h"
#include "ListModel.h"
#include "ListView.h"
#include "ProgressBox.h"
#include "RestoreRun.h"
#include "TextBoxW.h"
#include "WindowSettings.h"
#include "frmRTF.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const char *const kPatterns[15] = {"*.txt", "*.htm", "*.inc", "*.frm", "*.bat", "*.csv", "*.html", "*.css",
                                   "*.bas", "*.log", "*.asc", "*.php", "*.js",  "*.cls", "*.ini"};

QPushButton *button(const QString &caption, const QString &toolTip, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setToolTip(toolTip);
    return b;
}

QCheckBox *check(const QString &caption, QWidget *parent)
{
    return new QCheckBox(caption, parent);
}

} // namespace

frmMain::frmMain(QWidget *parent) : QWidget(parent), m_host(*this), m_run(m_host)
{
    buildControls();
    loadSettings();

    setWindowTitle(WindowCaption());
    lblInfo->clear();
    // A restored start folder stays as typed; only without one does the
    // tree's folder fill in.
    if (txtStartFolder->text().isEmpty() && !currentFolder().isEmpty())
        txtStartFolder->setText(currentFolder());
    chkP_Click();
    txtPattern->setToolTip(QStringLiteral(
        "Hier nicht aufgeführte Dateifilter können von Hand ergänzt werden. Separiert durch ein Semikolon. Keine "
        "Binärdateien, wie z.B. exe, dll, pdf oder Grafikdateien."));
    ListView1->SetRedraw(false);
    SearchRun::AddResultColumns(ListView1->Model());
    ListView1->SetDrawCallback(this);
    sizeResultColumns();
    connect(ListView1, &ListView::FontApplied, this, &frmMain::sizeResultColumns);
    ListView1->viewport()->installEventFilter(this);
    for (int i = 0; i < 12; ++i)
        ListView1->Model().AddItem();
    ListView1->SetRedraw(true);
    txtFindW->SetMultiLine(true);
    txtFindW->SetScrollBars(3);
    txtReplaceW->SetMultiLine(true);
    txtReplaceW->SetScrollBars(3);
    setFocusOrder();
    m_run.AbortFlag = 0;
}

frmMain::~frmMain()
{
    saveSettings();
    // The tree's model asks the icon provider on a thread of its own until
    // it is gone; as a child it would go after the provider.
    delete m_folders;
}

QString frmMain::WindowCaption()
{
    return QStringLiteral("Velmora - Dateiübergreifend Suchen & Ersetzen");
}

void frmMain::buildControls()
{
    // Usable on a 1024x768 screen; 1180x800 when there is room and no
    // remembered size.
    setMinimumSize(1024, 700);
    resize(1180, 800);
    auto *root = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    root->addLayout(top);
    buildFolderPickers(*top);

    auto *inputs = new QGridLayout;
    top->addLayout(inputs, 1);
    int row = 0;
    buildFolderAndFilterInputs(*inputs, row);
    buildFileTypeBoxes(*inputs, row);
    buildTextInputs(*inputs, row);
    buildOptions(*inputs, row);
    buildStartButtons(*inputs, row);

    buildStatusAndList(*root);
    buildTimer();
    connectFolderAndListEvents();

    dirFolder_Change(QDir::currentPath());
}

void frmMain::buildFolderPickers(QBoxLayout &top)
{
    auto *Frame1 = new QGroupBox(QStringLiteral("Startordner für die Suche auswählen:"), this);
    auto *pickers = new QVBoxLayout(Frame1);
    drvFolder = new QComboBox(Frame1);
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady())
            drvFolder->addItem(v.rootPath());
    dirFolder = new QTreeView(Frame1);
    m_folders = new QFileSystemModel(this);
    m_folders->setIconProvider(&m_folderIcons);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_folders->setRootPath(QStringLiteral("/"));
    dirFolder->setModel(m_folders);
    for (int c = 1; c < m_folders->columnCount(); ++c)
        dirFolder->hideColumn(c);
    dirFolder->header()->hide();
    filFolder = new QListWidget(Frame1);
    filFolder->setFrameShape(QFrame::NoFrame);
    pickers->addWidget(drvFolder);
    pickers->addWidget(dirFolder, 3);
    pickers->addWidget(filFolder, 2);
    Frame1->setFixedWidth(300);
    top.addWidget(Frame1);
}

void frmMain::buildFolderAndFilterInputs(QGridLayout &inputs, int &row)
{
    inputs.addWidget(new QLabel(QStringLiteral("Gewählter Startordner für die Suche:"), this), row++, 0, 1, 4);
    txtStartFolder = new QLineEdit(this);
    inputs.addWidget(txtStartFolder, row++, 0, 1, 4);
    inputs.addWidget(new QLabel(QStringLiteral("Dateifilter:"), this), row++, 0, 1, 4);
    txtPattern = new QLineEdit(this);
    inputs.addWidget(txtPattern, row++, 0, 1, 4);
}

void frmMain::buildFileTypeBoxes(QGridLayout &inputs, int &row)
{
    auto *types = new QGridLayout;
    for (int i = 0; i < 15; ++i) {
        chkP[static_cast<std::size_t>(i)] = check(QString::fromLatin1(kPatterns[i]), this);
        types->addWidget(chkP[static_cast<std::size_t>(i)], i / 8, i % 8);
        connect(chkP[static_cast<std::size_t>(i)], &QCheckBox::clicked, this, &frmMain::chkP_Click);
    }
    for (int i : {0, 1, 6, 11})
        chkP[static_cast<std::size_t>(i)]->setChecked(true);
    inputs.addLayout(types, row++, 0, 1, 4);
}

void frmMain::buildTextInputs(QGridLayout &inputs, int &row)
{
    inputs.addWidget(new QLabel(QStringLiteral("Suchtext:"), this), row, 0);
    lblLen[0] = new QLabel(QStringLiteral("0 Zeichen"), this);
    inputs.addWidget(lblLen[0], row, 1);
    inputs.addWidget(new QLabel(QStringLiteral("Ersetzen mit:"), this), row, 2);
    lblLen[1] = new QLabel(QStringLiteral("0 Zeichen"), this);
    inputs.addWidget(lblLen[1], row++, 3);
    txtFindW = new TextBoxW(this);
    txtReplaceW = new TextBoxW(this);
    txtFindW->setMinimumHeight(90);
    txtReplaceW->setMinimumHeight(90);
    auto *texts = new QHBoxLayout;
    texts->addWidget(txtFindW, 1);
    auto *middle = new QVBoxLayout;
    cmdSwap = button(QStringLiteral("⇄"), QStringLiteral("Vertauscht den Inhalt der Textfelder."), this);
    cmdClear[0] = button(QStringLiteral("C"), QStringLiteral("Textfeld löschen"), this);
    cmdClear[1] = button(QStringLiteral("C"), QStringLiteral("Textfeld löschen"), this);
    for (QPushButton *b : {cmdClear[0], cmdSwap, cmdClear[1]}) {
        b->setFixedWidth(32);
        middle->addWidget(b);
    }
    texts->addLayout(middle);
    texts->addWidget(txtReplaceW, 1);
    inputs.addLayout(texts, row++, 0, 1, 4);
    connect(cmdSwap, &QPushButton::clicked, this, &frmMain::cmdSwap_Click);
    connect(cmdClear[0], &QPushButton::clicked, this, [this] { cmdClear_Click(0); });
    connect(cmdClear[1], &QPushButton::clicked, this, [this] { cmdClear_Click(1); });
}

void frmMain::buildOptions(QGridLayout &inputs, int &row)
{
    chkUnterordner = check(QStringLiteral("Unterorder einbeziehen?"), this);
    chkCaseSensitive = check(QStringLiteral("Gross/Kleinschreibung beachten?"), this);
    chkNurGanzeWorte = check(QStringLiteral("Nur ganze Worte berücksichtigen?"), this);
    chkAuchSchreibschutz = check(QStringLiteral("Auch in schreibgeschützten Dateien Text suchen oder ersetzen?"), this);
    chkNS = check(QStringLiteral("Nur selektierte Dateien ersetzen?"), this);
    chkNS->setEnabled(false);
    chkBackup = check(QStringLiteral("Ein Backup erstellen (als ZipDatei)?"), this);
    chkBackup->setToolTip(QStringLiteral(" Vor dem Ersetzen wird im ausgewählten Backup-Ordner (mit Button B)  ein "
                                         "Backup der zu ändernden Dateien erstellt. (als Zip-Datei mit Datum und "
                                         "Uhrzeit)"));
    inputs.addWidget(chkUnterordner, row, 0, 1, 2);
    inputs.addWidget(chkCaseSensitive, row++, 2, 1, 2);
    inputs.addWidget(chkNurGanzeWorte, row, 0, 1, 2);
    inputs.addWidget(chkNS, row++, 2, 1, 2);
    inputs.addWidget(chkAuchSchreibschutz, row++, 0, 1, 4);
    auto *backup = new QHBoxLayout;
    backup->addWidget(chkBackup);
    cmdBackupFolder = button(QStringLiteral("B"), QStringLiteral("Einen Backupordner auswählen oder erstellen."), this);
    cmdBackupFolder->setFixedWidth(32);
    backup->addWidget(cmdBackupFolder);
    lblBackupFolder = new ElidedLabel(QStringLiteral("Backupordner:"), this);
    backup->addWidget(lblBackupFolder, 1);
    cmdUndo =
        button(QStringLiteral("Rückgängig…"), QStringLiteral("Dateien aus einem Backup-Archiv wiederherstellen"), this);
    backup->addWidget(cmdUndo);
    inputs.addLayout(backup, row++, 0, 1, 4);
    connect(cmdBackupFolder, &QPushButton::clicked, this, [this] { m_run.cmdBackupFolder_Click(); });
    connect(cmdUndo, &QPushButton::clicked, this, &frmMain::cmdUndo_Click);
}

void frmMain::buildStartButtons(QGridLayout &inputs, int &row)
{
    auto *buttons = new QHBoxLayout;
    cmdStart[0] = button(QStringLiteral("Nur Suche"),
                         QStringLiteral("Es wird nur geprüft wie oft der Suchtext in den einzelnen Dateien vorkommt. "
                                        "Die Dateien werden nicht verändert."),
                         this);
    cmdStart[1] = new QPushButton(QStringLiteral("Suchen && Ersetzen"), this);
    cmdAbbruch = button(QStringLiteral("A"), QStringLiteral("Suchlauf abbrechen"), this);
    cmdAbbruch->setEnabled(false);
    // The log opens in the desktop's editor; the tip tells where it is kept in case none opens.
    cmdSave = button(
        QStringLiteral("P"),
        QStringLiteral("Speichert die Liste in einer Protokolldatei.\nProtokolldatei: ") + AppPaths::LogPath(), this);
    cmdSave->setEnabled(false);
    for (QPushButton *b : {cmdStart[0], cmdStart[1]})
        buttons->addWidget(b, 1);
    for (QPushButton *b : {cmdAbbruch, cmdSave}) {
        b->setFixedWidth(32);
        buttons->addWidget(b);
    }
    inputs.addLayout(buttons, row++, 0, 1, 4);
    connect(cmdStart[0], &QPushButton::clicked, this, [this] { cmdStart_Click(0); });
    connect(cmdStart[1], &QPushButton::clicked, this, [this] { cmdStart_Click(1); });
    connect(cmdAbbruch, &QPushButton::clicked, this, [this] {
        if (m_restore)
            m_restore->Stop();
        else
            m_run.cmdAbbruch_Click();
    });
    connect(cmdSave, &QPushButton::clicked, this, [this] { m_run.cmdSave_Click(); });
}

void frmMain::buildStatusAndList(QBoxLayout &root)
{
    lblVorbereitung = new QLabel(QStringLiteral("Die Suche wird vorbereitet..."), this);
    lblVorbereitung->hide();
    picProgress = new ProgressBox(this);
    picProgress->setFixedHeight(20);
    lblInfo = new QLabel(this);
    lblInfo->setWordWrap(true);
    lblInfo->setMinimumHeight(34);
    ListView1 = new ListView(this);
    ListView::ApplyResultListDesign(*ListView1);
    root.addWidget(lblVorbereitung);
    root.addWidget(picProgress);
    root.addWidget(lblInfo);
    // Extra height goes to the list alone.
    root.addWidget(ListView1, 1);
}

void frmMain::setFocusOrder()
{
    // Top left to bottom right, as the window reads; set once the text boxes
    // have their final editors, which join the focus chain at its end.
    std::vector<QWidget *> order = {drvFolder, dirFolder, filFolder, txtStartFolder, txtPattern};
    order.insert(order.end(), chkP.begin(), chkP.end());
    order.insert(order.end(),
                 {txtFindW->Editor(), cmdClear[0], cmdSwap, cmdClear[1], txtReplaceW->Editor(), chkUnterordner,
                  chkCaseSensitive, chkNurGanzeWorte, chkNS, chkAuchSchreibschutz, chkBackup, cmdBackupFolder, cmdUndo,
                  cmdStart[0], cmdStart[1], cmdAbbruch, cmdSave, ListView1});
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmMain::buildTimer()
{
    Timer1 = new QTimer(this);
    Timer1->setInterval(75);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    Timer1->start();
}

void frmMain::connectFolderAndListEvents()
{
    connect(txtPattern, &QLineEdit::textChanged, this, &frmMain::txtPattern_Change);
    connect(drvFolder, &QComboBox::currentTextChanged, this, &frmMain::drvFolder_Change);
    // The tree shows the start folder, whoever changes it: typing, a restore,
    // or the folder vanishing and coming back (the tree would otherwise
    // move its highlight to a neighbour).
    connect(txtStartFolder, &QLineEdit::textChanged, this, [this] {
        followStartFolder(true);
        txtPattern_Change();
    });
    // Rows still arrive and get sorted after the start folder was scrolled
    // to; it stays in view until the user takes over the tree.
    for (auto rowsChanged : {&QFileSystemModel::rowsInserted, &QFileSystemModel::rowsRemoved})
        connect(m_folders, rowsChanged, this, [this] { followStartFolder(m_treeScrollPending); });
    connect(m_folders, &QFileSystemModel::layoutChanged, this, [this] { followStartFolder(m_treeScrollPending); });
    connect(dirFolder->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { m_treeScrollPending = false; });
    connect(dirFolder, &QTreeView::pressed, this, [this] { m_treeScrollPending = false; });
    // Folders load in the background: once the start folder's ancestors
    // are read, it has its final row and can be scrolled to.
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        const QString start = QDir::cleanPath(txtStartFolder->text());
        if (start == loaded || start.startsWith(loaded.endsWith(QLatin1Char('/')) ? loaded : loaded + QLatin1Char('/')))
            followStartFolder(true);
    });
    // A single click enters a folder.
    connect(dirFolder, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { dirFolder_Change(m_folders->filePath(index)); });
    connect(ListView1, &ListView::DblClick, this, &frmMain::ListView1_DblClick);
    connect(ListView1, &ListView::ItemCheck, this, &frmMain::ListView1_ItemCheck);
    // Space toggles a check mark without an ItemCheck event.
    connect(ListView1, &ListView::KeyUp, this, [this](int key, int) {
        if (key == Qt::Key_Space)
            ListView1_ItemCheck();
    });
}

void frmMain::sizeResultColumns()
{
    enum { Funde = 0, Dateiname = 2, Pfad = 4, Encod = 6 };
    ListModel &list = ListView1->Model();
    if (list.ColumnCount() <= Encod)
        return;
    auto fit = [this](int column, const QStringList &texts) { return ListView1->TextColumnWidth(column, texts); };
    const QString typicalName(28, QLatin1Char('n'));
    const int widths[] = {fit(Funde, {list.ColumnCaption(Funde), QStringLiteral("0000000")}),
                          0,
                          fit(Dateiname, {list.ColumnCaption(Dateiname), typicalName}),
                          0,
                          0,
                          0,
                          fit(Encod, {list.ColumnCaption(Encod), QStringLiteral("UTF16L"), QStringLiteral("UTF16B"),
                                      QStringLiteral("UTF-8B"), QStringLiteral("UTF-8"), QStringLiteral("ANSI")})};
    int others = 0;
    for (int c = 0; c < list.ColumnCount(); ++c) {
        if (c == Pfad || !list.ColumnVisible(c))
            continue;
        if (c < int(std::size(widths)) && widths[c] > 0 && list.ColumnWidth(c) != widths[c])
            list.SetColumnWidth(c, widths[c]);
        others += list.ColumnWidth(c);
    }
    const int path = std::max(fit(Pfad, {typicalName}), ListView1->viewport()->width() - others);
    if (list.ColumnWidth(Pfad) != path)
        list.SetColumnWidth(Pfad, path);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::Resize)
        sizeResultColumns();
    return QWidget::eventFilter(watched, event);
}

void frmMain::followStartFolder(bool scroll)
{
    const QString path = QDir::cleanPath(txtStartFolder->text());
    const QModelIndex index =
        QDir::isAbsolutePath(path) && QFileInfo(path).isDir() ? m_folders->index(path) : QModelIndex();
    if (!index.isValid()) {
        // No highlight beats a highlight on some other folder.
        dirFolder->selectionModel()->clear();
        return;
    }
    if (index == dirFolder->currentIndex() && !scroll)
        return;
    m_treeScrollPending = m_treeScrollPending || scroll;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        dirFolder->expand(up);
    dirFolder->setCurrentIndex(index);
    dirFolder->scrollTo(index);
}

QString frmMain::currentFolder() const
{
    return m_folders->filePath(dirFolder->currentIndex());
}

bool frmMain::CustomDraw(int ItemIndex, int ColumnIndex, qint32 &BackColor, qint32 &)
{
    if (ListView1->Model().ItemSelected(ItemIndex))
        BackColor = 0x8CEF8D;
    else
        BackColor = ItemIndex % 2 ? 0xFFFFFF : 0xFDFCD9;
    if (ColumnIndex == 1 || ColumnIndex == 3 || ColumnIndex == 5)
        BackColor = 0xC0C0C0;
    return true;
}

void frmMain::chkP_Click()
{
    QString filter;
    for (std::size_t i = 0; i < chkP.size(); ++i)
        if (chkP[i]->isChecked())
            filter += chkP[i]->text() + QLatin1Char(';');
    if (filter.endsWith(QLatin1Char(';')))
        filter.chop(1);
    txtPattern->setText(filter);
}

void frmMain::txtPattern_Change()
{
    filFolder->clear();
    if (currentFolder().isEmpty())
        return; // no folder highlighted: QDir would read the working folder
    const QStringList patterns = txtPattern->text().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QDir dir(currentFolder());
    filFolder->addItems(dir.entryList(patterns, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase));
}

void frmMain::cmdSwap_Click()
{
    const QString find = txtFindW->Text();
    txtFindW->SetText(txtReplaceW->Text());
    txtReplaceW->SetText(find);
}

void frmMain::cmdClear_Click(int Index)
{
    (Index == 0 ? txtFindW : txtReplaceW)->SetText(QString());
}

void frmMain::Timer1_Timer()
{
    lblLen[0]->setText(QString::number(txtFindW->Text().size()) + QStringLiteral(" Zeichen"));
    lblLen[1]->setText(QString::number(txtReplaceW->Text().size()) + QStringLiteral(" Zeichen"));
}

void frmMain::drvFolder_Change()
{
    const QString drive = drvFolder->currentText();
    if (drive.isEmpty())
        return;
    if (!QFileInfo(drive).isDir()) {
        m_host.MessageBox(QStringLiteral("Beim Versuch, das Laufwerk zu wechseln, ist ein Fehler aufgetreten: ") +
                              QStringLiteral("Das Laufwerk %1 ist nicht bereit.").arg(drive),
                          RunHost::Buttons::Ok, RunHost::Icon::Critical, m_host.ApplicationTitle());
        // Back to the drive that holds the current folder.
        const QString root = QStorageInfo(currentFolder()).rootPath();
        const QSignalBlocker quiet(drvFolder);
        drvFolder->setCurrentIndex(drvFolder->findText(root));
        return;
    }
    dirFolder_Change(drive);
}

void frmMain::dirFolder_Change(const QString &path)
{
    if (!QFileInfo(path).isDir()) {
        m_host.MessageBox(QStringLiteral("Bei der Auswahl des Ordners ist ein Fehler aufgetreten: ") +
                              QStringLiteral("Der Ordner %1 ist nicht erreichbar.").arg(path),
                          RunHost::Buttons::Ok, RunHost::Icon::Critical, m_host.ApplicationTitle());
        return;
    }
    txtStartFolder->setText(QDir::cleanPath(path));
    followStartFolder(true);
    dirFolder->expand(dirFolder->currentIndex());
    txtPattern_Change();
}

void frmMain::ListView1_DblClick(int row)
{
    const FileResult *file = m_run.RowResult(row);
    if (!file)
        return; // an empty filler row
    // After a replace the file holds the replacement text, not the search text.
    const QString text = m_run.LastMode() == RunMode::SearchAndReplace ? txtReplaceW->Text() : txtFindW->Text();
    frmRTF::ShowFinds(file->path, text, chkNurGanzeWorte->isChecked(), chkCaseSensitive->isChecked());
}

void frmMain::ListView1_ItemCheck()
{
    ListModel &list = ListView1->Model();
    bool any = false;
    for (int i = 0; i < list.ItemCount() && !any; ++i)
        any = list.ItemChecked(i);
    chkNS->setEnabled(any);
    if (!any)
        chkNS->setChecked(false);
}

void frmMain::cmdStart_Click(int Index)
{
    m_run.cmdStart_Click(Index);
    // SIGINT or SIGTERM asked the program to end: the run stopped as after
    // the stop button, and the window closes as after a close during a run.
    if (m_closeAfterRun || m_run.StopSignal() != 0)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmMain::cmdUndo_Click()
{
    if (m_run.IsRunning() || m_restore)
        return;
    const QString archive = m_host.BrowseForArchive(m_run.BackupFolder);
    if (archive.isEmpty())
        return;
    // The state before the restore goes where the user keeps backups, or
    // beside the archive when no backup folder was ever chosen.
    const QString saveTo = m_run.BackupFolder.isEmpty() ? QFileInfo(archive).absolutePath() : m_run.BackupFolder;
    RestoreRun restore(m_host, m_host);
    m_restore = &restore;
    restore.Run(archive, txtStartFolder->text(), saveTo);
    m_restore = nullptr;
    if (m_closeAfterRun || restore.StopSignal() != 0)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_restore) {
        m_closeAfterRun = true;
        m_restore->Stop();
        event->ignore();
        return;
    }
    // A running pass is stopped first; the current file is finished and the
    // window closes when the run has wound up, which also completes the
    // backup archive written so far.
    if (m_run.IsRunning()) {
        m_closeAfterRun = true;
        m_run.cmdAbbruch_Click();
        event->ignore();
        return;
    }
    saveSettings();
    frmRTF::CloseViewer();
    event->accept();
}

void frmMain::loadSettings()
{
    using Kind = ISettingsControl::Kind;
    auto addCheck = [this](QCheckBox *box, const QString &name, int index) {
        m_settings.push_back(std::make_unique<WidgetSettingsControl>(
            Kind::CheckBox, name, index, [box] { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); },
            [box](const QString &v) {
                if (v != QLatin1String("0") && v != QLatin1String("1") && v != QLatin1String("2"))
                    return false;
                box->setChecked(v != QLatin1String("0"));
                return true;
            }));
    };
    auto addLine = [this](QLineEdit *edit, const QString &name) {
        m_settings.push_back(std::make_unique<WidgetSettingsControl>(
            Kind::TextBox, name, -1, [edit] { return edit->text(); },
            [edit](const QString &v) {
                edit->setText(v);
                return true;
            }));
    };
    auto addText = [this](TextBoxW *box, const QString &name) {
        m_settings.push_back(std::make_unique<WidgetSettingsControl>(
            Kind::TextBoxW, name, -1, [box] { return box->Text(); },
            [box](const QString &v) {
                box->SetText(v);
                return true;
            }));
    };
    addLine(txtPattern, QStringLiteral("txtPattern"));
    addCheck(chkUnterordner, QStringLiteral("chkUnterordner"), -1);
    addCheck(chkAuchSchreibschutz, QStringLiteral("chkAuchSchreibschutz"), -1);
    addCheck(chkCaseSensitive, QStringLiteral("chkCaseSensitive"), -1);
    addCheck(chkNurGanzeWorte, QStringLiteral("chkNurGanzeWorte"), -1);
    addCheck(chkNS, QStringLiteral("chkNS"), -1);
    addCheck(chkBackup, QStringLiteral("chkBackup"), -1);
    for (int i = 0; i < 15; ++i)
        addCheck(chkP[static_cast<std::size_t>(i)], QStringLiteral("chkP"), i);
    addText(txtFindW, QStringLiteral("txtFindW"));
    addText(txtReplaceW, QStringLiteral("txtReplaceW"));
    m_settings.push_back(std::make_unique<WidgetSettingsControl>(
        Kind::DriveList, QStringLiteral("drvFolder"), -1, [this] { return drvFolder->currentText(); },
        [this](const QString &v) {
            const int at = drvFolder->findText(v);
            if (at < 0)
                return false;
            drvFolder->setCurrentIndex(at);
            return true;
        }));
    m_settings.push_back(std::make_unique<WidgetSettingsControl>(
        Kind::FolderList, QStringLiteral("dirFolder"), -1, [this] { return currentFolder(); },
        [this](const QString &v) {
            if (!QFileInfo(v).isDir())
                return false;
            dirFolder_Change(v);
            return true;
        }));
    // After the drive and the tree, which set the start folder too: the start
    // folder comes back as typed, and the tree follows it.
    addLine(txtStartFolder, QStringLiteral("txtStartFolder"));

    WindowSettings::MainWindowState state;
    for (auto &c : m_settings) {
        state.controls.push_back(c.get());
        if (c->SettingsName() == QLatin1String("chkNS"))
            state.chkNS = c.get();
    }
    WindowSettings::LoadMainWindow(AppPaths::SettingsPath(), state);
    m_run.BackupFolder = state.BackupFolder;
    restoreWindow(state.Geometry, state.Maximized);
    if (!state.BackupFolder.isEmpty())
        lblBackupFolder->SetFullText(QStringLiteral("Backupordner: ") + state.BackupFolder);
}

void frmMain::restoreWindow(const QRect &geometry, bool maximized)
{
    if (geometry.isValid()) {
        resize(geometry.size().expandedTo(minimumSize()));
        // A position on a screen that is gone would hide the window.
        if (QGuiApplication::screenAt(geometry.topLeft() + QPoint(40, 20)))
            move(geometry.topLeft());
    } else if (const QScreen *on = screen()) {
        // First start: the default size, but never taller or wider than the
        // screen leaves room for, title bar included.
        resize(size().boundedTo(on->availableSize() - QSize(16, 48)).expandedTo(minimumSize()));
    }
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::saveSettings()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    WindowSettings::MainWindowState state;
    for (auto &c : m_settings)
        state.controls.push_back(c.get());
    state.BackupFolder = m_run.BackupFolder;
    // A maximised window keeps the size it returns to.
    const bool maximized = isMaximized();
    state.Geometry = maximized && normalGeometry().isValid() ? normalGeometry() : QRect(pos(), size());
    state.Maximized = maximized;
    WindowSettings::SaveMainWindow(AppPaths::SettingsPath(), state);
}
