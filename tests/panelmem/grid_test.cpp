#include <gtest/gtest.h>

#include <vector>

#include "panelmem/grid.h"

namespace veq {
namespace {

TEST(MemoryGrid, FillAndAddressPatternRewriteEveryCellThenWhitenAndRedrawInOrder) {
    MemoryGrid grid;
    EXPECT_EQ(grid.text(128), "0");
    std::vector<int> redrawn;
    grid.setRedrawHook([&](int i) {
        redrawn.push_back(i);
        // The text is in place by the time a cell is redrawn.
        EXPECT_EQ(grid.colour(i), colour::kWhite);
    });
    for (int i = 0; i < 128; ++i) grid.setTypedText(i, "Er");
    EXPECT_TRUE(redrawn.empty());  // the operator's typing needs no redraw
    grid.setTypedText(128, "5");

    grid.fill();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(grid.text(i), "5") << i;
    EXPECT_EQ(grid.text(128), "5");
    ASSERT_EQ(redrawn.size(), 128u);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(redrawn[static_cast<std::size_t>(i)], i);

    grid.setTypedText(128, "");
    grid.fill();
    for (int i = 0; i < 128; ++i) EXPECT_TRUE(grid.text(i).isEmpty()) << i;

    grid.setRedrawHook({});
    for (int i = 0; i < 128; ++i) grid.setColour(i, colour::kRed);
    grid.addressPattern();
    EXPECT_EQ(grid.text(0), "0");
    EXPECT_EQ(grid.text(10), "A");
    EXPECT_EQ(grid.text(16), "10");
    EXPECT_EQ(grid.text(127), "7F");
    for (int i = 0; i < 128; ++i) EXPECT_EQ(grid.colour(i), colour::kWhite) << i;
}

TEST(MemoryGrid, AnyIndexAndAnyTextAreSafe) {
    MemoryGrid grid;
    int calls = 0;
    grid.setRedrawHook([&](int) { ++calls; });
    for (int i : {-1, 129, 100000, -100000}) {
        grid.set(i, "x", colour::kRed);
        grid.setText(i, "x");
        grid.setColour(i, colour::kRed);
        grid.setTypedText(i, "x");
        grid.redraw(i);
        EXPECT_TRUE(grid.text(i).isEmpty());
        EXPECT_EQ(grid.colour(i), colour::kWhite);
    }
    EXPECT_EQ(calls, 0);
    const QString huge(100000, QChar(0x263A));
    grid.set(5, huge, colour::kGreen);
    EXPECT_EQ(grid.text(5), huge);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace veq
