#include "cli/lib/journalcmds.h"

#include <limits>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/lib/checks.h"
#include "cli/lib/jobs.h"
#include "journal/compare.h"
#include "journal/journal.h"
#include "journal/known.h"
#include "link/portmap.h"
#include "panelmem/paramfile.h"

namespace veq::cli {

namespace {

constexpr int kDefaultLast = 20;
constexpr int kRateFirst = 0x60;

// The command ends on an error: one line (and where to find the help, for a usage error).
int ended(const Request& q, Console& c, const QString& text, int exit) {
    c.err(QStringLiteral("veqctl : %1\n").arg(text) +
          (exit == kUsage ? QStringLiteral("veqctl --help pour l'aide.\n") : QString()));
    if (q.json)
        c.out(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("exit"), exit},
                                                          {QStringLiteral("error"), text}})
                                    .toJson(QJsonDocument::Indented)));
    return exit;
}

int usage(const Request& q, Console& c, const QString& text) {
    return ended(q, c, text, kUsage);
}

// The journal that cannot be read: one line, status 1.
int unreadable(const Request& q, Console& c, const QString& why) {
    return ended(q, c, why, kFailed);
}

QJsonObject recordJson(const journal::Record& r) {
    QJsonObject o = QJsonDocument::fromJson(journal::recordLine(r)).object();
    if (!r.completed.isEmpty()) o.insert(QStringLiteral("completed"), r.completed);
    return o;
}

std::optional<qint64> recordNumber(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    if (!ok || n < 1) return std::nullopt;
    return n;
}

// Whether a record is of one of the ports named: a COM number matches its name, or the device
// it stands for now; a path matches the device or the name it was given as.
bool onPorts(const journal::Record& r, const QStringList& ports) {
    for (const QString& p : ports) {
        if (const auto n = comNumber(p)) {
            if (comNumber(r.port) == n) return true;
            const QString device = portDevice(*n);
            if (!device.isEmpty() && device == r.device) return true;
        } else if (p == r.port || p == r.device) {
            return true;
        }
    }
    return false;
}

QString address(int a) {
    return QStringLiteral("%1").arg(a, 2, 16, QLatin1Char('0')).toUpper() + QLatin1Char('h');
}

// Bytes as the memory image writes them, 16 a line, each line after its first address.
QStringList hexLines(const QByteArray& bytes, int from) {
    QStringList lines;
    for (int k = 0; k < bytes.size(); k += 16) {
        QStringList b;
        for (int i = k; i < std::min<int>(k + 16, static_cast<int>(bytes.size())); ++i)
            b << QStringLiteral("%1")
                     .arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0'))
                     .toUpper();
        lines << QStringLiteral("    %1  %2").arg(address(from + k), b.join(QLatin1Char(' ')));
    }
    return lines;
}

// The settings the bytes hold, as the windows decode them.
QStringList decoded(const QByteArray& bytes, int from, int to) {
    MemoryGrid grid;
    grid.putBytes(from, bytes);
    QStringList lines;
    if (from <= 60 && to >= 62) {
        const memmap::BrightnessReading b = memmap::decodeBrightness(grid);
        lines << QString::fromUtf8(settings::kModeLabel) +
                     QStringLiteral(" (fenêtre Luminosité) : ") +
                     (b.option ? settings::kBrightnessModes.value(*b.option)
                               : QStringLiteral("aucune"))
              << QString::fromUtf8(settings::kSwitchPeriod.label) +
                     QStringLiteral(" : %1 s").arg(b.period)
              << QString::fromUtf8(settings::kSwitchThreshold.label) +
                     QStringLiteral(" : %1").arg(b.threshold);
    }
    if (from <= kRateFirst && to == 127) {
        if (memmap::isBlank(grid))
            lines << QStringLiteral("Paramètres de cadence : mémoire vierge (pas de signature)");
        else {
            lines << paramfile::parametersText(memmap::settingsFromMemory(grid))
                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const journal::OffTable& o : journal::offTable(bytes.mid(kRateFirst - from)))
                lines << journal::offTableText(o);
        }
    }
    QStringList indented;
    for (const QString& l : lines) indented << QStringLiteral("    ") + l;
    return indented;
}

void bytesSection(QStringList& out, const QString& title, const std::optional<QByteArray>& bytes,
                  const journal::Record& r) {
    if (!bytes) {
        if (title == QLatin1String("Avant") && r.kind == journal::Kind::Write)
            out << title + QStringLiteral(" : inconnu");
        return;
    }
    out << title + QStringLiteral(" :");
    out << hexLines(*bytes, r.from);
    out << decoded(*bytes, r.from, r.to);
}

}  // namespace

