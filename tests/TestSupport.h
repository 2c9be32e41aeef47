// What many tests share: files as bytes, a temporary folder that an ordinary
// user may enter, random bytes and prose, and with Qt short literals, files by QString
// and readable Qt values in failure messages.
#pragma once

#include "AsOrdinaryUser.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// The bytes of a file, or "<missing>" when it cannot be read.
inline std::string FileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

// Writes a file whole, with its folders; the path comes back.
inline std::string PutFile(const std::string &path, std::string_view bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> b(n);
    for (auto &x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

// Sentences from a small vocabulary, like the text files that get backed up:
// repeats at every distance.
inline std::vector<std::uint8_t> Prose(std::size_t n, unsigned seed)
{
    static const char *const words[] = {"Datei",  "wird",  "ersetzt",  "Größe", "über", "Suchwort", "<td class=\"x\">",
                                        "Ordner", "nicht", "gefunden", "\r\n",  "1234"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += std::string(words[rng() % std::size(words)]) + (rng() % 7 == 0 ? ". " : " ");
    s.resize(n);
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

// A fresh folder, removed with everything in it at the end; mode 0755, so
// that AsOrdinaryUser may look inside. It lies in parent, by default in the
// system's folder for temporary files.
class TempFolder
{
public:
    explicit TempFolder(const std::string &parent = {})
    {
        const std::filesystem::path in =
            parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent);
        std::string name = (in / "velmora-test-XXXXXX").string();
        m_path = ::mkdtemp(name.data());
        ::chmod(m_path.c_str(), 0755);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

#ifdef QT_CORE_LIB
#include "QtPrinters.h"

#include <QByteArray>
#include <QFile>
#include <QString>

inline QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The bytes of a file, or "<missing>".
inline QByteArray bytesOf(const QString &path)
{
    return QByteArray::fromStdString(FileBytes(QFile::encodeName(path).toStdString()));
}

// Writes a file whole, with its folders; the path comes back.
inline QString put(const QString &path, const QByteArray &bytes)
{
    PutFile(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return path;
}
#endif
