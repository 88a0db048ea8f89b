#include "cli/lib/veqctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "cli/lib/checks.h"
#include "cli/lib/commands.h"
#include "cli/lib/journalcmds.h"
#include "cli/lib/portrunner.h"
#include "link/anyport.h"
#include "link/detection.h"
#include "link/netaddress.h"
#include "link/portmap.h"
#include "panelmem/image.h"

namespace veq::cli {

namespace {

// Where a COM number's device comes from, as the technician reads it.
QString originText(PortOrigin origin) {
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

// Why a file could not be written, for the operator (the system's text goes to --json only).
QString writeErrorText(QFileDevice::FileError error) {
    switch (error) {
        case QFileDevice::PermissionsError:
            return QStringLiteral("écriture refusée (droits du fichier ou de son dossier)");
        case QFileDevice::OpenError:
            return QStringLiteral("le fichier ne peut pas être créé (son dossier existe-t-il ?)");
        case QFileDevice::ResourceError:
            return QStringLiteral("plus de place sur le disque");
        default:
            break;
    }
    return QStringLiteral("le fichier ne peut pas être écrit");
}

// The causes that come with the characters of an answer.
bool answerCause(Cause c) {
    return c == Cause::NoAnswer || c == Cause::Incomplete || c == Cause::Unexpected;
}

// What to check after a failure, in French; empty when the port opened and the line did not
// fail (a blank memory, a read-back that differs: the message says it all).
QString causeLine(const PortResult& r) {
    if (r.opening == OpenFailure::None) {
        if (r.outcome.ok()) return {};
        if (!r.unconfirmed) return causeText(r.outcome);
        return QStringLiteral(
                   "L'écriture est partie mais n'a pas été confirmée : l'afficheur contient "
                   "peut-être déjà les nouvelles valeurs (relisez-le avant de recommencer). ") +
               causeText(r.outcome);
    }
    QString text = openFailureText(r.opening, r.port);
    if (const auto n = comNumber(r.port); n && r.opening == OpenFailure::NoDevice) {
        QString refusal;
        portDevice(*n, &refusal);
        if (!refusal.isEmpty())
            text += QStringLiteral(" Le fichier des ports n'a pas servi : %1.").arg(refusal);
    }
    if (r.opening == OpenFailure::BadAddress) {
        // What is wrong with the address the number leads to.
        const auto n = comNumber(r.port);
        QString fault;
        parseNetAddress(n ? portDevice(*n) : r.port, &fault);
        if (!fault.isEmpty())
            text += QLatin1Char(' ') + fault.left(1).toUpper() + fault.mid(1) + '.';
    }
    return text;
}

// The port's object in --json: its data, its status and message, and why it failed.
QJsonObject portJson(const PortResult& r) {
    QJsonObject o = r.json;
    o.insert(QStringLiteral("port"), r.port);
    o.insert(QStringLiteral("exit"), r.exit);
    o.insert(QStringLiteral("message"), r.message);
    if (r.opening != OpenFailure::None) {
        o.insert(QStringLiteral("cause"), openFailureKey(r.opening));
    } else {
        const Outcome& x = r.outcome;
        o.insert(QStringLiteral("cause"), causeKey(x.cause));
        const bool afterRead = x.cause == Cause::NotSent && x.first != Cause::Done;
        if (afterRead) o.insert(QStringLiteral("first"), causeKey(x.first));
        if (r.unconfirmed) o.insert(QStringLiteral("unconfirmed"), true);
        if (answerCause(x.cause) || (afterRead && answerCause(x.first))) {
            o.insert(QStringLiteral("received"), x.received);
            o.insert(QStringLiteral("expected"), x.expected);
        }
    }
    if (!r.detail.isEmpty()) o.insert(QStringLiteral("detail"), r.detail);
    return o;
}

class Run {
  public:
    Run(Console& console, const Request& q) : c_(console), q_(q) {}

    int run() {
        if (q_.words.isEmpty()) return usage(QStringLiteral("aucune commande"));
        const Command* command = findCommand(q_.words);
        if (!command)
            return usage(
                QStringLiteral("commande inconnue « %1 »").arg(q_.words.join(QLatin1Char(' '))));
        if (!expectWords(*command) || !optionsUsed(*command)) return kUsage;
        switch (command->ports) {
            case Ports::None:
                return command->local ? command->local(q_, c_) : ports();
            case Ports::Every:
                return detect(*command);
            case Ports::Given:
            case Ports::OfRecord:
                break;
        }
        return panel(*command);
    }

  private:
    bool expectWords(const Command& command) {
        const int n = static_cast<int>(commandName(command).count(QLatin1Char(' '))) + 1 +
                      (command.argument ? 1 : 0);
        if (q_.words.size() == n) return true;
        const QString wanted = command.argument && QLatin1String(command.argument) == "N"
                                   ? QStringLiteral("un numéro d'enregistrement")
                                   : QStringLiteral("un fichier");
        usage(q_.words.size() < n
                  ? QStringLiteral("« %1 » attend %2").arg(q_.words.join(QLatin1Char(' ')), wanted)
                  : QStringLiteral("argument en trop : %1").arg(q_.words.at(n)));
        return false;
    }

    // An option the command does not use is refused, not ignored: the operator meant something.
    bool optionsUsed(const Command& command) {
        for (const auto& [option, typed] : q_.given) {
            if (command.options & option) continue;
            usage(QStringLiteral("%1 ne sert pas à « %2 » (options de « %2 » : %3)")
                      .arg(typed, commandName(command), longNames(command.options)));
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

    PortRun portRun(const Command& command, const std::shared_ptr<TraceLog>& trace) const {
        return {trace, !q_.json, command.expectedSeconds, command.ports == Ports::Every};
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

    // Every COM number, each with the detection window's test: a result line each, never a
    // failure.
    int detect(const Command& command) {
        std::shared_ptr<TraceLog> trace;
        QString error;
        if (!openTrace(q_, trace, error)) return usage(error);
        QStringList ports;
        for (int n = PortDetection::kFirstPort; n <= PortDetection::kLastPort; ++n)
            ports << QStringLiteral("COM%1").arg(n);
        const auto job = command.prepare(q_, error);
        if (!job) return usage(error);
        const auto results = runOnPorts(ports, c_, portRun(command, trace), *job);
        QJsonArray list;
        for (const PortResult& r : results) {
            QJsonObject o = r.json;
            o.insert(QStringLiteral("port"), r.port);
            list.append(o);
            if (!q_.json)
                for (const QString& line : r.out) c_.out(line + QLatin1Char('\n'));
        }
        if (q_.json)
            emitJson(QJsonObject{{QStringLiteral("command"), commandName(command)},
                                 {QStringLiteral("exit"), kDone},
                                 {QStringLiteral("ports"), list}});
        return kDone;
    }

    // The file asked for with -o, from the one port's data.
    void writeOutput(const Command& command, PortResult& r) {
        QByteArray data;
        if (commandName(command) == QLatin1String("params get"))
            data = QJsonDocument(r.json.value(QStringLiteral("parameters")).toObject())
                       .toJson(QJsonDocument::Indented);
        else
            data = image::imageText(
                *image::parseImage(r.json.value(QStringLiteral("memory")).toString().toLatin1()));
        QSaveFile f(q_.output);
        if (f.open(QIODevice::WriteOnly) && f.write(data) >= 0 && f.commit()) return;
        r.exit = kFailed;
        r.message = QStringLiteral("%1 : %2").arg(q_.output, writeErrorText(f.error()));
        r.detail = f.errorString();
    }

    int panel(const Command& command) {
        QString error;
        const auto ports =
            command.ports == Ports::OfRecord ? restorePorts(q_, error) : panelPorts(q_, error);
        if (!ports) return usage(error);
        if (!outputAllowed(q_, *ports, error)) return usage(error);
        const auto job = command.prepare(q_, error);
        if (!job) return usage(error);
        std::shared_ptr<TraceLog> trace;
        if (!openTrace(q_, trace, error)) return usage(error);

        std::vector<PortResult> results = runOnPorts(*ports, c_, portRun(command, trace), *job);
        if (!q_.output.isEmpty() && results.front().exit == kDone)
            writeOutput(command, results.front());

        // A failure outweighs a read-back that differs, which outweighs a difference found.
        int exit = kDone;
        const auto weight = [](int e) {
            return e == kFailed ? 3 : e == kMismatch ? 2 : e == kDiffer ? 1 : 0;
        };
        for (const auto& r : results)
            if (weight(r.exit) > weight(exit)) exit = r.exit;
        // The journal that could not be written: one line, whatever the ports.
        for (const auto& r : results)
            if (!r.journal.isEmpty()) {
                c_.err(QStringLiteral("veqctl : %1\n").arg(r.journal));
                break;
            }

        if (q_.json) {
            QJsonArray list;
            for (const auto& r : results) list.append(portJson(r));
            emitJson(QJsonObject{{QStringLiteral("command"), commandName(command)},
                                 {QStringLiteral("exit"), exit},
                                 {QStringLiteral("ports"), list}});
            return exit;
        }
        const bool several = results.size() > 1;
        for (const auto& r : results) {
            const QString head = several ? r.port + QStringLiteral(" : ") : QString();
            if (several && !r.out.isEmpty()) c_.out(QStringLiteral("== %1 ==\n").arg(r.port));
            for (const QString& line : r.out) c_.out(line + QLatin1Char('\n'));
            for (const QString& line : r.notes) c_.err(head + line + QLatin1Char('\n'));
            if (r.exit == kDone) {
                c_.out(head + r.message + QLatin1Char('\n'));
                continue;
            }
            c_.err(head + r.message + QLatin1Char('\n'));
            if (const QString cause = causeLine(r); !cause.isEmpty())
                c_.err(head + cause + QLatin1Char('\n'));
        }
        return exit;
    }

    Console& c_;
    const Request& q_;
};

}  // namespace

Line serialLine(const QString& port) {
    Line line;
    auto serial = std::make_unique<AnyPort>();
    if (const auto n = comNumber(port))
        serial->setCommPort(*n);
    else
        serial->setDevicePath(devicePath(port));  // a device path or a network address
    line.port = std::move(serial);
    line.clock = std::make_unique<SteadyClock>();
    return line;
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
    Run runner(console, *request);
    return runner.run();
}

}  // namespace veq::cli
