// The plain-text report of the last run and the rules for adding it to the log file.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class ListModel;

struct LogInput
{
    QString txtStartFolder, txtPattern, txtFindW, txtReplaceW;
    int chkUnterordner = 0, chkCaseSensitive = 0, chkAuchSchreibschutz = 0, chkNS = 0;
    QString lblInfo; // the summary line of the last run
    const ListModel *list = nullptr;
    int filesCollected = 0; // files collected by the last run; 0 means: do nothing
    QDateTime now;
    QLocale locale;
};

class LogFile
{
public:
    // The report text (CR LF line ends), with or without the three advice lines in front.
    // A list without the count, name and folder columns raises the list's error.
    static QString BuildReport(const LogInput &in, bool adviceBlock);

    enum class Result { Nothing, Saved, Failed };
    // Creates/appends to the file at path by the rules; Nothing when filesCollected is 0.
    // Never throws: every failure, including one of the list, is Failed.
    static Result Save(const QString &path, const LogInput &in);
};
