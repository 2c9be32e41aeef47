// Window settings: keys and value forms per kind of control, and the main window's start-up and shutdown.
#include "WindowSettings.h"

#include "IniFile.h"
#include "QtPrinters.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using Kind = ISettingsControl::Kind;

class FakeControl : public ISettingsControl
{
public:
    FakeControl(Kind kind, QString name, int index, QString value)
        : kind(kind), name(std::move(name)), index(index), value(std::move(value))
    {}
    Kind SettingsKind() const override { return kind; }
    QString SettingsName() const override { return name; }
    int SettingsIndex() const override { return index; }
    QString SettingsValue() const override { return value; }
    bool SetSettingsValue(const QString &v) override
    {
        // Like the real controls: check boxes take 0 to 2, scroll bars a
        // 16-bit value, folder lists only folders that exist.
        const bool fits = kind == Kind::CheckBox     ? QStringList{"0", "1", "2"}.contains(v)
                          : kind == Kind::ScrollBar  ? v.toInt() >= -32768 && v.toInt() <= 32767
                          : kind == Kind::FolderList ? v != QStringLiteral("/gone")
                                                     : true;
        if (fits)
            value = v;
        return fits;
    }

    Kind kind;
    QString name;
    int index;
    QString value;
};

// The main window's controls in their designed state.
struct FakeMainWindow
{
    FakeMainWindow()
    {
        add(Kind::TextBox, "txtStartFolder", -1, "/home/anna");
        add(Kind::TextBox, "txtPattern", -1, "*.txt;*.htm;*.html;*.php");
        for (const char *box :
             {"chkUnterordner", "chkAuchSchreibschutz", "chkCaseSensitive", "chkNurGanzeWorte", "chkNS", "chkBackup"})
            add(Kind::CheckBox, box, -1, "0");
        for (int i = 0; i < 15; ++i)
            add(Kind::CheckBox, "chkP", i, i == 0 || i == 1 || i == 6 || i == 11 ? "1" : "0");
        add(Kind::TextBoxW, "txtFindW", -1, "");
        add(Kind::TextBoxW, "txtReplaceW", -1, "");
        add(Kind::DriveList, "drvFolder", -1, "/");
        add(Kind::FolderList, "dirFolder", -1, "/home/anna");
        add(Kind::Other, "lblInfo", -1, "Bereit");
        state.chkNS = &at("chkNS");
    }
    void add(Kind kind, const char *name, int index, const char *value)
    {
        controls.push_back(
            std::make_unique<FakeControl>(kind, QString::fromUtf8(name), index, QString::fromUtf8(value)));
        state.controls.push_back(controls.back().get());
    }
    FakeControl &at(const char *key)
    {
        for (auto &c : controls) {
            if (WindowSettings::ControlKey(*c) == QLatin1String(key))
                return *c;
        }
        throw std::out_of_range(key);
    }
    QStringList values() const
    {
        QStringList v;
        for (const auto &c : controls)
            v << c->value;
        return v << state.BackupFolder;
    }

    std::vector<std::unique_ptr<FakeControl>> controls;
    WindowSettings::MainWindowState state;
};

QString fileText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    const QByteArray b = f.readAll();
    if (!b.startsWith("\xFF\xFE") || b.size() % 2)
        return QStringLiteral("<not UTF-16LE>");
    return QString(reinterpret_cast<const QChar *>(b.constData() + 2), (b.size() - 2) / 2);
}

