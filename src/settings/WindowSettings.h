// Keeps a window's control states and the backup folder in the settings file between runs.
#pragma once

#include "ISettingsControl.h"

#include <QRect>
#include <QString>
#include <vector>

class IniFile;

class WindowSettings
{
public:
    // The control's key: its name, with "(index)" appended inside a control
    // array, e.g. "chkP(11)".
    static QString ControlKey(const ISettingsControl &c);

    // Writes one key per control whose kind has a value; a standard text box
    // even when empty, every other kind only when its value is not empty.
    static void Save(IniFile &ini, const QString &section, const std::vector<ISettingsControl *> &controls);

    // Sets each control from its key. A missing or empty key, a value that
    // does not convert for the control, and a value the control refuses all
    // leave the control as it is.
    static void Load(const IniFile &ini, const QString &section, const std::vector<ISettingsControl *> &controls);

    // The main window's controls section; the trailing blank is part of it.
    static QString MainSection() { return QStringLiteral("frmMainControls "); }

    struct MainWindowState
    {
        std::vector<ISettingsControl *> controls;
        ISettingsControl *chkNS = nullptr;
        QString BackupFolder;
        // The window's frame position and size when not maximised; empty
        // when the file holds none (files from before they were kept).
        QRect Geometry;
        bool Maximized = false;
    };

    // At start-up: restores the controls, BackupFolder and the window's
    // geometry, then unticks chkNS
    // whatever was saved. A missing or damaged file leaves the defaults.
    static void LoadMainWindow(const QString &settingsPath, MainWindowState &state);

    // At shutdown: the controls and BackupFolder go into the file as it is
    // now, keeping whatever else it holds. A failed write loses the settings
    // but never the old file.
    static void SaveMainWindow(const QString &settingsPath, const MainWindowState &state);
};
