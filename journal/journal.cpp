#include "journal/journal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QStandardPaths>

#include "link/platform.h"

#ifdef _WIN32
#include <io.h>
#else
// Declared here: the POSIX headers stay out of the application's sources (they must build on
// Windows, where the branch above is taken).
extern "C" int fsync(int fd);
#endif

namespace veq::journal {

namespace {

std::mutex& settingsMutex() {
    static std::mutex m;
    return m;
}
QString& pathOverride() {
    static QString p;
    return p;
}
QString& programName() {
    static QString p = QStringLiteral("veq-cadence");
    return p;
}

const QString kRecord = QStringLiteral("record");
const QString kCompletes = QStringLiteral("completes");
const QString kTime = QStringLiteral("time");
const QString kProgram = QStringLiteral("program");
const QString kVersion = QStringLiteral("version");
const QString kPort = QStringLiteral("port");
const QString kDevice = QStringLiteral("device");
const QString kOperation = QStringLiteral("operation");
const QString kKind = QStringLiteral("kind");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");
const QString kOutcome = QStringLiteral("outcome");
const QString kCause = QStringLiteral("cause");
const QString kRead = QStringLiteral("read");
const QString kWritten = QStringLiteral("written");
const QString kBefore = QStringLiteral("before");

constexpr qint64 kBlock = 16 * 1024;
// Older versions, whose writers could append at once, laid records at most this far from their
// number's place.
constexpr qint64 kOutOfStep = 64;
// A line longer than this is junk: it is skipped without being held in memory.
constexpr qsizetype kLongestLine = 64 * 1024;

QString version() {
    return QStringLiteral("%1.%2.%3")
        .arg(VEQ_VERSION_MAJOR)
        .arg(VEQ_VERSION_MINOR)
        .arg(VEQ_VERSION_PATCH);
}

// The application's data folder, whichever program asks (veqctl has a name of its own).
QString dataFolder() {
    static std::once_flag once;
    static QString folder;
    std::call_once(once, [] {
        const QString own = QCoreApplication::applicationName();
        if (own == kAppTitle) {
            folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
            return;
        }
        QCoreApplication::setApplicationName(kAppTitle);
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QCoreApplication::setApplicationName(own);
    });
    return folder;
}

std::optional<Result> outcomeFromKey(const QString& key) {
    for (Result o : {Result::Success, Result::Failed, Result::Refused, Result::Unknown})
        if (outcomeKey(o) == key) return o;
    return std::nullopt;
}

QJsonValue hexOrNull(const std::optional<QByteArray>& bytes) {
    if (!bytes) return QJsonValue::Null;
    return QString::fromLatin1(bytes->toHex().toUpper());
}

// Bytes of a record: `length` of them as hexadecimal; anything else is not taken.
std::optional<QByteArray> bytesOf(const QJsonValue& v, int length) {
    if (!v.isString()) return std::nullopt;
    const QByteArray text = v.toString().toLatin1();
    if (text.size() != 2 * length) return std::nullopt;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return QByteArray::fromHex(text);
}

qint64 positiveInteger(const QJsonValue& v) {
    if (!v.isDouble()) return 0;
    const double d = v.toDouble();
    if (d < 1 || d > static_cast<double>(kLargestNumber) ||
        d != static_cast<double>(static_cast<qint64>(d)))
        return 0;
    return static_cast<qint64>(d);
}

// One line as read back: a record, a completion, or neither (damaged).
struct Line {
    std::optional<Record> record;
    qint64 completes = 0;
    Record completion;  // its time, outcome, cause and read
};

Line parseLine(const QByteArray& text) {
    Line line;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return line;
    const QJsonObject o = doc.object();
    const auto outcome = outcomeFromKey(o[kOutcome].toString());
    if (!outcome) return line;
    if (const qint64 n = positiveInteger(o[kCompletes])) {
        line.completes = n;
        line.completion.time = o[kTime].toString();
        line.completion.outcome = *outcome;
        line.completion.cause = o[kCause].toString();
        // A completion's bytes are checked against the record's range when folded in.
        if (o[kRead].isString()) line.completion.read = o[kRead].toString().toLatin1();
        return line;
    }
    Record r;
    r.number = positiveInteger(o[kRecord]);
    const QString kind = o[kKind].toString();
    if (!r.number || (kind != kindKey(Kind::Read) && kind != kindKey(Kind::Write)) ||
        !o[kFrom].isDouble() || !o[kTo].isDouble())
        return line;
    r.kind = kind == kindKey(Kind::Read) ? Kind::Read : Kind::Write;
    r.from = o[kFrom].toInt(-1);
    r.to = o[kTo].toInt(-1);
    if (r.from < 0 || r.to > 127 || r.from > r.to) return line;
    r.time = o[kTime].toString();
    r.program = o[kProgram].toString();
    r.version = o[kVersion].toString();
    r.port = o[kPort].toString();
    r.device = o[kDevice].toString();
    r.operation = o[kOperation].toString();
    r.outcome = *outcome;
    r.cause = o[kCause].toString();
    r.read = bytesOf(o[kRead], r.length());
    r.written = bytesOf(o[kWritten], r.length());
    r.before = bytesOf(o[kBefore], r.length());
    line.record = r;
    return line;
}

void fold(Record& r, const Record& completion) {
    r.outcome = completion.outcome;
    r.cause = completion.cause;
    r.completed = completion.time;
    if (completion.read) r.read = bytesOf(QString::fromLatin1(*completion.read), r.length());
}

// Calls `take` with each line of the file, from the last to the first, until it returns false.
// Reads a block at a time from the end; empty lines are passed over.
void eachLineBackwards(const QString& path, const std::function<bool(const QByteArray&)>& take) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return;
    qint64 pos = f.size();
    QByteArray carry;  // the end of a line whose start lies further back
    bool skipping = false;
    while (pos > 0) {
        const qint64 start = std::max<qint64>(0, pos - kBlock);
        if (!f.seek(start)) return;
        QByteArray block = f.read(pos - start);
        if (block.size() != pos - start) return;
        pos = start;
        if (!skipping) block += carry;
        qsizetype end = block.size();
        for (qsizetype i = block.size() - 1; i >= 0; --i) {
            if (block.at(i) != '\n') continue;
            const QByteArray text = block.mid(i + 1, end - i - 1);
            if (skipping)
                skipping = false;
            else if (!text.trimmed().isEmpty() && !take(text))
                return;
            end = i;
        }
        carry = skipping ? QByteArray() : block.left(end);
        if (carry.size() > kLongestLine) {
            carry.clear();
            skipping = true;
        }
    }
    if (!skipping && !carry.trimmed().isEmpty()) take(carry);
}

// The number the next record takes: one above the highest of the last records (those of older
// versions may stand out of order).
qint64 nextNumber(const QString& path) {
    qint64 highest = 0;
    qint64 records = 0;
    eachLineBackwards(path, [&](const QByteArray& text) {
        const Line line = parseLine(text);
        highest = std::max(highest, line.completes);
        if (!line.record) return true;
        highest = std::max(highest, line.record->number);
        return ++records < kOutOfStep;
    });
    return highest + 1;
}

// Whether the file ends in the middle of a line (a line cut short by a crash).
bool endsWithoutLineEnd(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0) return false;
    char last = '\n';
    return f.seek(f.size() - 1) && f.getChar(&last) && last != '\n';
}

