// File names as the file system gives them. A name is a string of bytes; most
// are UTF-8, but nothing forces that. A path held as text keeps every byte
// that is not part of valid UTF-8 as the lone surrogate U+DC80..U+DCFF (the
// byte's value plus 0xDC00), so the exact bytes come back for every system
// call, and only what is shown to the user turns them into U+FFFD.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QUrl>

class NativePath
{
public:
    // The bytes of a name or path as text; never loses a byte.
    static QString Decode(const char *bytes, qsizetype size);
    static QString Decode(const QByteArray &bytes) { return Decode(bytes.constData(), bytes.size()); }
    static QString Decode(const char *bytes);

    // The exact bytes Decode was given. Text that did not come from Decode
    // (typed by a user) is plain UTF-8; an unpaired surrogate outside the
    // escape range becomes U+FFFD.
    static QByteArray Encode(QStringView path);
    // The bytes of path made absolute against the working folder, without a
    // closing separator ("/" stays); links and ".." in it stay as they are.
    static QByteArray AbsoluteBytes(const QString &path);

    // What a user sees: every escaped byte as U+FFFD.
    static QString Display(const QString &path);

    // A file URL that names exactly these bytes, for handing a file to
    // another program (QUrl::fromLocalFile would encode the escapes).
    static QUrl Url(const QString &path);

    // Whether the text holds an escaped byte, i.e. the name was not UTF-8.
    static bool HasEscapes(QStringView path);
};
