#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QString>
#include <QStringList>

// veqctl's command line: its options and what a line asks for. Nothing here knows the commands;
// which command takes which option is in their table (commands.h).
namespace veq::cli {

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
    kLast = 1u << 9,
    kOntoOther = 1u << 10,
};

struct OptionName {
    Option option;
    const char* shortName;  // or null
    const char* longName;
    const char* value;  // the value's name in the help ("PORT"), null for an option without one
    const char* help;   // its lines in the help, '\n' between them; null: the command's help says
};

// Every option, in the order of the help.
const std::vector<OptionName>& optionNames();

// The long names of the options in `options`, in the table's order: "--port, --json".
QString longNames(unsigned options);

// Everything a command line asks for.
struct Request {
    QStringList words;  // the command and its arguments
    QStringList ports;  // the values of -p, as typed
    QString config, trace, output, mode, period, threshold, last;
    bool json = false, force = false, help = false, ontoOther = false;
    std::vector<std::pair<Option, QString>> given;  // each option as it was typed, in order
};

// Sorts the arguments into words and options; an unknown option or one without its value gives
// nothing and `error` says which (in French).
std::optional<Request> parse(const QStringList& arguments, QString& error);

// n of "COMn" or "COMn:" (any case); nothing for any other name.
std::optional<int> comNumber(const QString& port);

// A whole number from low to high written in `text` (blanks around it allowed).
std::optional<int> wholeNumber(const QString& text, int low, int high);

}  // namespace veq::cli
