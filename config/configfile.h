#pragma once

#include <array>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace veq {

// The configuration file (".zuk"): the positions of the eight lists of the link settings, one
// per line, then a summary for people that is never read back. 8-bit Windows-1252 text, CR LF.
namespace configfile {

constexpr int kListCount = 8;
// Fixed lines of the summary are this wide.
constexpr int kLineWidth = 33;
// Only lines 1 to 8 are ever read; no file needs more than this to hold them.
constexpr qint64 kReadLimit = 64 * 1024;

// What the file keeps of one list: its selected position and the text it shows.
struct ListChoice {
    int position = 0;
    QString text;
};

// The whole text of a file, lines 1 to 31, each ending with CR LF. `date` and `time` are the
// already formatted moment of the save.
QString text(const std::array<ListChoice, kListCount>& lists, const QString& date,
             const QString& time);

// The moment of a save in the locale's short date and time formats, reduced to characters that
// the file's 8-bit code page holds (a narrow no-break space becomes a plain space).
QString dateText(const QDateTime& moment, const QLocale& locale);
QString timeText(const QDateTime& moment, const QLocale& locale);

// The text as Windows-1252 bytes ("è" is E8, "é" E9, "à" E0).
QByteArray encode(const QString& text);

// Reads lines 1 to 8 as positions of the lists whose item counts are given, in order, and stops
// at the first line that is missing, empty, not a decimal number or not a position of its list.
// The result holds the positions read before that line: all eight for a good file.
std::vector<int> positions(const QByteArray& text, const std::array<int, kListCount>& itemCounts);

}  // namespace configfile
}  // namespace veq
