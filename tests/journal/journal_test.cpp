#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "journal/compare.h"
#include "journal/journal.h"
#include "journal/known.h"
#include "panelmem/paramfile.h"

namespace veq::journal {
namespace {

QByteArray bytes(int length, int first) {
    QByteArray b;
    for (int k = 0; k < length; ++k) b.append(static_cast<char>((first + k) & 0xFF));
    return b;
}

QList<QByteArray> lines(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll().split('\n');
}

// Every kind of operation with every outcome it can have, as the windows and veqctl record them:
// what is appended, then what the completion line says, comes back from the file.
TEST(Journal, EachOperationAndOutcomeComesBackAsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j/journal.jsonl"));
    struct Case {
        const char* operation;
        Kind kind;
        int from, to;
        Result opened;                     // as appended
        std::optional<Result> completion;  // the second line, if any
        const char* cause;
        bool read, written, before;
    };
    const Case cases[] = {
        {"Lire les paramètres", Kind::Read, 96, 127, Result::Success, {}, "", true, false, false},
        {"Lire les paramètres",
         Kind::Read,
         96,
         127,
         Result::Failed,
         {},
         "no-answer",
         false,
         false,
         false},
        {"Programme les paramètres", Kind::Write, 96, 127, Result::Unknown, Result::Success, "",
         false, true, true},
        {"Programme les paramètres", Kind::Write, 96, 127, Result::Unknown, Result::Failed,
         "incomplete", false, true, false},
        {"Programme les paramètres",
         Kind::Write,
         96,
         127,
         Result::Refused,
         {},
         "not-sent",
         false,
         false,
         false},
        {"memory write", Kind::Write, 0, 127, Result::Unknown, {}, "", false, true, true},
        {"memory write", Kind::Write, 0, 127, Result::Unknown, Result::Success, "", true, true,
         true},
    };
    Journal journal(path);
    for (const Case& c : cases) {
        Record r;
        r.port = QStringLiteral("COM3");
        r.device = QStringLiteral("/dev/pts/7");
        r.operation = QString::fromUtf8(c.operation);
        r.kind = c.kind;
        r.from = c.from;
        r.to = c.to;
        r.outcome = c.opened;
        if (!c.completion) r.cause = QLatin1String(c.cause);
        if (c.read && !c.completion) r.read = bytes(r.length(), 1);
        if (c.written) r.written = bytes(r.length(), 2);
        if (c.before) r.before = bytes(r.length(), 3);
        const Appended a = journal.append(r);
        ASSERT_GT(a.number, 0) << a.warning.toStdString();
        EXPECT_TRUE(a.warning.isEmpty());
        if (c.completion) {
            const std::optional<QByteArray> readBack =
                c.read ? std::optional(bytes(r.length(), 4)) : std::nullopt;
            EXPECT_TRUE(journal.complete(a.number, *c.completion, QLatin1String(c.cause), readBack)
                            .warning.isEmpty());
        }
    }

    const std::vector<Record> got = lastRecords(path, 100);
    ASSERT_EQ(got.size(), std::size(cases));
    for (std::size_t i = 0; i < got.size(); ++i) {
        const Case& c = cases[std::size(cases) - 1 - i];  // newest first
        const Record& r = got[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.number, static_cast<qint64>(std::size(cases) - i));
        EXPECT_EQ(r.operation, QString::fromUtf8(c.operation));
        EXPECT_EQ(r.port, QStringLiteral("COM3"));
        EXPECT_EQ(r.device, QStringLiteral("/dev/pts/7"));
        EXPECT_EQ(r.program, QStringLiteral("veq-cadence"));
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.from, c.from);
        EXPECT_EQ(r.to, c.to);
        EXPECT_EQ(r.outcome, c.completion.value_or(c.opened));
        EXPECT_EQ(r.cause, QLatin1String(c.cause));
        EXPECT_EQ(r.completed.isEmpty(), !c.completion);
        EXPECT_EQ(r.written, c.written ? std::optional(bytes(r.length(), 2)) : std::nullopt);
        EXPECT_EQ(r.before, c.before ? std::optional(bytes(r.length(), 3)) : std::nullopt);
        const int readFrom = c.completion ? 4 : 1;
        EXPECT_EQ(r.read, c.read ? std::optional(bytes(r.length(), readFrom)) : std::nullopt);
        // ISO 8601 with the offset from UTC: 2026-12-07T23:19:29.412+01:00
        EXPECT_TRUE(QRegularExpression(
                        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                        .match(r.time)
                        .hasMatch())
            << r.time.toStdString();
    }
    // The keys the README lists, as the file spells them; "before" is null for a write whose
    // bytes before are not known.
    const QJsonObject failedWrite = QJsonDocument::fromJson(lines(path).at(4)).object();
    EXPECT_EQ(failedWrite.keys(),
              QStringList({"before", "device", "from", "kind", "operation", "outcome", "port",
                           "program", "record", "time", "to", "version", "written"}));
    EXPECT_TRUE(failedWrite["before"].isNull());
    const QJsonObject completion = QJsonDocument::fromJson(lines(path).at(5)).object();
    EXPECT_EQ(completion.keys(), QStringList({"cause", "completes", "outcome", "time"}));
    EXPECT_EQ(completion["completes"].toInt(), 4);

    EXPECT_EQ(findRecord(path, 3)->outcome, Result::Success);
    EXPECT_FALSE(findRecord(path, 99));
    const auto writes = lastRecords(path, 2, [](const Record& r) { return r.kind == Kind::Write; });
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].number, 7);
    EXPECT_EQ(writes[1].number, 6);
}

