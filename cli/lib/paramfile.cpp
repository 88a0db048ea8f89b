#include "cli/lib/paramfile.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

namespace veq::cli {

namespace {

const QString kRanges = QStringLiteral("ranges");
const QString kFirstBound = QStringLiteral("first_bound");
const QString kBrightness = QStringLiteral("brightness");
const QString kAveraging1 = QStringLiteral("averaging_1");
const QString kAveraging2 = QStringLiteral("averaging_2");
const QString kTimeBase = QStringLiteral("time_base");
const QString kAntiBounce = QStringLiteral("anti_bounce");
const QString kRelay1 = QStringLiteral("relay_1");
const QString kRelay2 = QStringLiteral("relay_2");
const QString kDigits = QStringLiteral("digits");
const QString kDisplay = QStringLiteral("display");
const QString kSuppression = QStringLiteral("zero_suppression");
const QString kStopThreshold = QStringLiteral("stop_threshold");

const QStringList kKeys = {kRanges,   kFirstBound,  kBrightness,   kAveraging1, kAveraging2,
                           kTimeBase, kAntiBounce,  kRelay1,       kRelay2,     kDigits,
                           kDisplay,  kSuppression, kStopThreshold};

constexpr int kBrightnessAt = 0x6C;  // the third signature character, or the brightness code
constexpr int kLastValue = 9999;     // the display's last value, where range 5 ends
constexpr qint64 kTimeBaseMax = 2147483647;

// Option1(1..5) of the parameter window.
const QStringList kBrightnessNames = {QStringLiteral("100%"), QStringLiteral("80%"),
                                      QStringLiteral("60%"), QStringLiteral("50%"),
                                      QStringLiteral("40%")};
// Option2(0..2).
const QStringList kTimeBaseNames = {QStringLiteral("heure"), QStringLiteral("minute"),
                                    QStringLiteral("seconde")};
const QStringList kDisplayNames = {QStringLiteral("entier"), QStringLiteral("décimal")};
const QStringList kSuppressionNames = {QStringLiteral("oui"), QStringLiteral("non")};

QString colourName(int colour) {
    if (colour == colour::kRed) return QStringLiteral("rouge");
    if (colour == colour::kGreen) return QStringLiteral("vert");
    return QStringLiteral("orange");
}

QString quoted(const QStringList& names) {
    QStringList q;
    for (const QString& n : names) q << QLatin1Char('"') + n + QLatin1Char('"');
    return q.join(QStringLiteral(", "));
}

QJsonValue nameOrNull(const QStringList& names, int index) {
    if (index < 1 || index > names.size()) return QJsonValue::Null;
    return names.at(index - 1);
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
        const QString allowed = QStringLiteral("un nombre entier de %1 à %2").arg(low).arg(high);
        if (!v.isDouble() || std::floor(v.toDouble()) != v.toDouble() ||
            v.toDouble() < static_cast<double>(low) || v.toDouble() > static_cast<double>(high)) {
            fail(field, v, allowed);
            return std::nullopt;
        }
        return static_cast<qint64>(v.toDouble());
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
        fail(field, v, quoted(names) + (nullable ? QStringLiteral(" ou null") : QString()));
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

memmap::RateSettings settingsFromMemory(const MemoryGrid& grid) {
    const memmap::RateReading r = memmap::decodeRate(grid);
    memmap::RateSettings s;
    s.ranges = r.ranges;
    // 6Ch holds "K" unless programming chose a brightness, whose code then stands there: only
    // the five codes are brightnesses ("4B" has the bits of two of them).
    const qint32 at6C = memmap::cellValue(grid, kBrightnessAt);
    s.brightnessOption = 0;
    for (int k = 1; k <= kBrightnessNames.size(); ++k)
        if (memmap::hexValue(memmap::brightnessCode(k)) == at6C) s.brightnessOption = k;
    if (r.averaging2) s.averaging2 = *r.averaging2;
    if (r.averaging1) s.averaging1 = *r.averaging1;
    s.timeBase = static_cast<quint32>(r.timeBase);
    s.antiBounce = r.antiBounce;
    s.relay1 = r.relay1;
    s.relay2 = r.relay2;
    s.flags = r.flags;
    s.stopThreshold = r.stopThreshold;
    return s;
}

QJsonObject parametersJson(const memmap::RateSettings& s) {
    QJsonArray ranges;
    for (int k = 0; k < 5; ++k) {
        const int end = k < 4 ? s.ranges[static_cast<std::size_t>(k + 1)].slider : kLastValue;
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
        {kAveraging1, 1 << s.averaging1},
        {kAveraging2, 1 << s.averaging2},
        {kTimeBase, timeBase},
        {kAntiBounce, s.antiBounce},
        {kRelay1, s.relay1},
        {kRelay2, s.relay2},
        {kDigits, s.flags.digits >= 1 && s.flags.digits <= 3 ? QJsonValue(s.flags.digits + 1)
                                                             : QJsonValue(QJsonValue::Null)},
        {kDisplay, nameOrNull(kDisplayNames, s.flags.mode)},
        {kSuppression, nameOrNull(kSuppressionNames, s.flags.suppress)},
        {kStopThreshold, s.stopThreshold},
    };
}

std::optional<memmap::RateSettings> parseParameters(const QByteArray& text, QString& error) {
    // A UTF-8 byte-order mark at the start is skipped by the parser, and by duplicateKey.
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("pas un fichier JSON (%1, caractère %2)")
                    .arg(parseError.errorString())
                    .arg(parseError.offset);
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
    const QStringList colours = {QStringLiteral("rouge"), QStringLiteral("vert"),
                                 QStringLiteral("orange")};
    const int colourNumbers[3] = {colour::kRed, colour::kGreen, colour::kOrange};

    if (const auto first = c.integer(kFirstBound, o[kFirstBound], 0, kLastValue))
        s.ranges[0].slider = static_cast<int>(*first);
    const QJsonValue rangesValue = o[kRanges];
    if (!c.failed() && (!rangesValue.isArray() || rangesValue.toArray().size() != 5))
        c.fail(kRanges, rangesValue,
               QStringLiteral("une liste de 5 objets {\"end\": N, \"colour\": C}"));
    for (int k = 0; k < 5 && !c.failed(); ++k) {
        const QString field = QStringLiteral("ranges[%1]").arg(k);
        const QJsonValue rv = rangesValue.toArray().at(k);
        const QJsonObject r = rv.toObject();
        const QStringList rangeKeys = {QStringLiteral("end"), QStringLiteral("colour")};
        if (!rv.isObject() || r.size() != 2 || !r.contains(rangeKeys[0]) ||
            !r.contains(rangeKeys[1])) {
            c.fail(field, rv, QStringLiteral("un objet {\"end\": N, \"colour\": C}"));
            break;
        }
        if (const auto colourIndex = c.oneOf(field + QStringLiteral(".colour"),
                                             r[QStringLiteral("colour")], colours, false))
            s.ranges[static_cast<std::size_t>(k)].colour = colourNumbers[*colourIndex - 1];
        const QString endField = field + QStringLiteral(".end");
        if (k == 4) {
            c.integer(endField, r[QStringLiteral("end")], kLastValue, kLastValue);
        } else {
            // The window's range check: each end at least 2 above the bound before it.
            const int low = s.ranges[static_cast<std::size_t>(k)].slider + 2;
            if (const auto end =
                    c.integer(endField, r[QStringLiteral("end")], std::max(low, 1), kLastValue))
                s.ranges[static_cast<std::size_t>(k + 1)].slider = static_cast<int>(*end);
        }
    }
    if (const auto b = c.oneOf(kBrightness, o[kBrightness], kBrightnessNames, true))
        s.brightnessOption = *b;
    if (const auto a = c.oneOfNumbers(kAveraging1, o[kAveraging1], {1, 2, 4, 8})) s.averaging1 = *a;
    if (const auto a = c.oneOfNumbers(kAveraging2, o[kAveraging2], {1, 2, 4, 8, 16}))
        s.averaging2 = *a;
    const QJsonValue tb = o[kTimeBase];
    if (tb.isString() && kTimeBaseNames.contains(tb.toString())) {
        s.timeBase =
            memmap::kTimeBaseStored[static_cast<std::size_t>(kTimeBaseNames.indexOf(tb.toString()))]
                .toUInt();
    } else if (!tb.isDouble()) {
        c.fail(kTimeBase, tb,
               quoted(kTimeBaseNames) + QStringLiteral(" ou un nombre entier de 1 à 2147483647"));
    } else if (const auto n = c.integer(kTimeBase, tb, 1, kTimeBaseMax)) {
        s.timeBase = static_cast<quint32>(*n);
    }
    if (const auto v = c.integer(kAntiBounce, o[kAntiBounce], 0, 255))
        s.antiBounce = static_cast<int>(*v);
    if (const auto v = c.integer(kRelay1, o[kRelay1], 1, kLastValue))
        s.relay1 = static_cast<int>(*v);
    if (const auto v = c.integer(kRelay2, o[kRelay2], 1, kLastValue))
        s.relay2 = static_cast<int>(*v);
    const QJsonValue digits = o[kDigits];
    if (digits.isNull())
        s.flags.digits = 0;
    else if (const auto d = c.oneOfNumbers(kDigits, digits, {2, 3, 4}, true))
        s.flags.digits = *d + 1;
    if (const auto m = c.oneOf(kDisplay, o[kDisplay], kDisplayNames, true)) s.flags.mode = *m;
    if (const auto z = c.oneOf(kSuppression, o[kSuppression], kSuppressionNames, true))
        s.flags.suppress = *z;
    if (const auto v = c.integer(kStopThreshold, o[kStopThreshold], 3, 3600))
        s.stopThreshold = static_cast<int>(*v);

    if (c.failed()) {
        error = c.error();
        return std::nullopt;
    }
    return s;
}

QString parametersText(const memmap::RateSettings& s) {
    QStringList lines;
    int start = 0;
    for (int k = 0; k < 5; ++k) {
        const int end = k < 4 ? s.ranges[static_cast<std::size_t>(k + 1)].slider : kLastValue;
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
    lines << QStringLiteral("Base de temps : %1 (%2)").arg(text(j[kTimeBase])).arg(s.timeBase);
    lines << QStringLiteral("Seuil d'arrêt : %1").arg(s.stopThreshold);
    lines << QStringLiteral("Moyenne niveau 1 : %1").arg(1 << s.averaging1);
    lines << QStringLiteral("Moyenne niveau 2 : %1").arg(1 << s.averaging2);
    lines << QStringLiteral("Anti rebond numérique : %1 mS").arg(s.antiBounce / 10.0);
    lines << QStringLiteral("Relais 1 : %1").arg(s.relay1);
    lines << QStringLiteral("Relais 2 : %1").arg(s.relay2);
    lines << QStringLiteral("Nombre de digits : %1").arg(text(j[kDigits]));
    lines << QStringLiteral("Affichage : %1").arg(text(j[kDisplay]));
    lines << QStringLiteral("Suppression des zéros : %1").arg(text(j[kSuppression]));
    lines << QStringLiteral("Luminosité : %1")
                 .arg(j[kBrightness].isNull() ? QStringLiteral("aucune") : text(j[kBrightness]));
    lines << QStringLiteral("Premier curseur (caché) : %1").arg(s.ranges[0].slider);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace veq::cli