// Why the system refused a file, in French (its own text is in English).
QString systemErrorText(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return QStringLiteral("accès refusé");
        case EISDIR:
            return QStringLiteral("c'est un dossier");
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("dossier introuvable");
        case ENOSPC:
            return QStringLiteral("plus de place sur le disque");
        case EROFS:
            return QStringLiteral("disque en lecture seule");
        case EIO:
            return QStringLiteral("erreur de lecture ou d'écriture sur le disque");
        default:
            break;
    }
    return QStringLiteral("erreur système n° %1").arg(error);
}

// Appends `bytes` to the file, then flushes them through to the disk with `sync`.
bool appendSynced(const QString& path, const QByteArray& bytes,
                  const std::function<bool(int)>& sync, QString& why) {
    // Windows says only "access denied" of a folder.
    if (QFileInfo(path).isDir()) {
        why = systemErrorText(EISDIR);
        return false;
    }
#ifdef _WIN32
    std::FILE* f =
        _wfopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), L"ab");
#else
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "ab");
#endif
    if (!f) {
        why = systemErrorText(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f) ==
              static_cast<std::size_t>(bytes.size());
    ok = std::fflush(f) == 0 && ok;
#ifdef _WIN32
    ok = ok && sync(_fileno(f));
#else
    ok = ok && sync(fileno(f));
#endif
    if (!ok) why = systemErrorText(errno);
    if (std::fclose(f) != 0 && ok) {
        why = systemErrorText(errno);
        ok = false;
    }
    return ok;
}

