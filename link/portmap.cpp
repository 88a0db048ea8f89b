#include "link/portmap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QtGlobal>

#include <utility>

namespace veq {

namespace {

QString& portsFileOverride() {
    static QString path;
    return path;
}

PortLister& listerOverride() {
    static PortLister lister;
    return lister;
}

#ifndef Q_OS_WIN  // the ports file and VEQ_COMn: Linux numbering only
// A hand-edited file may be anything: only its beginning is read.
constexpr qint64 kMaxPortsFile = 64 * 1024;

QString readPortsFile(const QString& path) {
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.read(kMaxPortsFile));
}

void writePortsFile(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(text.toUtf8());
    f.commit();
}

PortNumbering currentNumbering() {
    const QString path = portsFilePath();
    const std::vector<ListedPort> listed = listerOverride() ? listerOverride()() : systemPorts();
    PortNumbering numbering = numberPorts(listed, readPortsFile(path));
    if (numbering.fileChanged) writePortsFile(path, numbering.fileText);
    return numbering;
}

QString environmentDevice(int number) {
    const QByteArray mapped = qgetenv(QStringLiteral("VEQ_COM%1").arg(number).toLatin1());
    return QString::fromLocal8Bit(mapped);
}
#endif

}  // namespace

QString portsFilePath() {
    if (!portsFileOverride().isEmpty()) return portsFileOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/VEQ_Cadence/ports");
}

void setPortsFilePath(const QString& path) {
    portsFileOverride() = path;
}

void setPortLister(PortLister lister) {
    listerOverride() = std::move(lister);
}

std::vector<ListedPort> systemPorts() {
    // The by-id entries are links to the system's device names.
    std::map<QString, QString> byId;
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) byId.emplace(e.canonicalFilePath(), e.absoluteFilePath());

    std::vector<ListedPort> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        ListedPort p{info.systemLocation(), {}};
        const auto it = byId.find(QFileInfo(p.systemPath).canonicalFilePath());
        if (it != byId.end()) p.stablePath = it->second;
        ports.push_back(p);
    }
    return ports;
}

#ifdef Q_OS_WIN
QString portDevice(int number) {
    return QStringLiteral("COM%1").arg(number);
}

std::vector<PortTableEntry> portTable() {
    std::vector<PortTableEntry> table;
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n)
        table.push_back({n, portDevice(n), PortOrigin::System});
    return table;
}
#else
QString portDevice(int number) {
    const QString env = environmentDevice(number);
    if (!env.isEmpty()) return env;
    const PortNumbering numbering = currentNumbering();
    const auto it = numbering.devices.find(number);
    return it == numbering.devices.end() ? QString() : it->second;
}

std::vector<PortTableEntry> portTable() {
    const PortNumbering numbering = currentNumbering();
    std::vector<PortTableEntry> table;
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n) {
        const QString env = environmentDevice(n);
        if (!env.isEmpty()) {
            table.push_back({n, env, PortOrigin::Environment});
            continue;
        }
        const auto it = numbering.devices.find(n);
        if (it == numbering.devices.end()) {
            table.push_back({n, QString(), PortOrigin::None});
            continue;
        }
        table.push_back({n, it->second,
                         numbering.builtIn.count(n) ? PortOrigin::BuiltIn : PortOrigin::PortsFile});
    }
    return table;
}
#endif

}  // namespace veq