namespace {

// An indented JSON object, each of its lines indented by `by` more spaces.
QString indented(const QJsonObject& o, int by) {
    const QString pad(by, QLatin1Char(' '));
    QStringList lines =
        QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed().split('\n');
    for (QString& l : lines) l.prepend(pad);
    return lines.join(QLatin1Char('\n'));
}

QString recordTitle(const journal::Record& r) {
    return QStringLiteral("%1, %2, %3").arg(r.time, r.port, r.operation);
}

// The record numbered as `text` says, when there is one: of several with that number (written
// at once by an older version), the one on the port `port` names (any when empty).
std::optional<journal::Record> oneRecord(const QString& text, const QString& port, QString& error) {
    const auto n = recordNumber(text);
    if (!n) {
        error = QStringLiteral("« restore » attend un numéro d'enregistrement");
        return std::nullopt;
    }
    const QString path = journal::journalPath();
    if (!journal::readable(path, error)) return std::nullopt;
    std::vector<journal::Record> found = journal::findRecords(path, *n);
    if (found.size() > 1 && !port.isEmpty()) {
        const QString device = portDeviceOf(port);
        std::erase_if(found, [&](const journal::Record& r) { return recordDevice(r) != device; });
    }
    if (found.empty()) {
        error = QStringLiteral("aucun enregistrement n° %1 dans le journal %2").arg(*n).arg(path);
        return std::nullopt;
    }
    if (found.size() > 1) {
        QStringList which;
        for (const auto& r : found) which << recordTitle(r);
        error = QStringLiteral(
                    "%1 enregistrements portent le n° %2 (écrits en même temps par une version "
                    "antérieure) : %3. Donnez le port du bon avec -p.")
                    .arg(found.size())
                    .arg(*n)
                    .arg(which.join(QStringLiteral(" ; ")));
        return std::nullopt;
    }
    return found.front();
}

}  // namespace

QString recordDevice(const journal::Record& r) {
    return portDeviceOf(r.device.isEmpty() ? r.port : r.device);
}

int journalList(const Request& q, Console& c) {
    int last = kDefaultLast;
    if (!q.last.isEmpty()) {
        const auto n = wholeNumber(q.last, 1, std::numeric_limits<int>::max());
        if (!n) return usage(q, c, QStringLiteral("--last attend un nombre entier à partir de 1"));
        last = *n;
    }
    const QString path = journal::journalPath();
    QString why;
    if (!journal::readable(path, why)) return unreadable(q, c, why);
    // Each record is written out as it is read: --last of any size holds one record at a time.
    if (q.json) {
        const QString head = QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("journal")},
                                      {QStringLiteral("exit"), kDone},
                                      {QStringLiteral("journal"), path}})
                .toJson(QJsonDocument::Indented));
        c.out(head.left(head.lastIndexOf(QLatin1Char('}'))).trimmed() +
              QStringLiteral(",\n    \"records\": ["));
    }
    int shown = 0;
    journal::eachRecord(path, [&](const journal::Record& r) {
        if (!q.ports.isEmpty() && !onPorts(r, q.ports)) return true;
        if (q.json)
            c.out((shown ? QStringLiteral(",\n") : QStringLiteral("\n")) +
                  indented(recordJson(r), 8));
        else
            c.out(QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                      .arg(r.number)
                      .arg(r.time, r.port, r.operation, journal::outcomeKey(r.outcome)));
        return ++shown < last;
    });
    if (q.json) c.out(QStringLiteral("\n    ]\n}\n"));
    return kDone;
}

int journalShow(const Request& q, Console& c) {
    const auto n = recordNumber(q.words.at(2));
    if (!n)
        return usage(q, c, QStringLiteral("« journal show » attend un numéro d'enregistrement"));
    const QString path = journal::journalPath();
    QString why;
    if (!journal::readable(path, why)) return unreadable(q, c, why);
    const std::vector<journal::Record> found = journal::findRecords(path, *n);
    if (found.empty())
        return usage(
            q, c,
            QStringLiteral("aucun enregistrement n° %1 dans le journal %2").arg(*n).arg(path));
    if (q.json) {
        QJsonObject o{{QStringLiteral("command"), QStringLiteral("journal show")},
                      {QStringLiteral("exit"), kDone},
                      {QStringLiteral("record"), recordJson(found.front())}};
        if (found.size() > 1) {
            QJsonArray all;
            for (const auto& r : found) all.append(recordJson(r));
            o.insert(QStringLiteral("records"), all);
        }
        c.out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
        return kDone;
    }
    QStringList out;
    if (found.size() > 1)
        out << QStringLiteral(
                   "%1 enregistrements portent le n° %2 (écrits en même temps par une version "
                   "antérieure), du plus récent au plus ancien :")
                   .arg(found.size())
                   .arg(*n);
    for (const journal::Record& r : found) {
        if (found.size() > 1) out << QString();
        out << QStringLiteral("Enregistrement %1").arg(r.number)
            << QStringLiteral("Heure : %1").arg(r.time)
            << QStringLiteral("Programme : %1 %2").arg(r.program, r.version)
            << QStringLiteral("Port : %1 (%2)").arg(r.port, r.device)
            << QStringLiteral("Opération : %1 (%2)")
                   .arg(r.operation, r.kind == journal::Kind::Read ? QStringLiteral("lecture")
                                                                   : QStringLiteral("écriture"))
            << QStringLiteral("Adresses : %1 à %2").arg(address(r.from), address(r.to))
            << QStringLiteral("Résultat : %1%2")
                   .arg(journal::outcomeKey(r.outcome),
                        r.cause.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.cause));
        if (!r.completed.isEmpty()) out << QStringLiteral("Terminé : %1").arg(r.completed);
        bytesSection(out, QStringLiteral("Avant"), r.before, r);
        bytesSection(out, QStringLiteral("Écrit"), r.written, r);
        bytesSection(out, QStringLiteral("Lu"), r.read, r);
    }
    c.out(out.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return kDone;
}

