// Window settings: keys and value forms per kind of control, and the main window's start-up and shutdown.
#include "WindowSettings.h"

#include "IniFile.h"
#include "TestSupport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <tuple>

namespace {

using Kind = ISettingsControl::Kind;

struct FakeControl : ISettingsControl
{
    FakeControl(Kind kind, QString name, int index, QString value)
        : kind(kind), name(std::move(name)), index(index), value(std::move(value))
    {}
    Kind SettingsKind() const override { return kind; }
    QString SettingsName() const override { return name; }
    int SettingsIndex() const override { return index; }
    QString SettingsValue() const override { return value; }
    bool SetSettingsValue(const QString &v) override
    {
        // Like the real controls: check boxes take 0 to 2, folder lists only
        // folders that exist.
        const bool fits = kind == Kind::CheckBox     ? QStringList{"0", "1", "2"}.contains(v)
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
        for (const char *box : {"chkUnterordner", "chkNS", "chkBackup"})
            add(Kind::CheckBox, box, -1, "0");
        for (int i = 0; i < 3; ++i)
            add(Kind::CheckBox, "chkP", i, i == 1 ? "1" : "0");
        add(Kind::TextBoxW, "txtFindW", -1, "");
        add(Kind::FolderList, "dirFolder", -1, "/home/anna");
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

    std::vector<std::unique_ptr<FakeControl>> controls;
    WindowSettings::MainWindowState state;
};

QString fileText(const QString &path)
{
    const QByteArray b = bytesOf(path);
    if (!b.startsWith("\xFF\xFE") || b.size() % 2)
        return QStringLiteral("<missing or not UTF-16LE>");
    return QString(reinterpret_cast<const QChar *>(b.constData() + 2), (b.size() - 2) / 2);
}

TEST(WindowSettings, SavedValueByKind)
{
    const std::tuple<Kind, QString, std::optional<QString>> cases[] = {
        // kind, value, stored (nullopt: no key)
        {Kind::TextBox, "", ""},
        {Kind::TextBox, "  \"C:\\a b\" ", "  \"C:\\a b\" "},
        {Kind::TextBoxW, "", std::nullopt},
        {Kind::TextBoxW, "eins\r\nzwei\r\n", "eins%cc%zwei%cc%"},
        {Kind::CheckBox, "2", "2"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const auto &[kind, value, stored] : cases) {
        SCOPED_TRACE(value.toStdString());
        QFile::remove(path);
        FakeControl control(kind, "ctl", -1, value);
        IniFile ini(path);
        WindowSettings::Save(ini, QStringLiteral("Sec"), {&control});
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(fileText(path), stored ? QStringLiteral("[Sec]\r\nctl=") + *stored + QStringLiteral("\r\n") : "");
    }
}

TEST(WindowSettings, RestoredValueByKindSkipsWhatDoesNotConvert)
{
    const std::tuple<Kind, QString, std::optional<QString>, QString> cases[] = {
        // before, stored, after
        {Kind::TextBox, "entworfen", std::nullopt, "entworfen"},
        {Kind::TextBox, "", "  \"zitiert\" ", "  \"zitiert\" "},
        {Kind::TextBoxW, "", "eins%cc%zwei", "eins\r\nzwei"},
        {Kind::TextBoxW, "alt", "", "alt"},
        {Kind::CheckBox, "1", " 0", "0"},
        {Kind::CheckBox, "1", "abc", "1"},
        {Kind::FolderList, "/alt", "/gone", "/alt"},
    };
    for (const auto &[kind, before, stored, after] : cases) {
        SCOPED_TRACE(stored.value_or("<no key>").toStdString());
        IniFile ini(QStringLiteral("/nonexistent/settings.ini"));
        if (stored)
            ini.WriteKey(QStringLiteral("Sec"), QStringLiteral("ctl(3)"), *stored);
        FakeControl control(kind, "ctl", 3, before);
        WindowSettings::Load(ini, QStringLiteral("Sec"), {&control});
        EXPECT_EQ(control.value, after);
    }
}

TEST(WindowSettings, EmptiedTextsAndForeignContent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    put(path, "[Fremd]\nx=1\n[frmMainControls]\nunbekannt=2\ntxtFindW=alt\ntxtStartFolder=/alt\n");

    FakeMainWindow window;
    WindowSettings::LoadMainWindow(path, window.state);
    EXPECT_EQ(window.at("txtFindW").value, QStringLiteral("alt"));
    window.at("txtFindW").value.clear();
    window.at("txtStartFolder").value.clear();
    WindowSettings::SaveMainWindow(path, window.state);

    // The emptied standard text box writes an empty key; the emptied TextBoxW
    // writes none, so its old value comes back.
    EXPECT_TRUE(fileText(path).startsWith(
        QStringLiteral("[Fremd]\r\nx=1\r\n[frmMainControls]\r\nunbekannt=2\r\ntxtFindW=alt\r\ntxtStartFolder=\r\n")));
    FakeMainWindow next;
    WindowSettings::LoadMainWindow(path, next.state);
    EXPECT_EQ(next.at("txtFindW").value, QStringLiteral("alt"));
    EXPECT_EQ(next.at("txtStartFolder").value, QStringLiteral("/home/anna")); // empty key: designed text stays
}

} // namespace
