#include <gtest/gtest.h>

#include <QList>

#include "link/frame.h"
#include "panelsim/model/panel.h"

namespace veq::sim {
namespace {

// A memory where every byte differs from its neighbours: byte a holds a ^ 0xA5.
Panel::Memory distinctMemory() {
    Panel::Memory m;
    for (int a = 0; a < Panel::kSize; ++a)
        m[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(a ^ 0xA5);
    return m;
}

// The frames of a read of `count` bytes from `start`, as the parameter window sends them after
// its flush.
QByteArray readFrames(Prefix prefix, int start, int count) {
    QByteArray out = frame(prefix, "SSS") + frame(prefix, "ZA0") +
                     frame(prefix, byteCommand(start)) + frame(prefix, "ZA1");
    for (int i = 0; i < count; ++i) out += frame(prefix, "X1X");
    return out + frame(prefix, "X6X") + frame(prefix, "RRR");
}

// One write group: "SSS", "ZA0", the page address, the data frames, "WWW".
QByteArray writeGroup(int page, const QList<QByteArray>& data, bool commit = true) {
    QByteArray out = frame(Prefix::P_31, "SSS") + frame(Prefix::P_31, "ZA0") +
                     frame(Prefix::P_31, byteCommand(page));
    for (const QByteArray& d : data) out += frame(Prefix::P_31, d);
    if (commit) out += frame(Prefix::P_31, "WWW");
    return out;
}

TEST(Panel, AnswersEveryAddressedFrameWithTheAcknowledgement) {
    Panel panel;
    EXPECT_EQ(panel.receive(frame(Prefix::P31, "RRR")), acknowledgement());
    EXPECT_EQ(panel.receive(frame(Prefix::P_31, "SSS", 11)), acknowledgement().repeated(11));
    // Commands the panel has no use for are acknowledged all the same.
    EXPECT_EQ(panel.receive(frame(Prefix::P31, "OOO") + frame(Prefix::P_31, "LLL")),
              acknowledgement().repeated(2));
    // A frame without a prefix is not for the panel; it is seen but not answered.
    EXPECT_TRUE(panel.receive(QByteArray("\x02RRR\x03", 5)).isEmpty());
    EXPECT_EQ(panel.frames.size(), 15u);
    // The answer to a frame cut between two writes comes with its end.
    const QByteArray f = frame(Prefix::P31, "RRR");
    EXPECT_TRUE(panel.receive(f.left(4)).isEmpty());
    EXPECT_EQ(panel.receive(f.mid(4)), acknowledgement());
}

TEST(Panel, ReadSequencePutsEachByteAtItsPosition) {
    Panel panel(distinctMemory());
    const QByteArray a = panel.receive(readFrames(Prefix::P31, 0x60, 32));
    // Five characters for SSS, ZA0, Y60, ZA1 and RRR, six for each of 33 byte reads.
    ASSERT_EQ(a.size(), 223);
    EXPECT_EQ(a.left(20), acknowledgement().repeated(4));
    EXPECT_EQ(a.right(5), acknowledgement());
    for (int i = 0; i < 32; ++i) {
        const int v = (0x60 + i) ^ 0xA5;
        // The byte stands in the fourth and fifth characters of its six, from position 24 + 6i
        // counting the first character as 1.
        EXPECT_EQ(a.mid(23 + 6 * i, 2), QByteArray::number(v, 16).toUpper().rightJustified(2, '0'))
            << "address " << 0x60 + i;
        EXPECT_EQ(a.mid(20 + 6 * i, 6), byteAnswer(static_cast<std::uint8_t>(v)));
    }
    // A read of the whole memory from 0, with the other prefix, gives 5 x 4 + 129 x 6 + 5.
    const QByteArray all = panel.receive(readFrames(Prefix::P_31, 0x00, 128));
    ASSERT_EQ(all.size(), 20 + 129 * 6 + 5);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(all.mid(20 + 6 * i, 6), byteAnswer(static_cast<std::uint8_t>(i ^ 0xA5)));
}

TEST(Panel, ReadAddressWrapsAtTheEndOfTheMemory) {
    Panel panel(distinctMemory());
    const QByteArray a = panel.receive(readFrames(Prefix::P31, 0x7E, 3));
    EXPECT_EQ(a.mid(20, 6), byteAnswer(0x7E ^ 0xA5));
    EXPECT_EQ(a.mid(26, 6), byteAnswer(0x7F ^ 0xA5));
    EXPECT_EQ(a.mid(32, 6), byteAnswer(0x00 ^ 0xA5));
    // "X6X" reads the byte at the address reached, without moving on.
    EXPECT_EQ(a.mid(38, 6), byteAnswer(0x01 ^ 0xA5));
}

TEST(Panel, WriteGroupCommitsOnWww) {
    Panel panel;
    QList<QByteArray> low, high;
    for (int i = 0; i < 16; ++i) {
        low << byteCommand(i);
        high << byteCommand(0xF0 + i);
    }
    QByteArray answer = panel.receive(frame(Prefix::P_31, "SSS", 5));
    answer += panel.receive(writeGroup(0x60, low) + writeGroup(0x70, high));
    // 25 for the burst, then the 40 frames of the two groups at five characters each.
    EXPECT_EQ(answer.size(), 25 + 200);
    EXPECT_EQ(panel.commits, 2);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(panel.memory[static_cast<std::size_t>(0x60 + i)], i);
        EXPECT_EQ(panel.memory[static_cast<std::size_t>(0x70 + i)], 0xF0 + i);
    }
    for (int a = 0; a < 0x60; ++a) EXPECT_EQ(panel.memory[static_cast<std::size_t>(a)], 0xFF);
    // What was written reads back.
    const QByteArray r = panel.receive(readFrames(Prefix::P31, 0x6E, 4));
    EXPECT_EQ(r.mid(20, 6), byteAnswer(0x0E));
    EXPECT_EQ(r.mid(32, 6), byteAnswer(0xF0));
}

TEST(Panel, WriteWithoutWwwCommitsNothing) {
    Panel panel(distinctMemory());
    const Panel::Memory before = panel.memory;
    // A group cut short by the next group: its data is dropped.
    panel.receive(writeGroup(0x60, {"Y11", "Y22"}, false));
    EXPECT_EQ(panel.memory, before);
    panel.receive(writeGroup(0x70, {"Y33"}));
    EXPECT_EQ(panel.commits, 1);
    // "WWW" alone, or after a read addressing, commits nothing.
    panel.receive(frame(Prefix::P_31, "WWW"));
    panel.receive(readFrames(Prefix::P_31, 0x10, 2) + frame(Prefix::P_31, "WWW"));
    EXPECT_EQ(panel.commits, 1);
    // Data frames without "ZA0" and an address first are not a group.
    panel.receive(frame(Prefix::P_31, "SSS") + frame(Prefix::P_31, "Y44") +
                  frame(Prefix::P_31, "WWW"));
    EXPECT_EQ(panel.commits, 1);
    Panel::Memory expected = before;
    expected[0x70] = 0x33;
    EXPECT_EQ(panel.memory, expected);
}

TEST(Panel, NonHexadecimalDataKeepsItsPlaceAndAGroupPastTheEndWraps) {
    Panel panel(distinctMemory());
    Panel::Memory expected = panel.memory;
    // A cell holding "Er" is sent as "YEr": its byte stays, the next ones land where they belong.
    panel.receive(writeGroup(0x70, {"Y01", "YEr", "Y03", "Yz4", "Y05"}));
    panel.receive(writeGroup(0x7E, {"Y06", "Y07", "Y08"}));
    for (const auto& [a, v] :
         {std::pair{0x70, 0x01}, {0x72, 0x03}, {0x74, 0x05}, {0x7E, 0x06}, {0x7F, 0x07}, {0, 0x08}})
        expected[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(v);
    EXPECT_EQ(panel.memory, expected);
}

TEST(Panel, GarbledAnswerKeepsItsLengthButNoCharacter) {
    const QByteArray ack = acknowledgement();
    const QByteArray g = garbled(ack);
    ASSERT_EQ(g.size(), ack.size());
    for (int i = 0; i < ack.size(); ++i) EXPECT_NE(g.at(i), ack.at(i));
    const QByteArray b = garbled(byteAnswer(0x5A));
    ASSERT_EQ(b.size(), 6);
    EXPECT_NE(b.mid(3, 2), "5A");
}

}  // namespace
}  // namespace veq::sim
