// veqctl's journal: records of its operations, the journal commands, restore and the diffs.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include "journal/journal.h"
#include "tests/cli/bench.h"

namespace veq::test {
namespace {

using Memory = sim::Panel::Memory;

qint64 lastNumber() {
    const auto r = journal::lastRecords(journal::journalPath(), 1);
    return r.empty() ? 0 : r.front().number;
}

QByteArray tailOf(const Memory& m) {
    return QByteArray(reinterpret_cast<const char*>(m.data()) + 96, 32);
}

// Two programmings, then the first one's "before" and the second one's written back.
TEST_F(CliBench, RestoreGivesBackWhatTheProgrammingFound) {
    sim::Panel& panel = addPanel(QStringLiteral("COM3"));
    const Memory original = panel.memory;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", path}), cli::kDone);
    QByteArray json = read(path);
    file(QStringLiteral("a.json"),
         json.replace("\"stop_threshold\": 60", "\"stop_threshold\": 90"));
    file(QStringLiteral("b.json"), json.replace("\"stop_threshold\": 90", "\"stop_threshold\": 3"));

    ASSERT_EQ(run({"-p", "COM3", "params", "set", dir.filePath("a.json")}), cli::kDone);
    const qint64 first = lastNumber();
    const Memory afterFirst = panel.memory;
    ASSERT_EQ(run({"-p", "COM3", "params", "set", dir.filePath("b.json")}), cli::kDone);
    const qint64 second = lastNumber();
    EXPECT_NE(panel.memory, afterFirst);

    const auto r = journal::findRecord(journal::journalPath(), second);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->operation, QStringLiteral("params set"));
    EXPECT_EQ(r->outcome, journal::Result::Success);
    EXPECT_EQ(r->before, tailOf(afterFirst));
    EXPECT_EQ(r->read, tailOf(panel.memory));  // the read-back

    EXPECT_EQ(run({"-p", "COM3", "restore", QString::number(second)}), cli::kDone)
        << err.toStdString();
    EXPECT_EQ(panel.memory, afterFirst);
    EXPECT_EQ(run({"-p", "COM3", "restore", QString::number(first)}), cli::kDone);
    EXPECT_EQ(panel.memory, original);
    EXPECT_EQ(journal::findRecord(journal::journalPath(), lastNumber())->operation,
              QStringLiteral("restore %1").arg(first));

    // A whole-memory programming goes back through memory write.
    Memory image = panel.memory;
    image[0x10] = 0x42;
    ASSERT_EQ(run({"-p", "COM3", "memory", "write",
                   file(QStringLiteral("m.hex"), sim::imageText(image))}),
              cli::kDone);
    EXPECT_EQ(run({"-p", "COM3", "restore", QString::number(lastNumber())}), cli::kDone);
    EXPECT_EQ(panel.memory, original);

