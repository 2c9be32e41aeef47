// File names as the file system gives them.
#include "NativePath.h"

#include "Utf8Kernel.h"

#include <QDir>
#include <cstring>

namespace {

bool isEscape(QStringView path, qsizetype i)
{
    return Utf8Kernel::IsEscape(reinterpret_cast<const char16_t *>(path.data()), static_cast<std::size_t>(i));
}

} // namespace

QString NativePath::Decode(const char *bytes)
{
    return bytes ? Decode(bytes, static_cast<qsizetype>(std::strlen(bytes))) : QString();
}

QString NativePath::Decode(const char *bytes, qsizetype size)
{
    if (size <= 0)
        return QString();
    QString out(size, Qt::Uninitialized);
    out.resize(static_cast<qsizetype>(Utf8Kernel::Decode(bytes, static_cast<std::size_t>(size),
                                                         reinterpret_cast<char16_t *>(out.data()),
                                                         Utf8Kernel::IllFormed::Escape)));
    return out;
}

QByteArray NativePath::Encode(QStringView path)
{
    const std::size_t n = static_cast<std::size_t>(path.size());
    QByteArray out(static_cast<qsizetype>(Utf8Kernel::MaxEncodedSize(n)), Qt::Uninitialized);
    out.resize(static_cast<qsizetype>(
        Utf8Kernel::Encode(reinterpret_cast<const char16_t *>(path.data()), n, out.data(), true)));
    return out;
}

QString NativePath::Display(const QString &path)
{
    if (!HasEscapes(path))
        return path; // shares the text
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isEscape(path, i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool NativePath::HasEscapes(QStringView path)
{
    for (qsizetype i = 0; i < path.size(); ++i)
        if (isEscape(path, i))
            return true;
    return false;
}

QUrl NativePath::Url(const QString &path)
{
    if (!HasEscapes(path))
        return QUrl::fromLocalFile(path);
    return QUrl(QStringLiteral("file://") + QString::fromLatin1(Encode(path).toPercentEncoding("/")), QUrl::StrictMode);
}

QByteArray NativePath::AbsoluteBytes(const QString &path)
{
    QByteArray native = Encode(path);
    if (!native.startsWith('/'))
        native = Encode(QDir::currentPath()) + '/' + native;
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    return native;
}
