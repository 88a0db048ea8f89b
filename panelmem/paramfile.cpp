#include "panelmem/paramfile.h"

#include <algorithm>
#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QStringList>

#include "panelmem/settings.h"

namespace veq::paramfile {

namespace {

using settings::kBrightnessNames;
using settings::kDisplayNames;
using settings::kLastValue;
using settings::kSuppressionNames;
using settings::kTimeBaseNames;
using settings::quoted;

const QString kRanges = QLatin1String(settings::kRangesKey);
const QString kFirstBound = QLatin1String(settings::kRangeBounds[0].key);
const QString kBrightness = QLatin1String(settings::kBrightnessKey);
const QString kTimeBase = QLatin1String(settings::kTimeBaseKey);
const QString kDigits = QLatin1String(settings::kDigitsKey);
const QString kDisplay = QLatin1String(settings::kDisplayKey);
const QString kSuppression = QLatin1String(settings::kSuppressionKey);
const QStringList& kKeys = settings::kParameterKeys;

QString key(const settings::Numeric& n) {
    return QLatin1String(n.key);
}

QString label(const char* text) {
    return QString::fromUtf8(text);
}

QString colourName(int colour) {
    for (std::size_t i = 0; i < settings::kColourNumbers.size(); ++i)
        if (settings::kColourNumbers[i] == colour)
            return settings::kColourNames.at(static_cast<int>(i));
    return settings::kColourNames.last();  // any other colour is orange
}

QJsonValue nameOrNull(const QStringList& names, int index) {
    if (index < 1 || index > names.size()) return QJsonValue::Null;
    return names.at(index - 1);
}

// The characters of `text` as code points: "U+0065 U+0301".
QString codePoints(const QString& text) {
    QStringList points;
    for (const char32_t c : text.toUcs4())
        points
            << QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
    return points.join(QLatin1Char(' '));
}

// For a value that is one of `names` written with its accents decomposed (a letter followed by a
// combining accent: it looks the same, it is not the same text), how it differs; empty otherwise.
QString decomposed(const QString& value, const QStringList& names) {
    const QString composed = value.normalized(QString::NormalizationForm_C);
    if (composed == value || !names.contains(composed)) return {};
    QStringList differences;
    for (const QChar c : composed)
        if (const QString parts = QString(c).normalized(QString::NormalizationForm_D);
            parts != QString(c))
            differences << QStringLiteral("« %1 » s'écrit %2 et non %3")
                               .arg(c)
                               .arg(codePoints(c), codePoints(parts));
    return QStringLiteral(
               " (la valeur donnée est écrite en forme décomposée, lettre puis accent combinant : "
               "%1)")
        .arg(differences.join(QStringLiteral(", ")));
}

// One check of a file: the first failure is kept, with the field and what it takes.
class Checker {
  public:
    bool failed() const { return !error_.isEmpty(); }
    QString error() const { return error_; }

    void fail(const QString& field, const QJsonValue& value, const QString& allowed) {
        if (failed()) return;
        const QString shown = value.isUndefined()
                                  ? QString()
                                  : QStringLiteral(" vaut %1 :")
                                        .arg(QString::fromUtf8(QJsonDocument(QJsonArray{value})
                                                                   .toJson(QJsonDocument::Compact)
                                                                   .mid(1)
                                                                   .chopped(1)));
        error_ = QStringLiteral("champ \"%1\"%2 valeurs permises : %3")
                     .arg(field, shown.isEmpty() ? QStringLiteral(" :") : shown, allowed);
    }

    // A whole number from `low` to `high`.
    std::optional<qint64> integer(const QString& field, const QJsonValue& v, qint64 low,
                                  qint64 high) {
        const QString allowed = settings::allowedText(low, high);
        if (!v.isDouble() || std::floor(v.toDouble()) != v.toDouble() ||
            v.toDouble() < static_cast<double>(low) || v.toDouble() > static_cast<double>(high)) {
            fail(field, v, allowed);
            return std::nullopt;
        }
        return static_cast<qint64>(v.toDouble());
    }

    // A numeric setting: a whole number within its range.
    std::optional<int> numeric(const settings::Numeric& n, const QJsonValue& v) {
        const auto x = integer(key(n), v, n.minimum, n.maximum);
        if (!x) return std::nullopt;
        return static_cast<int>(*x);
    }

    // The exponent of an averaging setting, given as 2 to that power.
    std::optional<int> powerOfTwo(const settings::Numeric& n, const QJsonValue& v) {
        QList<int> powers;
        for (int e = n.minimum; e <= n.maximum; ++e) powers << (1 << e);
        const auto i = oneOfNumbers(key(n), v, powers);
        if (!i) return std::nullopt;
        return n.minimum + *i;
    }

