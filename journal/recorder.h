#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "journal/journal.h"
#include "link/outcome.h"
#include "link/platform.h"
#include "panelmem/grid.h"
#include "panelmem/operations.h"

// The journal records of the panel operations, as the windows and veqctl make them: a read's one
// line, a programming's record before its write and its completion after. Each also keeps this
// run's memory of the bytes known on the port up to date. Nothing here sends a frame or waits.
namespace veq::journal {

// The cause of a write whose read-back found other bytes than were written.
inline const QString kReadBackDiffers = QStringLiteral("read-back-differs");

// The port as the operator named it and the device behind it.
struct Where {
    QString port;
    QString device;
};

// COMn and its device, as the application maps the number.
Where comPort(int number);

// The journal's warning, when there is one, in a warning box.
void tell(Messages& messages, const QString& warning);

// A read of from..to that ended with `outcome`: its record, with the bytes the grid holds when it
// succeeded (they are then the bytes known on the port). Returns the warning to show when the
// journal could not be written for the first time in this run, empty otherwise.
QString recordRead(const Where& where, const QString& operation, const MemoryGrid& grid, int from,
                   int to, const Outcome& outcome, Journal& journal = thisRun());

// One programming of from..to.
class Programming {
  public:
    Programming(Where where, QString operation, int from, int to, Journal& journal = thisRun());

    // The bytes the panel held, when the operation read them itself first (otherwise the last
    // ones this run knew on the port are taken).
    void setBefore(const MemoryGrid& read);
    // Appends the record, outcome "unknown", with the bytes about to be written: right before the
    // first frame of the write.
    void opening(const MemoryGrid& toWrite);
    // The hooks of ops::programRate and ops::programBrightness that call the two above.
    ops::WriteHooks hooks();

    // Completes the record (or, when nothing was written, appends a record of its own) and keeps
    // the bytes known on the port. `readBack`: what a read-back found, when there was one.
    void finish(const ops::ProgramResult& result,
                const std::optional<QByteArray>& readBack = std::nullopt);
    // The same for a write that is not one of the operations (a grid's "Envoi", memory write):
    // `outcome` is the write's; `sent` false when nothing went out.
    void finish(const Outcome& outcome, bool sent,
                const std::optional<QByteArray>& readBack = std::nullopt);

    qint64 number() const { return number_; }
    // The warning to show when the journal could not be written for the first time in this run.
    const QString& warning() const { return warning_; }

  private:
    void take(const Appended& a);

    Journal& journal_;
    Record record_;
    bool beforeSet_ = false;
    qint64 number_ = 0;
    bool opened_ = false;
    QString warning_;
};

}  // namespace veq::journal
