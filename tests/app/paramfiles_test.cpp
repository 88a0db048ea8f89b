#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include "app/lib/principal.h"
#include "journal/journal.h"
#include "journal/journalrows.h"
#include "journal/ui/journalwindow.h"
#include "link/ui/configuration.h"
#include "panelmem/paramfile.h"
#include "panelsim/model/image.h"
#include "params/dump24c01.h"
#include "params/paramfiles.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq {
namespace {

// The main window with the port validated on COM3, where the simulated panel answers.
struct ParamFilesTest : ::testing::Test {
    ParamFilesTest() {
        principal.setEndApplication([] {});
        h.panel->memory = sim::programmedMemory();
        principal.MDIForm_Load();
        principal.configuration().validateButton()->click();
        h.messages.shown.clear();
    }
    Dump24c01& w() { return principal.parameters(); }
    QScrollBar* slider(const char* name) {
        return w().findChild<QScrollBar*>(QString::fromLatin1(name));
    }
    QString write(const QString& name, const QByteArray& text) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return path;
    }
    QByteArray read(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    memmap::RateSettings controls() {
        QString warning;
        const auto s = w().checkedSettings(warning);
        EXPECT_TRUE(s) << warning.toStdString();
        return s.value_or(memmap::RateSettings{});
    }

    test::Harness h;
    Principal principal{h.context};
    QTemporaryDir dir;
};

TEST_F(ParamFilesTest, FileMenuKeepsItsEntriesAndGetsFourAboveQuitter) {
    QStringList entries;
    for (QAction* a : principal.findChild<QMenu*>(QStringLiteral("MENU_FICHIER"))->actions())
        entries << (a->isSeparator() ? QStringLiteral("--") : a->text());
    EXPECT_EQ(entries, QStringList({"&Nouvelle configuration", "&Ouvrir une configuration",
                                    "&Enregistrer une configuration", "--",
                                    "Ouvrir un &fichier de paramètres...",
                                    "Enregistrer les paramètres dans un fichier...",
                                    "Co&mparer les paramètres avec un fichier...",
                                    "&Journal des opérations...", "&Quitter"}));
    for (const char* name :
         {"MENU_PARAM_OUVRIR", "MENU_PARAM_ENREGISTRER", "MENU_PARAM_COMPARER", "MENU_JOURNAL"})
        EXPECT_TRUE(principal.isAvailable(name)) << name;
}

// A file the window saves is veqctl's file; one veqctl writes opens in the window; programming
// what was opened writes the bytes the file's settings encode to.
TEST_F(ParamFilesTest, SaveAndOpenAreVeqctlsFileAndARoundTripWritesTheSameBytes) {
    slider("HScroll5")->setValue(1234);
    slider("HScroll2")->setValue(3);
    const QString saved = dir.filePath(QStringLiteral("saved.json"));
    h.files.answers = {saved};
    principal.MENU_PARAM_ENREGISTRER_Click();
    QString error;
    const auto fromWindow = paramfile::parseParameters(read(saved), error);
    ASSERT_TRUE(fromWindow) << error.toStdString();
    EXPECT_EQ(paramfile::parametersJson(*fromWindow), paramfile::parametersJson(controls()));
    EXPECT_EQ(fromWindow->stopThreshold, 1234);
    // A last range of one value, which the file refuses, is not saved either.
    slider("HScroll1(4)")->setValue(9998);
    h.files.answers = {dir.filePath(QStringLiteral("short.json"))};
    principal.MENU_PARAM_ENREGISTRER_Click();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_TRUE(h.messages.shown[0].text.contains(QStringLiteral("\"ranges[3].end\" vaut 9998")))
        << h.messages.shown[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("short.json"))));
    h.messages.shown.clear();
    slider("HScroll1(4)")->setValue(799);

    memmap::RateSettings other;
    other.timeBase = 600000;
    other.ranges[2] = {500, colour::kRed};
    other.flags = {1, 2, 0};
    other.brightnessOption = 3;
    const QString veqctlFile =
        write(QStringLiteral("veqctl.json"),
              QJsonDocument(paramfile::parametersJson(other)).toJson(QJsonDocument::Indented));
    h.files.answers = {veqctlFile};
    principal.MENU_PARAM_OUVRIR_Click();
    EXPECT_TRUE(h.messages.shown.empty()) << h.messages.texts().front().toStdString();
    EXPECT_EQ(paramfile::parametersJson(controls()), paramfile::parametersJson(other));

    w().findChild<QPushButton*>(QStringLiteral("but_ecrit_para"))->click();
    MemoryGrid expected;
    memmap::encodeRate(other, expected);
    for (int a = 96; a <= 124; ++a)
        EXPECT_EQ(h.panel->memory[static_cast<std::size_t>(a)],
                  memmap::cellValue(expected, a) & 0xFF)
            << a;
}