    // Nothing to write back: a read, a record that does not exist. Nothing is sent.
    const std::size_t writes = recorders.at(QStringLiteral("COM3"))->writes.size();
    ASSERT_EQ(run({"-p", "COM3", "memory", "read"}), cli::kDone);
    const std::size_t afterRead = recorders.at(QStringLiteral("COM3"))->writes.size();
    EXPECT_GT(afterRead, writes);
    EXPECT_EQ(run({"-p", "COM3", "restore", QString::number(lastNumber())}), cli::kUsage);
    EXPECT_TRUE(err.contains(QStringLiteral("est une lecture"))) << err.toStdString();
    EXPECT_EQ(run({"-p", "COM3", "restore", "999999"}), cli::kUsage);
    EXPECT_EQ(recorders.at(QStringLiteral("COM3"))->writes.size(), afterRead);
}

TEST_F(CliBench, DiffsEndWithZeroWhenEqualAndFourWhenNot) {
    sim::Panel& panel = addPanel(QStringLiteral("COM3"));
    const QString params = dir.filePath(QStringLiteral("p.json"));
    const QString image = dir.filePath(QStringLiteral("m.hex"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", params}), cli::kDone);
    ASSERT_EQ(run({"-p", "COM3", "memory", "read", "-o", image}), cli::kDone);
    EXPECT_EQ(run({"-p", "COM3", "params", "diff", params}), cli::kDone);
    EXPECT_EQ(out, "Le panneau et le fichier sont identiques.\n");
    EXPECT_EQ(run({"-p", "COM3", "memory", "diff", image}), cli::kDone);

    panel.memory[0x72] = 0x27;  // time base 0x0226D7A0 ("heure") -> 0x022627A0: "Autre"
    panel.memory[0x3D] = 0x0B;  // switching period 6 s
    panel.memory[0x00] = 0x99;  // a byte no setting covers
    EXPECT_EQ(run({"-p", "COM3", "params", "diff", params}), cli::kDiffer);
    EXPECT_EQ(out, "Base de temps (time_base) : panneau 36054944, fichier heure\n");
    EXPECT_TRUE(err.contains(QStringLiteral("1 différence entre le panneau et le fichier.")));
    EXPECT_EQ(run({"-p", "COM3", "memory", "diff", image}), cli::kDiffer);
    EXPECT_EQ(out.split('\n'),
              QStringList({"Fréquence de commutation (period) : panneau 6, fichier 8",
                           "Base de temps (time_base) : panneau 36054944, fichier heure",
                           "Octet 00h : panneau 99, fichier FF", ""}));
}

TEST_F(CliBench, JournalListsNewestFirstByPortAndShowsARecordDecoded) {
    addPanel(QStringLiteral("COM3"));
    addPanel(QStringLiteral("COM4"));
    ASSERT_EQ(run({"-p", "COM3", "switches"}), cli::kDone);
    ASSERT_EQ(run({"-p", "COM4", "brightness", "set", "--period", "6"}), cli::kDone);
    ASSERT_EQ(run({"-p", "COM3", "params", "get"}), cli::kDone);
    const qint64 n = lastNumber();

    ASSERT_EQ(run({"journal", "--last", "2"}), cli::kDone);
    QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("%1\t").arg(n)));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\tCOM3\tparams get\tsuccess")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tCOM4\tbrightness set\tsuccess")));

    ASSERT_EQ(run({"journal", "--port", "com3", "--last", "2"}), cli::kDone);
    lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tCOM3\tswitches\tsuccess")));

    ASSERT_EQ(run({"journal", "show", QString::number(n - 1)}), cli::kDone);
    for (const char* want :
         {"Opération : brightness set (écriture)", "Adresses : 00h à 7Fh", "Résultat : success",
          "Avant :", "    Fréquence de commutation : 8 s",
          "Écrit :", "    Fréquence de commutation : 6 s", "    Base de temps : heure (36100000)"})
        EXPECT_TRUE(out.split('\n').contains(QString::fromUtf8(want))) << want << out.toStdString();
    EXPECT_EQ(run({"journal", "show", "0"}), cli::kUsage);
    EXPECT_EQ(run({"journal", "--last", "x"}), cli::kUsage);
}

// Averaging bytes outside their tables (6Fh = 03, 70h = 05): get names them, diff sees that
// params set would change them, and restore puts them back byte for byte, on the record's own
// panel; onto another one only when asked for by name.
TEST_F(CliBench, OffTableBytesComeBackExactlyAndOnlyOntoTheirOwnPanel) {
    sim::Panel& own = addPanel(QStringLiteral("COM3"));
    sim::Panel& other = addPanel(QStringLiteral("COM4"));
    own.memory[0x6F] = 0x03;
    own.memory[0x70] = 0x05;
    own.memory[0x75] = 15;  // anti-bounce 1.5 ms
    const Memory original = own.memory;
    const QString params = dir.filePath(QStringLiteral("p.json"));
    const QLocale system;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    ASSERT_EQ(run({"-p", "COM3", "params", "get"}), cli::kDone);
    QLocale::setDefault(system);
    EXPECT_TRUE(out.contains(QStringLiteral(" : 1,5 mS"))) << out.toStdString();
    ASSERT_EQ(run({"--json", "-p", "COM3", "params", "get", "-o", params}), cli::kDone);
    const QJsonArray off = QJsonDocument::fromJson(out.toUtf8())["ports"][0]["off_table"].toArray();
    ASSERT_EQ(off.size(), 2);
    EXPECT_EQ(off[0]["key"].toString(), "averaging_2");
    EXPECT_EQ(off[1]["byte"].toInt(), 5);
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", params}), cli::kDone);
    EXPECT_TRUE(err.contains(QStringLiteral("(averaging_1) : octet 70h = 05")))
        << err.toStdString();
    EXPECT_EQ(run({"-p", "COM3", "params", "diff", params}), cli::kDiffer);
    EXPECT_TRUE(out.contains(QStringLiteral("Octet 6Fh : panneau 03, fichier 01")));

    ASSERT_EQ(run({"-p", "COM3", "params", "set", params}), cli::kDone);
    ASSERT_NE(own.memory, original);
    const QString n = QString::number(lastNumber());
    ASSERT_EQ(run({"journal", "show", n}), cli::kDone);
    EXPECT_TRUE(out.contains(QStringLiteral("(averaging_2) : octet 6Fh = 03")))
        << out.toStdString();

    const std::size_t sent = writes(QStringLiteral("COM4"));
    for (const QStringList& refused :
         {QStringList{"-p", "COM4", "restore", n}, {"-p", "COM3", "-p", "COM4", "restore", n}}) {
        EXPECT_EQ(run(refused), cli::kUsage);
        EXPECT_FALSE(err.contains(QStringLiteral("succés")));
    }
    EXPECT_TRUE(err.contains(QStringLiteral("un seul port"))) << err.toStdString();
    EXPECT_EQ(writes(QStringLiteral("COM4")), sent);

    ASSERT_EQ(run({"restore", n}), cli::kDone) << err.toStdString();
    EXPECT_EQ(own.memory, original);
    ASSERT_EQ(run({"-p", "COM4", "--onto-other-panel", "restore", n}), cli::kDone);
    EXPECT_EQ(tailOf(other.memory), tailOf(original));
}

