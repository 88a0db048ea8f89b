#include <gtest/gtest.h>

#include <latch>
#include <map>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "link/portmap.h"
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

QByteArray u8(const QString& text) {
    return text.toUtf8();
}

// The ports file of one test, in a folder of its own that the first number given creates; the
// shared test main's file comes back afterwards.
class PortsFile {
  public:
    PortsFile() : saved_(portsFilePath()) { setPortsFilePath(path()); }
    ~PortsFile() { setPortsFilePath(saved_); }
    QString path() const { return dir_.filePath(QStringLiteral("VEQ_Cadence/ports")); }
    void put(const QByteArray& bytes) {  // empty: no file
        QFile::remove(path());
        if (bytes.isEmpty()) return;
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray contents() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private:
    QTemporaryDir dir_;
    QString saved_;
};

// One sight of the ports: what the system lists, the numbers expected, the lines expected to
// be added to the file (empty: the file stays as it was), whether the file is refused.
struct Sight {
    std::vector<ListedPort> listed;
    std::map<int, QString> expected;
    QByteArray added;
    bool refused = false;
};

struct Case {
    const char* name;
    QByteArray file;  // the file before the first sight (empty: none); the sights go on with it
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
    // Longer than the 64 KiB the file was once cut at, the technician's own line at its end.
    QByteArray longFile;
    while (longFile.size() <= 64 * 1024) longFile += "# une ligne de commentaire du technicien\n";
    longFile += u8("COM5 " + kA + "\n");
    // Past what is held: its lines would be numbered without the part left unread.
    QByteArray hugeFile = u8("COM5 " + kA + "\n");
    hugeFile += QByteArray(kMaxPortsFileSize, '#');
    const QByteArray latin1 =
        "# r\xe9glages de l'atelier, \xe9"
        "crits en Latin-1\r\n"
        "COM9 /tmp/caf\xe9\r\n"
        "COM5 /dev/ttyUSB7\r\n";
    const std::vector<Case> cases = {
        {"first sight: adapters from COM5 in name order, UARTs unnumbered in the file",
         "",
         {{withUarts({{"/dev/ttyACM0", ""}, {"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kA}}),
           devices({{5, kA}, {6, kB}, {7, "/dev/ttyACM0"}}),
           u8("COM5 " + kA + "\nCOM6 " + kB + "\nCOM7 /dev/ttyACM0\n")}}},
        {"restart: the same numbers whatever names and order the system gives, file untouched",
         "",
         {{withUarts({{"/dev/ttyUSB0", kA}, {"/dev/ttyUSB1", kB}}), devices({{5, kA}, {6, kB}}),
           u8("COM5 " + kA + "\nCOM6 " + kB + "\n")},
          {withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB3", kA}}), devices({{5, kA}, {6, kB}}),
           ""}}},
        {"unplugged: its number stays reserved; a new adapter takes the next; replugged: the same",
         u8("COM5 " + kA + "\nCOM6 " + kB + "\n"),
         {{withUarts({{"/dev/ttyUSB0", kB}}), devices({{5, kA}, {6, kB}}), ""},
          {withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kC}}),
           devices({{5, kA}, {6, kB}, {7, kC}}), u8("COM7 " + kC + "\n")},
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
           u8("\nCOM12 " + kA + "\n")},
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
         u8(junk),
         {{withUarts({{"/dev/ttyUSB0", kB}, {"/dev/ttyUSB1", kA}}),
           devices({{2, "/tmp/other link"},
                    {5, kA},
                    {6, "/dev/ttyUSB0"},
                    {8, "/tmp/panel"},
                    {13, "/tmp/thirteen"}}),
           u8("\nCOM5 " + kA + "\n")}}},
        {"a long file is read to its end and only added to",
         longFile,
         {{withUarts({{"/dev/ttyUSB0", kA}, {"/dev/ttyUSB1", kB}}), devices({{5, kA}, {6, kB}}),
           u8("COM6 " + kB + "\n")}}},
        {"a file too large to hold: refused, left alone, only COM1 to COM4",
         hugeFile,
         {{withUarts({{"/dev/ttyUSB0", kB}}), devices({}), "", true}}},
        {"lines that are not UTF-8: ignored, and kept byte for byte",
         latin1,
         {{withUarts({{"/dev/ttyUSB0", kA}}), devices({{5, "/dev/ttyUSB7"}, {6, kA}}),
           u8("COM6 " + kA + "\n")},
          {withUarts({{"/dev/ttyUSB3", kA}}), devices({{5, "/dev/ttyUSB7"}, {6, kA}}), ""}}},
    };