namespace {

// The one port of -p or --config, empty without either; nothing when more are given.
std::optional<QString> givenPort(const Request& q, QString& error) {
    if (q.ports.size() + (q.config.isEmpty() ? 0 : 1) > 1) {
        error = QStringLiteral("« restore » écrit un seul panneau : un seul port");
        return std::nullopt;
    }
    if (q.ports.isEmpty() && q.config.isEmpty()) return QString();
    const auto given = panelPorts(q, error);
    if (!given) return std::nullopt;
    return given->front();
}

}  // namespace

std::optional<QStringList> restorePorts(const Request& q, QString& error) {
    const auto given = givenPort(q, error);
    if (!given) return std::nullopt;
    const auto r = oneRecord(q.words.at(1), *given, error);
    if (!r) return std::nullopt;
    const QString own = recordDevice(*r);
    if (!given->isEmpty()) {
        const QString device = portDeviceOf(*given);
        if (device != own && !q.ontoOther) {
            error = QStringLiteral(
                        "l'enregistrement n° %1 a été fait sur %2 (%3) ; %4 mène à un autre "
                        "périphérique (%5). Rien n'est envoyé. Pour écrire ces octets dans un "
                        "autre panneau (un panneau remplacé), ajoutez --onto-other-panel.")
                        .arg(r->number)
                        .arg(r->port, own, *given, device);
            return std::nullopt;
        }
        return QStringList{*given};
    }
    // The record's own port: its COM number while it still leads to the record's device,
    // otherwise that device itself.
    if (comNumber(r->port) && portDeviceOf(r->port) == own) return QStringList{r->port};
    return QStringList{r->device.isEmpty() ? r->port : r->device};
}

std::optional<PortJob> restoreJob(const Request& q, QString& error) {
    const auto given = givenPort(q, error);
    if (!given) return std::nullopt;
    const auto found = oneRecord(q.words.at(1), *given, error);
    if (!found) return std::nullopt;
    const journal::Record& r = *found;
    const qint64 n = r.number;
    if (r.kind != journal::Kind::Write) {
        error = QStringLiteral("l'enregistrement n° %1 (%2) est une lecture : rien à rétablir")
                    .arg(n)
                    .arg(r.operation);
        return std::nullopt;
    }
    if (!r.before) {
        error = QStringLiteral(
                    "l'enregistrement n° %1 (%2) ne dit pas ce que le panneau contenait avant "
                    "(« before » inconnu) : rien ne peut être rétabli")
                    .arg(n)
                    .arg(r.operation);
        return std::nullopt;
    }
    const QString operation = QStringLiteral("restore %1").arg(n);
    const QString name = QStringLiteral("enregistrement n° %1").arg(n);
    // The bytes go back exactly as they were recorded, through the frames of the command that
    // writes that range; a blank "before" only with --force, as for memory write.
    image::Bytes whole{};
    if (r.from == 0 && r.to == 127)
        std::copy(r.before->begin(), r.before->end(), whole.begin());
    else if (r.from == kRateFirst && r.to == 127)
        std::copy(r.before->begin(), r.before->end(), whole.begin() + kRateFirst);
    else {
        error = QStringLiteral(
                    "l'enregistrement n° %1 écrit %2 à %3 : aucune commande n'écrit ces adresses")
                    .arg(n)
                    .arg(address(r.from), address(r.to));
        return std::nullopt;
    }
    if (!writable(whole, q.force, name, error)) return std::nullopt;
    if (r.from == 0)
        return PortJob([whole, operation](Exchange& ex, PortResult& res) {
            jobs::memoryWrite(ex, res, whole, operation);
        });
    return PortJob([bytes = *r.before, operation](Exchange& ex, PortResult& res) {
        jobs::rateBytesWrite(ex, res, bytes, operation);
    });
}

}  // namespace veq::cli
