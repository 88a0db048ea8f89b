#include "link/fileerror.h"

#include <QFileInfo>

namespace veq {

QString fileErrorText(const QFileDevice& file) {
    const QFileInfo info(file.fileName());
    switch (file.error()) {
        case QFileDevice::OpenError:
            if (!info.exists()) return QStringLiteral("fichier introuvable");
            if (info.isDir()) return QStringLiteral("c'est un dossier, pas un fichier");
            return QStringLiteral("ouverture refusée (droits d'accès ?)");
        case QFileDevice::PermissionsError:
            return QStringLiteral("accès refusé (droits d'accès ?)");
        case QFileDevice::ReadError:
            return QStringLiteral("lecture impossible");
        case QFileDevice::WriteError:
        case QFileDevice::ResizeError:
            return QStringLiteral("écriture impossible (disque plein ?)");
        case QFileDevice::RenameError:
        case QFileDevice::CopyError:
        case QFileDevice::RemoveError:
            return QStringLiteral("le fichier n'a pas pu être remplacé");
        default:
            return QStringLiteral("erreur de fichier");
    }
}

}  // namespace veq
