// The whole program through its main window, offscreen: its buttons clicked,
// message boxes answered through the run host.
#include "frmMain.h"

#include "AppPaths.h"
#include "ListModel.h"
#include "ListView.h"
#include "ProgressBox.h"
#include "TestSupport.h"
#include "TextBoxW.h"
#include "WindowRunHost.h"
#include "frmRTF.h"

#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <csignal>
#include <deque>

namespace {

struct Shown
{
    QString text, title;
    RunHost::Icon icon;
};

} // namespace

class frmMainTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_program; // settings.ini and the log live here
    QTemporaryDir m_tree;
    std::deque<RunHost::Answer> m_answers;
    std::vector<Shown> m_shown;

    void add(const QString &name, const QByteArray &bytes) { put(m_tree.filePath(name), bytes); }
    QByteArray treeBytes(const QString &name) { return bytesOf(m_tree.filePath(name)); }
    static void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void manyFiles()
    {
        for (int i = 0; i < 200; ++i)
            add(QStringLiteral("f%1.txt").arg(i), QByteArray(20000, 'x') + " Suchwort");
    }
    void fill(frmMain &w, const QString &find, const QString &replace = QString())
    {
        w.txtStartFolder->setText(m_tree.path());
        w.txtFindW->SetText(find);
        w.txtReplaceW->SetText(replace);
    }

