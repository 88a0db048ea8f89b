#include "cli/lib/checks.h"

#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cli/lib/jobs.h"
#include "config/configfile.h"
#include "journal/journal.h"
#include "link/detection.h"
#include "link/netaddress.h"
#include "link/portmap.h"
#include "panelmem/paramfile.h"

namespace veq::cli {

namespace {

constexpr int kFirstCom = PortDetection::kFirstPort;
constexpr int kLastCom = PortDetection::kLastPort;

// The port of a configuration file: line 1, the position of "COM1:" to "COM12:".
std::optional<QString> configPort(const QString& path, QString& error) {
    const QFileInfo info(path);
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 : fichier de configuration illisible").arg(path);
        return std::nullopt;
    }
    const QByteArray text = f.read(configfile::kReadLimit);
    const std::vector<int> positions =
        configfile::positions(text, {12, 1000, 1000, 1000, 1000, 1000, 1000, 1000});
    if (positions.empty()) {
        error = QStringLiteral("%1 : la ligne 1 n'est pas un port (0 à 11 pour COM1: à COM12:)")
                    .arg(path);
        return std::nullopt;
    }
    return QStringLiteral("COM%1").arg(positions.front() + 1);
}

// The file a path names, links and "." or ".." resolved, so that two names of one file compare
// equal; for a file still to be made, its folder resolved and its name.
QString resolvedFile(const QString& path) {
    const QFileInfo info(path);
    if (info.exists()) return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// The files the command reads or writes besides the trace, each with the option naming it.
std::vector<std::pair<QString, QString>> commandFiles(const Request& q) {
    std::vector<std::pair<QString, QString>> files;
    if (!q.config.isEmpty()) files.emplace_back(q.config, QStringLiteral("--config"));
    if (!q.output.isEmpty()) files.emplace_back(q.output, QStringLiteral("-o"));
    if (q.words.size() > 2)
        files.emplace_back(q.words.at(2),
                           QStringLiteral("« %1 »").arg(q.words.mid(0, 2).join(QLatin1Char(' '))));
    return files;
}

}  // namespace

QString portDeviceOf(const QString& port) {
    QString path = devicePath(port);
    if (const auto n = comNumber(port)) {
        path = portDevice(*n);
        if (path.isEmpty()) return QStringLiteral("COM%1").arg(*n);  // no device: the name
    }
    if (isNetworkName(path)) {
        const auto address = parseNetAddress(path);
        return address ? address->text() : path;
    }
#ifdef Q_OS_WIN
    if (path.startsWith(QLatin1String("\\\\.\\"))) path = path.mid(4);
    if (const auto n = comNumber(path)) return QStringLiteral("COM%1").arg(*n);
#endif
    return resolvedFile(path);
}

bool sameFile(const QString& a, const QString& b) {
    return resolvedFile(a).compare(resolvedFile(b), kFileNameCase) == 0;
}

std::optional<QStringList> panelPorts(const Request& q, QString& error) {
    QStringList ports;
    for (const QString& p : q.ports) {
        if (p.trimmed().isEmpty()) {
            error = QStringLiteral("port vide");
            return std::nullopt;
        }
        if (const auto n = comNumber(p)) {
            if (*n < kFirstCom || *n > kLastCom) {
                error =
                    QStringLiteral("port %1 : COM1 à COM14 ou un chemin de périphérique").arg(p);
                return std::nullopt;
            }
            ports << QStringLiteral("COM%1").arg(*n);
        } else if (isNetworkName(p)) {
            // A malformed address is refused here, before anything is sent.
            if (!parseNetAddress(p, &error)) return std::nullopt;
            ports << p.trimmed();
        } else {
            ports << p;
        }
    }
    if (!q.config.isEmpty()) {
        const auto p = configPort(q.config, error);
        if (!p) return std::nullopt;
        ports << *p;
    }
    if (ports.isEmpty()) {
        error = QStringLiteral("aucun port : --port COMn, --port CHEMIN ou --config FICHIER.zuk");
        return std::nullopt;
    }
    // One device under two names (COM3 and the path it maps to, or a link to it) would be
    // driven by two threads at once: the devices are compared, not the names.
    QStringList devices;
    for (const QString& p : ports) {
        const QString device = portDeviceOf(p);
        const int k = static_cast<int>(devices.indexOf(device));
        if (k >= 0) {
            error = QStringLiteral("le même port est donné deux fois : %1 et %2 (%3)")
                        .arg(ports[k], p, device);
            return std::nullopt;
        }
        devices << device;
    }
    return ports;
}

bool outputAllowed(const Request& q, const QStringList& ports, QString& error) {
    if (q.output.isEmpty()) return true;
    if (ports.size() > 1) {
        error = QStringLiteral("-o écrit le fichier d'un seul port");
        return false;
    }
    // The file is written aside and renamed over the name: whatever stands under that name (links
    // followed) would be replaced, so it must be a regular file, or nothing yet.
    const QFileInfo info(q.output);
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral(
                    "-o %1 : ce n'est pas un fichier ordinaire (périphérique, tube ou dossier) ; "
                    "-o écrit un fichier ordinaire ou un nouveau nom")
                    .arg(q.output);
        return false;
    }
    // Nor any file the program itself uses.
    std::vector<std::pair<QString, QString>> taken = {
        {journal::journalPath(), QStringLiteral("le journal des opérations")},
        {portsFilePath(), QStringLiteral("le fichier des ports")}};
    for (const QString& p : ports)
        taken.emplace_back(portDeviceOf(p), QStringLiteral("le port %1").arg(p));
    for (const auto& [path, what] : commandFiles(q))
        if (what != QLatin1String("-o"))
            taken.emplace_back(path, QStringLiteral("le fichier de %1").arg(what));
    for (const auto& [path, what] : taken) {
        if (!path.isEmpty() && sameFile(q.output, path)) {
            error = QStringLiteral("-o %1 : c'est aussi %2").arg(q.output, what);
            return false;
        }
    }
    return true;
}