    // One of `values` (whole numbers), as its index; `nullable` only names null among them.
    std::optional<int> oneOfNumbers(const QString& field, const QJsonValue& v,
                                    const QList<int>& values, bool nullable = false) {
        QStringList shown;
        for (int x : values) shown << QString::number(x);
        if (v.isDouble())
            for (int i = 0; i < values.size(); ++i)
                if (v.toDouble() == values[i]) return i;
        fail(
            field, v,
            shown.join(QStringLiteral(", ")) + (nullable ? QStringLiteral(" ou null") : QString()));
        return std::nullopt;
    }

    // One of `names` (1-based index), or null (0) when `nullable`.
    std::optional<int> oneOf(const QString& field, const QJsonValue& v, const QStringList& names,
                             bool nullable) {
        if (nullable && v.isNull()) return 0;
        if (v.isString()) {
            const int i = static_cast<int>(names.indexOf(v.toString()));
            if (i >= 0) return i + 1;
        }
        fail(field, v,
             quoted(names) + (nullable ? QStringLiteral(" ou null") : QString()) +
                 decomposed(v.toString(), names));
        return std::nullopt;
    }

  private:
    QString error_;
};

// The first key given twice in one object of a valid JSON text, as "key" or "ranges[2].end".
// (QJsonDocument keeps one of the two values and says nothing.)
std::optional<QString> duplicateKey(const QByteArray& text) {
    struct Level {
        bool object;
        QStringList keys;  // objects: the keys seen so far
        int index = 0;     // arrays: the element being read
        bool expectKey = false;
    };
    std::vector<Level> levels;
    const auto path = [&levels](const QString& key) {
        QString p;
        for (std::size_t k = 0; k + 1 < levels.size(); ++k) {
            const Level& l = levels[k];
            if (l.object)
                p += (p.isEmpty() ? QString() : QStringLiteral(".")) + l.keys.last();
            else
                p += QStringLiteral("[%1]").arg(l.index);
        }
        return p.isEmpty() ? key : p + QLatin1Char('.') + key;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            qsizetype end = i + 1;
            while (end < text.size() && text.at(end) != '"') end += text.at(end) == '\\' ? 2 : 1;
            if (!levels.empty() && levels.back().object && levels.back().expectKey) {
                // The key as JSON reads it, escapes and all.
                const QString key = QJsonDocument::fromJson('[' + text.mid(i, end - i + 1) + ']')
                                        .array()
                                        .at(0)
                                        .toString();
                if (levels.back().keys.contains(key)) return path(key);
                levels.back().keys << key;
                levels.back().expectKey = false;
            }
            i = end;
        } else if (c == '{') {
            levels.push_back({true, {}, 0, true});
        } else if (c == '[') {
            levels.push_back({false, {}, 0, false});
        } else if ((c == '}' || c == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (c == ',' && !levels.empty()) {
            if (levels.back().object)
                levels.back().expectKey = true;
            else
                ++levels.back().index;
        }
    }
    return std::nullopt;
}

}  // namespace

QJsonObject parametersJson(const memmap::RateSettings& s) {
    QJsonArray ranges;
    for (int k = 0; k < settings::kRanges; ++k) {
        const int end = k < settings::kRanges - 1 ? s.ranges[static_cast<std::size_t>(k + 1)].slider
                                                  : kLastValue;
        ranges.append(QJsonObject{
            {QStringLiteral("end"), end},
            {QStringLiteral("colour"), colourName(s.ranges[static_cast<std::size_t>(k)].colour)}});
    }
    QJsonValue timeBase = static_cast<qint64>(static_cast<qint32>(s.timeBase));
    const int choice = memmap::timeBaseChoice(static_cast<qint32>(s.timeBase));
    if (choice < memmap::kTimeBaseOther) timeBase = kTimeBaseNames.at(choice);
    return QJsonObject{
        {kRanges, ranges},
        {kFirstBound, s.ranges[0].slider},
        {kBrightness, nameOrNull(kBrightnessNames, s.brightnessOption)},
        {key(settings::kAveraging1), 1 << s.averaging1},
        {key(settings::kAveraging2), 1 << s.averaging2},
        {kTimeBase, timeBase},
        {key(settings::kAntiBounce), s.antiBounce},
        {key(settings::kRelay1), s.relay1},
        {key(settings::kRelay2), s.relay2},
        {kDigits, s.flags.digits >= 1 && s.flags.digits <= int(settings::kDigitCounts.size())
                      ? QJsonValue(settings::kDigitCounts[std::size_t(s.flags.digits - 1)])
                      : QJsonValue(QJsonValue::Null)},
        {kDisplay, nameOrNull(kDisplayNames, s.flags.mode)},
        {kSuppression, nameOrNull(kSuppressionNames, s.flags.suppress)},
        {key(settings::kStopThreshold), s.stopThreshold},
    };
}

std::optional<memmap::RateSettings> parseParameters(const QByteArray& text, QString& error) {
    if (text.size() > kLargestFile) {
        error =
            QStringLiteral("fichier trop volumineux : plus de %1 octets (1 Mio)").arg(kLargestFile);
        return std::nullopt;
    }
    // A UTF-8 byte-order mark at the start is skipped by the parser, and by duplicateKey.
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // Qt's own text of the error is English: the place says enough to find it.
        error =
            QStringLiteral("pas un fichier JSON (erreur au caractère %1)").arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("le fichier doit contenir un seul objet JSON { ... }");
        return std::nullopt;
    }
    if (const auto twice = duplicateKey(text)) {
        error = QStringLiteral("champ \"%1\" donné deux fois").arg(*twice);
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!kKeys.contains(it.key())) {
            error = QStringLiteral("champ inconnu \"%1\" ; champs permis : %2")
                        .arg(it.key(), quoted(kKeys));
            return std::nullopt;
        }
    }
    for (const QString& key : kKeys) {
        if (!o.contains(key)) {
            error = QStringLiteral("champ \"%1\" manquant ; champs attendus : %2")
                        .arg(key, quoted(kKeys));
            return std::nullopt;
        }
    }

