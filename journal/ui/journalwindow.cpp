#include "journal/ui/journalwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QVBoxLayout>

#include "journal/journalrows.h"
#include "ui/windows.h"

namespace veq {

namespace {

QString address(int a) {
    return QStringLiteral("%1").arg(a, 2, 16, QLatin1Char('0')).toUpper() + QLatin1Char('h');
}

}  // namespace

JournalWindow::JournalWindow(WindowContext& ctx, Load load, QWidget* parent)
    : QWidget(parent), ctx_(ctx), load_(std::move(load)) {
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
        table_->setItem(r, 0, tableCell(QString::number(rec.number)));
        table_->setItem(r, 1, tableCell(journalrows::timeText(rec.time, locale), rec.time));
        table_->setItem(r, 2, tableCell(rec.port, rec.device));
        table_->setItem(r, 3, tableCell(rec.operation));
        table_->setItem(r, 4,
                        tableCell(address(rec.from) + QStringLiteral("..") + address(rec.to)));
        table_->setItem(r, 5, tableCell(journalrows::outcomeText(rec.outcome, rec.cause)));
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
    if (!load_(r.from, *bytes))
        ctx_.messages.show(
            QStringLiteral("Les octets de l'enregistrement n° %1 sont dans la grille ; ils ne "
                           "contiennent pas de paramètres programmés (60h à 7Fh) : les réglages "
                           "de la fenêtre n'ont pas changé.")
                .arg(r.number),
            Icon::Warning);
    emit loaded();
}

}  // namespace veq
