#include <gtest/gtest.h>

#include <vector>

#include "panelmem/grid.h"

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

}  // namespace
}  // namespace veq