bool openTrace(const Request& q, std::shared_ptr<TraceLog>& trace, QString& error) {
    trace.reset();
    if (q.trace.isEmpty()) return true;
    // The trace goes to a file of its own: never one the command reads or writes, and never an
    // existing file that is not a trace (TraceLog::open appends or refuses).
    for (const auto& [path, what] : commandFiles(q)) {
        if (sameFile(q.trace, path)) {
            error = QStringLiteral("--trace %1 : c'est aussi le fichier de %2").arg(q.trace, what);
            return false;
        }
    }
    auto log = std::make_shared<TraceLog>();
    QString why;
    if (!log->open(q.trace, why)) {
        error = QStringLiteral("--trace %1 : %2").arg(q.trace, why);
        return false;
    }
    trace = std::move(log);
    return true;
}

std::optional<memmap::RateSettings> parameterFile(const QString& path, QString& error) {
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 : fichier de paramètres illisible").arg(path);
        return std::nullopt;
    }
    QString why;
    const auto settings = parseParameters(f.read(paramfile::kLargestFile + 1), why);
    if (!settings) error = QStringLiteral("%1 : %2").arg(path, why);
    return settings;
}

std::optional<image::Bytes> imageToWrite(const QString& path, bool force, QString& error) {
    image::Bytes bytes{};
    QString why;
    if (!QFileInfo(path).isFile() || !image::loadImage(path, bytes, why)) {
        error = QStringLiteral("%1 : %2").arg(
            path, why.isEmpty() ? QStringLiteral("pas un fichier") : why);
        return std::nullopt;
    }
    if (!writable(bytes, force, path, error)) return std::nullopt;
    return bytes;
}

bool writable(const image::Bytes& bytes, bool force, const QString& name, QString& error) {
    // The memory map's blank test, as every window applies it: 6Ch is not looked at (it holds the
    // brightness code once a brightness was programmed).
    MemoryGrid image;
    jobs::putBytes(image, bytes);
    if (memmap::isBlank(image) && !force) {
        error = QStringLiteral(
                    "%1 : mémoire vierge, pas de signature « ZUK » (ni 5Ah en 6Ah ni 55h en 6Bh) "
                    "; --force pour l'écrire quand même")
                    .arg(name);
        return false;
    }
    return true;
}

std::optional<memmap::BrightnessSettings> brightnessSettings(const Request& q, QString& error) {
    memmap::BrightnessSettings s;
    if (!q.mode.isEmpty()) {
        const QStringList& modes = settings::kBrightnessModes;
        const int m = static_cast<int>(modes.indexOf(q.mode.toLower()));
        if (m < 0 || m >= settings::kSelectableModes) {
            const QStringList chosen = modes.mid(0, settings::kSelectableModes);
            error = QStringLiteral("--mode %1 : %2 ou %3")
                        .arg(q.mode, chosen.mid(0, chosen.size() - 1).join(QStringLiteral(", ")),
                             chosen.last());
            return std::nullopt;
        }
        s.option = m;
    }
    if (!q.period.isEmpty()) {
        const settings::Numeric& n = settings::kSwitchPeriod;
        const auto p = wholeNumber(q.period, n.minimum, n.maximum);
        if (!p) {
            error = QStringLiteral("--period %1 : %2 (secondes)")
                        .arg(q.period, settings::allowedText(n));
            return std::nullopt;
        }
        s.period = *p;
    }
    if (!q.threshold.isEmpty()) {
        const settings::Numeric& n = settings::kSwitchThreshold;
        const auto t = wholeNumber(q.threshold, n.minimum, n.maximum);
        if (!t) {
            error =
                QStringLiteral("--threshold %1 : %2").arg(q.threshold, settings::allowedText(n));
            return std::nullopt;
        }
        s.threshold = *t;
    }
    return s;
}

}  // namespace veq::cli
