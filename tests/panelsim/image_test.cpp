#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "panelsim/model/image.h"

namespace veq::sim {
namespace {

int word(const Panel::Memory& m, int a) {
    return m[static_cast<std::size_t>(a)] << 8 | m[static_cast<std::size_t>(a + 1)];
}

TEST(MemoryImage, ProgrammedMemoryLooksLikeAProgrammedPanel) {
    const Panel::Memory m = programmedMemory();
    EXPECT_EQ(m[0x6A], 'Z');
    EXPECT_EQ(m[0x6B], 'U');
    EXPECT_EQ(m[0x6C], 'K');
    // The range ends climb from one range to the next, within 1 to 9999.
    int last = 0;
    for (int i = 1; i < 5; ++i) {
        const int end = (word(m, 0x60 + 2 * i) & 0x3FFF) - 1;
        EXPECT_GT(end, last) << "range " << i;
        EXPECT_LE(end, 9999);
        last = end;
    }
    // Averaging bytes are powers of two in their ranges.
    EXPECT_TRUE(m[0x6F] == 1 || m[0x6F] == 2 || m[0x6F] == 4 || m[0x6F] == 8 || m[0x6F] == 16);
    EXPECT_TRUE(m[0x70] == 1 || m[0x70] == 2 || m[0x70] == 4 || m[0x70] == 8);
    // The time base is the hour, stored little-endian.
    const std::uint32_t base =
        m[0x71] | m[0x72] << 8 | m[0x73] << 16 | static_cast<std::uint32_t>(m[0x74]) << 24;
    EXPECT_EQ(base, 36100000u);
    // One number of digits selected; stop threshold within 3 to 3600.
    const int digits = m[0x7A] & 0xE0;
    EXPECT_TRUE(digits == 0x80 || digits == 0x40 || digits == 0x20);
    EXPECT_GE(word(m, 0x7B), 3);
    EXPECT_LE(word(m, 0x7B), 3600);
}

TEST(MemoryImage, TextRoundTripsAndReadsCommentsSpacesAndRawBytes) {
    Panel::Memory m;
    for (int a = 0; a < Panel::kSize; ++a)
        m[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(255 - a);
    const QByteArray text = imageText(m);
    EXPECT_EQ(text.count('\n'), 8);
    EXPECT_TRUE(text.startsWith("FF FE FD"));
    EXPECT_EQ(parseImage(text), m);
    EXPECT_EQ(parseImage("# a memory image\n" + text.toLower() + "# end\n"), m);

    QByteArray raw;
    for (auto b : m) raw += static_cast<char>(b);
    EXPECT_EQ(parseImage(raw), m);

    EXPECT_FALSE(parseImage(text.left(text.size() - 3)).has_value());  // one byte short
    EXPECT_FALSE(parseImage(text + "00").has_value());                 // one byte more
    EXPECT_FALSE(parseImage(text.left(Panel::kSize)).has_value());     // text cut to 128 bytes
    QByteArray bad = text;
    bad[4] = 'G';
    EXPECT_FALSE(parseImage(bad).has_value());
    EXPECT_FALSE(parseImage(QByteArray()).has_value());
}

TEST(MemoryImage, SavesAndLoadsFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("panel.hex");
    const Panel::Memory m = programmedMemory();
    QString error;
    ASSERT_TRUE(saveImage(path, m, error)) << error.toStdString();
    Panel::Memory back;
    back.fill(0);
    ASSERT_TRUE(loadImage(path, back, error)) << error.toStdString();
    EXPECT_EQ(back, m);

    Panel::Memory untouched;
    untouched.fill(0x11);
    EXPECT_FALSE(loadImage(dir.filePath("missing.hex"), untouched, error));
    EXPECT_FALSE(error.isEmpty());
    QFile junk(dir.filePath("junk.hex"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();
    error.clear();
    EXPECT_FALSE(loadImage(junk.fileName(), untouched, error));
    EXPECT_FALSE(error.isEmpty());
    // An image followed by more than an image file ever holds is no image: the tail is not
    // ignored.
    QFile tail(dir.filePath("tail.hex"));
    ASSERT_TRUE(tail.open(QIODevice::WriteOnly));
    tail.write(imageText(m) + "#" + QByteArray(64 * 1024, ' ') + "\n00");
    tail.close();
    EXPECT_FALSE(loadImage(tail.fileName(), untouched, error));
    EXPECT_EQ(untouched[0], 0x11);
    // A folder that does not exist cannot take an image.
    EXPECT_FALSE(saveImage(dir.filePath("no/such/folder/x.hex"), m, error));
}

}  // namespace
}  // namespace veq::sim
