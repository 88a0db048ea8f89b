#include "panelsim/options.h"

#include <QCommandLineParser>

namespace veq::sim {

namespace {

constexpr int kMaxAdjust = 1000;

bool readCount(const QString& text, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > kMaxAdjust) return false;
    out = v;
    return true;
}

}  // namespace

ParsedOptions parseOptions(const QStringList& arguments) {
    ParsedOptions r;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated VEQ panel on a pseudo-terminal. Prints the terminal's path on the first line of "
        "its output and serves a panel with a 128-byte parameter memory (24C01) on it until "
        "interrupted. Without --load or --fill the memory is that of a programmed panel (signature "
        "ZUK at 6A..6C, rate parameters at 60..7C)."));
    p.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Create a symbolic link PATH to the terminal "
                                                 "(replacing a stale one); removed on exit."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption load(
        QStringLiteral("load"),
        QStringLiteral("Start from the memory image FILE: 256 hexadecimal digits (spaces, line "
                       "ends and # comments ignored) or 128 raw bytes."),
        QStringLiteral("FILE"));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("Save the memory image to FILE as hexadecimal "
                                                 "text after each committed write and on exit."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption fill(QStringLiteral("fill"),
                                  QStringLiteral("Start with every memory byte set to HEX (FF: a "
                                                 "blank memory)."),
                                  QStringLiteral("HEX"));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Take the time of a 9600 baud 8N1 line: about "
                                                 "1.04 ms per character, each way."));
    const QCommandLineOption mute(QStringLiteral("mute"),
                                  QStringLiteral("Read everything, answer nothing."));
    const QCommandLineOption garble(QStringLiteral("garble"),
                                    QStringLiteral("Answer wrong characters of the right length."));
    const QCommandLineOption shortBy(QStringLiteral("short"),
                                     QStringLiteral("Each answer loses its last N characters."),
                                     QStringLiteral("N"));
    const QCommandLineOption extra(
        QStringLiteral("extra"),
        QStringLiteral("Each answer gets N more characters (\"~\") at its end."),
        QStringLiteral("N"));
    const QCommandLineOption verbose(
        QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Log every frame received and every committed write on standard error."));
    p.addOptions({link, load, save, fill, pace, mute, garble, shortBy, extra, verbose});
    r.helpText = p.helpText();

    if (!p.parse(arguments)) {
        r.error = p.errorText();
        return r;
    }
    if (p.isSet(QStringLiteral("help")) || p.isSet(QStringLiteral("help-all"))) {
        r.help = true;
        return r;
    }
    if (!p.positionalArguments().isEmpty()) {
        r.error = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first());
        return r;
    }
    Options& o = r.options;
    o.link = p.value(link);
    o.load = p.value(load);
    o.save = p.value(save);
    o.pace = p.isSet(pace);
    o.mute = p.isSet(mute);
    o.garble = p.isSet(garble);
    o.verbose = p.isSet(verbose);
    if (p.isSet(fill)) {
        bool ok = false;
        const QString text = p.value(fill);
        const uint v = text.toUInt(&ok, 16);
        if (!ok || text.size() > 2 || v > 0xFF) {
            r.error = QStringLiteral("--fill takes one byte in hexadecimal, such as FF");
            return r;
        }
        o.fill = static_cast<std::uint8_t>(v);
    }
    if (o.fill && !o.load.isEmpty()) {
        r.error = QStringLiteral("--fill and --load both set the memory: choose one");
        return r;
    }
    if (p.isSet(shortBy) && !readCount(p.value(shortBy), o.shortBy)) {
        r.error = QStringLiteral("--short takes a number from 0 to %1").arg(kMaxAdjust);
        return r;
    }
    if (p.isSet(extra) && !readCount(p.value(extra), o.extra)) {
        r.error = QStringLiteral("--extra takes a number from 0 to %1").arg(kMaxAdjust);
        return r;
    }
    return r;
}

}  // namespace veq::sim
