#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "journal/compare.h"
#include "journal/journal.h"
#include "params/dump24c01.h"
#include "ui/context.h"

namespace veq {

// The parameter file in the parameter window: the very file of veqctl ("params get -o",
// "params set"), read and checked by the same code.
class ParamFiles {
  public:
    inline static const QString kFilter =
        QStringLiteral("Fichiers de paramètres(*.json)|*.json|Tous les fichiers(*.*)|*.*|");
    inline static const QString kOpenTitle = QStringLiteral("Ouvrir un fichier de paramètres");
    inline static const QString kSaveTitle =
        QStringLiteral("Enregistrer les paramètres dans un fichier");
    inline static const QString kCompareTitle =
        QStringLiteral("Comparer les paramètres avec un fichier");
    inline static const QString kInitialName = QStringLiteral("parametres.json");

    ParamFiles(WindowContext& ctx, Dump24c01& window) : ctx_(ctx), window_(window) {}

    // Asks for a file and puts its settings into the controls. The whole file is checked first,
    // as "veqctl params set" checks it: on any fault the controls stay as they were and the
    // message names the field and the values it allows.
    void open();
    // Asks for a file and writes the controls' settings into it, checked as "Programme les
    // paramètres" checks them (nothing is written when a check fails).
    void save();
    // Asks for a file and gives the settings where the controls and the file differ; nothing
    // when the file or the controls do not pass their checks (the message says why).
    struct Comparison {
        QString file;
        QVector<journal::Difference> differences;  // the controls' value, then the file's
    };
    std::optional<Comparison> compare();

  private:
    std::optional<memmap::RateSettings> read(const QString& path);

    WindowContext& ctx_;
    Dump24c01& window_;
};

// The small window that lists the differences between the controls and a file.
class ComparisonWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ComparisonWindow(QWidget* parent = nullptr);
    void showDifferences(const QString& file, const QVector<journal::Difference>& differences);
    QTableWidget* table() const { return table_; }
    QLabel* summary() const { return summary_; }

  protected:
    // Opens over the whole client area of the main window.
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* summary_;
    QTableWidget* table_;
};

}  // namespace veq
