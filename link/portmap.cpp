#include "link/portmap.h"

#include <QtGlobal>

namespace veq {

QString portDevice(int number) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    const QByteArray mapped = qgetenv(QStringLiteral("VEQ_COM%1").arg(number).toLatin1());
    if (!mapped.isEmpty()) return QString::fromLocal8Bit(mapped);
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

}  // namespace veq
