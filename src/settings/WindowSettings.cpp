// Keeps a window's control states and the backup folder in the settings file between runs.
#include "WindowSettings.h"

#include "IniFile.h"

#include <optional>

namespace {

using Kind = ISettingsControl::Kind;

const QString LineBreakMark = QStringLiteral("%cc%");
const QString CrLf = QStringLiteral("\r\n");
const QString BackupSection = QStringLiteral("Backup");
const QString BackupKey = QStringLiteral("BackupFolder");
const QString WindowSection = QStringLiteral("frmMainWindow");
const char *const GeometryKeys[4] = {"Left", "Top", "Width", "Height"};
const QString MaximizedKey = QStringLiteral("Maximized");

// The boolean forms met in settings files: ours in German, the English ones
// and the numeric ones of older files.
std::optional<bool> toBool(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *yes : {"Wahr", "True", "-1", "1"}) {
        if (t.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const char *no : {"Falsch", "False", "0"}) {
        if (t.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    }
    return std::nullopt;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
}

std::optional<int> toInt(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The text stored for a control; nullopt when the control gets no key.
std::optional<QString> storedValue(const ISettingsControl &c)
{
    switch (c.SettingsKind()) {
    case Kind::TextBox:
        return c.SettingsValue();
    case Kind::TextBoxW: {
        QString text = c.SettingsValue();
        // An emptied box is stored empty, or the old text would come back.
        return text.replace(CrLf, LineBreakMark);
    }
    case Kind::OptionButton:
        if (const auto b = toBool(c.SettingsValue()))
            return boolText(*b);
        return std::nullopt;
    case Kind::ScrollBar:
    case Kind::CheckBox:
    case Kind::ComboBox:
    case Kind::DriveList:
    case Kind::FolderList: {
        const QString text = c.SettingsValue();
        return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    }
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

// The value handed to the control for a stored text; nullopt when it does not
// convert for the control's kind.
std::optional<QString> restoredValue(Kind kind, const QString &stored)
{
    switch (kind) {
    case Kind::TextBox:
    case Kind::DriveList:
    case Kind::FolderList:
        return stored;
    case Kind::TextBoxW: {
        QString text = stored;
        return text.replace(LineBreakMark, CrLf);
    }
    case Kind::OptionButton:
        if (const auto b = toBool(stored))
            return boolText(*b);
        return std::nullopt;
    case Kind::CheckBox:
        if (const auto n = toInt(stored); n && *n >= 0 && *n <= 2)
            return QString::number(*n);
        return std::nullopt;
    case Kind::ScrollBar:
    case Kind::ComboBox:
        if (const auto n = toInt(stored))
            return QString::number(*n);
        return std::nullopt;
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

} // namespace

QString WindowSettings::ControlKey(const ISettingsControl &c)
{
    const int index = c.SettingsIndex();
    return index < 0 ? c.SettingsName() : QStringLiteral("%1(%2)").arg(c.SettingsName()).arg(index);
}

void WindowSettings::Save(IniFile &ini, const QString &section, const std::vector<ISettingsControl *> &controls)
{
    for (const ISettingsControl *c : controls) {
        if (!c)
            continue;
        if (const auto value = storedValue(*c))
            ini.WriteKey(section, ControlKey(*c), *value);
    }
}

void WindowSettings::Load(const IniFile &ini, const QString &section, const std::vector<ISettingsControl *> &controls)
{
    for (ISettingsControl *c : controls) {
        if (!c || c->SettingsKind() == Kind::Other)
            continue;
        const QString stored = ini.ReadKey(section, ControlKey(*c));
        // An empty value means an emptied text box; for the other kinds, and
        // without the key, the control keeps its default.
        const bool textBox = c->SettingsKind() == Kind::TextBox || c->SettingsKind() == Kind::TextBoxW;
        if (stored.isEmpty() && !(textBox && ini.HasKey(section, ControlKey(*c))))
            continue;
        if (const auto value = restoredValue(c->SettingsKind(), stored))
            c->SetSettingsValue(*value);
    }
}

void WindowSettings::LoadMainWindow(const QString &settingsPath, MainWindowState &state)
{
    IniFile ini(settingsPath);
    ini.Load();
    Load(ini, MainSection(), state.controls);
    state.BackupFolder = ini.ReadKey(BackupSection, BackupKey);
    // All four numbers or none: a half-written geometry is no geometry.
    int n[4] = {};
    bool complete = true;
    for (int i = 0; i < 4 && complete; ++i) {
        const auto v = toInt(ini.ReadKey(WindowSection, QLatin1String(GeometryKeys[i])));
        complete = v.has_value();
        n[i] = v.value_or(0);
    }
    state.Geometry = complete && n[2] > 0 && n[3] > 0 ? QRect(n[0], n[1], n[2], n[3]) : QRect();
    state.Maximized = toBool(ini.ReadKey(WindowSection, MaximizedKey)).value_or(false);
    // "Only checked rows" refers to the result list of a run; at start there
    // is none.
    if (state.chkNS)
        state.chkNS->SetSettingsValue(QStringLiteral("0"));
}

void WindowSettings::SaveMainWindow(const QString &settingsPath, const MainWindowState &state)
{
    // Read again rather than reuse the start-up copy: keys others wrote to the
    // file while the program ran stay.
    IniFile ini(settingsPath);
    ini.Load();
    Save(ini, MainSection(), state.controls);
    ini.WriteKey(BackupSection, BackupKey, state.BackupFolder);
    if (state.Geometry.isValid()) {
        const int n[4] = {state.Geometry.x(), state.Geometry.y(), state.Geometry.width(), state.Geometry.height()};
        for (int i = 0; i < 4; ++i)
            ini.WriteKey(WindowSection, QLatin1String(GeometryKeys[i]), QString::number(n[i]));
        ini.WriteKey(WindowSection, MaximizedKey, boolText(state.Maximized));
    }
    ini.Save();
}
