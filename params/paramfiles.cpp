#include "params/paramfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSaveFile>
#include <QVBoxLayout>

#include "link/ui/windows.h"
#include "panelmem/paramfile.h"
#include "params/journalrows.h"

namespace veq {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString address(int a) {
    return QStringLiteral("%1").arg(a, 2, 16, QLatin1Char('0')).toUpper() + QLatin1Char('h');
}

// The window's frame fills the main window's client area (the area of its child windows), so
// that a table with long texts is never wider than the screen.
void fillClientArea(QWidget* w) {
    auto* sub = qobject_cast<QMdiSubWindow*>(frameOf(w));
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    if (!area || sub->isMaximized() || sub->isMinimized()) return;
    sub->setGeometry(area->viewport()->rect());
}

// Every column as wide as its texts, the last one taking the rest of the width (its texts are
// cut with "…" only when the window is narrower than the texts, and whole in their tooltips).
void fitColumns(QTableWidget* table) {
    QHeaderView* h = table->horizontalHeader();
    for (int c = 0; c + 1 < table->columnCount(); ++c)
        h->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    h->setSectionResizeMode(table->columnCount() - 1, QHeaderView::Stretch);
}

// A column whose texts may be long (a device path given to veqctl as the port) is as wide as its
// texts up to `chars` average characters; longer texts lose their middle ("…"), whole in their
// tooltips.
void capColumn(QTableWidget* table, int column, int chars) {
    table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Interactive);
    table->resizeColumnToContents(column);
    const int widest = table->fontMetrics().averageCharWidth() * chars;
    if (table->columnWidth(column) > widest) table->setColumnWidth(column, widest);
}

QTableWidgetItem* cell(const QString& text, const QString& tip = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(tip.isEmpty() ? text : tip);
    return item;
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
        table_->setItem(r, 0, cell(d.label));
        table_->setItem(r, 1, cell(d.panel));
        table_->setItem(r, 2, cell(d.other));
    }
}

// ---------------------------------------------------------------------------------------------

JournalWindow::JournalWindow(WindowContext& ctx, std::function<Dump24c01&()> window,
                             QWidget* parent)
    : QWidget(parent), ctx_(ctx), window_(std::move(window)) {
    setObjectName(QStringLiteral("JOURNAL"));
    setWindowTitle(QStringLiteral(" Journal des opérations."));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, 6, this);
    table_->setObjectName(QStringLiteral("records"));
    table_->setHorizontalHeaderLabels({QStringLiteral("N°"), QStringLiteral("Heure"),
                                       QStringLiteral("Port"), QStringLiteral("Opération"),
                                       QStringLiteral("Adresses"), QStringLiteral("Résultat")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTextElideMode(Qt::ElideMiddle);
    fitColumns(table_);
    table_->verticalHeader()->hide();
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    but_avant = new QPushButton(QStringLiteral("Charger « avant »"), this);
    but_avant->setObjectName(QStringLiteral("but_avant"));
    but_avant->setToolTip(QStringLiteral(
        "Ce que l'afficheur contenait avant l'écriture, dans la fenêtre des paramètres."));
    but_ecrit = new QPushButton(QStringLiteral("Charger « écrit »"), this);
    but_ecrit->setObjectName(QStringLiteral("but_ecrit"));
    but_ecrit->setToolTip(
        QStringLiteral("Ce qui a été écrit (ou lu), dans la fenêtre des paramètres."));
    but_actualiser = new QPushButton(QStringLiteral("Actualiser"), this);
    but_actualiser->setObjectName(QStringLiteral("but_actualiser"));
    buttons->addWidget(but_avant);
    buttons->addWidget(but_ecrit);
    buttons->addStretch();
    buttons->addWidget(but_actualiser);
    layout->addLayout(buttons);
    connect(but_avant, &QPushButton::clicked, this, [this] { but_avant_Click(); });
    connect(but_ecrit, &QPushButton::clicked, this, [this] { but_ecrit_Click(); });
    connect(but_actualiser, &QPushButton::clicked, this, [this] { refresh(); });
    resize(720, 360);
    refresh();
}

void JournalWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fillClientArea(this);
}

void JournalWindow::refresh() {
    records_ = journal::lastRecords(journal::journalPath(), kShown);
    table_->setRowCount(static_cast<int>(records_.size()));
    const QLocale locale;
    for (int r = 0; r < static_cast<int>(records_.size()); ++r) {
        const journal::Record& rec = records_[static_cast<std::size_t>(r)];
        // The time as the operator writes it, local; the file's own text in its tooltip.
        table_->setItem(r, 0, cell(QString::number(rec.number)));
        table_->setItem(r, 1, cell(journalrows::timeText(rec.time, locale), rec.time));
        table_->setItem(r, 2, cell(rec.port, rec.device));
        table_->setItem(r, 3, cell(rec.operation));
        table_->setItem(r, 4, cell(address(rec.from) + QStringLiteral("..") + address(rec.to)));
        table_->setItem(r, 5, cell(journalrows::outcomeText(rec.outcome, rec.cause)));
    }
    capColumn(table_, 2, kPortChars);
    if (!records_.empty()) table_->selectRow(0);
}

void JournalWindow::but_avant_Click() {
    load(true);
}

void JournalWindow::but_ecrit_Click() {
    load(false);
}

void JournalWindow::load(bool before) {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(records_.size())) {
        ctx_.messages.show(QStringLiteral("Choisissez d'abord un enregistrement du journal."),
                           Icon::Warning);
        return;
    }
    const journal::Record& r = records_[static_cast<std::size_t>(row)];
    // A read's bytes are what it found: "écrit" loads them for a read.
    const std::optional<QByteArray>& bytes = before ? r.before : (r.written ? r.written : r.read);
    if (!bytes) {
        ctx_.messages.show(
            before ? QStringLiteral("L'enregistrement n° %1 ne dit pas ce que l'afficheur "
                                    "contenait avant : rien n'a été chargé.")
                         .arg(r.number)
                   : QStringLiteral("L'enregistrement n° %1 ne contient pas d'octets : rien n'a "
                                    "été chargé.")
                         .arg(r.number),
            Icon::Warning);
        return;
    }
    if (!window_().loadBytes(r.from, *bytes))
        ctx_.messages.show(
            QStringLiteral("Les octets de l'enregistrement n° %1 sont dans la grille ; ils ne "
                           "contiennent pas de paramètres programmés (60h à 7Fh) : les réglages "
                           "de la fenêtre n'ont pas changé.")
                .arg(r.number),
            Icon::Warning);
    emit loaded();
}

}  // namespace veq
