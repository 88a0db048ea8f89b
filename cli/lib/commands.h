#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "cli/lib/commandline.h"
#include "cli/lib/veqctl.h"
#include "link/exchange.h"
#include "link/outcome.h"

// veqctl's commands as one table: each row says everything about one command, and the rest of
// veqctl (the checks, the runner, the help, the output) reads it from there.
namespace veq::cli {

// What one port's work came to.
struct PortResult {
    QString port;       // as the command line names it ("COM3", a device path)
    int exit = 0;       // an Exit status (veqctl.h)
    QStringList out;    // lines for the standard output
    QString message;    // the operation's message (success or what went wrong)
    QStringList notes;  // lines for the standard error, whatever the outcome
    QJsonObject json;   // the result's data
    Outcome outcome;    // how the exchanges with the panel ended (Done when none failed)
    // A write's frames went out but the panel's new bytes were not confirmed or read back: the
    // panel may hold them (with a failure; without one nothing, or all of it, was written).
    bool unconfirmed = false;
    OpenFailure opening = OpenFailure::None;  // why the port did not open
    QString detail;                           // the system's own text about the failure
    QString journal;  // the warning of a journal that cannot be written (once in a run)
};

// A command's work on one port, through an exchange on that port's line and clock.
using PortJob = std::function<void(Exchange& ex, PortResult& r)>;

// What a command does to the panel.
enum class Access {
    None,    // nothing goes to any panel
    Reads,   // asks the panel, changes nothing in it
    Writes,  // programs the panel
};

// Which ports a command runs on.
enum class Ports {
    None,      // none: the command is answered without any port
    Every,     // COM1 to COM14, each opened by the job itself (a port that does not open is a
               // result, not a failure)
    Given,     // those of -p and --config, opened before the job (a port that does not open fails)
    OfRecord,  // the port of the journal record the command names (restore), opened as Given
};

struct Command {
    const char* words;     // "params get"
    const char* argument;  // the file it takes after its words, or null
    unsigned options;      // the Option bits it uses; any other is refused
    Access access;
    Ports ports;
    double expectedSeconds;  // the time it needs on one port at 9600 baud, for the progress bars
    const char* usage;       // its line in the help, "params get [-o FICHIER]"
    QString help;            // what it does, lines separated by '\n'
    // Everything the command can check before the first frame (its file, its option values);
    // the work for each port when all is well, otherwise nothing and `error` says why.
    std::function<std::optional<PortJob>(const Request& q, QString& error)> prepare;
    // A command without ports (Ports::None) that is not "ports": its whole run; the exit status.
    std::function<int(const Request& q, Console& console)> local;
};

// Every command, in the order of the help.
const std::vector<Command>& commands();

// The command whose words start `words`, or null.
const Command* findCommand(const QStringList& words);

// The command's words as one text, "params get".
inline QString commandName(const Command& c) {
    return QString::fromLatin1(c.words);
}

}  // namespace veq::cli
