#include "journal/known.h"

#include <algorithm>

namespace veq::journal {

void KnownBytes::remember(const QString& device, int from, const QByteArray& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int to = from + static_cast<int>(bytes.size()) - 1;
    for (auto& [key, held] : ranges_) {
        if (key.first != device) continue;
        const int heldTo = key.second + static_cast<int>(held.size()) - 1;
        for (int a = std::max(from, key.second); a <= std::min(to, heldTo); ++a)
            held[a - key.second] = bytes[a - from];
    }
    ranges_[{device, from}] = bytes;
}

void KnownBytes::forget(const QString& device, int from, int to) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = ranges_.begin(); it != ranges_.end();) {
        const int heldTo = it->first.second + static_cast<int>(it->second.size()) - 1;
        if (it->first.first == device && it->first.second <= to && heldTo >= from)
            it = ranges_.erase(it);
        else
            ++it;
    }
}

std::optional<QByteArray> KnownBytes::known(const QString& device, int from, int to) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, held] : ranges_) {
        const int heldTo = key.second + static_cast<int>(held.size()) - 1;
        if (key.first == device && key.second <= from && heldTo >= to)
            return held.mid(from - key.second, to - from + 1);
    }
    return std::nullopt;
}

KnownBytes& knownThisRun() {
    static KnownBytes known;
    return known;
}

}  // namespace veq::journal
