// Window settings: keys and value forms per kind of control.
#include "WindowSettings.h"

#include "IniFile.h"
#include "TestSupport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
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
        {Kind::TextBox, "", ""},    {Kind::TextBox, "  \"C:\\a b\" ", "  \"C:\\a b\" "},
        {Kind::TextBoxW, "", ""},   {Kind::TextBoxW, "eins\r\nzwei\r\n", "eins%cc%zwei%cc%"},
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
        {Kind::TextBoxW, "alt", "", ""},
        {Kind::TextBoxW, "alt", std::nullopt, "alt"},
        {Kind::CheckBox, "1", "", "1"},
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

} // namespace

// The window's geometry: all four numbers or none, so files from before the
// window kept its size, and half-written ones, leave the default size.
TEST(WindowSettings, WindowGeometryNeedsAllFourNumbers)
{
    const std::vector<std::tuple<const char *, QRect, bool>> cases = {
        {"", QRect(), false},
        {"[frmMainWindow]\nLeft=10\nTop=20\nWidth=1100\nHeight=720\nMaximized=Wahr\n", QRect(10, 20, 1100, 720), true},
        {"[frmMainWindow]\nLeft=10\nTop=20\nWidth=1100\n", QRect(), false},
        {"[frmMainWindow]\nLeft=10\nTop=20\nWidth=breit\nHeight=720\n", QRect(), false},
        {"[frmMainWindow]\nLeft=10\nTop=20\nWidth=0\nHeight=720\n", QRect(), false},
    };
    for (const auto &[file, geometry, maximized] : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        put(path, QByteArray(file));
        WindowSettings::MainWindowState state;
        WindowSettings::LoadMainWindow(path, state);
        EXPECT_EQ(state.Geometry, geometry) << file;
        EXPECT_EQ(state.Maximized, maximized) << file;
    }
}
