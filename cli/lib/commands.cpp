#include "cli/lib/commands.h"

#include <QFileInfo>

#include "cli/lib/checks.h"
#include "cli/lib/jobs.h"
#include "cli/lib/journalcmds.h"
#include "panelmem/image.h"
#include "panelmem/settings.h"

namespace veq::cli {

namespace {

constexpr unsigned kPanelOptions = kPort | kConfig | kTrace | kJson;

// A command that checks nothing before it runs.
std::function<std::optional<PortJob>(const Request&, QString&)> always(PortJob job) {
    return [job = std::move(job)](const Request&, QString&) { return std::optional(job); };
}

std::optional<PortJob> paramsGet(const Request& q, QString&) {
    return PortJob([toFile = !q.output.isEmpty()](Exchange& ex, PortResult& r) {
        jobs::paramsGet(ex, r, toFile);
    });
}

std::optional<PortJob> paramsSet(const Request& q, QString& error) {
    const auto settings = parameterFile(q.words.at(2), error);
    if (!settings) return std::nullopt;
    return PortJob([s = *settings](Exchange& ex, PortResult& r) { jobs::paramsSet(ex, r, s); });
}

std::optional<PortJob> memoryRead(const Request& q, QString&) {
    return PortJob([toFile = !q.output.isEmpty()](Exchange& ex, PortResult& r) {
        jobs::memoryRead(ex, r, toFile);
    });
}

std::optional<PortJob> memoryWrite(const Request& q, QString& error) {
    const auto bytes = imageToWrite(q.words.at(2), q.force, error);
    if (!bytes) return std::nullopt;
    return PortJob([b = *bytes](Exchange& ex, PortResult& r) { jobs::memoryWrite(ex, r, b); });
}

std::optional<PortJob> paramsDiff(const Request& q, QString& error) {
    const auto settings = parameterFile(q.words.at(2), error);
    if (!settings) return std::nullopt;
    return PortJob([s = *settings](Exchange& ex, PortResult& r) { jobs::paramsDiff(ex, r, s); });
}

std::optional<PortJob> memoryDiff(const Request& q, QString& error) {
    const QString path = q.words.at(2);
    image::Bytes bytes{};
    QString why;
    if (!QFileInfo(path).isFile() || !image::loadImage(path, bytes, why)) {
        error = QStringLiteral("%1 : %2").arg(
            path, why.isEmpty() ? QStringLiteral("pas un fichier") : why);
        return std::nullopt;
    }
    return PortJob([bytes](Exchange& ex, PortResult& r) { jobs::memoryDiff(ex, r, bytes); });
}

std::optional<PortJob> brightnessSet(const Request& q, QString& error) {
    const auto settings = brightnessSettings(q, error);
    if (!settings) return std::nullopt;
    return PortJob([s = *settings](Exchange& ex, PortResult& r) { jobs::brightnessSet(ex, r, s); });
}

// The brightness choices and limits, from the settings table.
QString brightnessSetHelp() {
    const QStringList modes = settings::kBrightnessModes.mid(0, settings::kSelectableModes);
    const settings::Numeric& p = settings::kSwitchPeriod;
    const settings::Numeric& t = settings::kSwitchThreshold;
    return QStringLiteral(
               "programme la luminosité : M %1 ou\n"
               "%2 (sans --mode : inchangé), S de %3 à %4 secondes (%5 par\n"
               "défaut), T de %6 (jour) à %7 (nuit) (%8 par défaut)")
        .arg(modes.mid(0, modes.size() - 1).join(QStringLiteral(", ")), modes.last())
        .arg(p.minimum)
        .arg(p.maximum)
        .arg(p.initial)
        .arg(t.minimum)
        .arg(t.maximum)
        .arg(t.initial);
}

}  // namespace

const std::vector<Command>& commands() {
    // The expected seconds are those of each operation on a 9600 baud line; detect gives every
    // port its second at once.
    static const std::vector<Command> table = {
        {"ports", nullptr, kJson, Access::None, Ports::None, 0.0, "ports",
         "les numéros COM et le périphérique derrière chacun", nullptr, nullptr},
        {"detect", nullptr, kTrace | kJson, Access::Reads, Ports::Every, 1.0, "detect",
         "teste COM1 à COM14 en même temps : absent, libre, libre avec\n"
         "un panneau",
         always(jobs::detect), nullptr},
        {"params get", nullptr, kPanelOptions | kOutput, Access::Reads, Ports::Given, 1.05,
         "params get [-o FICHIER]",
         "lit les paramètres de cadence ; les affiche, ou écrit un\n"
         "fichier de paramètres (JSON)",
         paramsGet, nullptr},
        {"params set", "FICHIER", kPanelOptions, Access::Writes, Ports::Given, 3.65,
         "params set FICHIER",
         "vérifie le fichier, programme les paramètres, les relit et\n"
         "compare",
         paramsSet, nullptr},
        {"params diff", "FICHIER", kPanelOptions, Access::Reads, Ports::Given, 1.05,
         "params diff FICHIER",
         "lit les paramètres et les compare au fichier, réglage par\n"
         "réglage (code 4 quand ils diffèrent)",
         paramsDiff, nullptr},
        {"memory read", nullptr, kPanelOptions | kOutput, Access::Reads, Ports::Given, 1.65,
         "memory read [-o FICHIER]",
         "lit les 128 octets de la mémoire (image au format de\n"
         "veq-panel-sim --load)",
         memoryRead, nullptr},
        {"memory write", "FICHIER", kPanelOptions | kForce, Access::Writes, Ports::Given, 5.15,
         "memory write FICHIER",
         "programme les 128 octets d'une image, les relit et compare ;\n"
         "refuse une mémoire vierge (ni « Z » en 6Ah ni « U » en\n"
         "6Bh) sauf avec --force",
         memoryWrite, nullptr},
        {"memory diff", "FICHIER", kPanelOptions, Access::Reads, Ports::Given, 1.65,
         "memory diff FICHIER",
         "lit les 128 octets et les compare à l'image, réglage par\n"
         "réglage puis octet par octet (code 4 quand ils diffèrent)",
         memoryDiff, nullptr},
        {"brightness get", nullptr, kPanelOptions, Access::Reads, Ports::Given, 2.25,
         "brightness get", "lit la luminosité", always(jobs::brightnessGet), nullptr},
        {"brightness set", nullptr, kPanelOptions | kMode | kPeriod | kThreshold, Access::Writes,
         Ports::Given, 5.0, "brightness set [--mode M] [--period S] [--threshold T]",
         brightnessSetHelp(), brightnessSet, nullptr},
        {"switches", nullptr, kPanelOptions, Access::Reads, Ports::Given, 2.25, "switches",
         "lit les microswitches et le modèle de couleurs", always(jobs::switches), nullptr},
        {"journal", nullptr, kPort | kLast | kJson, Access::None, Ports::None, 0.0,
         "journal [--port P] [--last N]",
         "les derniers enregistrements du journal, du plus récent au\n"
         "plus ancien : numéro, heure, port, opération, résultat",
         nullptr, journalList},
        {"journal show", "N", kJson, Access::None, Ports::None, 0.0, "journal show N",
         "l'enregistrement N en entier, ses octets décodés en réglages", nullptr, journalShow},
        {"restore", "N", kPanelOptions | kForce | kOntoOther, Access::Writes, Ports::OfRecord, 5.15,
         "restore N [--onto-other-panel]",
         "réécrit tels quels les octets « avant » de l'enregistrement N,\n"
         "sur le port de l'enregistrement (un -p qui mène à un autre\n"
         "périphérique est refusé sans --onto-other-panel), avec une\n"
         "relecture comparée octet par octet",
         restoreJob, nullptr},
    };
    return table;
}

const Command* findCommand(const QStringList& words) {
    // The longest name that fits: "journal show 3" is "journal show", not "journal".
    const Command* found = nullptr;
    qsizetype length = 0;
    for (const Command& c : commands()) {
        const QStringList name = commandName(c).split(QLatin1Char(' '));
        if (words.mid(0, name.size()) == name && name.size() > length) {
            found = &c;
            length = name.size();
        }
    }
    return found;
}

}  // namespace veq::cli
