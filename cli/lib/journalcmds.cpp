#include "cli/lib/journalcmds.h"

#include <limits>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/lib/checks.h"
#include "cli/lib/jobs.h"
#include "journal/journal.h"
#include "journal/known.h"
#include "link/portmap.h"
#include "panelmem/paramfile.h"

namespace veq::cli {

namespace {

constexpr int kDefaultLast = 20;
constexpr int kRateFirst = 0x60;

int usage(const Request& q, Console& c, const QString& text) {
    c.err(QStringLiteral("veqctl : %1\nveqctl --help pour l'aide.\n").arg(text));
    if (q.json)
        c.out(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("exit"), kUsage},
                                                          {QStringLiteral("error"), text}})
                                    .toJson(QJsonDocument::Indented)));
    return kUsage;
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
    journal::putBytes(grid, from, bytes);
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
        else
            lines << paramfile::parametersText(paramfile::settingsFromMemory(grid))
                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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

int journalList(const Request& q, Console& c) {
    int last = kDefaultLast;
    if (!q.last.isEmpty()) {
        const auto n = wholeNumber(q.last, 1, std::numeric_limits<int>::max());
        if (!n) return usage(q, c, QStringLiteral("--last attend un nombre entier à partir de 1"));
        last = *n;
    }
    const auto keep = [&q](const journal::Record& r) {
        return q.ports.isEmpty() || onPorts(r, q.ports);
    };
    const std::vector<journal::Record> records =
        journal::lastRecords(journal::journalPath(), last, keep);
    if (q.json) {
        QJsonArray list;
        for (const auto& r : records) list.append(recordJson(r));
        c.out(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("journal")},
                                      {QStringLiteral("exit"), kDone},
                                      {QStringLiteral("journal"), journal::journalPath()},
                                      {QStringLiteral("records"), list}})
                .toJson(QJsonDocument::Indented)));
        return kDone;
    }
    for (const auto& r : records)
        c.out(QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                  .arg(r.number)
                  .arg(r.time, r.port, r.operation, journal::outcomeKey(r.outcome)));
    return kDone;
}

int journalShow(const Request& q, Console& c) {
    const auto n = recordNumber(q.words.at(2));
    if (!n)
        return usage(q, c, QStringLiteral("« journal show » attend un numéro d'enregistrement"));
    const auto found = journal::findRecord(journal::journalPath(), *n);
    if (!found)
        return usage(q, c,
                     QStringLiteral("aucun enregistrement n° %1 dans le journal %2")
                         .arg(*n)
                         .arg(journal::journalPath()));
    const journal::Record& r = *found;
    if (q.json) {
        c.out(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("journal show")},
                                      {QStringLiteral("exit"), kDone},
                                      {QStringLiteral("record"), recordJson(r)}})
                .toJson(QJsonDocument::Indented)));
        return kDone;
    }
    QStringList out;
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
    c.out(out.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return kDone;
}

std::optional<PortJob> restoreJob(const Request& q, QString& error) {
    const auto n = recordNumber(q.words.at(1));
    if (!n) {
        error = QStringLiteral("« restore » attend un numéro d'enregistrement");
        return std::nullopt;
    }
    const auto found = journal::findRecord(journal::journalPath(), *n);
    if (!found) {
        error = QStringLiteral("aucun enregistrement n° %1 dans le journal %2")
                    .arg(*n)
                    .arg(journal::journalPath());
        return std::nullopt;
    }
    const journal::Record& r = *found;
    if (r.kind != journal::Kind::Write) {
        error = QStringLiteral("l'enregistrement n° %1 (%2) est une lecture : rien à rétablir")
                    .arg(*n)
                    .arg(r.operation);
        return std::nullopt;
    }
    if (!r.before) {
        error = QStringLiteral(
                    "l'enregistrement n° %1 (%2) ne dit pas ce que le panneau contenait avant "
                    "(« before » inconnu) : rien ne peut être rétabli")
                    .arg(*n)
                    .arg(r.operation);
        return std::nullopt;
    }
    const QString operation = QStringLiteral("restore %1").arg(*n);
    const QString name = QStringLiteral("enregistrement n° %1").arg(*n);
    if (r.from == kRateFirst && r.to == 127) {
        // The settings the bytes hold, through the parameter file's own checks.
        MemoryGrid grid;
        journal::putBytes(grid, r.from, *r.before);
        if (memmap::isBlank(grid)) {
            error = name + QStringLiteral(
                               " : avant, la mémoire était vierge (pas de signature) ; "
                               "rien à rétablir par params set");
            return std::nullopt;
        }
        QString why;
        const auto settings = paramfile::parseParameters(
            QJsonDocument(paramfile::parametersJson(paramfile::settingsFromMemory(grid))).toJson(),
            why);
        if (!settings) {
            error = name + QStringLiteral(" : ") + why;
            return std::nullopt;
        }
        return PortJob([s = *settings, operation](Exchange& ex, PortResult& res) {
            jobs::paramsSet(ex, res, s, operation);
        });
    }
    if (r.from == 0 && r.to == 127) {
        image::Bytes bytes{};
        for (int a = 0; a < image::kSize; ++a)
            bytes[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(r.before->at(a));
        if (!writable(bytes, q.force, name, error)) return std::nullopt;
        return PortJob([bytes, operation](Exchange& ex, PortResult& res) {
            jobs::memoryWrite(ex, res, bytes, operation);
        });
    }
    error = QStringLiteral(
                "l'enregistrement n° %1 écrit %2 à %3 : aucune commande n'écrit ces adresses")
                .arg(*n)
                .arg(address(r.from), address(r.to));
    return std::nullopt;
}

}  // namespace veq::cli
