// A parameter file of any bytes: the reader refuses it with a message, or gives settings that
// stay within every field's range, that the file written from them gives back unchanged, and that
// a programming of the memory then a read of it give back too ("params set", then "params get").
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QJsonDocument>

#include "panelmem/paramfile.h"

using namespace veq;

namespace {

bool same(const memmap::RateSettings& a, const memmap::RateSettings& b) {
    return a.ranges == b.ranges && a.brightnessOption == b.brightnessOption &&
           a.averaging2 == b.averaging2 && a.averaging1 == b.averaging1 &&
           a.timeBase == b.timeBase && a.antiBounce == b.antiBounce && a.relay1 == b.relay1 &&
           a.relay2 == b.relay2 && a.flags == b.flags && a.stopThreshold == b.stopThreshold;
}

bool within(qint64 v, qint64 low, qint64 high) {
    return v >= low && v <= high;
}

// What the file's fields allow, as the reader's header lists them: every range, the last one
// (to 9999) included, holds at least two values.
bool allowed(const memmap::RateSettings& s) {
    const int n = static_cast<int>(s.ranges.size());
    if (!within(s.ranges[0].slider, 0, 9999 - 2 * n)) return false;
    for (int k = 0; k < n; ++k) {
        const auto& r = s.ranges[static_cast<std::size_t>(k)];
        if (r.colour != colour::kRed && r.colour != colour::kGreen && r.colour != colour::kOrange)
            return false;
        if (k > 0 &&
            !within(r.slider, std::max(s.ranges[static_cast<std::size_t>(k - 1)].slider + 2, 1),
                    9999 - 2 * (n - k)))
            return false;
    }
    return within(s.brightnessOption, 0, 5) && within(s.averaging1, 0, memmap::kAveraging1Max) &&
           within(s.averaging2, 0, memmap::kAveraging2Max) && within(s.timeBase, 1, 2147483647) &&
           within(s.antiBounce, 0, 255) && within(s.relay1, 1, 9999) && within(s.relay2, 1, 9999) &&
           within(s.flags.digits, 0, 3) && within(s.flags.mode, 0, 2) &&
           within(s.flags.suppress, 0, 2) && within(s.stopThreshold, 3, 3600);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<memmap::RateSettings> s = paramfile::parseParameters(bytes, error);
    if (!s) {
        if (error.isEmpty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (!allowed(*s)) std::abort();

    // The file "params get" would write for them.
    const QByteArray written =
        QJsonDocument(paramfile::parametersJson(*s)).toJson(QJsonDocument::Indented);
    QString again;
    const std::optional<memmap::RateSettings> back = paramfile::parseParameters(written, again);
    if (!back || !same(*back, *s)) std::abort();

    // Programmed into the memory, then read back from it.
    MemoryGrid grid;
    memmap::encodeRate(*s, grid);
    if (!same(memmap::settingsFromMemory(grid), *s)) std::abort();
    return 0;
}
