#include <QJsonArray>

#include "cli/lib/jobparts.h"
#include "cli/lib/jobs.h"
#include "journal/recorder.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/settings.h"

// The brightness window's and the microswitch window's operations, on one port.
namespace veq::cli::jobs {

namespace {

QJsonValue modeJson(const std::optional<int>& option) {
    if (!option || *option < 0 || *option >= modes().size()) return QJsonValue::Null;
    return modes().at(*option);
}

// The caption boxes of the microswitch window, without their line ends.
const char* const kSw2Captions[8] = {"DIP1 Anti-rebond",
                                     "DIP2 Signal actif",
                                     "DIP3 Luminosité (voir Doc)",
                                     "DIP4 Luminosité (voir Doc)",
                                     "DIP5 Point décimal (voir Doc)",
                                     "DIP6 Point décimal (voir Doc)",
                                     "DIP7 Point décimal (voir Doc)",
                                     "DIP8 Point décimal (voir Doc)"};
const char* const kSw3Captions[8] = {"DIP1 Nbr digit  (Voir doc.)", "DIP2 Nbr digit  (Voir doc.)",
                                     "DIP3 Nbr digit  (Voir doc.)", "DIP4 Valeur négative",
                                     "DIP5 RAZ automatique",        "DIP6 Zéro de tête",
                                     "DIP7 Report de visu",         "DIP8 Test de l'affichage"};

void bank(PortResult& r, const char* name, const std::array<bool, 8>& on,
          const char* const* captions) {
    QJsonArray a;
    QString row = QString::fromLatin1(name) + QStringLiteral(" :");
    for (int i = 0; i < 8; ++i) {
        a.append(on[static_cast<size_t>(i)]);
        row += QStringLiteral(" %1").arg(on[static_cast<size_t>(i)] ? QStringLiteral("ON ")
                                                                    : QStringLiteral("OFF"));
    }
    r.out << row.trimmed();
    for (int i = 0; i < 8; ++i)
        r.out << QStringLiteral("  %1  %2")
                     .arg(QString::fromUtf8(captions[i]), -30)
                     .arg(on[static_cast<size_t>(i)] ? QStringLiteral("ON")
                                                     : QStringLiteral("OFF"));
    r.json.insert(QString::fromLatin1(name).toLower(), a);
}

}  // namespace

const QStringList& modes() {
    return settings::kBrightnessModes;
}

void brightnessGet(Exchange& ex, PortResult& r) {
    MemoryGrid grid;
    const auto read = ops::readBrightness(ex, grid, ops::AfterFailedRead::SendNothing);
    recorded(r, QStringLiteral("brightness get"), grid, 0, 127, read.outcome);
    if (!read.outcome.ok()) return failed(r, read.outcome);
    const auto& b = read.reading;
    r.json.insert(QStringLiteral("brightness"),
                  QJsonObject{{QStringLiteral("mode"), modeJson(b.option)},
                              {QStringLiteral("period"), b.period},
                              {QStringLiteral("threshold"), b.threshold}});
    const auto line = [](const char* label, const QString& value) {
        return QString::fromUtf8(label) + QStringLiteral(" : ") + value;
    };
    r.out << line(settings::kModeLabel,
                  b.option ? modes().value(*b.option) : QStringLiteral("aucune"))
          << line(settings::kSwitchPeriod.label, QStringLiteral("%1 s").arg(b.period))
          << line(settings::kSwitchThreshold.label, QString::number(b.threshold));
    r.message = ops::kReadDone;
}

void brightnessSet(Exchange& ex, PortResult& r, const memmap::BrightnessSettings& settings) {
    MemoryGrid grid;
    journal::Programming p(where(r), QStringLiteral("brightness set"), 0, 127);
    const auto done =
        ops::programBrightness(ex, grid, settings, ops::AfterFailedRead::SendNothing, p.hooks());
    p.finish(done);
    note(r, p.warning());
    if (!done.outcome.ok()) return failed(r, done.outcome, done.status == ops::Programming::Failed);
    r.message = ops::kProgrammingDone;
}

void switches(Exchange& ex, PortResult& r) {
    MemoryGrid grid;
    const auto read = ops::readSwitches(ex, grid, ops::AfterFailedRead::SendNothing);
    recorded(r, QStringLiteral("switches"), grid, 0, 127, read.outcome);
    if (!read.outcome.ok()) return failed(r, read.outcome);
    bank(r, "SW2", read.switches.sw2, kSw2Captions);
    bank(r, "SW3", read.switches.sw3, kSw3Captions);
    QString model = QStringLiteral("   --   ");
    QJsonValue modelJson = QJsonValue::Null;
    if (read.switches.model == memmap::ColourModel::ThreeColours) {
        model = QStringLiteral("VEQ trois couleurs.");
        modelJson = QStringLiteral("trois couleurs");
    } else if (read.switches.model == memmap::ColourModel::OneColour) {
        model = QStringLiteral("VEQ une couleur.   ");
        modelJson = QStringLiteral("une couleur");
    }
    r.out << QStringLiteral("Modèle : ") + model.trimmed();
    r.json.insert(QStringLiteral("model"), modelJson);
    r.message = ops::kReadDone;
}

}  // namespace veq::cli::jobs
