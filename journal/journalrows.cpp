#include "journal/journalrows.h"

#include <QDateTime>

#include "journal/recorder.h"
#include "link/outcome.h"

namespace veq::journalrows {

QString timeText(const QString& iso, const QLocale& locale, const QTimeZone& zone) {
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!t.isValid()) return iso;
    const QDateTime there = t.toTimeZone(zone);
    // The locale's short time, to the second ("HH:mm" becomes "HH:mm:ss").
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s')))
        time.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return locale.toString(there.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(there.time(), time);
}

QString causeLabel(const QString& key) {
    if (key == journal::kReadBackDiffers)
        return QStringLiteral("La relecture diffère de ce qui a été écrit");
    for (Cause c : {Cause::NoAnswer, Cause::Incomplete, Cause::Unexpected, Cause::LineStalled,
                    Cause::PortLost, Cause::NotSent}) {
        if (causeKey(c) != key) continue;
        // The first words of the operator's message, without its counts and its advice.
        QString text = causeText(Outcome{c});
        for (const QString& end : {QStringLiteral(" : "), QStringLiteral(". ")}) {
            const auto at = text.indexOf(end);
            if (at > 0) text.truncate(at);
        }
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
        return text;
    }
    return key;
}

QString outcomeText(journal::Result outcome, const QString& cause) {
    QString word;
    switch (outcome) {
        case journal::Result::Success:
            return QStringLiteral("réussie");
        case journal::Result::Failed:
            word = QStringLiteral("échouée");
            break;
        case journal::Result::Refused:
            word = QStringLiteral("refusée");
            break;
        case journal::Result::Unknown:
            return QStringLiteral("inconnue");
    }
    return cause.isEmpty() ? word : word + QStringLiteral(" : ") + causeLabel(cause);
}

}  // namespace veq::journalrows
