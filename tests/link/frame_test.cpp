#include <gtest/gtest.h>

#include "link/frame.h"

namespace veq {
namespace {

TEST(Frame, BytesForBothPrefixesAndBursts) {
    EXPECT_EQ(frame(Prefix::P31, "RRR"), QByteArray::fromHex("33310252525203"));
    EXPECT_EQ(frame(Prefix::P_31, "SSS"), QByteArray::fromHex("5f33310253535303"));
    const QByteArray burst11 = frame(Prefix::P_31, "SSS", 11);
    EXPECT_EQ(burst11.size(), 88);
    EXPECT_EQ(burst11, QByteArray::fromHex("5f33310253535303").repeated(11));
    EXPECT_EQ(frame(Prefix::P_31, "RRR", 5).size(), 40);
}

TEST(Frame, CommandOfWrongLengthGivesNoFrame) {
    EXPECT_TRUE(frame(Prefix::P31, "Y0").isEmpty());
    EXPECT_TRUE(frame(Prefix::P31, "").isEmpty());
    EXPECT_TRUE(frame(Prefix::P31, "RRRR").isEmpty());
}

TEST(Frame, ByteCommandIsAlwaysThreeCharacters) {
    EXPECT_EQ(byteCommand(0x60), "Y60");
    EXPECT_EQ(byteCommand(5), "Y05");
    EXPECT_EQ(byteCommand(0xA5), "YA5");
    EXPECT_EQ(byteCommand(0), "Y00");
    EXPECT_EQ(acknowledgement(), QByteArray::fromHex("3031020603"));
}

}  // namespace
}  // namespace veq
