#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include <QByteArray>
#include <QString>

#include "panelmem/grid.h"

// What this run last knew a panel to hold, by port and address range: the bytes of the last
// successful read, or of the last confirmed write since. The parameter window's programming reads
// nothing first; this is what its journal record gives as "before", without a frame more.
namespace veq::journal {

class KnownBytes {
  public:
    // `bytes` stand on the panel behind `device` from address `from` on: a read found them, or a
    // write was confirmed. Every other range known on that port takes them where it overlaps.
    void remember(const QString& device, int from, const QByteArray& bytes);
    // The panel's bytes in from..to are no longer known (a write that was not confirmed may have
    // changed some of them): every range overlapping them is dropped.
    void forget(const QString& device, int from, int to);
    // The bytes of from..to, when a range remembered on that port covers them.
    std::optional<QByteArray> known(const QString& device, int from, int to) const;

  private:
    mutable std::mutex mutex_;
    // (device, first address) -> bytes
    std::map<std::pair<QString, int>, QByteArray> ranges_;
};

// This run's.
KnownBytes& knownThisRun();

}  // namespace veq::journal
