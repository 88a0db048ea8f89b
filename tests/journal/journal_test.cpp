#include <gtest/gtest.h>

#include <set>
#include <thread>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
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

// A journal file holding `text`, as an older version or a hand edit left it.
void writeJournal(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(text), text.size());
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
        {"a number no program gives",
         one + '\n' + QByteArray(two).replace("\"record\":2", "\"record\":9000000000000000") + '\n',
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal.jsonl"));
        writeJournal(path, c.before);
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
    writeJournal(path, text);
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

    // A folder where the journal should be: the system's reason in French, and it cannot be read.
    const QString folder = dir.filePath(QStringLiteral("journal.jsonl"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(
        Journal(folder).append(Record{}).warning.contains(QStringLiteral("c'est un dossier")));
    QString why;
    EXPECT_FALSE(readable(folder, why));
    EXPECT_TRUE(why.contains(QStringLiteral("ne peut pas être lu"))) << why.toStdString();
    EXPECT_TRUE(readable(dir.filePath(QStringLiteral("not-yet.jsonl")), why));
}

// Writers at once (threads here, each with a journal of its own as each program has): every
// record gets a number of its own and its completion.
TEST(Journal, WritersAtOnceGetNumbersOfTheirOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.jsonl"));
    constexpr int kWriters = 4;
    constexpr int kEach = 6;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&path, w] {
            Journal journal(path);
            for (int k = 0; k < kEach; ++k) {
                Record r;
                r.kind = Kind::Write;
                r.from = 96;
                r.written = bytes(32, w * kEach + k);
                const qint64 n = journal.append(r).number;
                journal.complete(n, Result::Success, {}, r.written);
            }
        });
    for (auto& t : writers) t.join();
    std::set<qint64> numbers;
    eachRecord(path, [&numbers](const Record& r) {
        numbers.insert(r.number);
        EXPECT_EQ(r.outcome, Result::Success) << r.number;
        EXPECT_EQ(r.read, r.written) << r.number;  // its own completion
        return true;
    });
    EXPECT_EQ(numbers.size(), std::size_t{kWriters * kEach});
    EXPECT_EQ(*numbers.rbegin(), kWriters * kEach);

    // A lock held past the wait: nothing is written, never without the lock.
    QLockFile held(path + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));
    Journal late(path);
    late.setLockWait(0);
    const Appended refused = late.append(Record{});
    EXPECT_EQ(refused.number, 0);
    EXPECT_TRUE(refused.warning.contains(QStringLiteral("verrouillé")))
        << refused.warning.toStdString();
    EXPECT_EQ(lastRecords(path, 1).at(0).number, kWriters * kEach);
}

// What older versions left: one number on records written at once, records out of order, bytes
// of another length than their range. Every record is found; bytes of the wrong length are not
// taken (a restore would write past its range).
TEST(Journal, OlderJournalsAreReadWithoutLosingRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.jsonl"));
    Record r;
    r.kind = Kind::Write;
    r.from = 96;
    const auto line = [&r](qint64 number, const char* port, int first) {
        r.number = number;
        r.port = QString::fromLatin1(port);
        r.written = bytes(32, first);
        return recordLine(r) + '\n';
    };
    QByteArray text = line(1, "COM3", 1) + line(2, "COM3", 2) + line(2, "COM4", 3) +
                      completionLine(2, timeNow(), Result::Success, {}, bytes(32, 3)) + '\n' +
                      completionLine(2, timeNow(), Result::Failed, "no-answer", {}) + '\n' +
                      line(4, "COM3", 4) + line(3, "COM4", 5);
    // Bytes one too many, one too few, not hexadecimal.
    for (const QByteArray& bad : {QByteArray(66, 'A'), QByteArray(62, 'A'), QByteArray(64, 'G')})
        text += QByteArray(line(5, "COM5", 0)).replace(bytes(32, 0).toHex().toUpper(), bad);
    writeJournal(path, text);

    const std::vector<Record> twice = findRecords(path, 2);
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_EQ(twice[0].port, QStringLiteral("COM4"));
    EXPECT_EQ(twice[0].outcome, Result::Success);  // the completion that read back its bytes
    EXPECT_EQ(twice[1].outcome, Result::Failed);
    EXPECT_FALSE(findRecord(path, 2));  // which one is meant is for the caller to ask
    ASSERT_TRUE(findRecord(path, 4));   // behind a lower number
    ASSERT_TRUE(findRecord(path, 1));
    const std::vector<Record> damaged = findRecords(path, 5);
    ASSERT_EQ(damaged.size(), 3u);
    for (const Record& d : damaged) EXPECT_FALSE(d.written);
    EXPECT_EQ(lastRecords(path, 100).size(), 8u);
    EXPECT_EQ(Journal(path).append(r).number, 6);
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

    // Ranges that just touch: forgetting one address drops the range holding it, and only it.
    for (const auto& [forgotten, lowKept] : {std::pair{95, false}, std::pair{96, true}}) {
        known.remember(com3, 0, bytes(96, 0));
        known.remember(com3, 96, bytes(32, 7));
        known.forget(com3, forgotten, forgotten);
        EXPECT_EQ(known.known(com3, 0, 95).has_value(), lowKept) << forgotten;
        EXPECT_EQ(known.known(com3, 96, 127).has_value(), !lowKept) << forgotten;
    }
}

// The differences name the settings as the parameter file and the settings table do.
TEST(Compare, FieldsThatDifferWithTheirNamesAndBothValues) {
    MemoryGrid grid;
    memmap::encodeRate(memmap::RateSettings{}, grid);
    for (int a = 125; a <= 127; ++a) grid.setText(a, QStringLiteral("00"));
    const QByteArray panel = *grid.bytes(96, 127);
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
        {"the last address", changed({{0x7F, 0x01}}), {{"7Fh", "Octet 7Fh", "00", "01"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compareMemories(panel, c.other, 96), c.expected);
    }
    // The settings whose bytes programming would not give back, by address.
    const struct {
        QByteArray bytes;
        QStringList named;
    } offCases[] = {
        {panel, {}},
        {changed({{111, 0x03}, {112, 0x05}}), {"averaging_2 6F 03", "averaging_1 70 05"}},
        {changed({{108, 0x00}, {109, 0x12}}), {"brightness 6C 00", "6Dh 6D 12"}},
    };
    for (const auto& c : offCases) {
        QStringList named;
        for (const OffTable& o : offTable(c.bytes))
            named << QStringLiteral("%1 %2 %3")
                         .arg(o.key, memmap::hexDigits(o.address, 2), memmap::hexDigits(o.byte, 2));
        EXPECT_EQ(named, c.named);
    }
    memmap::RateSettings file;
    file.flags.digits = 1;
    EXPECT_EQ(compareSettings(memmap::RateSettings{}, file),
              QVector<Difference>({{"digits", "Nombre de digits", "4", "2"}}));
}

}  // namespace
}  // namespace veq::journal
