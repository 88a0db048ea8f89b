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
// Reads the panel first (bytes no setting covers go back as they were; the journal's "before"),
// programs, reads back. `operation` names it in the journal.
void paramsSet(Exchange& ex, PortResult& r, const memmap::RateSettings& settings,
               const QString& operation = QStringLiteral("params set"));
// Puts the 32 `bytes` back into 60h..7Fh exactly as they are (a restore), with the same read
// first, the same frames as "params set" and the read-back compared byte for byte.
void rateBytesWrite(Exchange& ex, PortResult& r, const QByteArray& bytes, const QString& operation);
void memoryRead(Exchange& ex, PortResult& r, bool toFile);
// Reads the whole memory first (the journal's "before"; a panel that does not answer is left
// alone), writes the image, reads back.
void memoryWrite(Exchange& ex, PortResult& r, const image::Bytes& bytes,
                 const QString& operation = QStringLiteral("memory write"));
// The panel read and compared with the file, field by field; status 4 (kDiffer) when they differ.
void paramsDiff(Exchange& ex, PortResult& r, const memmap::RateSettings& file);
void memoryDiff(Exchange& ex, PortResult& r, const image::Bytes& file);
void brightnessGet(Exchange& ex, PortResult& r);
void brightnessSet(Exchange& ex, PortResult& r, const memmap::BrightnessSettings& settings);
void switches(Exchange& ex, PortResult& r);

}  // namespace veq::cli::jobs