    Checker c;
    memmap::RateSettings s;
    // Every range holds at least kRangeGap values, the last one too (it ends at kLastValue): each
    // bound leaves room for the ranges after it, so no range comes out empty or upside down.
    const auto highest = [](int bound) {
        return kLastValue - settings::kRangeGap * (settings::kRanges - bound);
    };
    const settings::Numeric& firstBound = settings::kRangeBounds[0];
    if (const auto first = c.integer(kFirstBound, o[kFirstBound], firstBound.minimum,
                                     std::min(firstBound.maximum, highest(0))))
        s.ranges[0].slider = static_cast<int>(*first);
    const QJsonValue rangesValue = o[kRanges];
    if (!c.failed() &&
        (!rangesValue.isArray() || rangesValue.toArray().size() != settings::kRanges))
        c.fail(kRanges, rangesValue,
               QStringLiteral("une liste de 5 objets {\"end\": N, \"colour\": C}"));
    for (int k = 0; k < settings::kRanges && !c.failed(); ++k) {
        const QString field = QStringLiteral("ranges[%1]").arg(k);
        const QJsonValue rv = rangesValue.toArray().at(k);
        const QJsonObject r = rv.toObject();
        const QStringList rangeKeys = {QStringLiteral("end"), QStringLiteral("colour")};
        if (!rv.isObject() || r.size() != 2 || !r.contains(rangeKeys[0]) ||
            !r.contains(rangeKeys[1])) {
            c.fail(field, rv, QStringLiteral("un objet {\"end\": N, \"colour\": C}"));
            break;
        }
        if (const auto colourIndex =
                c.oneOf(field + QStringLiteral(".colour"), r[QStringLiteral("colour")],
                        settings::kColourNames, false))
            s.ranges[static_cast<std::size_t>(k)].colour =
                settings::kColourNumbers[static_cast<std::size_t>(*colourIndex - 1)];
        const settings::Numeric& bound = settings::kRangeBounds[static_cast<std::size_t>(k + 1)];
        const QString endField = QLatin1String(bound.key);
        if (k == settings::kRanges - 1) {
            c.integer(endField, r[QStringLiteral("end")], kLastValue, kLastValue);
        } else {
            // The window's range check: each end at least kRangeGap above the bound before it.
            const int low = s.ranges[static_cast<std::size_t>(k)].slider + settings::kRangeGap;
            if (const auto end =
                    c.integer(endField, r[QStringLiteral("end")], std::max(low, bound.minimum),
                              std::min(bound.maximum, highest(k + 1))))
                s.ranges[static_cast<std::size_t>(k + 1)].slider = static_cast<int>(*end);
        }
    }
    if (const auto b = c.oneOf(kBrightness, o[kBrightness], kBrightnessNames, true))
        s.brightnessOption = *b;
    if (const auto a = c.powerOfTwo(settings::kAveraging1, o[key(settings::kAveraging1)]))
        s.averaging1 = *a;
    if (const auto a = c.powerOfTwo(settings::kAveraging2, o[key(settings::kAveraging2)]))
        s.averaging2 = *a;
    const QJsonValue tb = o[kTimeBase];
    if (tb.isString() && kTimeBaseNames.contains(tb.toString())) {
        s.timeBase =
            memmap::kTimeBaseStored[static_cast<std::size_t>(kTimeBaseNames.indexOf(tb.toString()))]
                .toUInt();
    } else if (!tb.isDouble()) {
        c.fail(kTimeBase, tb,
               quoted(kTimeBaseNames) + QStringLiteral(" ou ") +
                   settings::allowedText(settings::kTimeBaseMinimum, settings::kTimeBaseMaximum));
    } else if (const auto n = c.integer(kTimeBase, tb, settings::kTimeBaseMinimum,
                                        settings::kTimeBaseMaximum)) {
        s.timeBase = static_cast<quint32>(*n);
    }
    if (const auto v = c.numeric(settings::kAntiBounce, o[key(settings::kAntiBounce)]))
        s.antiBounce = *v;
    if (const auto v = c.numeric(settings::kRelay1, o[key(settings::kRelay1)])) s.relay1 = *v;
    if (const auto v = c.numeric(settings::kRelay2, o[key(settings::kRelay2)])) s.relay2 = *v;
    const QJsonValue digits = o[kDigits];
    if (digits.isNull())
        s.flags.digits = 0;
    else if (const auto d = c.oneOfNumbers(
                 kDigits, digits,
                 QList<int>(settings::kDigitCounts.begin(), settings::kDigitCounts.end()), true))
        s.flags.digits = *d + 1;
    if (const auto m = c.oneOf(kDisplay, o[kDisplay], kDisplayNames, true)) s.flags.mode = *m;
    if (const auto z = c.oneOf(kSuppression, o[kSuppression], kSuppressionNames, true))
        s.flags.suppress = *z;
    if (const auto v = c.numeric(settings::kStopThreshold, o[key(settings::kStopThreshold)]))
        s.stopThreshold = *v;

