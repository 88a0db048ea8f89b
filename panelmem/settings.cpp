#include "panelmem/settings.h"

namespace veq::settings {

QString allowedText(qint64 minimum, qint64 maximum) {
    return QStringLiteral("un nombre entier de %1 à %2").arg(minimum).arg(maximum);
}

QString quoted(const QStringList& names) {
    QStringList q;
    for (const QString& n : names) q << QLatin1Char('"') + n + QLatin1Char('"');
    return q.join(QStringLiteral(", "));
}

}  // namespace veq::settings
