// veqctl's journal: records of its operations, the journal commands, restore and the diffs.

#include <QJsonDocument>
#include <QJsonObject>

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

}  // namespace
}  // namespace veq::test
