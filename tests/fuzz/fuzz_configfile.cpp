// A whole configuration file, whatever its bytes: the reader takes lines 1 to 8 and never more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/configfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::array<int, veq::configfile::kListCount> counts = {12, 2, 4, 1, 2, 2, 2, 2};
    const std::vector<int> positions = veq::configfile::positions(bytes, counts);
    if (positions.size() > counts.size()) std::abort();
    for (std::size_t k = 0; k < positions.size(); ++k) {
        if (positions[k] < 0 || positions[k] >= counts[k]) std::abort();
    }
    return 0;
}