// A panel that falls silent once the write's first page is in.
class SilentAfterAWrite : public sim::Device {
  public:
    explicit SilentAfterAWrite(std::shared_ptr<sim::Panel> p) : panel(std::move(p)) {}
    QByteArray receive(const QByteArray& bytes) override {
        const bool silent = panel->commits > 0;
        const QByteArray answer = panel->receive(bytes);
        return silent ? QByteArray() : answer;
    }
    std::shared_ptr<sim::Panel> panel;
};

// Nothing written and written without confirmation read apart in the line, --json and the
// journal, for every command that writes.
TEST_F(CliBench, NothingWrittenIsToldFromAWriteNotConfirmed) {
    const QString params = dir.filePath(QStringLiteral("p.json"));
    addPanel(QStringLiteral("COM3"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", params}), cli::kDone);
    const QString image = file(QStringLiteral("m.hex"), sim::imageText(sim::programmedMemory()));
    addPanel(QStringLiteral("COM4"));
    mute[QStringLiteral("COM4")] = true;
    auto falling = std::make_shared<sim::Panel>(sim::programmedMemory());
    devices[QStringLiteral("COM5")] = std::make_shared<SilentAfterAWrite>(falling);
    for (const QStringList& command :
         {QStringList{"params", "set", params}, QStringList{"memory", "write", image}}) {
        for (const char* port : {"COM4", "COM5"}) {
            SCOPED_TRACE((command.join(' ') + ' ' + port).toStdString());
            falling->commits = 0;
            const bool written = QLatin1String(port) == "COM5";
            ASSERT_EQ(run(QStringList{"--json", "-p", port} + command), cli::kFailed);
            const QJsonObject o = QJsonDocument::fromJson(out.toUtf8())["ports"][0].toObject();
            EXPECT_EQ(o["unconfirmed"].toBool(), written);
            EXPECT_EQ(o["cause"].toString() == "not-sent", !written) << out.toStdString();
            const journal::Record r = journal::lastRecords(journal::journalPath(), 1).at(0);
            EXPECT_EQ(r.cause == "not-sent", !written);
            EXPECT_EQ(r.written.has_value(), written);
            falling->commits = 0;
            ASSERT_EQ(run(QStringList{"-p", port} + command), cli::kFailed);
            EXPECT_EQ(err.contains(QStringLiteral("n'a pas été confirmée")), written);
            EXPECT_EQ(err.contains(QStringLiteral("Rien n'a été écrit")), !written);
        }
    }
}

TEST_F(CliBench, AJournalThatCannotBeReadOrIsLongIsSaidSo) {
    addPanel(QStringLiteral("COM3"));
    ASSERT_EQ(run({"-p", "COM3", "switches"}), cli::kDone);
    ASSERT_EQ(run({"-p", "COM3", "params", "get"}), cli::kDone);
    // Any --last is streamed: the whole journal, as valid JSON.
    ASSERT_EQ(run({"--json", "journal", "--last", "2147483647"}), cli::kDone);
    QJsonParseError e{};
    const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8(), &e);
    ASSERT_EQ(e.error, QJsonParseError::NoError) << out.toStdString();
    EXPECT_EQ(doc["records"].toArray().size(), lastNumber());
    EXPECT_EQ(doc["records"][0]["record"].toInteger(), lastNumber());
    // A read record keeps its bytes in show.
    ASSERT_EQ(run({"journal", "show", QString::number(lastNumber())}), cli::kDone);
    EXPECT_TRUE(out.split('\n').contains(QStringLiteral("Lu :"))) << out.toStdString();

    for (const char* command : {"journal show", "restore"}) {
        EXPECT_EQ(run(QString::fromLatin1(command).split(' ')), cli::kUsage);
        EXPECT_TRUE(err.contains(QStringLiteral("attend un numéro d'enregistrement")));
    }
    const QString path = journal::journalPath();
    const QString folder = dir.filePath(QStringLiteral("journal-folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    journal::setJournalPath(folder);
    EXPECT_EQ(run({"journal"}), cli::kFailed);
    EXPECT_TRUE(err.contains(QStringLiteral("ne peut pas être lu"))) << err.toStdString();
    EXPECT_EQ(run({"journal", "show", "1"}), cli::kFailed);
    journal::setJournalPath(path);
}

}  // namespace
}  // namespace veq::test
