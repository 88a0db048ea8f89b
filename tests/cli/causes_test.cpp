// What veqctl tells the operator when an operation fails: the windows' message, then why and what
// to check, in French; the system's own text only in --json.

#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "link/portmap.h"
#include "tests/cli/bench.h"

namespace veq::test {
namespace {

const QString kPanelError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");
const QString kCheckLine = QStringLiteral(
    " Vérifiez que la ligne n'est pas perturbée (câble, liaison radio) et qu'aucun autre programme "
    "n'utilise le port.");
const QString kNoAnswer = QStringLiteral(
    "L'afficheur n'a pas répondu. Vérifiez le câble ou la liaison radio, l'alimentation de "
    "l'afficheur, le port choisi et la vitesse (9600 bauds).");

// One failure as the simulated line, panel and bench make it.
struct Case {
    const char* name;
    QStringList args;
    std::function<void(sim::SimSerialPort&, ManualClock&, sim::SimBus&)> line = {};
    std::function<void(sim::Panel&)> panel = {};
    QString message = kPanelError;     // the windows' message, first line
    QString cause;                     // the next line
    QString key;                       // "cause" in --json
    int received = -1, expected = -1;  // in --json, where they apply
    bool detail = false;               // the system's text, in --json only
};

TEST_F(CliBench, EachFailureSaysWhyAndWhatToCheck) {
    // COM6 and COM9 are real lines that never reach a device: COM6 leads to a path that does not
    // exist, COM9 to nothing at all (no variable, no ports file, no adapter listed).
    const QString missing = dir.filePath(QStringLiteral("gone/ttyUSB7"));
    qputenv("VEQ_COM6", QFile::encodeName(missing));
    qunsetenv("VEQ_COM9");
    setPortsFilePath(dir.filePath(QStringLiteral("no-ports-file")));
    setPortLister([] { return std::vector<ListedPort>{}; });

    const QStringList get = {"-p", "COM3", "params", "get"};
    const Case cases[] = {
        {"mute",
         get,
         [](auto& port, auto&, auto&) { port.faults.mute = true; },
         {},
         kPanelError,
         kNoAnswer,
         "no-answer",
         0,
         223},
        {"lost answer",
         get,
         {},
         [](sim::Panel& p) { p.loseByteAnswer = 5; },
         kPanelError,
         "Réponse incomplète de l'afficheur : 217 caractères reçus sur 223." + kCheckLine,
         "incomplete",
         217,
         223},
        {"garbled",
         get,
         [](auto& port, auto&, auto&) { port.faults.garble = sim::garbled; },
         {},
         kPanelError,
         "Réponse inattendue de l'afficheur (décalée, trop longue ou illisible)." + kCheckLine,
         "unexpected",
         223,
         223},
        {"stalled",
         get,
         [](auto& port, auto&, auto&) { port.faults.takeWrites = 3; },
         {},
         kPanelError,
         "La ligne est bloquée : plus rien ne part vers l'afficheur. Débranchez et rebranchez "
         "l'adaptateur, vérifiez le câble, puis recommencez.",
         "line-stalled"},
        {"unplugged while the panel answers",
         {"-p", "COM3", "memory", "read"},
         [](sim::SimSerialPort& port, ManualClock& clock, auto&) {
             port.faults.charSeconds = 1.0 / 960;  // the answer takes its time on the line
             clock.onAdvance([&port] {
                 if (port.isOpen() && !port.writes.empty() &&
                     port.writes.back().bytes.contains("X6X"))
                     port.unplug();
             });
         },
         {},
         kPanelError,
         "Le port a disparu pendant l'échange (adaptateur débranché ?). Rebranchez-le et "
         "recommencez.",
         "port-lost",
         -1,
         -1,
         true},
        {"nothing written after a failed read",
         {"-p", "COM3", "brightness", "set", "--mode", "60%"},
         [](auto& port, auto&, auto&) { port.faults.mute = true; },
         {},
         kPanelError,
         "Rien n'a été écrit : la lecture qui devait précéder a échoué. " + kNoAnswer,
         "not-sent",
         0,
         794},
        {"a COM number without a device",
         {"-p", "COM9", "switches"},
         {},
         {},
         "L'ouverture du port COM9 à échouée !",
         "Aucun périphérique n'est associé à COM9. « veqctl ports » liste les numéros COM et le "
         "périphérique derrière chacun.",
         "no-device",
         -1,
         -1,
         true},
        {"a device that is not there",
         {"-p", "COM6", "switches"},
         {},
         {},
         "L'ouverture du port COM6 à échouée !",
         "Le port COM6 est introuvable. Vérifiez que l'adaptateur est branché, et le nom du port.",
         "absent",
         -1,
         -1,
         true},
        {"held by another program",
         get,
         [](auto&, auto&, sim::SimBus& bus) { bus.setBusy(3, true); },
         {},
         "L'ouverture du port COM3 à échouée !",
         "Le port COM3 est occupé par un autre programme. Fermez ce programme (VEQ Cadence, un "
         "autre veqctl, un terminal série…) et recommencez.",
         "busy",
         -1,
         -1,
         true},
    };

    const Case* current = nullptr;
    const cli::LineFactory simulated = console.lines;
    console.lines = [&current, simulated](const QString& name) {
        if (name == QLatin1String("COM6") || name == QLatin1String("COM9"))
            return cli::serialLine(name);
        cli::Line line = simulated(name);
        if (current->line)
            current->line(static_cast<sim::SimSerialPort&>(*line.port),
                          static_cast<ManualClock&>(*line.clock),
                          *std::static_pointer_cast<sim::SimBus>(line.keep));
        return line;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        current = &c;
        const auto fresh = [&c, this] {  // every run on a panel of its own, with the case's fault
            sim::Panel& panel = addPanel(QStringLiteral("COM3"));
            if (c.panel) c.panel(panel);
        };
        fresh();
        EXPECT_EQ(run(c.args), cli::kFailed);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, c.message + "\n" + c.cause + "\n");
        // The ports were named by COM number only: no device path is shown.
        EXPECT_FALSE(err.contains(QLatin1Char('/'))) << err.toStdString();
        const QString told = err;

        fresh();
        EXPECT_EQ(run(QStringList{"--json"} + c.args), cli::kFailed);
        const QJsonObject port = QJsonDocument::fromJson(out.toUtf8())["ports"][0].toObject();
        EXPECT_EQ(port["message"].toString(), c.message);
        EXPECT_EQ(port["cause"].toString(), c.key);
        EXPECT_EQ(port["first"].toString(), c.key == "not-sent" ? "no-answer" : "");
        EXPECT_EQ(port["received"].toInt(-1), c.received);
        EXPECT_EQ(port["expected"].toInt(-1), c.expected);
        const QString detail = port["detail"].toString();
        EXPECT_EQ(!detail.isEmpty(), c.detail) << detail.toStdString();
        if (!detail.isEmpty()) {
            EXPECT_FALSE(told.contains(detail)) << detail.toStdString();
        }
    }
    qunsetenv("VEQ_COM6");
    setPortsFilePath({});
    setPortLister({});
}

}  // namespace
}  // namespace veq::test
