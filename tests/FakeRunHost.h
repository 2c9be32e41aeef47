// A run host in memory: it records messages, progress and what the run shows,
// answers questions from a queue (No when it is empty), and the fixture of
// whole runs over a temporary folder.
#pragma once

#include "ListModel.h"
#include "SearchRun.h"
#include "TestSupport.h"
#include "cFileResder.h"

#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

struct Shown
{
    QString text;
    RunHost::Buttons buttons;
    RunHost::Icon icon;
    QString title;
};

class FakeHost : public RunHost
{
public:
    FakeHost() : list(QLocale(QLocale::German, QLocale::Germany)) { SearchRun::AddResultColumns(list); }

    RunOptions Options() const override { return options; }
    Answer MessageBox(const QString &text, Buttons b, Icon i, const QString &title) override
    {
        shown.push_back({text, b, i, title});
        if (b == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty())
            return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    ListModel *ResultList() override { return &list; }
    QString ApplicationTitle() const override { return u("velmora"); }
    QLocale Locale() const override { return QLocale(QLocale::German, QLocale::Germany); }
    void ProcessEvents() override
    {
        ++events;
        if (onEvents)
            onEvents(events);
    }
    void SetInfo(const QString &t) override { info = t; }
    void DrawProgress(const ProgressBar::Request &r) override { progress.push_back(r); }
    void SetListToolTip(const QString &t) override { listToolTip = t; }
    void SetNsChecked(bool) override {}
    QDateTime Now() const override { return QDateTime(QDate(2026, 12, 5), QTime(14, 23, 45)); }
    QString BrowseForFolder(const QString &) override { return {}; }
    void SetBackupFolderCaption(const QString &) override {}
    void SetSaveEnabled(bool on) override { saveEnabled = on; }
    void OpenDocument(const QString &path) override { opened = path; }
    void SetBackupButtonToolTip(const QString &) override {}
    void SetListCheckboxes(bool) override {}

    RunOptions options;
    ListModel list;
    std::deque<Answer> answers;
    std::vector<Shown> shown;
    std::vector<ProgressBar::Request> progress;
    std::function<void(int)> onEvents;
    int events = 0;
    QString info, opened, listToolTip;
    bool saveEnabled = false;
};

// Whole runs over a temporary folder: search "Wort", replace with "Begriff",
// filter "*.txt;*.php", backups into the same folder.
class Run : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.options.txtStartFolder = m_dir.path();
        host.options.txtPattern = u("*.txt;*.php");
        host.options.txtFindW = u("Wort");
        host.options.txtReplaceW = u("Begriff");
        run.BackupFolder = m_dir.path() + u("/");
    }

    QString file(const QString &name, const QByteArray &bytes) { return put(m_dir.filePath(name), bytes); }
    QString file(const QString &name, const QString &text, int encoding)
    {
        return file(name, cFileResder::EncodeText(text, static_cast<TextEncoding>(encoding)));
    }
    // The rows that name a file: count, name, encoding.
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < host.list.ItemCount(); ++r)
            if (!host.list.ItemText(r, 2).isEmpty())
                out << host.list.ItemText(r, 0) + u("|") + host.list.ItemText(r, 2) + u("|") + host.list.ItemText(r, 6);
        return out;
    }

    QTemporaryDir m_dir;
    FakeHost host;
    SearchRun run{host};
};
