#include <gtest/gtest.h>

#include "link/clock.h"
#include "link/serialdecisions.h"

namespace veq {
namespace {

TEST(PortLines, DtrOnAndRtsOffAtEveryOpening) {
    const PortLines lines = linesAtOpen();
    EXPECT_TRUE(lines.dtr);
    EXPECT_FALSE(lines.rts);
}

// On Windows the waits poll at 1 ms only while the system timer runs at 1 ms: every exchange holds
// a scope that asks for it, and each copy of an exchange's scope asks again for its own life.
TEST(FineTimer, TheScopeIsGrantedTheOneMillisecondTimerOnWindows) {
#ifdef _WIN32
    FineTimerScope scope;
    EXPECT_TRUE(scope.granted());
    const FineTimerScope copy(scope);
    EXPECT_TRUE(copy.granted());
#else
    GTEST_SKIP() << "other systems need no timer resolution of their own";
#endif
}

TEST(PortErrors, OnlyALostDeviceClosesThePortAndAPurgedReadIsNone) {
    struct Row {
        QSerialPort::SerialPortError error;
        bool readCancelled;
        bool gone;
    };
    const Row rows[] = {
        {QSerialPort::NoError, false, false},
        {QSerialPort::TimeoutError, false, false},               // a poll with nothing new
        {QSerialPort::UnsupportedOperationError, false, false},  // no DTR/RTS on a pty
        {QSerialPort::ResourceError, false, true},               // the device has gone
        {QSerialPort::ResourceError, true, false},               // the read a purge aborted
        {QSerialPort::DeviceNotFoundError, false, true},
        {QSerialPort::DeviceNotFoundError, true, true},
        {QSerialPort::PermissionError, false, true},
        {QSerialPort::ReadError, false, true},
        {QSerialPort::ReadError, true, true},
        {QSerialPort::WriteError, true, true},
        {QSerialPort::TimeoutError, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << "error " << r.error << ", read cancelled " << r.readCancelled);
        EXPECT_EQ(deviceGone(r.error, r.readCancelled), r.gone);
    }
}

}  // namespace
}  // namespace veq