    PortsFile ports;
    for (const Case& c : cases) {
        QByteArray file = c.file;
        ports.put(file);
        int step = 0;
        for (const Sight& s : c.sights) {
            SCOPED_TRACE(testing::Message() << c.name << ", sight " << ++step);
            const PortNumbering got = portNumbering(s.listed);
            EXPECT_EQ(got.devices, s.expected);
            EXPECT_EQ(got.refusal.isEmpty(), !s.refused) << got.refusal.toStdString();
            // What the technician wrote is kept byte for byte; a new file starts with comments.
            const QByteArray now = ports.contents();
            ASSERT_TRUE(now.startsWith(file));
            const QByteArray added = now.mid(file.size());
            EXPECT_EQ(got.added, added);
            if (file.isEmpty() && !s.added.isEmpty()) {
                ASSERT_TRUE(added.endsWith(s.added)) << added.toStdString();
                const QByteArray header = added.left(added.size() - s.added.size());
                for (const QByteArray& line : header.split('\n'))
                    EXPECT_TRUE(line.isEmpty() || line.startsWith('#')) << line.toStdString();
            } else {
                EXPECT_EQ(added, s.added);
            }
            file = now;
        }
    }
}

// Two programs each see a new adapter at the same moment: each adapter gets one number, the
// file holds both, and each program was told what the file says. The file is long, so that both
// are still reading it when the first one writes.
TEST(PortNumbering, ProgramsNumberingAtOnceGiveEachAdapterOneNumber) {
    const std::vector<ListedPort> listed[2] = {withUarts({{"/dev/ttyUSB0", kA}}),
                                               withUarts({{"/dev/ttyUSB1", kB}})};
    QByteArray comments;
    while (comments.size() < kMaxPortsFileSize / 2) comments += "# commentaire\n";
    PortsFile ports;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        ports.put(comments);
        PortNumbering told[2];
        std::latch start(2);
        std::vector<std::thread> programs;
        for (int i = 0; i < 2; ++i)
            programs.emplace_back([&, i] {
                start.arrive_and_wait();
                told[i] = portNumbering(listed[i]);
            });
        for (std::thread& t : programs) t.join();

        const QByteArray file = ports.contents();
        EXPECT_EQ(file.count(u8(kA)), 1);
        EXPECT_EQ(file.count(u8(kB)), 1);
        const PortNumbering after =
            numberPorts(withUarts({{"/dev/ttyUSB0", kA}, {"/dev/ttyUSB1", kB}}), file);
        EXPECT_TRUE(after.added.isEmpty());
        for (const PortNumbering& t : told)
            for (const auto& [n, path] : t.devices)
                EXPECT_EQ(after.devices.count(n) ? after.devices.at(n) : QString(), path);
    }
}

#ifndef _WIN32
// The device a port's path opens, for the opener and the checks alike.
TEST(PortNames, APathIsTheCurrentFoldersAndABareNameADeviceOfDev) {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QFile(QStringLiteral("panel-link")).open(QIODevice::WriteOnly);
    const QString here = QDir::currentPath();
    const std::pair<QString, QString> cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},     {"ttyUSB0", "/dev/ttyUSB0"},
        {"pts/1", here + "/pts/1"},           {"./pts/1", here + "/pts/1"},
        {"panel-link", here + "/panel-link"},
    };
    for (const auto& [name, device] : cases)
        EXPECT_EQ(devicePath(name), device) << name.toStdString();
    QDir::setCurrent(before);
}
#endif

}  // namespace
}  // namespace veq
