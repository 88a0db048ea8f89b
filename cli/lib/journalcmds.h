#pragma once

#include <optional>

#include "cli/lib/commands.h"

// veqctl's journal commands: the records listed and shown, and a record's "before" written back.
namespace veq::cli {

// "journal [--port P] [--last N]": one line per record, newest first.
int journalList(const Request& q, Console& console);
// "journal show N": one record in full, its bytes decoded into settings.
int journalShow(const Request& q, Console& console);
// "restore N": the job that writes record N's "before" back through the command that writes that
// range (params set for 60h..7Fh, memory write for the whole memory), with its checks.
std::optional<PortJob> restoreJob(const Request& q, QString& error);

}  // namespace veq::cli
