#include <gtest/gtest.h>

#include "link/serialdecisions.h"

namespace veq {
namespace {

TEST(PortLines, DtrOnAndRtsOffAtEveryOpening) {
    const PortLines lines = linesAtOpen();
    EXPECT_TRUE(lines.dtr);
    EXPECT_FALSE(lines.rts);
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
