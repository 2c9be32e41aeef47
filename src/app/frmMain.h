// The main window: inputs, start buttons and the result list.
#pragma once

#include <QWidget>

class frmMain : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);

    static QString WindowCaption();
};
