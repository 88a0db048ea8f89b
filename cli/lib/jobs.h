#pragma once

#include <QStringList>

#include "cli/lib/commands.h"
#include "panelmem/grid.h"
#include "panelmem/image.h"
#include "panelmem/memmap.h"

// What each command does on one port, on the windows' operations. Each fills the port's result:
// its lines and data, the windows' message, and the outcome of the exchange that ended it.
namespace veq::cli::jobs {

// Brightness options Option1(0..6) of the brightness window, as veqctl names them; the last one
// ("20%") is greyed in the window: read, never chosen.
const QStringList& modes();

// The image's bytes in the grid's cells, as two upper-case hexadecimal digits.
void putBytes(MemoryGrid& grid, const image::Bytes& bytes);

// The detection window's test of the port "COMn" (the job opens the port itself).
void detect(Exchange& ex, PortResult& r);

// `toFile`: the data goes to the -o file, not to the standard output.
void paramsGet(Exchange& ex, PortResult& r, bool toFile);
// Reads the panel first (bytes no setting covers go back as they were), programs, reads back.
void paramsSet(Exchange& ex, PortResult& r, const memmap::RateSettings& settings);
void memoryRead(Exchange& ex, PortResult& r, bool toFile);
void memoryWrite(Exchange& ex, PortResult& r, const image::Bytes& bytes);
void brightnessGet(Exchange& ex, PortResult& r);
void brightnessSet(Exchange& ex, PortResult& r, const memmap::BrightnessSettings& settings);
void switches(Exchange& ex, PortResult& r);

}  // namespace veq::cli::jobs