TEST_F(ParamFilesTest, ABadFileLeavesTheControlsAndNamesTheField) {
    const QByteArray before = QJsonDocument(paramfile::parametersJson(controls())).toJson();
    QJsonObject o = paramfile::parametersJson(controls());
    o.insert(QStringLiteral("stop_threshold"), 5000);
    o.insert(QStringLiteral("anti_bounce"), 7);  // a valid change that must not land either
    h.files.answers = {write(QStringLiteral("bad.json"), QJsonDocument(o).toJson())};
    principal.MENU_PARAM_OUVRIR_Click();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_TRUE(h.messages.shown[0].text.contains(
        QStringLiteral("champ \"stop_threshold\" vaut 5000 : valeurs permises : un nombre entier "
                       "de 3 à 3600")))
        << h.messages.shown[0].text.toStdString();
    EXPECT_EQ(QJsonDocument(paramfile::parametersJson(controls())).toJson(), before);
}

TEST_F(ParamFilesTest, CompareListsTheFieldsThatDiffer) {
    memmap::RateSettings file = controls();
    file.relay1 = 4321;
    h.files.answers = {
        write(QStringLiteral("c.json"), QJsonDocument(paramfile::parametersJson(file)).toJson())};
    principal.MENU_PARAM_COMPARER_Click();
    QTableWidget* t = principal.comparison().table();
    ASSERT_EQ(t->rowCount(), 1);
    EXPECT_EQ(t->item(0, 0)->text(), QStringLiteral("Relais 1"));
    EXPECT_EQ(t->item(0, 1)->text(), QString::number(controls().relay1));
    EXPECT_EQ(t->item(0, 2)->text(), QStringLiteral("4321"));
    EXPECT_TRUE(principal.comparison().isVisible());
    EXPECT_TRUE(principal.mdiArea()->viewport()->rect().contains(
        frameOf(&principal.comparison())->geometry()));
}

// A programming from the window, then its record's "before" back into the controls and the grid.
TEST_F(ParamFilesTest, TheJournalWindowLoadsARecordsBytesIntoTheControls) {
    Dump24c01& p = w();
    p.findChild<QPushButton*>(QStringLiteral("but_lit_para"))->click();
    const memmap::RateSettings read = controls();
    slider("HScroll5")->setValue(777);
    p.findChild<QPushButton*>(QStringLiteral("but_ecrit_para"))->click();
    EXPECT_EQ(h.panel->memory[123] * 256 + h.panel->memory[124], 777);

    principal.MENU_JOURNAL_Click();
    JournalWindow& j = principal.journal();
    ASSERT_GE(j.records().size(), 2u);
    const journal::Record& newest = j.records().front();
    EXPECT_EQ(newest.operation, QStringLiteral("Programme les paramètres"));
    EXPECT_EQ(newest.port, QStringLiteral("COM3"));
    ASSERT_TRUE(newest.before);

    h.messages.shown.clear();
    j.table()->selectRow(0);
    j.but_avant_Click();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(slider("HScroll5")->value(), read.stopThreshold);
    EXPECT_EQ(paramfile::parametersJson(controls()), paramfile::parametersJson(read));
    for (int a = 96; a <= 127; ++a)
        EXPECT_EQ(p.grid().text(a), QStringLiteral("%1")
                                        .arg(static_cast<unsigned char>(newest.before->at(a - 96)),
                                             2, 16, QLatin1Char('0'))
                                        .toUpper())
            << a;
    j.but_ecrit_Click();
    EXPECT_EQ(slider("HScroll5")->value(), 777);
}

