// A ports file of any bytes, with a fixed set of listed ports: every number given is one of
// COM1 to COM14, the built-in UARTs keep COM1 to COM4 unless a line says otherwise, the added
// text is lines a later reading takes back, and a second numbering on the file with that text
// appended adds nothing and gives the same devices.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QRegularExpression>

#include "link/portnumbering.h"

using namespace veq;

namespace {

const std::vector<ListedPort>& listed() {
    static const std::vector<ListedPort> ports = {
        {QStringLiteral("/dev/ttyS0"), QString()},
        {QStringLiteral("/dev/ttyS1"), QString()},
        {QStringLiteral("/dev/ttyUSB0"),
         QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A-if00-port0")},
        {QStringLiteral("/dev/ttyUSB1"),
         QStringLiteral("/dev/serial/by-id/usb-Prolific_PL2303_B-if00-port0")},
        {QStringLiteral("/dev/ttyACM0"), QString()},
    };
    return ports;
}

// The name a listed port is kept under.
bool isListedKey(const QString& path) {
    for (const ListedPort& p : listed())
        if (path == (p.stablePath.isEmpty() ? p.systemPath : p.stablePath)) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PortNumbering first = numberPorts(listed(), file);

    for (const auto& [n, path] : first.devices) {
        if (n < kFirstComNumber || n > kLastComNumber || path.isEmpty()) std::abort();
    }
    for (int n = kFirstComNumber; n < kFirstAdapterNumber; ++n)
        if (!first.devices.count(n)) std::abort();
    for (int n : first.builtIn) {
        if (n < kFirstComNumber || n >= kFirstAdapterNumber) std::abort();
        if (first.devices.at(n) != QStringLiteral("/dev/ttyS%1").arg(n - 1)) std::abort();
    }
    if (!first.refusal.isEmpty() && !first.added.isEmpty()) std::abort();

    // Every listed adapter has a number, by its kept name or its system name, while one of
    // COM5 to COM12 is free.
    bool full = true;
    for (int n = kFirstAdapterNumber; n <= kLastAdapterNumber; ++n)
        full = full && first.devices.count(n);
    for (const ListedPort& p : listed()) {
        if (p.systemPath.startsWith(QStringLiteral("/dev/ttyS"))) continue;
        bool numbered = false;
        for (const auto& [n, path] : first.devices)
            numbered = numbered || path == p.systemPath || path == p.stablePath;
        if (!numbered && !full && first.refusal.isEmpty()) std::abort();
    }

    // Appended, the added text starts a line of its own and ends with one; each of its lines is
    // a comment or "COMn path" for a listed port given number n, one from COM5 to COM12.
    if (!first.added.isEmpty()) {
        if (!first.added.endsWith('\n')) std::abort();
        if (!file.isEmpty() && !file.endsWith('\n') && !first.added.startsWith('\n')) std::abort();
        static const QRegularExpression rule(QStringLiteral("^COM(\\d+) (.+)$"));
        int given = 0;
        for (const QByteArray& line : first.added.split('\n')) {
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QRegularExpressionMatch m = rule.match(QString::fromUtf8(line));
            if (!m.hasMatch()) std::abort();
            const int n = m.captured(1).toInt();
            if (n < kFirstAdapterNumber || n > kLastAdapterNumber) std::abort();
            if (!isListedKey(m.captured(2)) || !first.devices.count(n) ||
                first.devices.at(n) != m.captured(2))
                std::abort();
            ++given;
        }
        if (given == 0) std::abort();
    }

    const PortNumbering second = numberPorts(listed(), file + first.added);
    if (!second.added.isEmpty() || second.devices != first.devices ||
        second.builtIn != first.builtIn)
        std::abort();
    return 0;
}
