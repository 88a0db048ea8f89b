#pragma once

#include <QLocale>
#include <QString>
#include <QTimeZone>

#include "journal/journal.h"

// What the journal window shows of a record, in the operator's terms (no widgets).
namespace veq::journalrows {

// The record's time (ISO 8601 with its offset, as the file holds it) in `zone`, written as the
// operator's locale writes a date and a time to the second: "09/12/2026 09:55:19" in French. A
// text that is no such time is given back as it is.
QString timeText(const QString& iso, const QLocale& locale,
                 const QTimeZone& zone = QTimeZone::systemTimeZone());

// How the operation ended, in French: "réussie", "échouée", "refusée" or "inconnue", followed for a
// failure or a refusal by its cause ("échouée : L'afficheur n'a pas répondu").
QString outcomeText(journal::Result outcome, const QString& cause);

// A cause as the journal names it ("no-answer", "read-back-differs"), in a few French words; an
// unknown key is given back as it is.
QString causeLabel(const QString& key);

}  // namespace veq::journalrows
