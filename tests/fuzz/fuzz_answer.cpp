// A panel answer of any length and content, taken by each of the reads and writes of the three
// windows: the grid must come out either filled with bytes from the answer or marked failed,
// never broken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "panelmem/transfer.h"
#include "panelsim/model/simport.h"

using namespace veq;

namespace {

// Stays silent until the last frame before the answer is awaited ("X6X" of a read, the last
// "WWW" of a write), then answers the whole of the fuzzer's bytes at once.
struct Replay : sim::Device {
    QByteArray answer;
    int pages = 0;
    int wwwSeen = 0;
    sim::FrameParser parser;
    QByteArray receive(const QByteArray& bytes) override {
        QByteArray out;
        for (const sim::ParsedFrame& f : parser.feed(bytes)) {
            if (f.command == "X6X" || (f.command == "WWW" && ++wwwSeen == pages)) out += answer;
        }
        return out;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const TransferProfile* profiles[] = {&kRateTransfer, &kBrightnessTransfer,
                                         &kMicroswitchTransfer};
    const TransferProfile& profile = *profiles[data[0] % 3];
    const bool write = (data[0] / 3) % 2 == 1;

    ManualClock clock(100.0, 0.01);
    sim::SimBus bus;
    auto device = std::make_shared<Replay>();
    device->answer =
        QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    device->pages = profile.byteCount / 16;
    bus.attach(1, device);
    sim::SimSerialPort port(bus, clock);
    port.setCommPort(1);
    port.open();
    Exchange ex(port, clock);

    MemoryGrid grid;
    grid.setRedrawHook([](int index) {
        if (index < 0 || index >= MemoryGrid::kCells) std::abort();
    });
    for (int a = 0; a < MemoryGrid::kBytes; ++a) grid.setText(a, QStringLiteral("A5"));

    const bool failed = write ? ECRIT_24C01(ex, grid, profile) : LIT_24C01(ex, grid, profile);

    for (int a = 0; a < MemoryGrid::kBytes; ++a) {
        const int c = grid.colour(a);
        if (c != colour::kGreen && c != colour::kRed && c != colour::kWhite) std::abort();
        if (grid.text(a).size() > 2) std::abort();
    }
    const int first = profile.firstAddress;
    if (failed && !(write && profile.writeConfirm == 0) && grid.text(first) != "Er") std::abort();
    if (!failed && grid.colour(first) != colour::kGreen) std::abort();
    // A read that succeeds has taken two hexadecimal digits for every byte.
    if (!failed && !write)
        for (int a = first; a < first + profile.byteCount; ++a)
            if (grid.text(a).size() != 2 || !byteToSend(grid.text(a))) std::abort();
    return 0;
}