// What a crash or an editor leaves in the file is passed over, and the next record still gets a
// line of its own and the next number.
TEST(Journal, DamagedLinesAreSkippedAndNeverStopTheNextAppend) {
    Record r;
    r.operation = QStringLiteral("params get");
    r.kind = Kind::Read;
    r.from = 96;
    r.to = 127;
    r.outcome = Result::Success;
    r.number = 1;
    const QByteArray one = recordLine(r);
    r.number = 2;
    const QByteArray two = recordLine(r);
    const struct {
        const char* name;
        QByteArray before;
        qint64 next;
    } cases[] = {
        {"truncated last line", one + '\n' + two.left(two.size() / 2), 2},
        {"junk between records",
         one + "\nnot json at all\n{\"record\":\"x\"}\n[1,2]\n" + two + '\n', 3},
        {"a line far longer than a block", QByteArray(200000, 'x') + '\n' + one + '\n', 2},
        {"empty file", QByteArray(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal.jsonl"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.before);
        f.close();
        Journal journal(path);
        const Appended a = journal.append(r);
        EXPECT_EQ(a.number, c.next);
        EXPECT_TRUE(a.warning.isEmpty());
        const std::vector<Record> got = lastRecords(path, 10);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.front().number, c.next);
        EXPECT_EQ(static_cast<qint64>(got.size()), c.next);
        // The new record stands alone on the last line.
        const QList<QByteArray> all = lines(path);
        EXPECT_TRUE(all.last().isEmpty());
        EXPECT_TRUE(QJsonDocument::fromJson(all.at(all.size() - 2)).isObject());
    }
}

// Many records: lines cross the blocks the reader takes from the end of the file.
TEST(Journal, ReadsFromTheEndAcrossBlocks) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.jsonl"));
    QByteArray text;
    Record r;
    r.kind = Kind::Write;
    r.from = 0;
    r.written = bytes(128, 0);
    for (int n = 1; n <= 500; ++n) {
        r.number = n;
        r.operation = QStringLiteral("memory write %1").arg(n);
        text += recordLine(r) + '\n';
        if (n % 2 == 0)
            text += completionLine(n, timeNow(), Result::Success, {}, std::nullopt) + '\n';
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    const std::vector<Record> last = lastRecords(path, 3);
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0].number, 500);
    EXPECT_EQ(last[0].outcome, Result::Success);
    EXPECT_EQ(last[1].outcome, Result::Unknown);
    for (qint64 n : {1, 77, 250, 499}) {
        const auto found = findRecord(path, n);
        ASSERT_TRUE(found) << n;
        EXPECT_EQ(found->operation, QStringLiteral("memory write %1").arg(n));
        EXPECT_EQ(found->written, bytes(128, 0));
    }
    EXPECT_EQ(Journal(path).append(r).number, 501);
}

