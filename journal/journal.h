#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

// The journal: one record for every operation that reads or writes a panel's memory, from the
// windows and from veqctl, in the user's data folder (QStandardPaths' application data location of
// VEQ_Cadence: ~/.local/share/VEQ_Cadence/journal.jsonl on Linux,
// %APPDATA%\VEQ_Cadence\journal.jsonl on Windows, ~/Library/Application Support/VEQ_Cadence on
// macOS). One JSON object per line, UTF-8, with these keys (absent when they do not apply):
//
//   "record"     the record's number, 1, 2, 3... in the order the records were appended
//   "time"       when it was written, ISO 8601 with the UTC offset: "2026-12-07T23:19:29.412+01:00"
//   "program"    "veq-cadence" or "veqctl"; "version" the program's version, "1.0.22"
//   "port"       the port as the operator named it ("COM3", or a device path for veqctl)
//   "device"     the device behind it ("/dev/ttyUSB0", "COM3" on Windows)
//   "operation"  the button or the command ("Programme les paramètres", "memory write")
//   "kind"       "read" or "write"
//   "from", "to" the first and the last address of the range, 0 to 127, inclusive
//   "outcome"    "success", "failed", "refused" (nothing was sent) or "unknown" (not yet known: a
//                programming's record until its completion line, for good when the program ended
//                in the middle)
//   "cause"      for "failed" and "refused": why, as link/outcome.h names it ("no-answer",
//                "incomplete", "unexpected", "line-stalled", "port-lost", "not-sent"), and
//                "read-back-differs" for a write whose read-back found other bytes
//   "read"       the bytes read, upper-case hexadecimal, two digits per address of the range
//   "written"    the bytes written (or being written), likewise
//   "before"     for a write, the bytes the panel held in the range before it, when known; null
//                when not known
//
// A programming's record is appended with "outcome" "unknown" and flushed to the disk before the
// first frame of its write goes out; a second line completes it when the operation ends:
//
//   "completes"  the number of the record it completes
//   "time", "outcome", "cause" as above, and "read" for the bytes a read-back found
//
// Reading skips every line that is no such object (a line cut short by a crash, junk, a record
// number no program could have given), and an append after such a line starts on a line of its
// own. Every append holds the lock file journal.jsonl.lock while it numbers and writes its line,
// so records written at once by several programs or threads each get a number of their own.
namespace veq::journal {

// How an operation ended, as its record says ("outcome").
enum class Result { Success, Failed, Refused, Unknown };
enum class Kind { Read, Write };

QString outcomeKey(Result outcome);
QString kindKey(Kind kind);

// One operation as the journal keeps it; a completion line, when there is one, is folded in.
struct Record {
    qint64 number = 0;
    QString time;
    QString program;
    QString version;
    QString port;
    QString device;
    QString operation;
    Kind kind = Kind::Read;
    int from = 0;
    int to = 127;
    Result outcome = Result::Unknown;
    QString cause;
    std::optional<QByteArray> read;     // raw bytes, to - from + 1 of them
    std::optional<QByteArray> written;  // raw bytes
    std::optional<QByteArray> before;   // raw bytes; nothing: not known
    QString completed;                  // the completion line's time; empty without one

    int length() const { return to - from + 1; }
};

// The journal file of this user: the data folder's journal.jsonl, or the path set below.
QString journalPath();
// Points the journal elsewhere for the whole process (the tests do, so no test writes the user's
// journal). An empty path goes back to the data folder.
void setJournalPath(const QString& path);

// The program and version that this process's records carry ("veq-cadence" by default).
void setProgram(const QString& program);

// What an append did.
struct Appended {
    qint64 number = 0;  // the record's number; 0 when it could not be written
    // Not empty the first time in this run (of this Journal) that the journal could not be
    // written: the warning for the operator, in French. Empty afterwards.
    QString warning;
};

// The highest record number a journal can hold: more records than a disk could keep. A line
// numbered above it is junk (a hand edit, a broken disk), for reading as for numbering.
constexpr qint64 kLargestNumber = 1'000'000'000'000;
// How long an append waits for another writer to let go of the journal's lock. Past it, the
// record is not written (never without the lock) and the operation is told once, as for a
// journal that cannot be written.
constexpr int kLockWaitMs = 10'000;

// Flushes an open file's bytes through to the disk (fsync, _commit on Windows); false on failure.
bool syncToDisk(int fd);

// Appends records to one journal file. An append that fails never throws: the operation it
// records goes on as it would without a journal.
class Journal {
  public:
    explicit Journal(QString path) : path_(std::move(path)) {}

    // What flushes each appended line to the disk (syncToDisk unless a test counts the calls).
    void setSync(std::function<bool(int fd)> sync) { sync_ = std::move(sync); }
    // How long an append waits for the lock (kLockWaitMs unless a test shortens it).
    void setLockWait(int ms) { lockWaitMs_ = ms; }

    const QString& path() const { return path_; }

    // Appends `record` as one line, flushed and synced to the disk before this returns. Its number
    // and, when empty, its time, program and version are filled in here.
    Appended append(Record record);
    // The completion line of record `number` (nothing is written for 0, a record that could not
    // be written). `read`: the bytes a read-back found, if any.
    Appended complete(qint64 number, Result outcome, const QString& cause = {},
                      const std::optional<QByteArray>& read = std::nullopt);

  private:
    Appended appendLine(const std::function<QByteArray(qint64 number)>& line, bool numbered);
    Appended failed(const QString& why);

    QString path_;
    std::function<bool(int fd)> sync_ = syncToDisk;
    int lockWaitMs_ = kLockWaitMs;
    std::mutex mutex_;  // veqctl appends from one thread per port
    bool warned_ = false;
};

// This run's journal, on journalPath() as it was at the first call (a program with threads makes
// that call before they start: finding the data folder is not safe from several threads).
Journal& thisRun();

// Reading. A record's completion line, when there is one, is folded into it. The file is read
// from its end, a block at a time, only as far back as the records asked for.

// Whether the journal can be read: a journal not yet written can (it holds no record); a folder
// or a file this user may not read cannot, and `why` says so in French.
bool readable(const QString& path, QString& why);

// Calls `take` with each record, newest first, until it returns false; records are not kept, so
// a journal of any size is gone through in little memory.
void eachRecord(const QString& path, const std::function<bool(const Record&)>& take);
// The last `count` records (those `keep` accepts, when given), newest first.
std::vector<Record> lastRecords(const QString& path, int count,
                                const std::function<bool(const Record&)>& keep = {});
// The records numbered `number`, newest first: one, or none. Older versions could give one
// number to records written at once by several programs; each of them is returned then.
std::vector<Record> findRecords(const QString& path, qint64 number);
// The record numbered `number`, when exactly one is.
std::optional<Record> findRecord(const QString& path, qint64 number);

// The lines the journal writes, without their line end.
QByteArray recordLine(const Record& record);
QByteArray completionLine(qint64 number, const QString& time, Result outcome, const QString& cause,
                          const std::optional<QByteArray>& read);
// Now, as the records write it.
QString timeNow();

}  // namespace veq::journal
