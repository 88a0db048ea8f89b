#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "panelmem/memmap.h"

// The parameter file: the rate parameters of one panel as one JSON object, read and written by
// veqctl and by the windows alike. Its keys are stable (the README lists them); every key must be
// there and no other:
//
//   "ranges"           five objects {"end": N, "colour": C}, ranges 1 to 5 from the top of the
//                      window: range k ends at "end" (the slider HScroll1(k); the last one ends at
//                      9999) and the next one starts at end + 1; C is "rouge", "vert" or "orange"
//   "first_bound"      the greyed slider HScroll1(0) stored with range 1, 0 to 9999 (normally 1)
//   "brightness"       null, "100%", "80%", "60%", "50%" or "40%" (Option1(1..5); null keeps the
//                      third signature character at 108)
//   "averaging_1"      level-1 averaging, 1, 2, 4 or 8 measurements (HScroll3)
//   "averaging_2"      level-2 averaging, 1, 2, 4, 8 or 16 measurements (HScroll2)
//   "time_base"        "heure", "minute", "seconde" or a whole number from 1 to 2147483647
//   "anti_bounce"      digital anti-bounce in tenths of a millisecond, 0 to 255 (HScroll4)
//   "relay_1"          1 to 9999 (HScroll6)
//   "relay_2"          1 to 9999 (HScroll7)
//   "digits"           2, 3, 4 or null (NB_DIGIT)
//   "display"          "entier", "décimal" or null (DECI_ENT)
//   "zero_suppression" "oui", "non" or null (SUPRESS)
//   "stop_threshold"   the stop threshold, a whole number from 3 to 3600 (HScroll5)
namespace veq::paramfile {

// The file's object for these settings.
QJsonObject parametersJson(const memmap::RateSettings& settings);

// A parameter file is never larger: one is refused as too large (its readers read one byte more,
// to know).
inline constexpr qint64 kLargestFile = 1 << 20;

// Checks a whole file before anything is sent: larger than kLargestFile, not JSON, not one object,
// a key missing, a key unknown, a key given twice in one object, or a value outside what its field
// takes gives nothing and `error` names the field and the values it allows (in French). A range's
// bounds leave every range, the last included, at least two values. A name written with decomposed
// accents is told apart from the name it looks like. A UTF-8 byte-order mark at the start (as some
// editors save) is accepted.
std::optional<memmap::RateSettings> parseParameters(const QByteArray& text, QString& error);

// The settings for people, one line each, in French.
QString parametersText(const memmap::RateSettings& settings);

}  // namespace veq::paramfile

// veqctl names them without the namespace.
namespace veq::cli {
using memmap::settingsFromMemory;
using paramfile::parametersJson;
using paramfile::parametersText;
using paramfile::parseParameters;
}  // namespace veq::cli