    if (c.failed()) {
        error = c.error();
        return std::nullopt;
    }
    return s;
}

QString parametersText(const memmap::RateSettings& s) {
    QStringList lines;
    int start = 0;
    for (int k = 0; k < settings::kRanges; ++k) {
        const int end = k < settings::kRanges - 1 ? s.ranges[static_cast<std::size_t>(k + 1)].slider
                                                  : kLastValue;
        lines << QStringLiteral("Plage %1 : de %2 à %3, %4")
                     .arg(k + 1)
                     .arg(start)
                     .arg(end)
                     .arg(colourName(s.ranges[static_cast<std::size_t>(k)].colour));
        start = end + 1;
    }
    const QJsonObject j = parametersJson(s);
    const auto text = [](const QJsonValue& v) {
        if (v.isNull()) return QStringLiteral("aucun");
        if (v.isString()) return v.toString();
        return QString::number(v.toInteger());
    };
    const auto line = [&lines](const char* name, const QString& value) {
        lines << label(name) + QStringLiteral(" : ") + value;
    };
    line(settings::kTimeBaseLabel,
         QStringLiteral("%1 (%2)").arg(text(j[kTimeBase])).arg(s.timeBase));
    line(settings::kStopThreshold.label, QString::number(s.stopThreshold));
    line(settings::kAveraging1.label, QString::number(1 << s.averaging1));
    line(settings::kAveraging2.label, QString::number(1 << s.averaging2));
    // With the system's decimal separator, as the window's caption writes it.
    line(settings::kAntiBounce.label,
         QLocale().toString(s.antiBounce / 10.0, 'f', QLocale::FloatingPointShortest) +
             QStringLiteral(" mS"));
    line(settings::kRelay1.label, QString::number(s.relay1));
    line(settings::kRelay2.label, QString::number(s.relay2));
    line(settings::kDigitsLabel, text(j[kDigits]));
    line(settings::kDisplayLabel, text(j[kDisplay]));
    line(settings::kSuppressionLabel, text(j[kSuppression]));
    line(settings::kBrightnessLabel,
         j[kBrightness].isNull() ? QStringLiteral("aucune") : text(j[kBrightness]));
    line(settings::kRangeBounds[0].label, QString::number(s.ranges[0].slider));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace veq::paramfile
