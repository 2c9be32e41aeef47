// QString and QByteArray faces of the UTF-8 and Latin-1 kernel.
#include "Utf8.h"

namespace {

char16_t *units(QString &s)
{
    return reinterpret_cast<char16_t *>(s.data());
}

} // namespace

bool Utf8::DecodeStrict(const char *data, std::size_t size, QString &out)
{
    const qsizetype base = out.size();
    out.resize(base + static_cast<qsizetype>(size));
    const std::size_t n = Utf8Kernel::Decode(data, size, units(out) + base, Utf8Kernel::IllFormed::Fail);
    if (n == Utf8Kernel::Failed)
        return false;
    out.resize(base + static_cast<qsizetype>(n));
    return true;
}

QString Utf8::DecodeLenient(const char *data, std::size_t size)
{
    QString out(static_cast<qsizetype>(size), Qt::Uninitialized);
    out.resize(static_cast<qsizetype>(Utf8Kernel::Decode(data, size, units(out), Utf8Kernel::IllFormed::Replace)));
    return out;
}

QByteArray Utf8::Encode(QStringView text)
{
    const std::size_t n = static_cast<std::size_t>(text.size());
    QByteArray out(static_cast<qsizetype>(Utf8Kernel::MaxEncodedSize(n)), Qt::Uninitialized);
    out.resize(
        static_cast<qsizetype>(Utf8Kernel::Encode(reinterpret_cast<const char16_t *>(text.data()), n, out.data())));
    return out;
}

QString Utf8::DecodeLatin1(const char *data, std::size_t size)
{
    QString out(static_cast<qsizetype>(size), Qt::Uninitialized);
    Utf8Kernel::WidenLatin1(data, size, units(out));
    return out;
}

QByteArray Utf8::NarrowLatin1(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    Utf8Kernel::NarrowLatin1(reinterpret_cast<const char16_t *>(text.data()), static_cast<std::size_t>(text.size()),
                             out.data());
    return out;
}
