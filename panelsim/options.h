#pragma once

#include <cstdint>
#include <optional>

#include <QString>
#include <QStringList>

namespace veq::sim {

// What the command line of veq-panel-sim asks for.
struct Options {
    QString link;                      // symlink to create to the pseudo-terminal (empty: none)
    QString load;                      // memory image to start from
    QString save;                      // memory image to keep up to date
    std::optional<std::uint8_t> fill;  // every byte of the memory at start
    bool pace = false;                 // characters take their time on a 9600 baud 8N1 line
    bool mute = false;                 // reads everything, answers nothing
    bool garble = false;               // answers wrong characters of the right length
    int shortBy = 0;                   // characters each answer loses
    int extra = 0;                     // characters added to each answer
    int muteAfter = -1;                // answers only this many frames, then none (-1: no limit)
    int dieAfter = -1;                 // dies as if killed after this many frames (-1: never)
    int stallAfter = -1;               // stops taking bytes after this many frames (-1: never)
    double lag = 0.0;                  // seconds the answer to a closing frame takes
    int loseByte = 0;                  // the byte read with this number gets no answer (0: none)
    bool verbose = false;              // frames and commits on the standard error
};

struct ParsedOptions {
    Options options;
    bool help = false;
    QString error;     // set when the command line is wrong
    QString helpText;  // the usage text
};

ParsedOptions parseOptions(const QStringList& arguments);

}  // namespace veq::sim