TEST(WindowSettings, SavedValueByKind)
{
    struct Case
    {
        Kind kind;
        QString value;
        std::optional<QString> stored; // nullopt: no key
    } const cases[] = {
        {Kind::TextBox, "", ""},
        {Kind::TextBox, "  \"C:\\a b\" ", "  \"C:\\a b\" "},
        {Kind::TextBoxW, "", std::nullopt},
        {Kind::TextBoxW, "eins\r\nzwei\r\n", "eins%cc%zwei%cc%"},
        {Kind::TextBoxW, "\r\n", "%cc%"},
        {Kind::TextBoxW, " 'x' ", " 'x' "},
        {Kind::CheckBox, "2", "2"},
        {Kind::CheckBox, "", std::nullopt},
        {Kind::OptionButton, "Wahr", "Wahr"},
        {Kind::OptionButton, "True", "Wahr"},
        {Kind::OptionButton, "-1", "Wahr"},
        {Kind::OptionButton, "0", "Falsch"},
        {Kind::ScrollBar, "17", "17"},
        {Kind::ComboBox, "-1", "-1"},
        {Kind::DriveList, "", std::nullopt},
        {Kind::FolderList, "/home/a b", "/home/a b"},
        {Kind::Other, "Bereit", std::nullopt},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(path);
        FakeControl control(c.kind, "ctl", -1, c.value);
        IniFile ini(path);
        WindowSettings::Save(ini, QStringLiteral("Sec"), {&control});
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(fileText(path), c.stored ? QStringLiteral("[Sec]\r\nctl=") + *c.stored + QStringLiteral("\r\n") : "");
    }
}

TEST(WindowSettings, RestoredValueByKind)
{
    struct Case
    {
        Kind kind;
        QString before;
        std::optional<QString> stored; // nullopt: no key
        QString after;
    } const cases[] = {
        {Kind::TextBox, "entworfen", "", "entworfen"},
        {Kind::TextBox, "entworfen", std::nullopt, "entworfen"},
        {Kind::TextBox, "", "  \"zitiert\" ", "  \"zitiert\" "},
        {Kind::TextBox, "", "a%cc%b", "a%cc%b"},
        {Kind::TextBoxW, "", "eins%cc%zwei", "eins\r\nzwei"},
        {Kind::TextBoxW, "", "100%cc%", "100\r\n"},
        {Kind::TextBoxW, "", "%CC%", "%CC%"},
        {Kind::TextBoxW, "alt", "", "alt"},
        {Kind::CheckBox, "1", "2", "2"},
        {Kind::CheckBox, "1", " 0", "0"},
        {Kind::CheckBox, "1", "abc", "1"},
        {Kind::CheckBox, "1", "3", "1"},
        {Kind::CheckBox, "1", "-1", "1"},
        {Kind::OptionButton, "Falsch", "True", "Wahr"},
        {Kind::OptionButton, "Falsch", "-1", "Wahr"},
        {Kind::OptionButton, "Falsch", "1", "Wahr"},
        {Kind::OptionButton, "Wahr", "FALSE", "Falsch"},
        {Kind::OptionButton, "Wahr", "0", "Falsch"},
        {Kind::OptionButton, "Wahr", "ja", "Wahr"},
        {Kind::ScrollBar, "5", "-3", "-3"},
        {Kind::ScrollBar, "5", "12x", "5"},
        {Kind::ScrollBar, "5", "40000", "5"},
        {Kind::ComboBox, "0", "2", "2"},
        {Kind::DriveList, "/", "/mnt/usb", "/mnt/usb"},
        {Kind::FolderList, "/alt", "/gone", "/alt"},
        {Kind::FolderList, "/alt", "/neu", "/neu"},
        {Kind::Other, "Bereit", "Text", "Bereit"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored.value_or("<no key>").toStdString());
        IniFile ini(QStringLiteral("/nonexistent/settings.ini"));
        if (c.stored)
            ini.WriteKey(QStringLiteral("Sec"), QStringLiteral("ctl(3)"), *c.stored);
        FakeControl control(c.kind, "ctl", 3, c.before);
        WindowSettings::Load(ini, QStringLiteral("Sec"), {&control});
        EXPECT_EQ(control.value, c.after);
    }
}

