#include "config/configfile.h"

#include <QStringEncoder>

namespace veq::configfile {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString spaces() {
    return QString(kLineWidth, QLatin1Char(' '));
}

QString hyphens() {
    return QString(kLineWidth, QLatin1Char('-'));
}

bool inCodePage(QChar c) {
    if (c.unicode() < 0x80) return true;
    QStringEncoder encoder("windows-1252");
    if (!encoder.isValid()) return c.unicode() < 0x100;
    const QByteArray b = encoder.encode(QStringView(&c, 1));
    return !encoder.hasError() && b.size() == 1;
}

// The text a locale gives for a date or time, reduced to what the file's code page holds: the
// spacing characters of newer locale data become plain spaces, digits of other scripts become
// 0 to 9, invisible direction marks are dropped and anything else left over becomes "?".
QString plain(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c.category() == QChar::Other_Format) continue;
        if (c.isSpace())
            out += QLatin1Char(' ');
        else if (c.isDigit() && c.digitValue() >= 0)
            out += QChar(QLatin1Char('0' + c.digitValue()));
        else
            out += inCodePage(c) ? c : QChar(QLatin1Char('?'));
    }
    return out;
}

// One line of the file as a position: digits only, between optional blanks.
bool readPosition(const QByteArray& line, int itemCount, int* position) {
    const QByteArray digits = line.trimmed();
    if (digits.isEmpty() || digits.size() > 9) return false;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    const int value = digits.toInt();
    if (value >= itemCount) return false;
    *position = value;
    return true;
}

}  // namespace

QString text(const std::array<ListChoice, kListCount>& lists, const QString& date,
             const QString& time) {
    static const char* const kPrefixes[kListCount] = {
        "Connecté sur Port ", "INTERFACE ", "DIGIT ",   "Couleur ", "DCF77 ",
        "Relais 1 ",          "Relais 2 ",  "Réponse ",
    };
    QString out;
    for (const ListChoice& l : lists) out += QString::number(l.position) + kCrLf;

    out += QStringLiteral("             Z U K               ") + kCrLf;
    out += hyphens() + kCrLf;
    out += QStringLiteral("DEBUT DU FICHIER DE CONFIGURATION") + kCrLf;
    out += QStringLiteral("CARTE VEQ             ZUK 04-2009") + kCrLf;
    out += QStringLiteral("Chronomètre au centième          ") + kCrLf;
    out += hyphens() + kCrLf;

    for (int k = 0; k < kListCount; ++k)
        out += QString::fromUtf8(kPrefixes[k]) + lists[k].text + kCrLf;

    out += spaces() + kCrLf;
    out += hyphens() + kCrLf;
    out += spaces() + kCrLf;
    out += QStringLiteral("FIN DU FICHIER DE CONFIGURATION  ") + kCrLf;
    out += spaces() + kCrLf;
    out += QStringLiteral("crée le: ") + date + kCrLf;
    out += QStringLiteral("à ") + time + kCrLf;
    out += hyphens() + kCrLf;
    out += spaces() + kCrLf;
    return out;
}

QString dateText(const QDateTime& moment, const QLocale& locale) {
    return plain(locale.toString(moment.date(), QLocale::ShortFormat));
}

QString timeText(const QDateTime& moment, const QLocale& locale) {
    return plain(locale.toString(moment.time(), QLocale::ShortFormat));
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder("windows-1252");
    // Every character the file is made of lies in Latin-1, where the two code pages agree.
    if (!encoder.isValid()) return text.toLatin1();
    return encoder.encode(text);
}

std::vector<int> positions(const QByteArray& text, const std::array<int, kListCount>& itemCounts) {
    std::vector<int> out;
    qsizetype start = 0;
    for (int k = 0; k < kListCount; ++k) {
        if (start >= text.size()) break;  // the file ends before this line
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) end = text.size();
        QByteArray line = text.mid(start, end - start);
        // Lines end with CR LF; a lone LF is taken as well.
        if (line.endsWith('\r')) line.chop(1);
        int position = 0;
        if (!readPosition(line, itemCounts[k], &position)) break;
        out.push_back(position);
        start = end + 1;
    }
    return out;
}

}  // namespace veq::configfile