// The completion lines met while reading backwards, not yet folded into their records.
class Completions {
  public:
    void add(qint64 number, const Record& completion) { pending_[number].push_back(completion); }
    // Folds into `r` the completion that is its own. With one number given to several records
    // (older versions, writers at once), a completion whose read-back is what the record wrote
    // is taken first, then the earliest in the file that follows the record.
    void foldInto(Record& r) {
        const auto it = pending_.find(r.number);
        if (it == pending_.end()) return;
        std::vector<Record>& list = it->second;  // newest first
        auto pick = list.end() - 1;
        for (auto c = list.begin(); c != list.end(); ++c)
            if (c->read && r.written &&
                bytesOf(QString::fromLatin1(*c->read), r.length()) == r.written) {
                pick = c;
                break;
            }
        fold(r, *pick);
        list.erase(pick);
        if (list.empty()) pending_.erase(it);
    }

  private:
    std::map<qint64, std::vector<Record>> pending_;
};

}  // namespace

QString outcomeKey(Result outcome) {
    switch (outcome) {
        case Result::Success:
            return QStringLiteral("success");
        case Result::Failed:
            return QStringLiteral("failed");
        case Result::Refused:
            return QStringLiteral("refused");
        case Result::Unknown:
            break;
    }
    return QStringLiteral("unknown");
}

QString kindKey(Kind kind) {
    return kind == Kind::Read ? QStringLiteral("read") : QStringLiteral("write");
}

QString journalPath() {
    {
        std::lock_guard<std::mutex> lock(settingsMutex());
        if (!pathOverride().isEmpty()) return pathOverride();
    }
    return dataFolder() + QStringLiteral("/journal.jsonl");
}

void setJournalPath(const QString& path) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    pathOverride() = path;
}

void setProgram(const QString& program) {
    std::lock_guard<std::mutex> lock(settingsMutex());
    programName() = program;
}