private slots:
    void initTestCase()
    {
        AppPaths::SetProgramFolderForTesting(m_program.path());
        WindowRunHost::SetMessageHook(
            [this](const QString &text, RunHost::Buttons b, RunHost::Icon i, const QString &title) {
                m_shown.push_back({text, title, i});
                if (b == RunHost::Buttons::Ok)
                    return RunHost::Answer::Ok;
                if (m_answers.empty())
                    return RunHost::Answer::No;
                const RunHost::Answer a = m_answers.front();
                m_answers.pop_front();
                return a;
            });
        WindowRunHost::SetOpenHook([](const QString &) { return true; });
    }
    void init()
    {
        m_shown.clear();
        m_answers.clear();
        QFile::remove(AppPaths::SettingsPath());
        QDir(m_tree.path()).removeRecursively();
        QDir().mkpath(m_tree.path());
    }

    void searchFillsTheListAndTheSummary()
    {
        add(QStringLiteral("a.txt"), "Suchwort und suchwort");
        add(QStringLiteral("b.php"), "kein Treffer");
        add(QStringLiteral("c.txt"), "SUCHWORT");
        frmMain w;
        fill(w, QStringLiteral("Suchwort"));
        click(w.cmdStart[0]);
        ListModel &list = w.ListView1->Model();
        QCOMPARE(list.ItemCount(), 2);
        QVERIFY(w.lblInfo->text().startsWith(QStringLiteral("Textsuche abgeschlossen! In 2 Dateien von 3 ")));
        QVERIFY(w.cmdSave->isEnabled());

        // The check marks drive "Nur selektierte Dateien ersetzen?".
        list.SetItemChecked(1, true);
        w.ListView1_ItemCheck();
        QVERIFY(w.chkNS->isEnabled());
        w.chkNS->setChecked(true);
        list.SetItemChecked(1, false);
        w.ListView1_ItemCheck();
        QVERIFY(!w.chkNS->isEnabled());
        QVERIFY(!w.chkNS->isChecked());
    }

    void replaceWithBackupAfterTheQuestions()
    {
        add(QStringLiteral("web/a.txt"), "ein Wort");
        add(QStringLiteral("web/b.txt"), "nichts");
        QTemporaryDir backups;
        frmMain w;
        fill(w, QStringLiteral("Wort"), QStringLiteral("Begriff"));
        w.chkUnterordner->setChecked(true);
        w.chkBackup->setChecked(true);
        w.Run().BackupFolder = backups.path() + QLatin1Char('/');
        m_answers = {RunHost::Answer::Yes};
        click(w.cmdStart[1]);
        QCOMPARE(treeBytes(QStringLiteral("web/a.txt")), QByteArray("ein Begriff"));
        QCOMPARE(m_shown.size(), std::size_t(1)); // the confirmation
        QCOMPARE(QDir(backups.path()).entryList({QStringLiteral("backup-*.zip")}).size(), 1);
        QVERIFY(w.lblInfo->text().startsWith(QStringLiteral("Ersetzen abgeschlossen! In 1 Datei von 2 ")));

        // "Rückgängig…" puts the file back once the question is answered.
        QCOMPARE(w.cmdUndo->toolTip(), QStringLiteral("Dateien aus einem Backup-Archiv wiederherstellen"));
        const QString archive = backups.filePath(QDir(backups.path()).entryList({QStringLiteral("backup-*.zip")})[0]);
        WindowRunHost::SetFolderHook([&archive](const QString &) { return archive; });
        m_shown.clear();
        m_answers = {RunHost::Answer::Yes};
        click(w.cmdUndo);
        WindowRunHost::SetFolderHook(nullptr);
        QCOMPARE(treeBytes(QStringLiteral("web/a.txt")), QByteArray("ein Wort"));
        QCOMPARE(m_shown.size(), std::size_t(1));
        QVERIFY(m_shown[0].text.startsWith(QStringLiteral("1 Datei aus dem Backup vom ")));
        QVERIFY(w.lblInfo->text().startsWith(QStringLiteral("Wiederherstellen abgeschlossen! 1 von 1 Datei ")));

        // The log button tells where the log goes, writes one report there and is then disabled.
        QVERIFY(w.cmdSave->toolTip().endsWith(QStringLiteral("Protokolldatei: ") + AppPaths::LogPath()));
        click(w.cmdSave);
        QVERIFY(!w.cmdSave->isEnabled());
        QVERIFY(QFile::exists(AppPaths::LogPath()));
        QFile::remove(AppPaths::LogPath());

        // Without a program for the log, a message names it.
        WindowRunHost::SetOpenHook([](const QString &) { return false; });
        w.cmdSave->setEnabled(true);
        click(w.cmdSave);
        WindowRunHost::SetOpenHook([](const QString &) { return true; });
        QCOMPARE(
            m_shown.back().text,
            QStringLiteral("Für die Datei \"%1\" ist kein Programm zum Öffnen eingerichtet.").arg(AppPaths::LogPath()));
        QFile::remove(AppPaths::LogPath());
    }

    void settingsSurviveARestart()
    {
        {
            frmMain w;
            w.txtFindW->SetText(QStringLiteral("zwei\r\nZeilen"));
            w.chkCaseSensitive->setChecked(true);
            w.chkP[2]->setChecked(true);
            w.chkNS->setEnabled(true);
            w.chkNS->setChecked(true);
            w.Run().BackupFolder = QStringLiteral("/daten/sicherung/");
            w.close();
        }
        frmMain again;
        QCOMPARE(again.txtFindW->Text(), QStringLiteral("zwei\r\nZeilen"));
        QVERIFY(again.chkCaseSensitive->isChecked());
        QVERIFY(again.chkP[2]->isChecked());
        QVERIFY(!again.chkNS->isChecked());
        QCOMPARE(again.txtPattern->text(), QStringLiteral("*.txt;*.htm;*.inc;*.html;*.php"));
        QCOMPARE(again.Run().BackupFolder, QStringLiteral("/daten/sicherung/"));

        // A cancelled folder dialog keeps the folder for the label and the run.
        WindowRunHost::SetFolderHook([](const QString &) { return QString(); });
        click(again.cmdBackupFolder);
        WindowRunHost::SetFolderHook(nullptr);
        QCOMPARE(again.Run().BackupFolder, QStringLiteral("/daten/sicherung/"));
        QCOMPARE(again.lblBackupFolder->FullText(), QStringLiteral("Backupordner: /daten/sicherung/"));

        // A folder too long for the label is shortened in the middle, never
        // cut off, and shown whole as the label's tool tip.
        const QString longFolder = QStringLiteral("Backupordner: /daten/") + QString(300, QLatin1Char('x')) +
                                   QStringLiteral("/sicherung-ende/");
        again.lblBackupFolder->SetFullText(longFolder);
        const QString shown = again.lblBackupFolder->text();
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.startsWith(QLatin1Char('B')) && shown.endsWith(QLatin1Char('/')));
        QVERIFY(again.lblBackupFolder->fontMetrics().horizontalAdvance(shown) <=
                again.lblBackupFolder->contentsRect().width());
        QCOMPARE(again.lblBackupFolder->toolTip(), longFolder);
    }

    // An emptied text box stays empty, and a typed start folder comes back as
    // typed rather than as the tree writes it.
    void emptiedTextAndTypedFolderSurviveARestart()
    {
        const QString typed = m_tree.path() + QLatin1Char('/');
        for (const QString &replace : {QStringLiteral("Ersatzwort"), QString()}) {
            frmMain w;
            w.txtReplaceW->SetText(replace);
            w.txtStartFolder->setText(typed);
            w.close();
        }
        frmMain again;
        QCOMPARE(again.txtReplaceW->Text(), QString());
        QCOMPARE(again.txtStartFolder->text(), typed);
    }

    // On a 1366x768 laptop the window is 1024x700 at most: the list and its
    // scroll bar still lie inside it, and the extra height of a larger
    // window goes to the list.
    void listFitsTheSmallestWindow()
    {
        frmMain w;
        for (int i = 0; i < 60; ++i)
            w.ListView1->Model().AddItem();
        w.resize(1024, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(1024, 700));
        const QRect list(w.ListView1->mapTo(&w, QPoint()), w.ListView1->size());
        QVERIFY(w.rect().contains(list));
        QScrollBar *bar = w.ListView1->verticalScrollBar();
        QVERIFY(bar->isVisible());
        QVERIFY(w.rect().contains(QRect(bar->mapTo(&w, QPoint()), bar->size())));
        QVERIFY(list.height() > 100);

        const int small = list.height();
        w.resize(1024, 900);
        QTRY_COMPARE(w.ListView1->height(), small + 200);
    }

    // Every encoding label draws whole, in the platform font and after a
    // change to a larger one; the path column takes the extra width.
    void columnsFitTheirTexts_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("platform font") << 0;
        QTest::newRow("larger font") << 20;
    }
    void columnsFitTheirTexts()
    {
        QFETCH(int, points);
        frmMain w;
        w.resize(1024, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ListView &list = *w.ListView1;
        if (points) {
            QFont font = list.font();
            font.setPointSize(points);
            list.setFont(font);
        }
        const QFontMetrics metrics(list.DrawFont());
        const int room = list.ColumnDrawWidth(6) - list.ItemPaddingLeft() - list.ItemPaddingRight();
        for (const char *label : {"UTF16L", "UTF16B", "UTF-8B"})
            QVERIFY2(metrics.horizontalAdvance(QLatin1String(label)) <= room, label);

        const int path = list.ColumnDrawWidth(4);
        w.resize(1324, 700);
        QTRY_VERIFY(list.ColumnDrawWidth(4) > path);
        QCOMPARE(list.TotalColumnWidth(), list.viewport()->width());
    }

    // Tab and Shift+Tab leave both text boxes for their neighbours, in the
    // order the window reads, and type nothing.
    void tabMovesFocusOutOfTheTextBoxes()
    {
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const struct
        {
            TextBoxW *box;
            Qt::KeyboardModifiers modifiers;
            QWidget *next;
        } cases[] = {{w.txtFindW, Qt::NoModifier, w.cmdClear[0]},
                     {w.txtFindW, Qt::ShiftModifier, w.chkP[14]},
                     {w.txtReplaceW, Qt::NoModifier, w.chkUnterordner},
                     {w.txtReplaceW, Qt::ShiftModifier, w.cmdClear[1]}};
        for (const auto &c : cases) {
            c.box->SetText(QString());
            c.box->setFocus();
            QTRY_VERIFY(c.box->Editor()->hasFocus());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, c.modifiers);
            QCOMPARE(QApplication::focusWidget(), c.next);
            QCOMPARE(c.box->Text(), QString());
        }
    }

    // The tree highlights the start folder, expanded down to it, after a
    // restore, and nothing while the folder is gone, never a neighbour.
    void treeFollowsTheStartFolder()
    {
        const QString deep = m_tree.filePath(QStringLiteral("b/tief"));
        QDir().mkpath(deep);
        QDir().mkpath(m_tree.filePath(QStringLiteral("a")));
        QDir().mkpath(m_tree.filePath(QStringLiteral("c")));
        {
            frmMain w;
            w.txtStartFolder->setText(deep);
            w.close();
        }
        frmMain again;
        auto *folders = qobject_cast<QFileSystemModel *>(again.dirFolder->model());
        auto current = [&] { return folders->filePath(again.dirFolder->currentIndex()); };
        QCOMPARE(current(), deep);
        QVERIFY(again.dirFolder->isExpanded(folders->index(m_tree.filePath(QStringLiteral("b")))));
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QTRY_VERIFY(
            again.dirFolder->viewport()->rect().contains(again.dirFolder->visualRect(again.dirFolder->currentIndex())));

        QDir(deep).removeRecursively();
        QTRY_COMPARE(current(), QString());
        QDir().mkpath(deep);
        QTRY_COMPARE(current(), deep);
    }

    void sizePositionAndMaximisedStateSurviveARestart()
    {
        {
            frmMain w;
            w.resize(1100, 720);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.close();
        }
        {
            frmMain w;
            QCOMPARE(w.size(), QSize(1100, 720));
            QVERIFY(!w.isMaximized());
            w.show();
            w.showMaximized();
            w.close();
        }
        frmMain again;
        QVERIFY(again.isMaximized());
        QCOMPARE(again.normalGeometry().size(), QSize(1100, 720));
    }

    void doubleClickOpensTheViewerButNotOnAnEmptyRow()
    {
        add(QStringLiteral("a.txt"), "ein Suchwort");
        frmMain w;
        w.ListView1_DblClick(0); // one of the 12 empty rows
        QVERIFY(!frmRTF::Existing() || !frmRTF::Existing()->isVisible());
        fill(w, QStringLiteral("Suchwort"));
        click(w.cmdStart[0]);
        w.ListView1_DblClick(0);
        QVERIFY(frmRTF::Existing());
        QCOMPARE(frmRTF::Existing()->ViewerPath(), m_tree.filePath(QStringLiteral("a.txt")));
        frmRTF::CloseViewer();
    }

    // The stop button or SIGTERM, arriving while the run processes events,
    // end the run; the signal then closes the window too.
    void stopEndsTheRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("button") << 0;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void stopEndsTheRun()
    {
        QFETCH(int, signal);
        manyFiles();
        frmMain w;
        fill(w, QStringLiteral("Suchwort"));
        w.show();
        // Stopped as soon as it can be; the undo button is off meanwhile.
        bool undoDuringRun = true;
        QTimer poll;
        connect(&poll, &QTimer::timeout, w.cmdAbbruch, [&] {
            if (w.cmdStart[0]->isEnabled()) // the inputs go off once the run is under way
                return;
            poll.stop();
            undoDuringRun = w.cmdUndo->isEnabled();
            signal ? (void)std::raise(signal) : click(w.cmdAbbruch);
        });
        poll.start(0);
        click(w.cmdStart[0]);
        QVERIFY(!undoDuringRun);
        QVERIFY(w.cmdUndo->isEnabled());
        QVERIFY(w.Run().FilesSearched < 200);
        QCOMPARE(w.Run().StopSignal(), signal);
        QCOMPARE(w.picProgress->Current().Caption, QStringLiteral("Vorgang durch Benutzer abgebrochen bei: "));
        QVERIFY(w.cmdStart[0]->isEnabled());
        QVERIFY(!w.cmdAbbruch->isEnabled());
        QTRY_COMPARE(w.isVisible(), signal == 0);
    }

    // A close during a run, a replace with backup too, stops the run and then
    // closes; the backup archive is complete by then.
    void closingDuringARunStopsItFirst_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("search") << 0;
        QTest::newRow("replace with backup") << 1;
    }
    void closingDuringARunStopsItFirst()
    {
        QFETCH(int, mode);
        manyFiles();
        QTemporaryDir backups;
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<frmMain> alive(w);
        fill(*w, QStringLiteral("Suchwort"), QStringLiteral("Ersatz"));
        w->chkBackup->setChecked(mode == 1);
        w->Run().BackupFolder = backups.path() + QLatin1Char('/');
        m_answers = {RunHost::Answer::Yes};
        w->show();
        // The close arrives while the run processes events, once the backup
        // holds a file.
        QTimer poll;
        connect(&poll, &QTimer::timeout, w, [w, mode, &backups] {
            const QFileInfoList parts = QDir(backups.path()).entryInfoList({QStringLiteral("*.zip.part")});
            if (mode == 0 || (!parts.isEmpty() && parts.front().size() > 0))
                w->close();
        });
        poll.start(0);
        click(w->cmdStart[mode]);
        QVERIFY(alive);
        QVERIFY(alive->Run().FilesSearched < 200);
        QTRY_VERIFY(!alive);
        const QStringList zips = QDir(backups.path()).entryList({QStringLiteral("backup-*.zip")});
        QCOMPARE(zips.size(), mode);
        if (mode == 1)
            QVERIFY(bytesOf(backups.filePath(zips.front())).contains(QByteArray("PK\x05\x06", 4))); // end record
    }
};

QTEST_MAIN(frmMainTest)
#include "frmMainTest.moc"
