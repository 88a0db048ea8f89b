#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "panelmem/grid.h"
#include "panelmem/memmap.h"

namespace veq {
namespace {

TEST(MemoryGrid, FillAndAddressPatternThenWhitenAndRedrawInOrder) {
    MemoryGrid grid;
    std::vector<int> redrawn;
    grid.setRedrawHook([&](int i) { redrawn.push_back(i); });
    for (int i = 0; i < 128; ++i) grid.setTypedText(i, "Er");  // typing needs no redraw
    grid.setTypedText(128, "5");
    grid.fill();
    ASSERT_EQ(redrawn.size(), 128u);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(redrawn[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(grid.text(i), "5");
    }
    grid.setTypedText(128, "");
    grid.fill();
    EXPECT_TRUE(grid.text(77).isEmpty());

    for (int i = 0; i < 128; ++i) grid.setColour(i, colour::kRed);
    grid.addressPattern();
    EXPECT_EQ(grid.text(10) + grid.text(16) + grid.text(127), "A107F");
    for (int i = 0; i < 128; ++i) EXPECT_EQ(grid.colour(i), colour::kWhite) << i;
}

TEST(MemoryGrid, AnyIndexAndAnyTextAreSafe) {
    MemoryGrid grid;
    EXPECT_EQ(grid.text(128), "0");
    int calls = 0;
    grid.setRedrawHook([&](int) { ++calls; });
    for (int i : {-1, 129, -100000}) {
        grid.set(i, "x", colour::kRed);
        grid.setTypedText(i, "x");
        EXPECT_TRUE(grid.text(i).isEmpty());
        EXPECT_EQ(grid.colour(i), colour::kWhite);
    }
    EXPECT_EQ(calls, 0);
    const QString huge(100000, QChar(0x263A));
    grid.setText(5, huge);
    EXPECT_EQ(grid.text(5), huge);
}

// What a cell holds and what it shows: each operation on cell 5 (its neighbour 4 holding "12")
// gives the text and colour shown and the byte a write would send; the memory map reads the cell
// as its text says, whether it holds a byte or a text.
TEST(MemoryGrid, CellsShowWhatTheyHoldAndGiveTheByteAWriteSends) {
    using Op = std::function<void(MemoryGrid&)>;
    const auto typed = [](const char* t) { return [t](MemoryGrid& g) { g.setTypedText(5, t); }; };
    struct Row {
        const char* name;
        Op op;
        QString text;
        int colour;
        std::optional<quint8> byte;
    };
    constexpr int W = colour::kWhite, G = colour::kGreen, R = colour::kRed;
    const std::vector<Row> rows = {
        {"read", [](MemoryGrid& g) { g.set(5, "0A", CellState::Transferred); }, "0A", G, 0x0A},
        {"read, lower case", [](MemoryGrid& g) { g.set(5, "0a", colour::kGreen); }, "0a", G, 0x0A},
        {"typed canonical", typed("A5"), "A5", W, 0xA5},
        {"typed one digit", typed("5"), "5", W, 5},
        {"typed lower case", typed("a5"), "a5", W, 0xA5},
        {"typed with a space", typed(" 5"), " 5", W, 5},
        {"typed G1", typed("G1"), "G1", W, std::nullopt},
        {"typed 123", typed("123"), "123", W, std::nullopt},
        {"typed nothing", typed(""), "", W, std::nullopt},
        {"typed a space", typed(" "), " ", W, std::nullopt},
        {"read pending", [](MemoryGrid& g) { g.markPending(5); }, "?", W, std::nullopt},
        {"read prepared", [](MemoryGrid& g) { g.markCleared(5); }, " ", W, std::nullopt},
        {"transfer failed",
         [](MemoryGrid& g) {
             g.setByte(5, 0x42, CellState::Transferred);
             g.markFailed(5);
         },
         "Er", R, std::nullopt},
        {"write refused",
         [](MemoryGrid& g) {
             g.setTypedText(5, "5");
             g.setState(5, CellState::Failed);
         },
         "5", R, 5},
        {"write under way", [](MemoryGrid& g) { g.setColour(5, colour::kGreen); }, "77", G, 0x77},
        {"another colour kept", [](MemoryGrid& g) { g.setColour(5, colour::kOrange); }, "77",
         colour::kOrange, 0x77},
        {"fill",
         [](MemoryGrid& g) {
             g.setColour(5, colour::kOrange);
             g.setTypedText(MemoryGrid::kFillCell, "b");
             g.fill();
         },
         "b", W, 0x0B},
        {"address pattern",
         [](MemoryGrid& g) {
             g.markFailed(5);
             g.addressPattern();
         },
         "5", W, 5},
        {"bytes put",
         [](MemoryGrid& g) {
             g.setState(5, CellState::Transferred);
             g.putBytes(4, QByteArray("\x07\xFF", 2));
         },
         "FF", G, 0xFF},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryGrid g;
        g.setText(4, "12");
        g.setText(5, "77");
        row.op(g);
        EXPECT_EQ(g.text(5), row.text);
        EXPECT_EQ(g.colour(5), row.colour);
        EXPECT_EQ(g.byte(5), row.byte);
        EXPECT_EQ(memmap::cellValue(g, 5), memmap::hexValue(row.text));
        EXPECT_EQ(memmap::joinedValue(g, {4, 5}), memmap::hexValue(g.text(4) + row.text));
        EXPECT_EQ(memmap::joinedValue(g, {5, 4, 5, 4}),
                  memmap::hexValue(row.text + g.text(4) + row.text + g.text(4)));
        const std::optional<QByteArray> both = g.bytes(4, 5);
        EXPECT_EQ(both.has_value(), row.byte.has_value());
        if (both && row.byte) {
            EXPECT_EQ(both->at(1), static_cast<char>(*row.byte));
        }
    }

    // putBytes redraws each cell once; bytes() is all or nothing, and nothing outside the grid.
    MemoryGrid g;
    std::vector<int> redrawn;
    g.setRedrawHook([&](int i) { redrawn.push_back(i); });
    g.putBytes(126, QByteArray("\x00\x80\x01\x02", 4));
    EXPECT_EQ(redrawn, (std::vector<int>{126, 127, 128}));
    EXPECT_EQ(g.text(126) + g.text(127), "0080");
    EXPECT_EQ(g.bytes(126, 127), QByteArray("\x00\x80", 2));
    EXPECT_FALSE(g.bytes(125, 127).has_value());  // 125 never read: empty
    EXPECT_FALSE(g.bytes(127, 129).has_value());
}

}  // namespace
}  // namespace veq