// The record's time in the operator's format and zone, the outcome and its cause in French.
TEST(JournalRows, TimesOutcomesAndCausesInFrench) {
    const QLocale fr(QLocale::French, QLocale::France);
    struct Time {
        const char* iso;
        int zoneSeconds;
        const char* shown;
    };
    for (const Time& t : {Time{"2026-12-09T08:55:19.449+00:00", 3600, "09/12/2026 09:55:19"},
                          Time{"2026-12-31T23:30:00.000-01:00", 0, "01/01/2027 00:30:00"},
                          Time{"2026-07-01T14:05:09.001+02:00", 7200, "01/07/2026 14:05:09"},
                          Time{"pas une heure", 0, "pas une heure"}})
        EXPECT_EQ(journalrows::timeText(QString::fromUtf8(t.iso), fr, QTimeZone(t.zoneSeconds)),
                  QString::fromUtf8(t.shown))
            << t.iso;
    struct Row {
        journal::Result outcome;
        const char* cause;
        const char* shown;
    };
    using R = journal::Result;
    for (const Row& r :
         {Row{R::Success, "", "réussie"}, Row{R::Unknown, "", "inconnue"},
          Row{R::Failed, "no-answer", "échouée : L'afficheur n'a pas répondu"},
          Row{R::Failed, "incomplete", "échouée : Réponse incomplète de l'afficheur"},
          Row{R::Failed, "line-stalled", "échouée : La ligne est bloquée"},
          Row{R::Failed, "read-back-differs",
              "échouée : La relecture diffère de ce qui a été écrit"},
          Row{R::Refused, "not-sent", "refusée : Rien n'a été écrit"},
          Row{R::Failed, "panne-inconnue", "échouée : panne-inconnue"}})
        EXPECT_EQ(journalrows::outcomeText(r.outcome, QString::fromUtf8(r.cause)),
                  QString::fromUtf8(r.shown))
            << r.cause;
}

// At 1280 x 1024 the journal window lies inside the main window's client area with every column
// as wide as its texts; times local in the operator's format (the file's text in the tooltip),
// outcomes in French, newest first.
TEST_F(ParamFilesTest, TheJournalWindowFitsTheMainWindowAndReadsInFrench) {
    struct FrenchLocale {
        FrenchLocale() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
        ~FrenchLocale() { QLocale::setDefault(before); }
        QLocale before;
    } french;
    struct Appended {
        journal::Result outcome;
        const char* cause;
        const char* shown;
    };
    using R = journal::Result;
    const std::vector<Appended> appended = {
        {R::Success, "", "réussie"},
        {R::Failed, "unexpected",
         "échouée : Réponse inattendue de l'afficheur (décalée, trop longue ou illisible)"},
        {R::Refused, "not-sent", "refusée : Rien n'a été écrit"},
        {R::Unknown, "", "inconnue"}};
    journal::Journal file(journal::journalPath());
    for (std::size_t i = 0; i < appended.size(); ++i) {
        journal::Record rec;
        const QDateTime local(QDate(2026, 12, 9), QTime(9, 55, 10 + static_cast<int>(i), 449));
        rec.time = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
        rec.port = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
        rec.operation = QStringLiteral("Programme les paramètres");
        rec.kind = journal::Kind::Write;
        rec.from = 96;
        const qint64 n = file.append(rec).number;
        ASSERT_GT(n, 0);
        if (appended[i].outcome != R::Unknown)
            file.complete(n, appended[i].outcome, QString::fromUtf8(appended[i].cause));
    }
    principal.showNormal();
    principal.setGeometry(0, 0, 1280, 1024);
    QCoreApplication::processEvents();
    principal.MENU_JOURNAL_Click();
    QCoreApplication::processEvents();
    JournalWindow& j = principal.journal();
    QTableWidget* t = j.table();
    ASSERT_GE(t->rowCount(), static_cast<int>(appended.size()));
    for (std::size_t i = 0; i < appended.size(); ++i) {
        const int row = static_cast<int>(appended.size() - 1 - i);
        EXPECT_EQ(t->item(row, 1)->text(), QStringLiteral("09/12/2026 09:55:%1").arg(10 + i))
            << row;
        EXPECT_EQ(t->item(row, 1)->toolTip(), j.records()[static_cast<std::size_t>(row)].time);
        EXPECT_EQ(t->item(row, 5)->text(), QString::fromUtf8(appended[i].shown)) << row;
    }

    EXPECT_TRUE(principal.mdiArea()->viewport()->rect().contains(frameOf(&j)->geometry()));
    EXPECT_GT(frameOf(&j)->width(), principal.width() * 9 / 10);
    QHeaderView* h = t->horizontalHeader();
    EXPECT_LE(h->length(), t->viewport()->width());
    // Whole texts in every column but the port's, which a device path this long would widen
    // past the screen: there it is cut, at its widest.
    const QAbstractItemView* view = t;
    for (int c = 0; c < t->columnCount(); ++c) {
        if (c == 2)
            EXPECT_EQ(h->sectionSize(c),
                      t->fontMetrics().averageCharWidth() * JournalWindow::kPortChars);
        else
            EXPECT_GE(h->sectionSize(c), view->sizeHintForColumn(c)) << "column " << c;
    }
}

}  // namespace
}  // namespace veq
