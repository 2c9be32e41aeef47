// The plain-text report of the last run and the rules for adding it to the log file.
#pragma once

#include "RunMode.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

struct LogInput
{
    QString txtStartFolder, txtPattern, txtFindW, txtReplaceW;
    int chkUnterordner = 0, chkCaseSensitive = 0, chkAuchSchreibschutz = 0, chkNS = 0;
    QString lblInfo;             // the summary line of the last run
    std::optional<RunMode> mode; // what the last pass did; none: no title
    struct Row
    {
        qint64 count = 0;
        QString path;
        bool checked = false;
    };
    std::vector<Row> rows;  // the files of the result list, in its order
    int filesCollected = 0; // files collected by the last run; 0 means: do nothing
    QDateTime now;
    QLocale locale;
};

class LogFile
{
public:
    // The report text (CR LF line ends), with or without the three advice lines in front.
    static QString BuildReport(const LogInput &in, bool adviceBlock);

    enum class Result { Nothing, Saved, Failed };
    // Creates/appends to the file at path by the rules; Nothing when filesCollected is 0.
    // Never throws: every failure is Failed.
    static Result Save(const QString &path, const LogInput &in);
};