TEST(WindowSettings, MainWindowRoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    FakeMainWindow saved;
    saved.at("txtStartFolder").value = QStringLiteral("/srv/web");
    saved.at("txtFindW").value = QStringLiteral("  <p class=\"alt\">\r\nzweite Zeile");
    saved.at("txtReplaceW").value = QStringLiteral("\"neu\" ");
    saved.at("chkP(3)").value = QStringLiteral("1");
    saved.at("chkP(11)").value = QStringLiteral("0");
    saved.at("chkNS").value = QStringLiteral("1");
    saved.at("dirFolder").value = QStringLiteral("/srv/web");
    saved.state.BackupFolder = QStringLiteral("/srv/backup");
    WindowSettings::SaveMainWindow(path, saved.state);
    EXPECT_TRUE(fileText(path).startsWith(QStringLiteral("[frmMainControls ]\r\ntxtStartFolder=/srv/web\r\n")));
    EXPECT_TRUE(fileText(path).contains(QStringLiteral("\r\nchkNS=1\r\n")));

    FakeMainWindow loaded;
    WindowSettings::LoadMainWindow(path, loaded.state);
    saved.at("chkNS").value = QStringLiteral("0"); // unticked at every start
    EXPECT_EQ(loaded.values(), saved.values());
}

TEST(WindowSettings, NoFileLeavesTheDesignedStateAndShutdownCreatesIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    FakeMainWindow designed;
    FakeMainWindow window;
    window.state.BackupFolder = QStringLiteral("vorher");
    WindowSettings::LoadMainWindow(path, window.state);
    designed.state.BackupFolder.clear();
    EXPECT_EQ(window.values(), designed.values());

    WindowSettings::SaveMainWindow(path, window.state);
    EXPECT_TRUE(fileText(path).endsWith(QStringLiteral("\r\ndirFolder=/home/anna\r\n[Backup]\r\nBackupFolder=\r\n")));
}

TEST(WindowSettings, EmptiedTextsAndForeignContent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Fremd]\nx=1\n; Kommentar\n[frmMainControls]\nunbekannt=2\ntxtFindW=alt\ntxtStartFolder=/alt\n");
    f.close();

    FakeMainWindow window;
    WindowSettings::LoadMainWindow(path, window.state);
    EXPECT_EQ(window.at("txtFindW").value, QStringLiteral("alt"));
    window.at("txtFindW").value.clear();
    window.at("txtStartFolder").value.clear();
    WindowSettings::SaveMainWindow(path, window.state);

    // The emptied standard text box writes an empty key; the emptied TextBoxW
    // writes none, so its old value comes back.
    const QString text = fileText(path);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Fremd]\r\nx=1\r\n; Kommentar\r\n[frmMainControls]\r\nunbekannt=2\r\n"
                                               "txtFindW=alt\r\ntxtStartFolder=\r\n")));
    FakeMainWindow next;
    WindowSettings::LoadMainWindow(path, next.state);
    EXPECT_EQ(next.at("txtFindW").value, QStringLiteral("alt"));
    EXPECT_EQ(next.at("txtStartFolder").value, QStringLiteral("/home/anna"));
}

TEST(WindowSettings, LongTextsAreCutBeforeLineBreaksReturn)
{
    struct Case
    {
        QString saved, restored;
    } const cases[] = {
        {QString(3000, u'x'), QString(2048, u'x')},
        {QString(2044, u'x') + QStringLiteral("\r\nmehr"), QString(2044, u'x') + QStringLiteral("\r\n")},
        // The cut falls inside the mark, which then stays as text.
        {QString(2046, u'x') + QStringLiteral("\r\nmehr"), QString(2046, u'x') + QStringLiteral("%c")},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const Case &c : cases) {
        FakeMainWindow saved;
        saved.at("txtFindW").value = c.saved;
        WindowSettings::SaveMainWindow(path, saved.state);
        FakeMainWindow loaded;
        WindowSettings::LoadMainWindow(path, loaded.state);
        EXPECT_EQ(loaded.at("txtFindW").value, c.restored);
    }
}

} // namespace
