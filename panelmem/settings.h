#pragma once

#include <array>

#include <QString>
#include <QStringList>

#include "panelmem/colours.h"

// Every setting the operator can give the panel, named once: its key in veqctl's parameter file,
// its label in French (as veqctl prints it and a screen reader says it), its range or its allowed
// values, and the value the windows show at load. The parameter window's sliders, the brightness
// window's sliders, the parameter file's checks and messages and veqctl's output all take their
// limits and names from here, so a limit changed here changes everywhere.
namespace veq::settings {

// A setting that is a whole number on a slider.
struct Numeric {
    const char* key;      // in the parameter file (or veqctl's option), nullptr for none
    const char* label;    // in French
    const char* control;  // the slider that holds it
    int minimum;
    int maximum;
    int initial;  // at load, and the parameter file's default
};

// ---------------------------------------------------------------------------------------------
// Rate parameters (the parameter window dump_24c01)

// The display's last value: range 5 ends there.
inline constexpr int kLastValue = 9999;
// Each range ends at least this much above the end of the one before it (so every range holds at
// least two values).
inline constexpr int kRangeGap = 2;
inline constexpr int kRanges = 5;

// HScroll1(0): the greyed bound stored with range 1; HScroll1(1..4): the end of ranges 1 to 4
// (range k + 1 starts one above); HScroll1(5): the greyed end of range 5.
inline constexpr std::array<Numeric, kRanges + 1> kRangeBounds = {{
    {"first_bound", "Début de la plage 1", "HScroll1(0)", 0, kLastValue, 1},
    {"ranges[0].end", "Fin de la plage 1", "HScroll1(1)", 1, kLastValue, 199},
    {"ranges[1].end", "Fin de la plage 2", "HScroll1(2)", 1, kLastValue, 399},
    {"ranges[2].end", "Fin de la plage 3", "HScroll1(3)", 1, kLastValue, 599},
    {"ranges[3].end", "Fin de la plage 4", "HScroll1(4)", 1, kLastValue, 799},
    {"ranges[4].end", "Fin de la plage 5", "HScroll1(5)", 0, kLastValue, kLastValue},
}};
inline constexpr const char* kRangesKey = "ranges";
// COULE(0..4) at load, and the colours a range may have in the file.
inline constexpr std::array<int, kRanges> kRangeColours = {
    colour::kRed, colour::kOrange, colour::kGreen, colour::kOrange, colour::kRed};
inline constexpr std::array<int, 3> kColourNumbers = {colour::kRed, colour::kGreen,
                                                      colour::kOrange};
inline const QStringList kColourNames = {QStringLiteral("rouge"), QStringLiteral("vert"),
                                         QStringLiteral("orange")};

// The averaging sliders hold an exponent: the panel averages over 2 to that power.
inline constexpr Numeric kAveraging1{"averaging_1", "Moyenne niveau 1", "HScroll3", 0, 3, 0};
inline constexpr Numeric kAveraging2{"averaging_2", "Moyenne niveau 2", "HScroll2", 0, 4, 0};
// In tenths of a millisecond.
inline constexpr Numeric kAntiBounce{"anti_bounce", "Anti rebond numérique", "HScroll4", 0, 255, 1};
inline constexpr Numeric kStopThreshold{"stop_threshold", "Seuil d'arrêt", "HScroll5", 3, 3600, 36};
inline constexpr Numeric kRelay1{"relay_1", "Relais 1", "HScroll6", 1, kLastValue, 200};
inline constexpr Numeric kRelay2{"relay_2", "Relais 2", "HScroll7", 1, kLastValue, 800};

// The time base: Option2(0..2) by name, or any whole number the four bytes hold as a positive
// signed value ("Autre").
inline constexpr const char* kTimeBaseKey = "time_base";
inline constexpr const char* kTimeBaseLabel = "Base de temps";
inline const QStringList kTimeBaseNames = {QStringLiteral("heure"), QStringLiteral("minute"),
                                           QStringLiteral("seconde")};
inline constexpr qint64 kTimeBaseMinimum = 1;
inline constexpr qint64 kTimeBaseMaximum = 2147483647;
inline constexpr int kTimeBaseInitial = 0;  // "Heure"

// Option1(1..5) of the parameter window; none keeps the signature's "K".
inline constexpr const char* kBrightnessKey = "brightness";
inline constexpr const char* kBrightnessLabel = "Luminosité";
inline const QStringList kBrightnessNames = {QStringLiteral("100%"), QStringLiteral("80%"),
                                             QStringLiteral("60%"), QStringLiteral("50%"),
                                             QStringLiteral("40%")};

// NB_DIGIT(1..3), DECI_ENT(1..2), SUPRESS(1..2); each may also have none selected.
inline constexpr const char* kDigitsKey = "digits";
inline constexpr const char* kDigitsLabel = "Nombre de digits";
inline constexpr std::array<int, 3> kDigitCounts = {2, 3, 4};
inline constexpr int kDigitsInitial = 3;  // "4"
inline constexpr const char* kDisplayKey = "display";
inline constexpr const char* kDisplayLabel = "Affichage";
inline const QStringList kDisplayNames = {QStringLiteral("entier"), QStringLiteral("décimal")};
inline constexpr int kDisplayInitial = 1;  // "entier"
inline constexpr const char* kSuppressionKey = "zero_suppression";
inline constexpr const char* kSuppressionLabel = "Suppression des zéros";
inline const QStringList kSuppressionNames = {QStringLiteral("oui"), QStringLiteral("non")};
inline constexpr int kSuppressionInitial = 1;  // "OUI"

// Every key of a parameter file, in the order the file lists them.
inline const QStringList kParameterKeys = {
    QLatin1String(kRangesKey),        QLatin1String(kRangeBounds[0].key),
    QLatin1String(kBrightnessKey),    QLatin1String(kAveraging1.key),
    QLatin1String(kAveraging2.key),   QLatin1String(kTimeBaseKey),
    QLatin1String(kAntiBounce.key),   QLatin1String(kRelay1.key),
    QLatin1String(kRelay2.key),       QLatin1String(kDigitsKey),
    QLatin1String(kDisplayKey),       QLatin1String(kSuppressionKey),
    QLatin1String(kStopThreshold.key)};

// ---------------------------------------------------------------------------------------------
// Brightness window LUM

// Option1(0..6), as veqctl names them; "20%" is read but cannot be chosen.
inline const QStringList kBrightnessModes = {
    QStringLiteral("capteur"), QStringLiteral("100%"), QStringLiteral("80%"), QStringLiteral("60%"),
    QStringLiteral("50%"),     QStringLiteral("40%"),  QStringLiteral("20%")};
inline constexpr int kSelectableModes = 6;
inline constexpr const char* kModeLabel = "Luminosité";
// In seconds; a day/night threshold from 0 (day) to 15 (night).
inline constexpr Numeric kSwitchPeriod{"period", "Fréquence de commutation", "DURE_LDR", 1, 128, 5};
inline constexpr Numeric kSwitchThreshold{
    "threshold", "Seuil de commutation jour/nuit", "COMP_LDR", 0, 15, 4};

// ---------------------------------------------------------------------------------------------

// "un nombre entier de 1 à 9999": what a numeric setting allows, in French.
QString allowedText(qint64 minimum, qint64 maximum);
inline QString allowedText(const Numeric& n) {
    return allowedText(n.minimum, n.maximum);
}
// The names as the parameter file writes them: "\"heure\", \"minute\", \"seconde\"".
QString quoted(const QStringList& names);

}  // namespace veq::settings
