#include "panelmem/grid.h"

#include "panelmem/memmap.h"

namespace veq {

namespace {

// The byte a text is drawn from: exactly two upper-case hexadecimal digits, as a byte is shown.
std::optional<quint8> drawnByte(const QString& text) {
    if (text.size() != 2) return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F'))) return std::nullopt;
        value = value * 16 + memmap::hexDigit(c);
    }
    return static_cast<quint8>(value);
}

}  // namespace

int stateColour(CellState state) {
    switch (state) {
        case CellState::Transferred:
            return colour::kGreen;
        case CellState::Failed:
            return colour::kRed;
        case CellState::Idle:
            break;
    }
    return colour::kWhite;
}

std::optional<int> byteToSend(const QString& text) {
    int value = 0;
    int digits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) continue;
        const int d = memmap::hexDigit(c);
        if (d < 0 || ++digits > 2) return std::nullopt;
        value = value * 16 + d;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

MemoryGrid::MemoryGrid() {
    at(kFillCell).text = QStringLiteral("0");
}

void MemoryGrid::hold(Cell& cell, const QString& text) {
    cell.byte = drawnByte(text);
    cell.text = cell.byte ? QString() : text;
}

void MemoryGrid::paint(Cell& cell, CellState state) {
    cell.state = state;
    cell.otherColour.reset();
}

QString MemoryGrid::text(int index) const {
    if (!valid(index)) return {};
    const Cell& c = at(index);
    return c.byte ? memmap::hexDigits(*c.byte, 2) : c.text;
}

int MemoryGrid::colour(int index) const {
    if (!valid(index)) return colour::kWhite;
    const Cell& c = at(index);
    return c.otherColour.value_or(stateColour(c.state));
}

CellState MemoryGrid::state(int index) const {
    return valid(index) ? at(index).state : CellState::Idle;
}

std::optional<quint8> MemoryGrid::heldByte(int index) const {
    return valid(index) ? at(index).byte : std::nullopt;
}

std::optional<quint8> MemoryGrid::byte(int index) const {
    if (!valid(index)) return std::nullopt;
    const Cell& c = at(index);
    if (c.byte) return c.byte;
    if (const std::optional<int> b = byteToSend(c.text)) return static_cast<quint8>(*b);
    return std::nullopt;
}

std::optional<QByteArray> MemoryGrid::bytes(int from, int to) const {
    QByteArray out;
    for (int a = from; a <= to; ++a) {
        const std::optional<quint8> b = byte(a);
        if (!b) return std::nullopt;
        out.append(static_cast<char>(*b));
    }
    return out;
}

void MemoryGrid::setText(int index, const QString& text) {
    if (!valid(index)) return;
    hold(at(index), text);
    redraw(index);
}

void MemoryGrid::setColour(int index, int colour) {
    if (!valid(index)) return;
    Cell& c = at(index);
    if (colour == colour::kWhite)
        paint(c, CellState::Idle);
    else if (colour == colour::kGreen)
        paint(c, CellState::Transferred);
    else if (colour == colour::kRed)
        paint(c, CellState::Failed);
    else
        c.otherColour = colour;
    redraw(index);
}

void MemoryGrid::set(int index, const QString& text, int colour) {
    if (!valid(index)) return;
    hold(at(index), text);
    setColour(index, colour);
}

void MemoryGrid::set(int index, const QString& text, CellState state) {
    if (!valid(index)) return;
    hold(at(index), text);
    setState(index, state);
}

void MemoryGrid::setByte(int index, quint8 byte) {
    if (!valid(index)) return;
    at(index).byte = byte;
    at(index).text.clear();
    redraw(index);
}

void MemoryGrid::setByte(int index, quint8 byte, CellState state) {
    if (!valid(index)) return;
    at(index).byte = byte;
    at(index).text.clear();
    setState(index, state);
}

void MemoryGrid::setState(int index, CellState state) {
    if (!valid(index)) return;
    paint(at(index), state);
    redraw(index);
}

void MemoryGrid::putBytes(int from, const QByteArray& bytes) {
    for (int k = 0; k < bytes.size(); ++k) setByte(from + k, static_cast<quint8>(bytes[k]));
}

void MemoryGrid::setTypedText(int index, const QString& text) {
    if (valid(index)) hold(at(index), text);
}

void MemoryGrid::redraw(int index) const {
    if (redraw_ && valid(index)) redraw_(index);
}

void MemoryGrid::fill() {
    const Cell& value = at(kFillCell);
    for (int i = 0; i < kBytes; ++i) {
        at(i).byte = value.byte;
        at(i).text = value.text;
    }
    for (int i = 0; i < kBytes; ++i) setState(i, CellState::Idle);
}

void MemoryGrid::addressPattern() {
    for (int i = 0; i < kBytes; ++i) hold(at(i), QString::number(i, 16).toUpper());
    for (int i = 0; i < kBytes; ++i) setState(i, CellState::Idle);
}

}  // namespace veq