// A journal that cannot be written says so once in a run, and the caller goes on.
TEST(Journal, AnUnwritableFolderWarnsOnceAndGivesNoNumber) {
    QTemporaryDir dir;
    // A file where the folder should be: no user, root included, can create the journal there.
    QFile blocker(dir.filePath(QStringLiteral("VEQ_Cadence")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Journal journal(blocker.fileName() + QStringLiteral("/journal.jsonl"));
    const Appended first = journal.append(Record{});
    EXPECT_EQ(first.number, 0);
    EXPECT_TRUE(first.warning.contains(QStringLiteral("journal")));
    const Appended second = journal.append(Record{});
    EXPECT_EQ(second.number, 0);
    EXPECT_TRUE(second.warning.isEmpty());
    EXPECT_TRUE(journal.complete(first.number, Result::Success).warning.isEmpty());
    EXPECT_TRUE(lastRecords(journal.path(), 5).empty());
}

TEST(KnownBytes, ARangeIsKnownFromAReadOrAConfirmedWriteCoveringIt) {
    KnownBytes known;
    const QString com3 = QStringLiteral("/dev/ttyUSB0");
    EXPECT_FALSE(known.known(com3, 96, 127));
    known.remember(com3, 0, bytes(128, 0));  // a whole-memory read
    EXPECT_EQ(known.known(com3, 96, 127), bytes(32, 96));
    EXPECT_FALSE(known.known(QStringLiteral("/dev/ttyUSB1"), 96, 127));
    known.remember(com3, 96, bytes(32, 7));  // a confirmed programming of 96..127
    EXPECT_EQ(known.known(com3, 0, 127)->mid(96), bytes(32, 7));
    EXPECT_EQ(known.known(com3, 0, 127)->left(96), bytes(96, 0));
    known.forget(com3, 96, 127);  // a programming not confirmed
    EXPECT_FALSE(known.known(com3, 96, 127));
    EXPECT_FALSE(known.known(com3, 0, 127));
}

// The differences name the settings as the parameter file and the settings table do.
TEST(Compare, FieldsThatDifferWithTheirNamesAndBothValues) {
    MemoryGrid grid;
    memmap::encodeRate(memmap::RateSettings{}, grid);
    for (int a = 125; a <= 127; ++a) grid.setText(a, QStringLiteral("00"));
    const QByteArray panel = *gridBytes(grid, 96, 127);
    const auto changed = [&panel](std::initializer_list<std::pair<int, int>> bytesAt) {
        QByteArray b = panel;
        for (auto [address, value] : bytesAt) b[address - 96] = static_cast<char>(value);
        return b;
    };
    const struct {
        const char* name;
        QByteArray other;
        QVector<Difference> expected;
    } cases[] = {
        {"equal", panel, {}},
        {"time base",
         changed({{113, 0xC0}, {114, 0x27}, {115, 0x09}, {116, 0x00}}),
         {{"time_base", "Base de temps", "heure", "minute"}}},
        {"end of range 2 and a byte no setting covers",
         changed({{100, 0x41}, {101, 0x2D}, {0x7D, 0xAA}}),
         {{"ranges[1].end", "Fin de la plage 2", "399", "300"}, {"7Dh", "Octet 7Dh", "00", "AA"}}},
        // 03 is no averaging the window takes: both read as the window's value at load.
        {"averaging byte not a power of two",
         changed({{111, 0x03}}),
         {{"6Fh", "Octet 6Fh", "01", "03"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compareMemories(panel, c.other, 96), c.expected);
    }
    memmap::RateSettings file;
    file.flags.digits = 1;
    EXPECT_EQ(compareSettings(memmap::RateSettings{}, file),
              QVector<Difference>({{"digits", "Nombre de digits", "4", "2"}}));
}

}  // namespace
}  // namespace veq::journal
