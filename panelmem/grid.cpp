#include "panelmem/grid.h"

namespace veq {

MemoryGrid::MemoryGrid() {
    cells_[kFillCell].text = QStringLiteral("0");
}

QString MemoryGrid::text(int index) const {
    return valid(index) ? cells_[static_cast<std::size_t>(index)].text : QString();
}

int MemoryGrid::colour(int index) const {
    return valid(index) ? cells_[static_cast<std::size_t>(index)].colour : colour::kWhite;
}

void MemoryGrid::setText(int index, const QString& text) {
    if (!valid(index)) return;
    cells_[static_cast<std::size_t>(index)].text = text;
    redraw(index);
}

void MemoryGrid::setColour(int index, int colour) {
    if (!valid(index)) return;
    cells_[static_cast<std::size_t>(index)].colour = colour;
    redraw(index);
}

void MemoryGrid::set(int index, const QString& text, int colour) {
    if (!valid(index)) return;
    Cell& c = cells_[static_cast<std::size_t>(index)];
    c.text = text;
    c.colour = colour;
    redraw(index);
}

void MemoryGrid::setTypedText(int index, const QString& text) {
    if (valid(index)) cells_[static_cast<std::size_t>(index)].text = text;
}

void MemoryGrid::redraw(int index) const {
    if (redraw_ && valid(index)) redraw_(index);
}

void MemoryGrid::fill() {
    const QString value = cells_[kFillCell].text;
    for (int i = 0; i < kBytes; ++i) cells_[static_cast<std::size_t>(i)].text = value;
    for (int i = 0; i < kBytes; ++i) setColour(i, colour::kWhite);
}

void MemoryGrid::addressPattern() {
    for (int i = 0; i < kBytes; ++i)
        cells_[static_cast<std::size_t>(i)].text = QString::number(i, 16).toUpper();
    for (int i = 0; i < kBytes; ++i) setColour(i, colour::kWhite);
}

}  // namespace veq
