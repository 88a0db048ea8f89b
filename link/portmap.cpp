#include "link/portmap.h"
#include "link/fileerror.h"
#include "link/netaddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
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

// Writing a line takes a moment; a lock held longer belongs to a program that hangs.
constexpr int kLockWaitMs = 5000;

PortNumbering numberFromFile(const QString& path, const std::vector<ListedPort>& listed) {
    QFile f(path);
    if (!f.exists()) return numberPorts(listed, {});  // none yet
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly)) bytes = f.read(kMaxPortsFileSize + 1);
    PortNumbering numbering;
    if (!f.isOpen() || f.error() != QFileDevice::NoError) {
        numbering = numberPorts({}, {});
        numbering.refusal =
            QStringLiteral("fichier des ports illisible (%1), ignoré").arg(fileErrorText(f));
    } else {
        numbering = numberPorts(listed, bytes);
    }
    if (!numbering.refusal.isEmpty())
        numbering.refusal = path + QStringLiteral(" : ") + numbering.refusal;
    return numbering;
}

bool appendToFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::Append | QIODevice::Unbuffered)) return false;
    return f.write(bytes) == bytes.size();
}

#ifndef Q_OS_WIN  // VEQ_COMn: Linux numbering only
QString environmentDevice(int number) {
    const QByteArray mapped = qgetenv(QStringLiteral("VEQ_COM%1").arg(number).toLatin1());
    return QString::fromLocal8Bit(mapped);
}
#endif

}  // namespace

QString devicePath(const QString& name) {
    if (isNetworkName(name)) return name.trimmed();
#ifdef Q_OS_WIN
    return name;
#else
    if (name.startsWith(QLatin1Char('/'))) return name;
    if (name.contains(QLatin1Char('/')) || QFileInfo::exists(name))
        return QDir::cleanPath(QDir::current().absoluteFilePath(name));
    return QStringLiteral("/dev/") + name;
#endif
}

PortNumbering portNumbering(const std::vector<ListedPort>& listed) {
    const QString path = portsFilePath();
    PortNumbering numbering = numberFromFile(path, listed);
    if (numbering.added.isEmpty()) return numbering;
    // Another program may be numbering the same adapter or another one: read the file again
    // under the lock and append only what is still new. Without the lock (a read-only folder)
    // the numbers given hold for this run only, as when the line cannot be written.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) return numbering;
    numbering = numberFromFile(path, listed);
    if (!numbering.added.isEmpty()) appendToFile(path, numbering.added);
    return numbering;
}

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
QString portDevice(int number, QString*) {
    return QStringLiteral("COM%1").arg(number);
}

std::vector<PortTableEntry> portTable(QString*) {
    std::vector<PortTableEntry> table;
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n)
        table.push_back({n, portDevice(n), PortOrigin::System});
    return table;
}
#else
namespace {

std::vector<ListedPort> listedPorts() {
    return listerOverride() ? listerOverride()() : systemPorts();
}

}  // namespace

QString portDevice(int number, QString* refusal) {
    if (refusal) refusal->clear();
    const QString env = environmentDevice(number);
    if (!env.isEmpty()) return env;
    const PortNumbering numbering = portNumbering(listedPorts());
    if (refusal) *refusal = numbering.refusal;
    const auto it = numbering.devices.find(number);
    return it == numbering.devices.end() ? QString() : it->second;
}

std::vector<PortTableEntry> portTable(QString* refusal) {
    const PortNumbering numbering = portNumbering(listedPorts());
    if (refusal) *refusal = numbering.refusal;
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
