#include <gtest/gtest.h>

#include "link/frame.h"
#include "panelsim/model/panel.h"

namespace veq::sim {
namespace {

ParsedFrame pf(const char* prefix, const char* command) {
    return ParsedFrame{prefix, command};
}

TEST(FrameParser, BurstsBackToBackGiveEveryFrameWithItsPrefix) {
    FrameParser p;
    const auto five = p.feed(frame(Prefix::P_31, "SSS", 5));
    ASSERT_EQ(five.size(), 5u);
    for (const auto& f : five) EXPECT_EQ(f, pf("_31", "SSS"));

    const auto eleven = p.feed(frame(Prefix::P31, "RRR", 11));
    ASSERT_EQ(eleven.size(), 11u);
    for (const auto& f : eleven) EXPECT_EQ(f, pf("31", "RRR"));

    // Different frames in one write, both prefixes mixed.
    const auto mixed =
        p.feed(frame(Prefix::P31, "ZA0") + frame(Prefix::P_31, "Y60") + frame(Prefix::P31, "ZA1"));
    EXPECT_EQ(mixed,
              (std::vector<ParsedFrame>{pf("31", "ZA0"), pf("_31", "Y60"), pf("31", "ZA1")}));
}

TEST(FrameParser, FrameCutAnywhereBetweenTwoWritesIsCompletedByTheNext) {
    const QByteArray stream = frame(Prefix::P_31, "Y05") + frame(Prefix::P31, "X1X");
    const std::vector<ParsedFrame> whole{pf("_31", "Y05"), pf("31", "X1X")};
    for (int cut = 0; cut <= stream.size(); ++cut) {
        FrameParser p;
        auto got = p.feed(stream.left(cut));
        const auto rest = p.feed(stream.mid(cut));
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, whole) << "cut after " << cut << " bytes";
    }
    // One byte per write.
    FrameParser p;
    std::vector<ParsedFrame> got;
    for (char c : stream) {
        const auto some = p.feed(QByteArray(1, c));
        got.insert(got.end(), some.begin(), some.end());
    }
    EXPECT_EQ(got, whole);
}

TEST(FrameParser, JunkAndStrayStxDoNotDerailIt) {
    FrameParser p;
    QByteArray junk("xyz\x03\x03\x02q\x02", 9);  // ETX alone, STX without a frame after it
    const auto got = p.feed(frame(Prefix::P31, "RRR") + junk + frame(Prefix::P_31, "SSS") +
                            "garbage" + frame(Prefix::P31, "WWW"));
    EXPECT_EQ(got, (std::vector<ParsedFrame>{pf("31", "RRR"), pf("_31", "SSS"), pf("31", "WWW")}));

    // A stray STX at the end of one write, the frame in the next.
    FrameParser q;
    EXPECT_TRUE(q.feed(QByteArray(1, kStx)).empty());
    EXPECT_EQ(q.feed(frame(Prefix::P31, "ZA0")), std::vector<ParsedFrame>{pf("31", "ZA0")});

    // A cut frame whose end never comes gives way to the next whole frame.
    FrameParser r;
    EXPECT_TRUE(r.feed(frame(Prefix::P31, "X1X").left(5)).empty());
    EXPECT_EQ(r.feed(frame(Prefix::P_31, "X6X")), std::vector<ParsedFrame>{pf("_31", "X6X")});
}

TEST(FrameParser, TellsBothPrefixesAndNoPrefixApart) {
    FrameParser p;
    QByteArray bare("\x02RRR\x03", 5);
    QByteArray other("41\x02RRR\x03", 7);
    const auto got = p.feed(frame(Prefix::P31, "RRR") + frame(Prefix::P_31, "RRR") + bare + other);
    EXPECT_EQ(got, (std::vector<ParsedFrame>{pf("31", "RRR"), pf("_31", "RRR"), pf("", "RRR"),
                                             pf("", "RRR")}));
}

}  // namespace
}  // namespace veq::sim
