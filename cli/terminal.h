#pragma once

#include <cstdio>

// What veqctl's process needs from the console it runs in, on Unix and on Windows.
namespace veq::cli {

// Makes the console show the program's texts as they are written: on Windows the console's code
// page becomes the one the texts are encoded in (the system's ANSI page). Nothing to do on Unix.
void prepareConsole();

// The standard error when it is a terminal that draws the progress bars (their cursor moves),
// otherwise null: on Windows a console that takes the escape sequences.
std::FILE* progressTerminal();

// On Windows ends the process with `status` once the standard streams are flushed, without
// unloading its libraries: under Wine a process that has run eight port threads or more hangs while
// unloading them, after its work is done. Elsewhere returns at once (main returns as usual).
void endWithoutUnloading(int status);

}  // namespace veq::cli
