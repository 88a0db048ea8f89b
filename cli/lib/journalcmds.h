#pragma once

#include <optional>

#include "cli/lib/commands.h"
#include "journal/journal.h"

// veqctl's journal commands: the records listed and shown, and a record's "before" written back.
namespace veq::cli {

// "journal [--port P] [--last N]": one line per record, newest first.
int journalList(const Request& q, Console& console);
// "journal show N": one record in full, its bytes decoded into settings.
int journalShow(const Request& q, Console& console);
// "restore N": the port it writes to. The record's own port without -p; a -p (or --config) that
// leads to another device is refused unless --onto-other-panel says so; never more than one.
std::optional<QStringList> restorePorts(const Request& q, QString& error);
// "restore N": the job that writes record N's "before" back exactly, through the frames of the
// command that writes that range (params set for 60h..7Fh, memory write for the whole memory),
// with its read-back compared byte for byte.
std::optional<PortJob> restoreJob(const Request& q, QString& error);

// The device a record was made on, as the checks compare ports (portDeviceOf).
QString recordDevice(const journal::Record& r);

}  // namespace veq::cli
