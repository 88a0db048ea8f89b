// Any texts in the grid cells: the value rule, the field decoders and the choice of what a write
// would send must accept them all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QList>

#include "panelmem/memmap.h"
#include "panelmem/transfer.h"

using namespace veq;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is split into cell texts at every 0xFF byte, read as UTF-8.
    MemoryGrid grid;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> texts = bytes.split('\xff');
    for (int i = 0; i < texts.size() && i < MemoryGrid::kCells; ++i) {
        // Spread the texts over the interesting addresses first, then the rest.
        grid.setText((60 + i) % MemoryGrid::kBytes, QString::fromUtf8(texts[i]));
    }
    const qint32 v = memmap::hexValue(QString::fromUtf8(bytes));
    (void)v;
    const memmap::RateReading rate = memmap::decodeRate(grid);
    if (rate.timeBaseChoice < 0 || rate.timeBaseChoice > 3) std::abort();
    (void)memmap::isBlank(grid);
    (void)memmap::blankBrightnessOption(grid);
    const memmap::BrightnessReading lum = memmap::decodeBrightness(grid);
    if (lum.option && (*lum.option < 0 || *lum.option > 6)) std::abort();
    (void)memmap::decodeSwitches(grid);
    for (int a = 0; a < MemoryGrid::kBytes; ++a) {
        const auto b = byteToSend(grid.text(a));
        if (b && (*b < 0 || *b > 255)) std::abort();
    }
    (void)memmap::parseTimeBaseText(QString::fromUtf8(bytes));
    return 0;
}
