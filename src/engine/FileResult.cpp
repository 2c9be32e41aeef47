// What a pass did with one file, as values.
#include "FileResult.h"

#include "cFileResder.h"

QString FileResult::Reason() const
{
    switch (outcome) {
    case Outcome::Missing:
    case Outcome::GoneBeforeWrite:
        return QStringLiteral("Datei nicht gefunden");
    case Outcome::Unreadable:
        return QStringLiteral("Die Datei konnte nicht gelesen werden: %1").arg(error);
    case Outcome::LossyOriginal:
        return QStringLiteral("Die Datei lässt sich in ihrer Kodierung (%1) nicht verlustfrei zurückschreiben")
            .arg(cFileResder::EncodingVerbose(encoding));
    case Outcome::LossyNewText:
        return QStringLiteral("Der neue Text enthält Zeichen, die in der Kodierung %1 nicht darstellbar sind")
            .arg(cFileResder::EncodingVerbose(encoding));
    case Outcome::BackupFailed:
        return error.isEmpty() ? QStringLiteral("Die Datei konnte nicht gesichert werden")
                               : QStringLiteral("Die Datei konnte nicht gesichert werden: %1").arg(error);
    case Outcome::ChangedOnDisk:
        return QStringLiteral("Die Datei wurde seit dem Lesen verändert");
    case Outcome::WriteFailed:
        return QStringLiteral("Schreibfehler: %1").arg(error);
    case Outcome::Damaged:
        return QStringLiteral("Schreibfehler: %1 – der ursprüngliche Inhalt ließ sich nicht wiederherstellen, die "
                              "Datei ist beschädigt")
            .arg(error);
    case Outcome::TooLarge:
        return QStringLiteral("Die Datei ist zu groß für den verfügbaren Speicher");
    default:
        return QString();
    }
}
