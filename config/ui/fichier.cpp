#include "config/ui/fichier.h"

#include <array>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "config/configfile.h"
#include "link/ui/configuration.h"
#include "ui/windows.h"

namespace veq {

void Fichier::OUVRIR_CONFIGURATION() {
    const auto name = ctx_.files.openFileName(kOpenTitle, kOpenFilter, kInitialName);
    if (!name || name->isEmpty()) return;
    // A failed read is tried again for as long as the operator asks for it.
    while (!readFile(*name)) {
        if (!ctx_.messages.askRetry(QStringLiteral("Erreur d'ouverture de ") + *name)) return;
    }
    showLinkSettings();
    APPLIQUE_CONFIGURATION();
}

void Fichier::ENREGISTRER_CONFIGURATION() {
    const auto name = ctx_.files.saveFileName(kSaveTitle, kSaveFilter, kInitialName);
    if (!name || name->isEmpty()) return;
    while (!writeFile(*name)) {
        if (!ctx_.messages.askRetry(QStringLiteral("Erreur lors de la création de ") + *name +
                                    QStringLiteral(". Essayer à nouveau")))
            return;
    }
}

bool Fichier::readFile(const QString& name) {
    readText_.clear();
    // Only a plain file is read: a pipe would wait for a writer for ever and a device could
    // deliver without end.
    const QFileInfo info(name);
    if (!info.isFile()) return false;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return false;
    readText_ = file.read(configfile::kReadLimit);
    return file.error() == QFileDevice::NoError;
}

bool Fichier::writeFile(const QString& name) {
    const QFileInfo info(name);
    // A folder, a device or a pipe is never replaced by a file, nor is a write-protected file.
    if (info.exists() && (!info.isFile() || !info.isWritable())) return false;
    // The text goes to a temporary file that replaces the old one only once it is complete.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return false;
    showLinkSettings();
    const QByteArray bytes = configfile::encode(TEXTE_CONFIGURATION());
    // The bytes must reach the disk before the old file is replaced: QSaveFile's commit does not
    // report a buffered write that the disk refused (a full disk left an empty file in place of
    // a good one).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void Fichier::showLinkSettings() {
    showNormalFocused(&ctx_.configuration());
}

QString Fichier::TEXTE_CONFIGURATION() {
    writeText_.clear();
    ConfigurationWindow& cfg = ctx_.configuration();
    std::array<configfile::ListChoice, configfile::kListCount> lists;
    for (int k = 0; k < configfile::kListCount; ++k)
        lists[k] = {cfg.list(k)->currentIndex(), cfg.list(k)->currentText()};
    const QDateTime now = now_();
    writeText_ = configfile::text(lists, configfile::dateText(now, locale_),
                                  configfile::timeText(now, locale_));
    return writeText_;
}

void Fichier::APPLIQUE_CONFIGURATION() {
    ConfigurationWindow& cfg = ctx_.configuration();
    std::array<int, configfile::kListCount> counts;
    for (int k = 0; k < configfile::kListCount; ++k) counts[k] = cfg.list(k)->count();
    const std::vector<int> positions = configfile::positions(readText_, counts);
    for (size_t k = 0; k < positions.size(); ++k)
        cfg.list(static_cast<int>(k))->setCurrentIndex(positions[k]);
    if (positions.size() != configfile::kListCount) return;
    // As if the operator pressed "Valider la configuration": the port is opened with the
    // settings just loaded.
    cfg.validateButton()->click();
}

}  // namespace veq
