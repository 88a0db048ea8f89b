#include <gtest/gtest.h>

#include <map>
#include <vector>

#include <QStringList>

#include "link/portnumbering.h"

namespace veq {
namespace {

const QString kA = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A-if00-port0");
const QString kB = QStringLiteral("/dev/serial/by-id/usb-Prolific_PL2303_B-if00-port0");
const QString kC = QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_C-if00-port0");

std::vector<ListedPort> uarts() {
    return {{"/dev/ttyS0", ""}, {"/dev/ttyS1", ""}, {"/dev/ttyS2", ""}, {"/dev/ttyS3", ""}};
}

std::vector<ListedPort> withUarts(std::vector<ListedPort> adapters) {
    std::vector<ListedPort> all = uarts();
    all.insert(all.end(), adapters.begin(), adapters.end());
    return all;
}

// COM1 to COM4 on the built-in UARTs, then `more`.
std::map<int, QString> devices(std::map<int, QString> more) {
    std::map<int, QString> all = {
        {1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyS2"}, {4, "/dev/ttyS3"}};
    for (const auto& [n, path] : more) all[n] = path;
    return all;
}

// One sight of the ports: what the system lists, the numbers expected, the lines expected to
// be added to the file (empty: the file stays as it was).
struct Sight {
    std::vector<ListedPort> listed;
    std::map<int, QString> expected;
    QString added;
};

struct Case {
    const char* name;
    QString file;  // the file before the first sight; each sight's file goes on to the next
    std::vector<Sight> sights;
};

TEST(PortNumbering, AdaptersKeepTheNumbersTheyGetAtFirstSight) {
    const QString junk = QStringLiteral(
        "# mes ports\r\n"
        "garbage line\r\n"
        "COM\r\n"
        "COM7\r\n"
        "COM99 /dev/ttyUSB9\r\n"
        "COM0 /dev/ttyUSB9\r\n"
        "COMx /dev/ttyUSB9\r\n"
        "\x01\x02\xff binary \x7f\r\n"
        "com8: /tmp/panel\r\n"
        "COM8 /tmp/second\r\n"
        "  COM2   /tmp/other link  \r\n"
        "COM13 /tmp/thirteen\r\n"
        "COM6 /dev/ttyUSB0");
    const std::vector<Case> cases = {
        {"first sight: adapters from COM5 in name order, UARTs unnumbered in the file",
         "",
         {{withUarts({{"/dev/ttyACM0", ""}, {"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kA}}),
           devices({{5, kA}, {6, kB}, {7, "/dev/ttyACM0"}}),
           "COM5 " + kA + "\nCOM6 " + kB + "\nCOM7 /dev/ttyACM0\n"}}},
        {"restart: the same numbers whatever names and order the system gives, file untouched",
         "",
         {{withUarts({{"/dev/ttyUSB0", kA}, {"/dev/ttyUSB1", kB}}), devices({{5, kA}, {6, kB}}),
           "COM5 " + kA + "\nCOM6 " + kB + "\n"},
          {withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB3", kA}}), devices({{5, kA}, {6, kB}}),
           ""}}},
        {"unplugged: its number stays reserved; a new adapter takes the next; replugged: the same",
         "COM5 " + kA + "\nCOM6 " + kB + "\n",
         {{withUarts({{"/dev/ttyUSB0", kB}}), devices({{5, kA}, {6, kB}}), ""},
          {withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kC}}),
           devices({{5, kA}, {6, kB}, {7, kC}}), "COM7 " + kC + "\n"},
          {withUarts({{"/dev/ttyUSB2", kA}, {"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kC}}),
           devices({{5, kA}, {6, kB}, {7, kC}}), ""}}},
        {"more adapters than free numbers: COM12 is the last, the others get none",
         "COM5 /x5\nCOM6 /x6\nCOM7 /x7\nCOM8 /x8\nCOM9 /x9\nCOM10 /x10\nCOM11 /x11",
         {{withUarts({{"/dev/ttyUSB0", kC}, {"/dev/ttyUSB1", kB}, {"/dev/ttyUSB2", kA}}),
           devices({{5, "/x5"},
                    {6, "/x6"},
                    {7, "/x7"},
                    {8, "/x8"},
                    {9, "/x9"},
                    {10, "/x10"},
                    {11, "/x11"},
                    {12, kA}}),
           "\nCOM12 " + kA + "\n"},
          {withUarts({{"/dev/ttyUSB0", kC}, {"/dev/ttyUSB1", kB}, {"/dev/ttyUSB2", kA}}),
           devices({{5, "/x5"},
                    {6, "/x6"},
                    {7, "/x7"},
                    {8, "/x8"},
                    {9, "/x9"},
                    {10, "/x10"},
                    {11, "/x11"},
                    {12, kA}}),
           ""}}},
        {"hand-edited file: junk ignored, first line of a number counts, any path honoured",
         junk,
         {{withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kA}}),
           devices({{2, "/tmp/other link"},
                    {5, kA},
                    {6, "/dev/ttyUSB0"},
                    {8, "/tmp/panel"},
                    {13, "/tmp/thirteen"}}),
           "\nCOM5 " + kA + "\n"}}},
    };

    for (const Case& c : cases) {
        QString file = c.file;
        int step = 0;
        for (const Sight& s : c.sights) {
            SCOPED_TRACE(testing::Message() << c.name << ", sight " << ++step);
            const PortNumbering got = numberPorts(s.listed, file);
            EXPECT_EQ(got.devices, s.expected);
            EXPECT_EQ(got.fileChanged, !s.added.isEmpty());
            if (s.added.isEmpty()) {
                EXPECT_EQ(got.fileText, file);
            } else {
                EXPECT_TRUE(got.fileText.endsWith(s.added)) << got.fileText.toStdString();
                // What the technician wrote is kept as it was; a new file starts with comments.
                const QString kept = got.fileText.left(got.fileText.size() - s.added.size());
                if (file.isEmpty()) {
                    for (const QString& line : kept.split('\n', Qt::SkipEmptyParts))
                        EXPECT_TRUE(line.startsWith('#')) << line.toStdString();
                } else
                    EXPECT_EQ(kept.left(file.size()), file);
            }
            file = got.fileText;
        }
    }
}

}  // namespace
}  // namespace veq
