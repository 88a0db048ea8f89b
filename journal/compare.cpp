#include "journal/compare.h"

#include <algorithm>
#include <map>
#include <set>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "journal/known.h"
#include "panelmem/grid.h"
#include "panelmem/paramfile.h"
#include "panelmem/settings.h"

namespace veq::journal {

namespace {

constexpr int kRateFirst = 96;
constexpr int kRateLast = 124;
constexpr int kBrightnessFirst = 60;
constexpr int kBrightnessLast = 62;

QString valueText(const QJsonValue& v) {
    if (v.isNull() || v.isUndefined()) return QStringLiteral("aucun");
    if (v.isString()) return v.toString();
    return QString::number(v.toInteger());
}

// One setting: where the file has it, its label and the addresses that hold it.
struct Field {
    QString key;
    QString label;
    QJsonValue (*value)(const QJsonObject& file, int index);
    int index;
    std::vector<int> addresses;
};

QJsonValue top(const QJsonObject& file, int index) {
    return file[settings::kParameterKeys.at(index)];
}
QJsonValue rangeEnd(const QJsonObject& file, int k) {
    return file[QLatin1String(settings::kRangesKey)].toArray().at(k).toObject()[QStringLiteral(
        "end")];
}
QJsonValue rangeColour(const QJsonObject& file, int k) {
    return file[QLatin1String(settings::kRangesKey)].toArray().at(k).toObject()[QStringLiteral(
        "colour")];
}

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

int keyIndex(const char* key) {
    return static_cast<int>(settings::kParameterKeys.indexOf(QLatin1String(key)));
}

// The settings of the file, in its order, with the addresses the memory map gives them.
std::vector<Field> rateFields() {
    using namespace settings;
    std::vector<Field> f;
    for (int k = 0; k < kRanges; ++k) {
        const Numeric& end = kRangeBounds[static_cast<std::size_t>(k + 1)];
        // The end of range k is the bound stored with range k + 1; the last one is fixed.
        std::vector<int> endAt;
        if (k + 1 < kRanges) endAt = {96 + 2 * (k + 1), 97 + 2 * (k + 1)};
        f.push_back({QLatin1String(end.key), text(end.label), rangeEnd, k, endAt});
        f.push_back({QStringLiteral("ranges[%1].colour").arg(k),
                     QStringLiteral("Couleur de la plage %1").arg(k + 1),
                     rangeColour,
                     k,
                     {96 + 2 * k, 97 + 2 * k}});
    }
    const auto add = [&f](const char* key, const char* label, std::vector<int> at) {
        f.push_back({QLatin1String(key), text(label), top, keyIndex(key), std::move(at)});
    };
    add(kRangeBounds[0].key, kRangeBounds[0].label, {96, 97});
    add(kBrightnessKey, kBrightnessLabel, {108});
    add(kAveraging1.key, kAveraging1.label, {112});
    add(kAveraging2.key, kAveraging2.label, {111});
    add(kTimeBaseKey, kTimeBaseLabel, {113, 114, 115, 116});
    add(kAntiBounce.key, kAntiBounce.label, {117});
    add(kRelay1.key, kRelay1.label, {118, 119});
    add(kRelay2.key, kRelay2.label, {120, 121});
    add(kDigitsKey, kDigitsLabel, {122});
    add(kDisplayKey, kDisplayLabel, {122});
    add(kSuppressionKey, kSuppressionLabel, {122});
    add(kStopThreshold.key, kStopThreshold.label, {123, 124});
    return f;
}

QString byteText(int address, int byte) {
    return QStringLiteral("octet %1h = %2, hors de sa table")
        .arg(memmap::hexDigits(address, 2), memmap::hexDigits(byte, 2));
}

QVector<Difference> compare(const memmap::RateSettings& panel, const memmap::RateSettings& other,
                            std::set<int>* covered) {
    const QJsonObject a = paramfile::parametersJson(panel);
    const QJsonObject b = paramfile::parametersJson(other);
    QVector<Difference> out;
    for (const Field& f : rateFields()) {
        const QJsonValue va = f.value(a, f.index);
        const QJsonValue vb = f.value(b, f.index);
        if (va == vb) continue;
        out.push_back({f.key, f.label, valueText(va), valueText(vb)});
        if (covered) covered->insert(f.addresses.begin(), f.addresses.end());
    }
    return out;
}

QString modeText(const std::optional<int>& option) {
    if (!option || *option < 0 || *option >= settings::kBrightnessModes.size())
        return QStringLiteral("aucun");
    return settings::kBrightnessModes.at(*option);
}

}  // namespace

QVector<OffTable> offTable(const QByteArray& bytes) {
    QVector<OffTable> out;
    if (bytes.size() < kRateLast - kRateFirst + 1) return out;
    MemoryGrid held;
    held.putBytes(kRateFirst, bytes);
    MemoryGrid again = held;
    memmap::encodeRate(memmap::settingsFromMemory(held), again);
    const std::vector<Field> fields = rateFields();
    for (int address = kRateFirst; address <= kRateLast; ++address) {
        const auto byte = static_cast<unsigned char>(bytes[address - kRateFirst]);
        if (again.byte(address) == byte) continue;
        bool named = false;
        for (const Field& f : fields) {
            if (std::find(f.addresses.begin(), f.addresses.end(), address) == f.addresses.end())
                continue;
            named = true;
            // A range word holds a colour and a bound: each setting is named once.
            if (std::none_of(out.begin(), out.end(),
                             [&](const OffTable& o) { return o.key == f.key; }))
                out.push_back({f.key, f.label, address, byte});
        }
        if (!named) {
            const QString at = memmap::hexDigits(address, 2) + QLatin1Char('h');
            out.push_back({at, QStringLiteral("Octet ") + at, address, byte});
        }
    }
    return out;
}

QString offTableText(const OffTable& o) {
    const QString name =
        o.label.endsWith(o.key) ? o.label : QStringLiteral("%1 (%2)").arg(o.label, o.key);
    return QStringLiteral("%1 : %2").arg(name, byteText(o.address, o.byte));
}

QVector<Difference> compareSettings(const memmap::RateSettings& panel,
                                    const memmap::RateSettings& other) {
    return compare(panel, other, nullptr);
}

QVector<Difference> compareMemories(const QByteArray& panel, const QByteArray& other, int from) {
    const int to = from + static_cast<int>(std::min(panel.size(), other.size())) - 1;
    MemoryGrid ga;
    MemoryGrid gb;
    ga.putBytes(from, panel);
    gb.putBytes(from, other);
    QVector<Difference> out;
    std::set<int> covered;
    if (from <= kBrightnessFirst && to >= kBrightnessLast) {
        const memmap::BrightnessReading a = memmap::decodeBrightness(ga);
        const memmap::BrightnessReading b = memmap::decodeBrightness(gb);
        if (modeText(a.option) != modeText(b.option)) {
            out.push_back({QStringLiteral("mode"), text(settings::kModeLabel), modeText(a.option),
                           modeText(b.option)});
            covered.insert(60);
        }
        for (const auto& [n, address, va, vb] :
             {std::tuple{&settings::kSwitchPeriod, 61, a.period, b.period},
              std::tuple{&settings::kSwitchThreshold, 62, a.threshold, b.threshold}}) {
            if (va == vb) continue;
            out.push_back(
                {QLatin1String(n->key), text(n->label), QString::number(va), QString::number(vb)});
            covered.insert(address);
        }
    }
    if (from <= kRateFirst && to >= kRateLast)
        out += compare(memmap::settingsFromMemory(ga), memmap::settingsFromMemory(gb), &covered);
    for (int address = from; address <= to; ++address) {
        const auto x = static_cast<unsigned char>(panel[address - from]);
        const auto y = static_cast<unsigned char>(other[address - from]);
        if (x == y || covered.count(address)) continue;
        const QString at = memmap::hexDigits(address, 2) + QLatin1Char('h');
        out.push_back(
            {at, QStringLiteral("Octet ") + at, memmap::hexDigits(x, 2), memmap::hexDigits(y, 2)});
    }
    return out;
}

}  // namespace veq::journal
