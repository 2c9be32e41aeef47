// The inputs a run reads from the main window, named after their controls.
#pragma once

#include <QString>

struct RunOptions
{
    QString txtStartFolder;
    QString txtPattern;
    QString txtFindW;
    QString txtReplaceW;
    int chkUnterordner = 0;
    int chkCaseSensitive = 0;
    int chkNurGanzeWorte = 0;
    int chkAuchSchreibschutz = 0;
    int chkNS = 0;
    int chkBackup = 0;
};
