#include "link/portnumbering.h"

#include <algorithm>
#include <set>

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

namespace veq {

namespace {

const char kHeader[] =
    "# VEQ Cadence : numéros des ports COM sous Linux.\n"
    "# Une ligne par numéro : COMn suivi du chemin du port, par exemple\n"
    "#   COM5 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\n"
    "# COM1 à COM4 sont /dev/ttyS0 à /dev/ttyS3 sauf ligne contraire. Un adaptateur\n"
    "# reçoit le premier numéro libre de COM5 à COM12 et le garde. Les lignes\n"
    "# commençant par # et les lignes non reconnues sont ignorées.\n";

// "COM5 /dev/ttyUSB0", "com5: /tmp/panel": the number, then the rest of the line as the path.
const QRegularExpression& lineRule() {
    static const QRegularExpression rule(QStringLiteral("^COM(\\d{1,2}):?\\s+(\\S.*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return rule;
}

bool isBuiltInUart(const QString& systemPath) {
    static const QRegularExpression rule(QStringLiteral("^/dev/ttyS[0-3]$"));
    return rule.match(systemPath).hasMatch();
}

}  // namespace

PortNumbering numberPorts(const std::vector<ListedPort>& listed, const QByteArray& file) {
    if (file.size() > kMaxPortsFileSize) {
        PortNumbering out = numberPorts({}, {});
        out.refusal = QStringLiteral("fichier des ports trop grand (plus de %1 octets), ignoré")
                          .arg(kMaxPortsFileSize);
        return out;
    }

    PortNumbering out;
    std::set<QString> known;  // every path the file names
    const QList<QByteArray> lines = file.split('\n');
    for (const QByteArray& bytes : lines) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = QString(utf8(bytes)).trimmed();
        if (utf8.hasError() || line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QRegularExpressionMatch m = lineRule().match(line);
        if (!m.hasMatch()) continue;
        const int n = m.captured(1).toInt();
        if (n < kFirstComNumber || n > kLastComNumber) continue;
        // Only the line that counts names its port: one named by a later line for the same
        // number is still to be numbered.
        const QString path = m.captured(2).trimmed();
        if (out.devices.emplace(n, path).second) known.insert(path);
    }

    // Ports seen for the first time, by the name they will be kept under, in a fixed order so
    // that the numbers do not depend on the order the system lists them in.
    std::vector<QString> fresh;
    for (const ListedPort& p : listed) {
        if (p.systemPath.isEmpty() || isBuiltInUart(p.systemPath)) continue;
        const QString key = p.stablePath.isEmpty() ? p.systemPath : p.stablePath;
        if (known.count(key) || known.count(p.systemPath)) continue;
        known.insert(key);
        fresh.push_back(key);
    }
    std::sort(fresh.begin(), fresh.end());

    QByteArray added;
    auto next = fresh.begin();
    for (int n = kFirstAdapterNumber; n <= kLastAdapterNumber && next != fresh.end(); ++n) {
        if (out.devices.count(n)) continue;
        out.devices.emplace(n, *next);
        added += QStringLiteral("COM%1 %2\n").arg(n).arg(*next).toUtf8();
        ++next;
    }
    // Ports beyond the free numbers get none; they are numbered once a line is freed for them.

    for (int n = kFirstComNumber; n < kFirstAdapterNumber; ++n) {
        if (out.devices.emplace(n, QStringLiteral("/dev/ttyS%1").arg(n - 1)).second)
            out.builtIn.insert(n);
    }

    if (!added.isEmpty()) {
        // The added text starts a line of its own, even after a file of blanks only.
        if (!file.isEmpty() && !file.endsWith('\n')) out.added = "\n";
        if (file.trimmed().isEmpty()) out.added += kHeader;
        out.added += added;
    }
    return out;
}

}  // namespace veq
