#pragma once

#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

#include "cli/lib/commandline.h"
#include "link/traceport.h"
#include "panelmem/image.h"
#include "panelmem/memmap.h"

// What veqctl checks before the first frame: the ports, the files a command reads or writes, the
// values of its options. Each check gives nothing (or false) when the command must not run, and
// `error` then says why, in French; nothing has been sent by then.
namespace veq::cli {

// The ports of -p and --config, in the order given: "COMn" for a COM number in any spelling,
// a device path as it was typed. Refused: an empty name, a number outside 1..14, a bad
// configuration file, no port at all, one device under two names.
std::optional<QStringList> panelPorts(const Request& q, QString& error);

// -o, for the ports of panelPorts: one port only; a regular file or a new name (never a device,
// a pipe or a folder, which its rename would replace); never the port, the journal, the ports
// file or a file the command reads, under whatever name.
bool outputAllowed(const Request& q, const QStringList& ports, QString& error);

// The trace of --trace, opened to append to, or null without --trace. Refused: one of the
// command's own files (under whatever name), an existing file that is not a trace.
bool openTrace(const Request& q, std::shared_ptr<TraceLog>& trace, QString& error);

// The whole parameter file, checked.
std::optional<memmap::RateSettings> parameterFile(const QString& path, QString& error);

// A memory image to write; one the memory map counts as blank only with --force.
std::optional<image::Bytes> imageToWrite(const QString& path, bool force, QString& error);
// The same check of an image from elsewhere (`name` says where, in the error).
bool writable(const image::Bytes& bytes, bool force, const QString& name, QString& error);

// --mode, --period and --threshold of "brightness set" (the window's defaults without them).
std::optional<memmap::BrightnessSettings> brightnessSettings(const Request& q, QString& error);

// The device a port named on the command line leads to: COMn through the application's port map,
// a path as the opener takes it (devicePath), then the file it names. Two names of one device
// give the same text.
QString portDeviceOf(const QString& port);

// Whether two paths name one file (links, "." and ".." resolved).
bool sameFile(const QString& a, const QString& b);

}  // namespace veq::cli