QString timeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray recordLine(const Record& r) {
    QJsonObject o{{kRecord, r.number},
                  {kTime, r.time},
                  {kProgram, r.program},
                  {kVersion, r.version},
                  {kPort, r.port},
                  {kDevice, r.device},
                  {kOperation, r.operation},
                  {kKind, kindKey(r.kind)},
                  {kFrom, r.from},
                  {kTo, r.to},
                  {kOutcome, outcomeKey(r.outcome)}};
    if (!r.cause.isEmpty()) o.insert(kCause, r.cause);
    if (r.read) o.insert(kRead, hexOrNull(r.read));
    if (r.written) o.insert(kWritten, hexOrNull(r.written));
    if (r.kind == Kind::Write) o.insert(kBefore, hexOrNull(r.before));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray completionLine(qint64 number, const QString& time, Result outcome, const QString& cause,
                          const std::optional<QByteArray>& read) {
    QJsonObject o{{kCompletes, number}, {kTime, time}, {kOutcome, outcomeKey(outcome)}};
    if (!cause.isEmpty()) o.insert(kCause, cause);
    if (read) o.insert(kRead, hexOrNull(read));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool syncToDisk(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0;
#else
    return fsync(fd) == 0;
#endif
}

Appended Journal::failed(const QString& why) {
    Appended a;
    if (!warned_) {
        warned_ = true;
        a.warning = QStringLiteral(
                        "Le journal des opérations ne peut pas être écrit (%1 : %2). Les "
                        "opérations se font sans journal ; ce message ne sera plus affiché "
                        "jusqu'à la fin de la session.")
                        .arg(QDir::toNativeSeparators(path_), why);
    }
    return a;
}

Appended Journal::appendLine(const std::function<QByteArray(qint64)>& line, bool numbered) {
    std::lock_guard<std::mutex> guard(mutex_);
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return failed(QStringLiteral("le dossier ne peut pas être créé"));
    // Two programs appending at once take turns, so each record gets a number of its own: the
    // number is found and the line written under the lock, never without it.
    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWaitMs_))
        return failed(QStringLiteral("un autre programme le garde verrouillé depuis plus de %1 s")
                          .arg(lockWaitMs_ / 1000.0));
    Appended a;
    if (numbered) {
        a.number = nextNumber(path_);
        if (a.number > kLargestNumber)
            return failed(QStringLiteral("il n'y a plus de numéro d'enregistrement libre"));
    }
    QByteArray bytes = line(a.number) + '\n';
    if (endsWithoutLineEnd(path_)) bytes.prepend('\n');
    QString why;
    if (!appendSynced(path_, bytes, sync_, why)) return failed(why);
    return a;
}

Appended Journal::append(Record record) {
    if (record.time.isEmpty()) record.time = timeNow();
    if (record.program.isEmpty()) {
        std::lock_guard<std::mutex> lock(settingsMutex());
        record.program = programName();
    }
    if (record.version.isEmpty()) record.version = version();
    return appendLine(
        [&record](qint64 number) {
            record.number = number;
            return recordLine(record);
        },
        true);
}

Appended Journal::complete(qint64 number, Result outcome, const QString& cause,
                           const std::optional<QByteArray>& read) {
    if (number <= 0) return {};
    return appendLine(
        [&](qint64) { return completionLine(number, timeNow(), outcome, cause, read); }, false);
}

Journal& thisRun() {
    static Journal journal(journalPath());
    return journal;
}

bool readable(const QString& path, QString& why) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    QFile f(path);
    if (info.isDir())
        why = QStringLiteral("c'est un dossier");
    else if (!f.open(QIODevice::ReadOnly))
        why = f.error() == QFileDevice::PermissionsError ? QStringLiteral("lecture refusée")
                                                         : QStringLiteral("il ne s'ouvre pas");
    else
        return true;
    why = QStringLiteral("Le journal des opérations ne peut pas être lu (%1 : %2).")
              .arg(QDir::toNativeSeparators(path), why);
    return false;
}

void eachRecord(const QString& path, const std::function<bool(const Record&)>& take) {
    Completions completions;
    eachLineBackwards(path, [&](const QByteArray& text) {
        const Line line = parseLine(text);
        if (line.completes) {
            completions.add(line.completes, line.completion);
            return true;
        }
        if (!line.record) return true;
        Record r = *line.record;
        completions.foldInto(r);
        return take(r);
    });
}

std::vector<Record> lastRecords(const QString& path, int count,
                                const std::function<bool(const Record&)>& keep) {
    std::vector<Record> records;
    if (count <= 0) return records;
    eachRecord(path, [&](const Record& r) {
        if (!keep || keep(r)) records.push_back(r);
        return static_cast<int>(records.size()) < count;
    });
    return records;
}

std::vector<Record> findRecords(const QString& path, qint64 number) {
    std::vector<Record> found;
    eachRecord(path, [&](const Record& r) {
        // Numbers rise through the file: well below the one sought, it is not further back.
        if (r.number < number - kOutOfStep) return false;
        if (r.number == number) found.push_back(r);
        return true;
    });
    return found;
}

std::optional<Record> findRecord(const QString& path, qint64 number) {
    std::vector<Record> found = findRecords(path, number);
    if (found.size() != 1) return std::nullopt;
    return found.front();
}

}  // namespace veq::journal
