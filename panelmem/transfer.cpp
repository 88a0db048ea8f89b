#include "panelmem/transfer.h"

#include "panelmem/memmap.h"

#include <vector>

namespace veq {

namespace {

constexpr int kPage = 16;
// The answer to byte k of a read starts at 1-based position 24 + 6k.
constexpr int kFirstBytePosition = 24;
constexpr int kBytePitch = 6;

void markAllFailed(MemoryGrid& grid) {
    for (int i = 0; i < MemoryGrid::kBytes; ++i) grid.markFailed(i);
}

void stateAll(MemoryGrid& grid, CellState state) {
    for (int i = 0; i < MemoryGrid::kBytes; ++i) grid.setState(i, state);
}

// The opening of every transfer: the wake-up frame(s), the settle wait, then nothing but the
// answers to what follows is left in the receive buffer.
void open(Exchange& ex, Prefix prefix, int burst) {
    ex.send(prefix, "SSS", burst);
    ex.settle();
    ex.flush();
}

// The two characters the panel gives for byte k, when they are two hexadecimal digits where its
// answer puts them; otherwise the answer is out of step (a character too many or too few, a late
// answer in front) or garbled, and none of its bytes can be trusted.
std::optional<QString> byteInAnswer(const QByteArray& answer, int k) {
    const QByteArray two = answer.mid(kFirstBytePosition - 1 + kBytePitch * k, 2);
    if (two.size() != 2) return std::nullopt;
    for (const char c : two)
        if (memmap::hexDigit(QLatin1Char(c)) < 0) return std::nullopt;
    return QString::fromLatin1(two);
}

// Why a reply wait ended without the answer, from what it saw.
Outcome answerOutcome(Exchange& ex, const Reply& reply, int expected) {
    const int received = static_cast<int>(reply.text.size());
    // A device gone in the middle of the frames also breaks the exchange: the port closed says so.
    if (!ex.port().isOpen()) return {ex.port().lossCause(), received, expected};
    if (ex.broken()) return {Cause::LineStalled, received, expected};
    if (received == 0) return {Cause::NoAnswer, 0, expected};
    if (received < expected) return {Cause::Incomplete, received, expected};
    return {Cause::Unexpected, received, expected};
}

}  // namespace

Outcome readMemory(Exchange& ex, MemoryGrid& grid, const TransferProfile& p) {
    if (p.prepareGrid)
        for (int i = 0; i < MemoryGrid::kBytes; ++i) grid.markCleared(i);

    const Prefix x = p.readPrefix;
    open(ex, x, p.readOpening);
    ex.send(x, "SSS");
    ex.send(x, "ZA0");
    ex.send(x, byteCommand(p.firstAddress));
    ex.send(x, "ZA1");
    for (int k = 0; k < p.byteCount && !ex.broken(); ++k) {
        ex.send(x, "X1X");
        if (p.markEachByte) {
            grid.markPending(p.firstAddress + k);
            ex.interFrame();
        }
    }
    ex.send(x, "X6X");
    if (p.readEndsWithRRR) ex.send(x, "RRR");

    // A line that refused a frame ends the read at once (the wait returns as a time-out).
    const Reply reply = ex.replyWait(Compare::Greater, p.readAbove);
    std::vector<QString> bytes;
    for (int k = 0; k < p.byteCount && !reply.timedOut; ++k) {
        const std::optional<QString> b = byteInAnswer(reply.text, k);
        if (!b) break;
        bytes.push_back(*b);
    }
    if (bytes.size() != static_cast<std::size_t>(p.byteCount)) {
        markAllFailed(grid);
        if (!reply.timedOut)
            return {Cause::Unexpected, static_cast<int>(reply.text.size()), p.readAbove + 1};
        return answerOutcome(ex, reply, p.readAbove + 1);
    }
    for (int k = 0; k < p.byteCount; ++k)
        grid.set(p.firstAddress + k, bytes[static_cast<std::size_t>(k)], CellState::Transferred);
    return {Cause::Done, static_cast<int>(reply.text.size()), p.readAbove + 1};
}

Outcome writeMemory(Exchange& ex, MemoryGrid& grid, const TransferProfile& p) {
    if (p.writeConfirm <= 0) return {Cause::NotSent};

    // Every byte is checked before the first frame: a write never starts half-way.
    std::vector<quint8> bytes;
    std::vector<int> refused;
    for (int k = 0; k < p.byteCount; ++k) {
        const std::optional<quint8> b = grid.byte(p.firstAddress + k);
        if (b)
            bytes.push_back(*b);
        else
            refused.push_back(p.firstAddress + k);
    }
    if (!refused.empty()) {
        std::size_t next = 0;
        for (int i = 0; i < MemoryGrid::kBytes; ++i) {
            const bool bad = next < refused.size() && refused[next] == i;
            if (bad) ++next;
            grid.setState(i, bad ? CellState::Failed : CellState::Idle);
        }
        return {Cause::NotSent};
    }

    if (p.prepareGrid) stateAll(grid, CellState::Idle);
    const Prefix x = p.writePrefix;
    open(ex, x, p.writeOpening);
    for (int page = 0; page < p.byteCount && !ex.broken(); page += kPage) {
        ex.send(x, "SSS");
        ex.send(x, "ZA0");
        ex.send(x, byteCommand(p.firstAddress + page));
        for (int k = page; k < page + kPage && k < p.byteCount && !ex.broken(); ++k) {
            ex.send(x, byteCommand(bytes[static_cast<std::size_t>(k)]));
            if (p.markEachByte) {
                grid.setState(p.firstAddress + k, CellState::Transferred);
                ex.interFrame();
            }
        }
        ex.send(x, "WWW");
    }

    const Reply reply = ex.replyWait(Compare::Equal, p.writeConfirm);
    if (reply.timedOut) {
        markAllFailed(grid);
        return answerOutcome(ex, reply, p.writeConfirm);
    }
    stateAll(grid, CellState::Transferred);
    return {Cause::Done, p.writeConfirm, p.writeConfirm};
}

}  // namespace veq
