#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include "panelmem/memmap.h"

// Field-by-field comparison of what a panel holds with another memory or a parameter file, named
// as the parameter file and the settings table name them (panelmem/settings.h).
namespace veq::journal {

struct Difference {
    QString key;    // the parameter file's key ("ranges[1].end", "time_base"), or the address of a
                    // byte no setting covers ("6Ah")
    QString label;  // in French: "Fin de la plage 2", "Octet 6Ah"
    QString panel;  // the panel's value, as the parameter file writes it ("heure", "vert", "16")
    QString other;  // the other memory's or file's
    bool operator==(const Difference&) const = default;
};

// A rate setting whose bytes hold a value outside its table (an averaging byte that is no power
// of two, a brightness code no option has): the settings read from the memory would not program
// those bytes back as they are.
struct OffTable {
    QString key;    // the parameter file's key, or the address of a byte no setting covers ("6Dh")
    QString label;  // in French
    int address = 0;
    int byte = 0;
    bool operator==(const OffTable&) const = default;
};

// The off-table bytes of 96..124 of a programmed memory (`bytes` from address 96 on), in the
// order of the addresses.
QVector<OffTable> offTable(const QByteArray& bytes);
// "Niveau 2 … (averaging_2) : octet 6Fh = 03, hors de sa table", for people.
QString offTableText(const OffTable& o);

// The rate settings that differ, in the order of the parameter file.
QVector<Difference> compareSettings(const memmap::RateSettings& panel,
                                    const memmap::RateSettings& other);

// Two memories of the same range, `from` being the address of their first byte: the rate settings
// (addresses 96..124) and the brightness settings (60..62) the range holds, then each other byte
// that differs and that no setting listed covers (the signature, reserved bytes, a byte no
// setting reads the way it is held).
QVector<Difference> compareMemories(const QByteArray& panel, const QByteArray& other, int from);

}  // namespace veq::journal
