#include <gtest/gtest.h>

#include "link/rfc2217.h"

namespace veq::rfc2217 {
namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Bytes as the failure shows them.
std::string shown(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper().toStdString();
}

// What the client writes: the option requests, the opening's commands (DTR on and RTS off first,
// the line settings after, stop size last), DTR and the purge; data with 0xFF doubled.
TEST(Rfc2217, BytesTheClientWrites) {
    Session s;
    const struct {
        const char* what;
        QByteArray bytes;
        const char* expected;
    } rows[] = {
        {"negotiation", s.negotiation(), "FFFB00 FFFD00 FFFB03 FFFD03 FFFB2C"},
        {"opening", s.opening(),
         "FFFA2C0508FFF0 FFFA2C050CFFF0 FFFA2C0100002580FFF0 FFFA2C0208FFF0 FFFA2C0301FFF0 "
         "FFFA2C0401FFF0"},
        {"DTR off", s.setDtr(false), "FFFA2C0509FFF0"},
        {"DTR on", s.setDtr(true), "FFFA2C0508FFF0"},
        {"purge", s.purgeReceived(), "FFFA2C0C01FFF0"},
        {"data", escape(hex("31 02 FF 03 FF FF")), "31 02 FFFF 03 FFFF FFFF"},
        {"value escaped", subnegotiation(kSetBaudRate, hex("0000FFFF")),
         "FFFA2C01 0000FFFFFFFF FFF0"},
    };
    for (const auto& r : rows) EXPECT_EQ(shown(r.bytes), shown(hex(r.expected))) << r.what;
}

// What the client reads: only data bytes come out, whatever commands and sub-negotiations fall
// among them, however the stream is cut; the server's option requests are answered once, known
// options accepted, others refused.
TEST(Rfc2217, TheServersStreamGivesDataOnlyAndOptionsAreAnswered) {
    const struct {
        const char* what;
        const char* in;
        const char* data;
        const char* replies;
    } rows[] = {
        {"plain data", "30 31 02 41 03", "30 31 02 41 03", ""},
        {"IAC IAC is one 0xFF", "30 FFFF 31 FFFFFFFF", "30 FF 31 FFFF", ""},
        {"our requests agreed", "FFFD00 FFFB00 FFFD03 FFFB03 FFFD2C", "", ""},
        {"commands inside data", "30 FFF1 31 FFF9 32 FFF0 33", "30 31 32 33", ""},
        {"answers inside data", "30 FFFA2C6B30FFF0 31 FFFA2C6501FFF0 32", "30 31 32", ""},
        {"IAC IAC inside a sub-negotiation", "30 FFFA2C69FFFFFFF0 31", "30 31", ""},
        {"a sub-negotiation broken by a command", "30 FFFA2C65 FFF1 31", "30 31", ""},
        {"a long sub-negotiation",
         "FFFA2C00 4142434445464748494A4B4C4D4E4F50515253545556"
         "5758595A4142434445464748494A4B4C4D4E4F5051525354555657"
         "58595A41424344454647 FFF0 30",
         "30", ""},
        {"unknown options refused", "FFFD18 FFFB01 30", "30", "FFFC18 FFFE01"},
        {"an option offered twice is agreed once", "FFFB00 FFFB00 FFFD03 FFFD03 30", "30", ""},
        {"an option withdrawn", "FFFB00 FFFC00", "", "FFFE00"},
    };
    for (const auto& r : rows) {
        // Whole, then one byte at a time: the same data and the same replies.
        for (const bool bytewise : {false, true}) {
            Session s;
            s.negotiation();
            const QByteArray in = hex(r.in);
            QByteArray data;
            if (bytewise)
                for (const char c : in) data += s.receive(QByteArray(1, c));
            else
                data = s.receive(in);
            EXPECT_EQ(shown(data), shown(hex(r.data))) << r.what << " bytewise " << bytewise;
            EXPECT_EQ(shown(s.takeReplies()), shown(hex(r.replies))) << r.what;
        }
    }
}

// The opening's commands as the server answers them: a command the server leaves unanswered
// (ser2net on a pseudo-terminal and DTR, RTS) is named, and the answer to the last one tells
// that nothing more is coming.
TEST(Rfc2217, OptionsAgreedAndTheOpeningsUnansweredCommandsNamed) {
    const struct {
        const char* what;
        const char* in;
        bool agreed;
        bool refused;
        bool answered;
        QStringList unanswered;
    } rows[] = {
        {"nothing yet",
         "",
         false,
         false,
         false,
         {"SET-CONTROL (DTR on)", "SET-CONTROL (RTS off)", "SET-BAUDRATE", "SET-DATASIZE",
          "SET-PARITY", "SET-STOPSIZE"}},
        {"all answered",
         "FFFD2C FFFA2C6908FFF0 FFFA2C690CFFF0 FFFA2C6500002580FFF0 FFFA2C6608FFF0 "
         "FFFA2C6701FFF0 FFFA2C6801FFF0",
         true,
         false,
         true,
         {}},
        {"no answer to the lines",
         "FFFD2C FFFA2C6500002580FFF0 FFFA2C6608FFF0 FFFA2C6701FFF0 FFFA2C6801FFF0",
         true,
         false,
         true,
         {"SET-CONTROL (DTR on)", "SET-CONTROL (RTS off)"}},
        {"the last not answered yet",
         "FFFD2C FFFA2C6500002580FFF0",
         true,
         false,
         false,
         {"SET-CONTROL (DTR on)", "SET-CONTROL (RTS off)", "SET-DATASIZE", "SET-PARITY",
          "SET-STOPSIZE"}},
        {"COM port option refused",
         "FFFE2C",
         false,
         true,
         false,
         {"SET-CONTROL (DTR on)", "SET-CONTROL (RTS off)", "SET-BAUDRATE", "SET-DATASIZE",
          "SET-PARITY", "SET-STOPSIZE"}},
        {"a notification is no answer",
         "FFFD2C FFFA2C6B30FFF0 FFFA2C6A00FFF0",
         true,
         false,
         false,
         {"SET-CONTROL (DTR on)", "SET-CONTROL (RTS off)", "SET-BAUDRATE", "SET-DATASIZE",
          "SET-PARITY", "SET-STOPSIZE"}},
    };
    for (const auto& r : rows) {
        Session s;
        s.negotiation();
        s.opening();
        EXPECT_TRUE(s.receive(hex(r.in)).isEmpty()) << r.what;
        EXPECT_EQ(s.comPortAgreed(), r.agreed) << r.what;
        EXPECT_EQ(s.refused(), r.refused) << r.what;
        EXPECT_EQ(s.openingAnswered(), r.answered) << r.what;
        EXPECT_EQ(s.unanswered(), r.unanswered) << r.what;
        EXPECT_TRUE(s.takeReplies().isEmpty()) << r.what;
    }
}

}  // namespace
}  // namespace veq::rfc2217
