#pragma once

#include <functional>

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include "ui/context.h"

namespace veq {

// The configuration file operations of the "Fichier" menu: open a ".zuk" file into the link
// settings window (and validate it), and save that window's eight lists into one.
class Fichier {
  public:
    inline static const QString kInitialName = QStringLiteral("Configuration_PTX");
    inline static const QString kOpenTitle =
        QStringLiteral("Ouvrir un fichier de configuration PTX");
    inline static const QString kOpenFilter =
        QStringLiteral("Fichiers configuration(*.zuk)|*.zuk|Tous les fichiers(*.*)|*.*|");
    inline static const QString kSaveTitle =
        QStringLiteral("Enregistrer un fichier de configuration PTX");
    inline static const QString kSaveFilter =
        QStringLiteral("Fichiers configuration(*.ZUK)|*.ZUK|Tous les fichiers(*.*)|*.*|");

    explicit Fichier(WindowContext& ctx) : ctx_(ctx) {}

    // Open dialog, read the file, show the link settings window, apply the file to it.
    void OUVRIR_CONFIGURATION();
    // Save dialog, show the link settings window, write its eight lists to the file.
    void ENREGISTRER_CONFIGURATION();

    // Builds the text to be written from the link settings window's lists.
    QString TEXTE_CONFIGURATION();
    // Sets the lists from lines 1 to 8 of the text read, in order, and validates the link
    // settings; stops silently at the first line that is no position of its list.
    void APPLIQUE_CONFIGURATION();

    // The text of the last file read (at most the first configfile::kReadLimit bytes).
    const QByteArray& readText() const { return readText_; }
    // The text of the last save.
    const QString& writeText() const { return writeText_; }

    // The moment written into a saved file (the current date and time by default) and the
    // locale that formats it (the system's by default).
    void setNow(std::function<QDateTime()> now) { now_ = std::move(now); }
    void setLocale(const QLocale& locale) { locale_ = locale; }

  private:
    bool readFile(const QString& name);
    bool writeFile(const QString& name);
    void showLinkSettings();

    WindowContext& ctx_;
    QByteArray readText_;
    QString writeText_;
    std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };
    QLocale locale_ = QLocale::system();
};

}  // namespace veq
