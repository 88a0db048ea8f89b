// Any byte stream on the simulated panel's line, cut anywhere: the parser finds only whole
// frames and the panel's memory stays 128 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "panelsim/model/panel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veq::sim::Panel panel;
    veq::sim::FrameParser parser;
    std::size_t at = 0;
    while (at < size) {
        // The first byte of each piece says how long the piece is.
        const std::size_t n = std::min<std::size_t>(size - at, 1 + data[at] % 32);
        const QByteArray piece(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n));
        for (const auto& f : parser.feed(piece)) {
            if (f.command.size() != 3) std::abort();
        }
        panel.receive(piece);
        at += n;
    }
    return 0;
}
