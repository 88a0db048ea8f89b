#include "cli/lib/veqctl.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include "panelmem/paramfile.h"
#include "cli/lib/progress.h"
#include "config/configfile.h"
#include "link/detection.h"
#include "link/exchange.h"
#include "link/portmap.h"
#include "link/qtserialport.h"
#include "link/traceport.h"
#include "panelmem/grid.h"
#include "panelmem/image.h"
#include "panelmem/memmap.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/transfer.h"

namespace veq::cli {

namespace {

const QString kLineSettings = QStringLiteral("9600,N,8,1");
const QString kMismatchText = QStringLiteral("La relecture diffère de ce qui a été programmé : ");

constexpr int kFirstCom = PortDetection::kFirstPort;
constexpr int kLastCom = PortDetection::kLastPort;

// Brightness options Option1(0..6) of the brightness window, as veqctl names them.
const QStringList kModes = {
    QStringLiteral("capteur"), QStringLiteral("100%"), QStringLiteral("80%"), QStringLiteral("60%"),
    QStringLiteral("50%"),     QStringLiteral("40%"),  QStringLiteral("20%")};
constexpr int kSelectableModes = 6;  // "20%" is greyed in the window: read, never chosen

// Seconds each command needs on a 9600 baud line, for the progress bars.
double expectedSeconds(const QString& command) {
    if (command == QLatin1String("params get")) return 1.05;
    if (command == QLatin1String("params set")) return 3.65;
    if (command == QLatin1String("memory read")) return 1.65;
    if (command == QLatin1String("memory write")) return 3.5;
    if (command == QLatin1String("brightness get")) return 2.25;
    if (command == QLatin1String("brightness set")) return 5.0;
    if (command == QLatin1String("switches")) return 2.25;
    return 1.0;  // detect: a second per free port, all at once
}

std::optional<int> comNumber(const QString& port) {
    static const QRegularExpression com(QStringLiteral("^COM(\\d{1,2}):?$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(port);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt();
}

QString hex2(int v) {
    return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// The options, as bits of the set each command takes.
enum Option : unsigned {
    kPort = 1u << 0,
    kConfig = 1u << 1,
    kTrace = 1u << 2,
    kJson = 1u << 3,
    kOutput = 1u << 4,
    kForce = 1u << 5,
    kMode = 1u << 6,
    kPeriod = 1u << 7,
    kThreshold = 1u << 8,
};

struct OptionName {
    Option option;
    const char* shortName;  // or null
    const char* longName;
    bool takesValue;
};

const OptionName kOptionNames[] = {
    {kPort, "-p", "--port", true},
    {kConfig, nullptr, "--config", true},
    {kTrace, nullptr, "--trace", true},
    {kJson, nullptr, "--json", false},
    {kOutput, "-o", "--output", true},
    {kForce, nullptr, "--force", false},
    {kMode, nullptr, "--mode", true},
    {kPeriod, nullptr, "--period", true},
    {kThreshold, nullptr, "--threshold", true},
};

// Every command, with the words it takes (its name and its file) and the options it uses; any
// other option is a usage error.
struct CommandUse {
    const char* name;
    int words;
    unsigned options;
};

constexpr unsigned kPanelOptions = kPort | kConfig | kTrace | kJson;

const CommandUse kCommands[] = {
    {"ports", 1, kJson},
    {"detect", 1, kTrace | kJson},
    {"params get", 2, kPanelOptions | kOutput},
    {"params set", 3, kPanelOptions},
    {"memory read", 2, kPanelOptions | kOutput},
    {"memory write", 3, kPanelOptions | kForce},
    {"brightness get", 2, kPanelOptions},
    {"brightness set", 2, kPanelOptions | kMode | kPeriod | kThreshold},
    {"switches", 1, kPanelOptions},
};

// Everything a command line asks for.
struct Request {
    QStringList words;  // the command and its arguments
    QStringList ports;
    QString config, trace, output, mode, period, threshold;
    bool json = false, force = false, help = false;
    std::vector<std::pair<Option, QString>> given;  // each option as it was typed, in order
};

// What one port's work came to.
struct PortResult {
    QString port;
    int exit = kDone;
    QStringList out;   // lines for the standard output
    QString message;   // the operation's message (success or what went wrong)
    QJsonObject json;  // the result's data
};

// A command's work on one port, given its opened port's exchange.
using PortJob = std::function<void(Exchange& ex, PortResult& r)>;

// ---------------------------------------------------------------------------------------------
// Grid helpers

void putBytes(MemoryGrid& grid, const image::Bytes& bytes) {
    for (int a = 0; a < image::kSize; ++a) grid.setText(a, hex2(bytes[static_cast<size_t>(a)]));
}

image::Bytes gridBytes(const MemoryGrid& grid) {
    image::Bytes b{};
    for (int a = 0; a < image::kSize; ++a)
        b[static_cast<size_t>(a)] = static_cast<std::uint8_t>(byteToSend(grid.text(a)).value_or(0));
    return b;
}

// The addresses [first, first + count) where the read grid does not hold what was written.
QString differences(const MemoryGrid& written, const MemoryGrid& read, int first, int count) {
    QStringList diffs;
    int n = 0;
    for (int a = first; a < first + count; ++a) {
        const auto w = byteToSend(written.text(a));
        const auto r = byteToSend(read.text(a));
        if (w == r) continue;
        if (++n <= 4)
            diffs << QStringLiteral("%1h écrit %2, relu %3")
                         .arg(hex2(a), w ? hex2(*w) : written.text(a), r ? hex2(*r) : read.text(a));
    }
    if (n == 0) return {};
    if (n > 4) diffs << QStringLiteral("… (%1 octets)").arg(n);
    return diffs.join(QStringLiteral(", "));
}

QJsonValue modeJson(const std::optional<int>& option) {
    if (!option || *option < 0 || *option >= kModes.size()) return QJsonValue::Null;
    return kModes.at(*option);
}

// ---------------------------------------------------------------------------------------------
// The commands on one port

void paramsGet(Exchange& ex, PortResult& r, bool toFile) {
    MemoryGrid grid;
    const ops::RateRead read = ops::readRate(ex, grid);
    if (read.failed()) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    if (read.blank) {
        r.exit = kFailed;
        r.message = ops::kBlankMemory;
        return;
    }
    const memmap::RateSettings s = settingsFromMemory(grid);
    r.json.insert(QStringLiteral("parameters"), parametersJson(s));
    r.message = ops::kReadDone;
    if (!toFile) r.out << parametersText(s).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void paramsSet(Exchange& ex, PortResult& r, const memmap::RateSettings& settings) {
    // The panel's own bytes first: those the settings do not cover (125..127) go back as they
    // were, and a panel that does not answer is left untouched.
    MemoryGrid grid;
    if (ops::readRate(ex, grid).failed()) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const ops::Programming done = ops::programRate(ex, grid, settings).status;
    if (done != ops::Programming::Done) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    MemoryGrid back;
    if (ops::readRate(ex, back).failed()) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const QString diff =
        differences(grid, back, kRateTransfer.firstAddress, kRateTransfer.byteCount);
    if (!diff.isEmpty()) {
        r.exit = kMismatch;
        r.message = kMismatchText + diff;
        return;
    }
    r.message = ops::kProgrammingDone;
}

void memoryRead(Exchange& ex, PortResult& r, bool toFile) {
    MemoryGrid grid;
    if (LIT_24C01(ex, grid, kBrightnessTransfer)) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const QByteArray text = image::imageText(gridBytes(grid));
    r.json.insert(QStringLiteral("memory"), QString::fromLatin1(text).simplified());
    r.message = ops::kReadDone;
    if (!toFile) r.out << QString::fromLatin1(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void memoryWrite(Exchange& ex, PortResult& r, const image::Bytes& bytes) {
    MemoryGrid grid;
    putBytes(grid, bytes);
    if (ECRIT_24C01(ex, grid, kBrightnessTransfer)) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    MemoryGrid back;
    if (LIT_24C01(ex, back, kBrightnessTransfer)) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const QString diff = differences(grid, back, 0, image::kSize);
    if (!diff.isEmpty()) {
        r.exit = kMismatch;
        r.message = kMismatchText + diff;
        return;
    }
    r.message = ops::kProgrammingDone;
}

void brightnessGet(Exchange& ex, PortResult& r) {
    MemoryGrid grid;
    const ops::BrightnessRead read =
        ops::readBrightness(ex, grid, ops::AfterFailedRead::SendNothing);
    if (read.failed()) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const auto& b = read.reading;
    r.json.insert(QStringLiteral("brightness"),
                  QJsonObject{{QStringLiteral("mode"), modeJson(b.option)},
                              {QStringLiteral("period"), b.period},
                              {QStringLiteral("threshold"), b.threshold}});
    r.out << QStringLiteral("Luminosité : %1")
                 .arg(b.option ? kModes.value(*b.option) : QStringLiteral("aucune"))
          << QStringLiteral("Fréquence de commutation : %1 s").arg(b.period)
          << QStringLiteral("Seuil de commutation jour/nuit : %1").arg(b.threshold);
    r.message = ops::kReadDone;
}

void brightnessSet(Exchange& ex, PortResult& r, const memmap::BrightnessSettings& settings) {
    MemoryGrid grid;
    const ops::Programming done =
        ops::programBrightness(ex, grid, settings, ops::AfterFailedRead::SendNothing).status;
    if (done != ops::Programming::Done) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    r.message = ops::kProgrammingDone;
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

void switches(Exchange& ex, PortResult& r) {
    MemoryGrid grid;
    const ops::SwitchesRead read = ops::readSwitches(ex, grid, ops::AfterFailedRead::SendNothing);
    if (read.failed()) {
        r.exit = kFailed;
        r.message = ops::kPanelError;
        return;
    }
    const auto bank = [&r](const char* name, const std::array<bool, 8>& on,
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
    };
    bank("SW2", read.switches.sw2, kSw2Captions);
    bank("SW3", read.switches.sw3, kSw3Captions);
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

// ---------------------------------------------------------------------------------------------
// Running a job on every port, one thread each

std::vector<PortResult> onEveryPort(const QStringList& ports, Console& console,
                                    const std::shared_ptr<TraceLog>& trace, ProgressBoard* board,
                                    const PortJob& job) {
    std::vector<PortResult> results(static_cast<size_t>(ports.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < ports.size(); ++i) {
        PortResult& r = results[static_cast<size_t>(i)];
        r.port = ports[i];
        threads.emplace_back(QThread::create([&console, &trace, &job, board, &r, i] {
            // The port, the clock and the exchange belong to this thread alone.
            Line line = console.lines(r.port);
            if (trace) line.port = std::make_unique<TracePort>(std::move(line.port), trace, r.port);
            std::unique_ptr<ProgressClock> progress;
            Clock* clock = line.clock.get();
            if (board) {
                progress = std::make_unique<ProgressClock>(
                    *line.clock, [board, i](double elapsed) { board->report(i, elapsed); });
                clock = progress.get();
            }
            SerialPort& port = *line.port;
            port.setSettings(kLineSettings);
            if (!port.open()) {
                r.exit = kFailed;
                r.message = QStringLiteral("L'ouverture du port %1 à échouée ! (%2)")
                                .arg(r.port, port.errorString());
            } else {
                Exchange ex(port, *clock);
                job(ex, r);
                port.close();
            }
            if (board) board->finish(i, r.exit == kDone);
        }));
    }
    for (auto& t : threads) t->start();
    for (auto& t : threads) t->wait();
    return results;
}

// ---------------------------------------------------------------------------------------------
// The command line

QString takeValue(const QStringList& args, int& i, const QString& option, QString& error) {
    const QString& a = args[i];
    const int eq = static_cast<int>(a.indexOf(QLatin1Char('=')));
    if (a.startsWith(QLatin1String("--")) && eq > 0) return a.mid(eq + 1);
    if (i + 1 >= args.size()) {
        error = QStringLiteral("l'option %1 attend une valeur").arg(option);
        return {};
    }
    return args[++i];
}

std::optional<Request> parse(const QStringList& args, QString& error) {
    Request q;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString name =
            a.startsWith(QLatin1String("--")) ? a.section(QLatin1Char('='), 0, 0) : a;
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            q.help = true;
            continue;
        }
        const auto known = std::find_if(
            std::begin(kOptionNames), std::end(kOptionNames), [&name](const OptionName& o) {
                return name == QLatin1String(o.longName) ||
                       (o.shortName && name == QLatin1String(o.shortName));
            });
        if (known == std::end(kOptionNames)) {
            if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
                error = QStringLiteral("option inconnue %1").arg(a);
                return std::nullopt;
            }
            q.words << a;
            continue;
        }
        q.given.emplace_back(known->option, name);
        const QString value = known->takesValue ? takeValue(args, i, name, error) : QString();
        if (!error.isEmpty()) return std::nullopt;
        switch (known->option) {
            case kPort:
                q.ports << value;
                break;
            case kConfig:
                q.config = value;
                break;
            case kTrace:
                q.trace = value;
                break;
            case kJson:
                q.json = true;
                break;
            case kOutput:
                q.output = value;
                break;
            case kForce:
                q.force = true;
                break;
            case kMode:
                q.mode = value;
                break;
            case kPeriod:
                q.period = value;
                break;
            case kThreshold:
                q.threshold = value;
                break;
        }
    }
    return q;
}

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

std::optional<int> wholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high) return std::nullopt;
    return v;
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

bool sameFile(const QString& a, const QString& b) {
    return resolvedFile(a).compare(resolvedFile(b), kFileNameCase) == 0;
}

// The device a port named on the command line leads to: COMn through the application's port map,
// then the file that device path names. Two names of one device give the same text.
QString portDeviceOf(const QString& port) {
    QString path = port;
    if (const auto n = comNumber(port)) {
        path = portDevice(*n);
        if (path.isEmpty()) return QStringLiteral("COM%1").arg(*n);  // no device: the name
    }
#ifdef Q_OS_WIN
    if (path.startsWith(QLatin1String("\\\\.\\"))) path = path.mid(4);
    if (const auto n = comNumber(path)) return QStringLiteral("COM%1").arg(*n);
#endif
    return resolvedFile(path);
}

bool writeFile(const QString& path, const QByteArray& data, QString& error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) < 0 || !f.commit()) {
        error = QStringLiteral("%1 : %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

class Runner {
  public:
    Runner(Console& console, const Request& q) : c_(console), q_(q) {}

    int run() {
        if (q_.words.isEmpty()) return usage(QStringLiteral("aucune commande"));
        const CommandUse* use = nullptr;
        for (const CommandUse& c : kCommands) {
            const QStringList name = QString::fromLatin1(c.name).split(QLatin1Char(' '));
            if (q_.words.mid(0, name.size()) == name) use = &c;
        }
        if (!use)
            return usage(
                QStringLiteral("commande inconnue « %1 »").arg(q_.words.join(QLatin1Char(' '))));
        const QString command = QString::fromLatin1(use->name);
        if (!expectArgs(use->words) || !optionsUsed(*use)) return kUsage;
        if (command == QLatin1String("ports")) return ports();
        if (command == QLatin1String("detect")) return detect();
        return panel(command);
    }

  private:
    bool expectArgs(int n) {
        if (q_.words.size() == n) return true;
        usage(q_.words.size() < n
                  ? QStringLiteral("« %1 » attend un fichier").arg(q_.words.join(QLatin1Char(' ')))
                  : QStringLiteral("argument en trop : %1").arg(q_.words.at(n)));
        return false;
    }

    // An option the command does not use is refused, not ignored: the operator meant something.
    bool optionsUsed(const CommandUse& use) {
        for (const auto& [option, typed] : q_.given) {
            if (use.options & option) continue;
            QStringList takes;
            for (const OptionName& o : kOptionNames)
                if (use.options & o.option) takes << QString::fromLatin1(o.longName);
            usage(QStringLiteral("%1 ne sert pas à « %2 » (options de « %2 » : %3)")
                      .arg(typed, QString::fromLatin1(use.name), takes.join(QStringLiteral(", "))));
            return false;
        }
        return true;
    }

    int usage(const QString& text) {
        c_.err(QStringLiteral("veqctl : %1\nveqctl --help pour l'aide.\n").arg(text));
        if (q_.json)
            emitJson(
                QJsonObject{{QStringLiteral("exit"), kUsage}, {QStringLiteral("error"), text}});
        return kUsage;
    }

    void emitJson(const QJsonObject& o) {
        c_.out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    }

    // Where a COM number's device comes from, as the technician reads it.
    static QString originText(PortOrigin origin) {
        switch (origin) {
            case PortOrigin::Environment:
                return QStringLiteral("variable VEQ_COMn");
            case PortOrigin::PortsFile:
                return QStringLiteral("fichier des ports");
            case PortOrigin::BuiltIn:
                return QStringLiteral("port intégré");
            case PortOrigin::System:
                return QStringLiteral("adaptateur");
            case PortOrigin::None:
                break;
        }
        return QStringLiteral("aucun périphérique");
    }

    int ports() {
        QString refusal;  // of the ports file: the table holds what can be numbered without it
        QJsonArray list;
        for (const PortTableEntry& e : portTable(&refusal)) {
            const QString port = QStringLiteral("COM%1").arg(e.number);
            list.append(QJsonObject{
                {QStringLiteral("port"), port},
                {QStringLiteral("device"), e.device.isEmpty() ? QJsonValue() : e.device},
                {QStringLiteral("origin"), originText(e.origin)}});
            if (!q_.json)
                c_.out(QStringLiteral("%1\t%2\t(%3)\n")
                           .arg(port, e.device.isEmpty() ? QStringLiteral("-") : e.device,
                                originText(e.origin)));
        }
        const int exit = refusal.isEmpty() ? kDone : kUsage;
        if (exit != kDone) c_.err(QStringLiteral("veqctl : %1\n").arg(refusal));
        if (q_.json) {
            QJsonObject o{{QStringLiteral("command"), QStringLiteral("ports")},
                          {QStringLiteral("exit"), exit},
                          {QStringLiteral("ports"), list}};
            if (exit != kDone) o.insert(QStringLiteral("error"), refusal);
            emitJson(o);
        }
        return exit;
    }

    // The files the command reads or writes besides the trace, each with the option naming it.
    std::vector<std::pair<QString, QString>> commandFiles() const {
        std::vector<std::pair<QString, QString>> files;
        if (!q_.config.isEmpty()) files.emplace_back(q_.config, QStringLiteral("--config"));
        if (!q_.output.isEmpty()) files.emplace_back(q_.output, QStringLiteral("-o"));
        if (q_.words.size() > 2)
            files.emplace_back(q_.words.at(2), QStringLiteral("« %1 »").arg(
                                                   q_.words.mid(0, 2).join(QLatin1Char(' '))));
        return files;
    }

    // The trace goes to a file of its own: never one the command reads or writes, and never an
    // existing file that is not a trace (TraceLog::open appends or refuses).
    bool openTrace() {
        if (q_.trace.isEmpty()) return true;
        for (const auto& [path, what] : commandFiles()) {
            if (sameFile(q_.trace, path)) {
                usage(QStringLiteral("--trace %1 : c'est aussi le fichier de %2")
                          .arg(q_.trace, what));
                return false;
            }
        }
        trace_ = std::make_shared<TraceLog>();
        QString error;
        if (!trace_->open(q_.trace, error)) {
            usage(QStringLiteral("--trace %1 : %2").arg(q_.trace, error));
            return false;
        }
        return true;
    }

    std::unique_ptr<ProgressBoard> board(const QStringList& ports, const QString& command) {
        if (!c_.terminal || q_.json || expectedSeconds(command) <= 1.0 - 1e-9) return nullptr;
        return std::make_unique<ProgressBoard>(c_.terminal, ports, expectedSeconds(command));
    }

    int detect() {
        if (!openTrace()) return kUsage;
        QStringList ports;
        for (int n = kFirstCom; n <= kLastCom; ++n) ports << QStringLiteral("COM%1").arg(n);
        std::vector<PortDetection::Probe> found(static_cast<size_t>(ports.size()),
                                                PortDetection::Probe::Absent);
        // Each port's test is the detection window's, on its own port and clock; the line is
        // opened by the test itself.
        std::vector<std::unique_ptr<QThread>> threads;
        auto progress = board(ports, QStringLiteral("detect"));
        ProgressBoard* b = progress.get();
        for (int i = 0; i < ports.size(); ++i) {
            threads.emplace_back(QThread::create([this, &ports, &found, b, i] {
                Line line = c_.lines(ports[i]);
                if (trace_)
                    line.port = std::make_unique<TracePort>(std::move(line.port), trace_, ports[i]);
                std::unique_ptr<ProgressClock> pc;
                Clock* clock = line.clock.get();
                if (b) {
                    pc = std::make_unique<ProgressClock>(*line.clock,
                                                         [b, i](double e) { b->report(i, e); });
                    clock = pc.get();
                }
                found[static_cast<size_t>(i)] =
                    PortDetection::probe(*line.port, kFirstCom + i, *clock);
                line.port->close();
                if (b) b->finish(i, true);
            }));
        }
        for (auto& t : threads) t->start();
        for (auto& t : threads) t->wait();

        QJsonArray list;
        for (int i = 0; i < ports.size(); ++i) {
            const auto f = found[static_cast<size_t>(i)];
            const QString state = f == PortDetection::Probe::Absent ? PortDetection::kAbsent
                                  : f == PortDetection::Probe::Free
                                      ? PortDetection::kFree
                                      : PortDetection::kFree + PortDetection::kPanel;
            const QString key = f == PortDetection::Probe::Absent ? QStringLiteral("absent")
                                : f == PortDetection::Probe::Free ? QStringLiteral("libre")
                                                                  : QStringLiteral("panneau");
            list.append(QJsonObject{{QStringLiteral("port"), ports[i]},
                                    {QStringLiteral("device"), portDevice(kFirstCom + i)},
                                    {QStringLiteral("state"), key}});
            if (!q_.json) c_.out(QStringLiteral("%1\t%2\n").arg(ports[i], state));
        }
        if (q_.json)
            emitJson(QJsonObject{{QStringLiteral("command"), QStringLiteral("detect")},
                                 {QStringLiteral("exit"), kDone},
                                 {QStringLiteral("ports"), list}});
        return kDone;
    }

    // The ports of -p and --config, in the order given.
    std::optional<QStringList> panelPorts() {
        QStringList ports;
        for (const QString& p : q_.ports) {
            if (p.trimmed().isEmpty()) {
                usage(QStringLiteral("port vide"));
                return std::nullopt;
            }
            if (const auto n = comNumber(p)) {
                if (*n < kFirstCom || *n > kLastCom) {
                    usage(QStringLiteral("port %1 : COM1 à COM14 ou un chemin de périphérique")
                              .arg(p));
                    return std::nullopt;
                }
                ports << QStringLiteral("COM%1").arg(*n);
            } else {
                ports << p;
            }
        }
        if (!q_.config.isEmpty()) {
            QString error;
            const auto p = configPort(q_.config, error);
            if (!p) {
                usage(error);
                return std::nullopt;
            }
            ports << *p;
        }
        if (ports.isEmpty()) {
            usage(
                QStringLiteral("aucun port : --port COMn, --port CHEMIN ou --config FICHIER.zuk"));
            return std::nullopt;
        }
        // One device under two names (COM3 and the path it maps to, or a link to it) would be
        // driven by two threads at once: the devices are compared, not the names.
        QStringList devices;
        for (const QString& p : ports) {
            const QString device = portDeviceOf(p);
            const int k = static_cast<int>(devices.indexOf(device));
            if (k >= 0) {
                usage(QStringLiteral("le même port est donné deux fois : %1 et %2 (%3)")
                          .arg(ports[k], p, device));
                return std::nullopt;
            }
            devices << device;
        }
        return ports;
    }

    // Everything that can be checked before the first frame; the job when all is well.
    std::optional<PortJob> prepare(const QString& command, int portCount) {
        // Which command takes which option was checked before (kCommands).
        const bool toFile = !q_.output.isEmpty();
        if (toFile && portCount > 1) {
            usage(QStringLiteral("-o écrit le fichier d'un seul port"));
            return std::nullopt;
        }
        if (toFile && !q_.config.isEmpty() && sameFile(q_.output, q_.config)) {
            usage(QStringLiteral("-o %1 : c'est aussi le fichier de --config").arg(q_.output));
            return std::nullopt;
        }
        if (command == QLatin1String("params get"))
            return PortJob([toFile](Exchange& ex, PortResult& r) { paramsGet(ex, r, toFile); });
        if (command == QLatin1String("memory read"))
            return PortJob([toFile](Exchange& ex, PortResult& r) { memoryRead(ex, r, toFile); });
        if (command == QLatin1String("brightness get")) return PortJob(brightnessGet);
        if (command == QLatin1String("switches")) return PortJob(switches);
        if (command == QLatin1String("params set")) {
            const QString path = q_.words.at(2);
            QFile f(path);
            if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
                usage(QStringLiteral("%1 : fichier de paramètres illisible").arg(path));
                return std::nullopt;
            }
            QString error;
            const auto settings = parseParameters(f.read(1 << 20), error);
            if (!settings) {
                usage(QStringLiteral("%1 : %2").arg(path, error));
                return std::nullopt;
            }
            return PortJob([s = *settings](Exchange& ex, PortResult& r) { paramsSet(ex, r, s); });
        }
        if (command == QLatin1String("memory write")) {
            const QString path = q_.words.at(2);
            image::Bytes bytes{};
            QString error;
            if (!QFileInfo(path).isFile() || !image::loadImage(path, bytes, error)) {
                usage(QStringLiteral("%1 : %2").arg(
                    path, error.isEmpty() ? QStringLiteral("pas un fichier") : error));
                return std::nullopt;
            }
            // The memory map's blank test, as every window applies it: 6Ch is not looked at (it
            // holds the brightness code once a brightness was programmed).
            MemoryGrid image;
            putBytes(image, bytes);
            if (memmap::isBlank(image) && !q_.force) {
                usage(QStringLiteral("%1 : mémoire vierge, pas de signature « ZUK » (ni 5Ah en 6Ah "
                                     "ni 55h en 6Bh) ; --force pour l'écrire quand même")
                          .arg(path));
                return std::nullopt;
            }
            return PortJob([bytes](Exchange& ex, PortResult& r) { memoryWrite(ex, r, bytes); });
        }
        // brightness set
        memmap::BrightnessSettings s;
        if (!q_.mode.isEmpty()) {
            const int m = static_cast<int>(kModes.indexOf(q_.mode.toLower()));
            if (m < 0 || m >= kSelectableModes) {
                usage(
                    QStringLiteral("--mode %1 : capteur, 100%, 80%, 60%, 50% ou 40%").arg(q_.mode));
                return std::nullopt;
            }
            s.option = m;
        }
        if (!q_.period.isEmpty()) {
            const auto p = wholeNumber(q_.period, 1, 128);
            if (!p) {
                usage(QStringLiteral("--period %1 : un nombre entier de 1 à 128 (secondes)")
                          .arg(q_.period));
                return std::nullopt;
            }
            s.period = *p;
        }
        if (!q_.threshold.isEmpty()) {
            const auto t = wholeNumber(q_.threshold, 0, 15);
            if (!t) {
                usage(QStringLiteral("--threshold %1 : un nombre entier de 0 à 15")
                          .arg(q_.threshold));
                return std::nullopt;
            }
            s.threshold = *t;
        }
        return PortJob([s](Exchange& ex, PortResult& r) { brightnessSet(ex, r, s); });
    }

    int panel(const QString& command) {
        const auto ports = panelPorts();
        if (!ports) return kUsage;
        const auto job = prepare(command, static_cast<int>(ports->size()));
        if (!job) return kUsage;
        if (!openTrace()) return kUsage;

        auto progress = board(*ports, command);
        std::vector<PortResult> results = onEveryPort(*ports, c_, trace_, progress.get(), *job);

        // A file asked for with -o (one port).
        PortResult& first = results.front();
        if (!q_.output.isEmpty() && first.exit == kDone) {
            QByteArray data;
            if (command == QLatin1String("params get"))
                data = QJsonDocument(first.json.value(QStringLiteral("parameters")).toObject())
                           .toJson(QJsonDocument::Indented);
            else
                data = image::imageText(*image::parseImage(
                    first.json.value(QStringLiteral("memory")).toString().toLatin1()));
            QString error;
            if (!writeFile(q_.output, data, error)) {
                first.exit = kFailed;
                first.message = error;
            }
        }

        int exit = kDone;
        for (const auto& r : results)
            if (r.exit == kFailed || (r.exit == kMismatch && exit == kDone)) exit = r.exit;

        if (q_.json) {
            QJsonArray list;
            for (const auto& r : results) {
                QJsonObject o = r.json;
                o.insert(QStringLiteral("port"), r.port);
                o.insert(QStringLiteral("exit"), r.exit);
                o.insert(QStringLiteral("message"), r.message);
                list.append(o);
            }
            emitJson(QJsonObject{{QStringLiteral("command"), command},
                                 {QStringLiteral("exit"), exit},
                                 {QStringLiteral("ports"), list}});
            return exit;
        }
        const bool several = results.size() > 1;
        for (const auto& r : results) {
            const QString head = several ? r.port + QStringLiteral(" : ") : QString();
            if (several && !r.out.isEmpty()) c_.out(QStringLiteral("== %1 ==\n").arg(r.port));
            for (const QString& line : r.out) c_.out(line + QLatin1Char('\n'));
            if (r.exit == kDone)
                c_.out(head + r.message + QLatin1Char('\n'));
            else
                c_.err(head + r.message + QLatin1Char('\n'));
        }
        return exit;
    }

    Console& c_;
    const Request& q_;
    std::shared_ptr<TraceLog> trace_;
};

}  // namespace

Line serialLine(const QString& port) {
    Line line;
    auto serial = std::make_unique<QtSerialPort>();
    if (const auto n = comNumber(port))
        serial->setCommPort(*n);
    else
        serial->setDevicePath(port);
    line.port = std::move(serial);
    line.clock = std::make_unique<SteadyClock>();
    return line;
}

QString helpText() {
    return QStringLiteral(
        "Usage : veqctl [options] COMMANDE [ARGUMENTS]\n"
        "\n"
        "Le panneau VEQ en ligne de commande, avec les opérations des fenêtres de VEQ Cadence.\n"
        "\n"
        "Commandes :\n"
        "  ports                    les numéros COM et le périphérique derrière chacun\n"
        "  detect                   teste COM1 à COM14 en même temps : absent, libre, libre avec\n"
        "                           un panneau\n"
        "  params get [-o FICHIER]  lit les paramètres de cadence ; les affiche, ou écrit un\n"
        "                           fichier de paramètres (JSON)\n"
        "  params set FICHIER       vérifie le fichier, programme les paramètres, les relit et\n"
        "                           compare\n"
        "  memory read [-o FICHIER] lit les 128 octets de la mémoire (image au format de\n"
        "                           veq-panel-sim --load)\n"
        "  memory write FICHIER     programme les 128 octets d'une image, les relit et compare ;\n"
        "                           refuse une mémoire vierge (ni « Z » en 6Ah ni « U » en\n"
        "                           6Bh) sauf avec --force\n"
        "  brightness get           lit la luminosité\n"
        "  brightness set [--mode M] [--period S] [--threshold T]\n"
        "                           programme la luminosité : M capteur, 100%, 80%, 60%, 50% ou\n"
        "                           40% (sans --mode : inchangé), S de 1 à 128 secondes (5 par\n"
        "                           défaut), T de 0 (jour) à 15 (nuit) (4 par défaut)\n"
        "  switches                 lit les microswitches et le modèle de couleurs\n"
        "\n"
        "Options :\n"
        "  -p, --port PORT          COMn (numérotation de l'application) ou un chemin de\n"
        "                           périphérique ; à répéter pour plusieurs panneaux, traités en\n"
        "                           même temps (un même périphérique sous deux noms est refusé)\n"
        "  --config FICHIER.zuk     le port de la ligne 1 d'un fichier de configuration\n"
        "  --trace FICHIER          chaque trame dans les deux sens, avec son heure, une ligne\n"
        "                           chacune ; ajoutée à la fin d'une trace existante ; un autre\n"
        "                           fichier existant, ou un fichier de la commande, est refusé\n"
        "  --json                   le résultat en JSON sur la sortie standard\n"
        "  -o, --output FICHIER     le fichier à écrire (params get, memory read ; un seul port)\n"
        "  --force                  memory write : écrit aussi une image sans signature\n"
        "  -h, --help               cette aide\n"
        "\n"
        "-p, --config et --trace servent aux commandes du panneau, --trace aussi à detect, --json\n"
        "à toutes ; une option dont la commande ne se sert pas est refusée.\n"
        "\n"
        "Code de sortie : 0 tout est fait ; 1 une opération a échoué sur un port ; 2 mauvais\n"
        "usage ou mauvais fichier (rien n'a été envoyé) ; 3 la relecture diffère de ce qui a été\n"
        "écrit.\n");
}

int run(const QStringList& arguments, Console& console) {
    QString error;
    const auto request = parse(arguments, error);
    if (!request) {
        console.err(QStringLiteral("veqctl : %1\nveqctl --help pour l'aide.\n").arg(error));
        if (arguments.contains(QStringLiteral("--json")))
            console.out(
                QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("exit"), kUsage},
                                                            {QStringLiteral("error"), error}})
                                      .toJson(QJsonDocument::Indented)));
        return kUsage;
    }
    if (request->help) {
        console.out(helpText());
        return kDone;
    }
    Runner runner(console, *request);
    return runner.run();
}

}  // namespace veq::cli
