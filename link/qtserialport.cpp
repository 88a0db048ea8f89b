#include "link/qtserialport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>

#include "link/exchange.h"
#include "link/portmap.h"
#include "link/serialdecisions.h"

namespace veq {

bool applySettings(QSerialPort& port, const QString& settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0) return false;
    const QString parity = parts[1].trimmed().toUpper();
    QSerialPort::Parity p;
    if (parity == QLatin1String("N"))
        p = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        p = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        p = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        p = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        p = QSerialPort::SpaceParity;
    else
        return false;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) return false;
    const QString stop = parts[3].trimmed();
    QSerialPort::StopBits s;
    if (stop == QLatin1String("1"))
        s = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        s = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        s = QSerialPort::TwoStop;
    else
        return false;
    return port.setBaudRate(baud) && port.setParity(p) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(bits)) && port.setStopBits(s) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

namespace {

// What a failed QSerialPort::open() means for the operator. A port held by another program and
// one the user may not open both come back as PermissionError: the device's own access rights
// tell them apart (on Windows a COM port is open to every user, so it is held).
OpenFailure openFailureOf(QSerialPort::SerialPortError error, const QString& device) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return OpenFailure::Absent;
        case QSerialPort::OpenError:
            return OpenFailure::Busy;
        case QSerialPort::PermissionError: {
#ifdef Q_OS_WIN
            Q_UNUSED(device);
            return OpenFailure::Busy;
#else
            const QFileInfo info(device);
            if (info.exists() && !(info.isReadable() && info.isWritable()))
                return OpenFailure::Forbidden;
            return OpenFailure::Busy;
#endif
        }
        default:
            return OpenFailure::Other;
    }
}

}  // namespace

bool QtSerialPort::open() {
    error_.clear();
    failure_ = OpenFailure::Other;
    readCancelled_ = false;
    if (port_.isOpen()) port_.close();
    if (path_.isEmpty() && (number_ < 1 || number_ > 14)) {
        error_ = QStringLiteral("port number out of range");
        failure_ = OpenFailure::NoDevice;
        return false;
    }
    QString refusal;  // of the ports file
    const QString device = path_.isEmpty() ? portDevice(number_, &refusal) : path_;
    if (device.isEmpty()) {
        error_ = refusal.isEmpty() ? QStringLiteral("no device for COM%1").arg(number_) : refusal;
        failure_ = OpenFailure::NoDevice;
        return false;
    }
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        failure_ = openFailureOf(port_.error(), device);
        port_.clearError();
        return false;
    }
    if (!applySettings(port_, settings_)) {
        error_ = QStringLiteral("invalid settings");
        port_.close();
        return false;
    }
    // The same lines on every system before anything is written: DTR on, RTS off, as the
    // operators' Windows machines have always opened the port. A pseudo-terminal has neither line
    // (UnsupportedOperationError): no fault.
    const PortLines lines = linesAtOpen();
    if (!port_.setDataTerminalReady(lines.dtr) && checkGone()) return false;
    if (!port_.setRequestToSend(lines.rts) && checkGone()) return false;
    // A pseudo-terminal keeps what arrived while nobody had it open; a fresh port starts empty.
    purgeInput();
    failure_ = OpenFailure::None;
    return true;
}

void QtSerialPort::close() {
    if (port_.isOpen()) port_.close();
    port_.clearError();
    readCancelled_ = false;
}

void QtSerialPort::purgeInput() {
    port_.clear(QSerialPort::Input);
    readCancelled_ = kPurgeCancelsRead;
}

bool QtSerialPort::checkGone() {
    const auto err = port_.error();
    if (err == QSerialPort::NoError) return false;
    const bool gone = deviceGone(err, readCancelled_);
    // A purge cancels one read, reported once.
    if (err == QSerialPort::ResourceError) readCancelled_ = false;
    if (!gone) {
        // A poll that timed out, a line control the device lacks, a read cancelled by a purge.
        port_.clearError();
        return false;
    }
    // The device has gone (the line reads as ended or refuses bytes). Close, so that every later
    // call fails at once instead of waiting on a dead line.
    error_ = port_.errorString();
    port_.close();
    port_.clearError();
    readCancelled_ = false;
    return true;
}

void QtSerialPort::pull(int ms) {
    if (!port_.isOpen()) return;
    const bool arrived = port_.waitForReadyRead(ms);
    checkGone();
    // A read has ended since the purge: no cancelled one is left to report.
    if (arrived) readCancelled_ = false;
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!port_.isOpen()) return false;
    if (port_.write(bytes) != bytes.size()) {
        checkGone();
        return false;
    }
    // Nothing leaves before the write is flushed. The driver takes the bytes at once when the line
    // is moving; a line that does not take them within their own line time and a margin has
    // stopped (a panel or adapter that no longer reads): what is still queued is dropped, so it
    // cannot leave later in the middle of another operation, and the write is refused.
    const qint64 limitMs = writeLimitMs(bytes.size(), characterSeconds(settings_));
    QElapsedTimer timer;
    timer.start();
    while (port_.isOpen() && port_.bytesToWrite() > 0 && timer.elapsed() < limitMs) {
        const int left = static_cast<int>(limitMs - timer.elapsed());
        if (!port_.waitForBytesWritten(qBound(1, left, 50)) && checkGone()) return false;
    }
    if (!port_.isOpen()) return false;
    if (port_.bytesToWrite() > 0) {
        port_.clear(QSerialPort::Output);
        port_.clearError();
        error_ = QStringLiteral("the line did not take the bytes");
        return false;
    }
    return true;
}

qint64 writeLimitMs(qint64 bytes, double characterSeconds) {
    return static_cast<qint64>(bytes * characterSeconds * 1000.0) + kWriteMarginMs;
}

int QtSerialPort::inBufferCount() {
    // Without an event loop nothing arrives by itself: a short blocking wait pulls in what the
    // line has delivered (and paces a polling loop without holding a core).
    takeArrived();
    pull(1);
    return port_.isOpen() ? static_cast<int>(port_.bytesAvailable()) : 0;
}

void QtSerialPort::takeArrived() {
    if (!port_.isOpen()) return;
    // A read asks the backend for what the driver holds. On Windows that is what starts a read
    // again after a purge aborted one: bytes otherwise wait for a receive event that may never
    // come (Wine sends none after a purge); the wait that follows takes them in. The read is
    // undone: the bytes stay waiting, counted.
    port_.startTransaction();
    port_.read(port_.bytesAvailable() + 1);
    port_.rollbackTransaction();
    checkGone();
}

void QtSerialPort::discardInput() {
    if (!port_.isOpen()) return;
    purgeInput();
    port_.clearError();
}

QByteArray QtSerialPort::readAll() {
    if (!port_.isOpen()) return {};
    // Input takes every character received so far, also those not yet counted; what arrived
    // before the device went is still handed over.
    port_.waitForReadyRead(0);
    const QByteArray out = port_.readAll();
    checkGone();
    return out;
}

void QtSerialPort::setDtr(bool on) {
    if (!port_.isOpen()) return;
    // A pseudo-terminal has no DTR line (UnsupportedOperationError): no fault of the exchange.
    if (!port_.setDataTerminalReady(on)) checkGone();
}

}  // namespace veq
