#include "params/paramfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QSaveFile>
#include <QVBoxLayout>

#include "panelmem/paramfile.h"
#include "ui/windows.h"

namespace veq {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

std::optional<memmap::RateSettings> ParamFiles::read(const QString& path) {
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        ctx_.messages.show(QStringLiteral("%1 : fichier de paramètres illisible").arg(shown(path)),
                           Icon::Warning);
        return std::nullopt;
    }
    QString why;
    const auto settings = paramfile::parseParameters(f.read(paramfile::kLargestFile + 1), why);
    if (!settings)
        ctx_.messages.show(QStringLiteral("%1 : %2\nLes paramètres de la fenêtre n'ont pas changé.")
                               .arg(shown(path), why),
                           Icon::Warning);
    return settings;
}

void ParamFiles::open() {
    const auto path = ctx_.files.openFileName(kOpenTitle, kFilter, kInitialName);
    if (!path) return;
    if (const auto settings = read(*path)) window_.applySettings(*settings);
}

void ParamFiles::save() {
    QString warning;
    const auto settings = window_.checkedSettings(warning);
    if (!settings) {
        ctx_.messages.show(warning, Icon::Warning);
        return;
    }
    // The window programs some settings a file does not take (a last range of one value): such
    // a file would be refused when opened, so it is not written.
    const QByteArray text =
        QJsonDocument(paramfile::parametersJson(*settings)).toJson(QJsonDocument::Indented);
    QString why;
    if (!paramfile::parseParameters(text, why)) {
        ctx_.messages.show(
            QStringLiteral("Ces paramètres ne peuvent pas être enregistrés dans un fichier : %1")
                .arg(why),
            Icon::Warning);
        return;
    }
    const auto path = ctx_.files.saveFileName(kSaveTitle, kFilter, kInitialName);
    if (!path) return;
    QSaveFile f(*path);
    if (f.open(QIODevice::WriteOnly) && f.write(text) >= 0 && f.commit()) return;
    ctx_.messages.show(QStringLiteral("%1 : le fichier ne peut pas être écrit (%2).")
                           .arg(shown(*path), f.errorString()),
                       Icon::Warning);
}

std::optional<ParamFiles::Comparison> ParamFiles::compare() {
    QString warning;
    const auto controls = window_.checkedSettings(warning);
    if (!controls) {
        ctx_.messages.show(warning, Icon::Warning);
        return std::nullopt;
    }
    const auto path = ctx_.files.openFileName(kCompareTitle, kFilter, kInitialName);
    if (!path) return std::nullopt;
    const auto file = read(*path);
    if (!file) return std::nullopt;
    return Comparison{*path, journal::compareSettings(*controls, *file)};
}

// ---------------------------------------------------------------------------------------------

ComparisonWindow::ComparisonWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("COMPARAISON"));
    setWindowTitle(QStringLiteral(" Comparaison avec un fichier."));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setWordWrap(true);
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("differences"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Réglage"), QStringLiteral("Fenêtre"), QStringLiteral("Fichier")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fitColumns(table_);
    table_->verticalHeader()->hide();
    layout->addWidget(summary_);
    layout->addWidget(table_);
    resize(520, 300);
}

void ComparisonWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fillClientArea(this);
}

void ComparisonWindow::showDifferences(const QString& file,
                                       const QVector<journal::Difference>& differences) {
    summary_->setText(differences.isEmpty()
                          ? QStringLiteral("Les paramètres de la fenêtre et le fichier %1 sont "
                                           "identiques.")
                                .arg(shown(file))
                          : QStringLiteral("Réglages qui diffèrent entre la fenêtre et le fichier "
                                           "%1 :")
                                .arg(shown(file)));
    table_->setRowCount(static_cast<int>(differences.size()));
    for (int r = 0; r < differences.size(); ++r) {
        const journal::Difference& d = differences[r];
        table_->setItem(r, 0, tableCell(d.label));
        table_->setItem(r, 1, tableCell(d.panel));
        table_->setItem(r, 2, tableCell(d.other));
    }
}

}  // namespace veq
