#include "panelsim/options.h"

#include <QCommandLineParser>

namespace veq::sim {

namespace {

constexpr int kMaxAdjust = 1000;
constexpr int kMaxFrames = 1000000;
constexpr double kMaxLag = 60.0;

bool readCount(const QString& text, int& out, int low = 0, int high = kMaxAdjust) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high) return false;
    out = v;
    return true;
}

bool readSeconds(const QString& text, double& out) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    // The negated test also refuses a NaN.
    if (!ok || !(v >= 0.0 && v <= kMaxLag)) return false;
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
        "ZUK at 6A..6C, rate parameters at 60..7C). A frame is counted when it carries the prefix "
        "31 or _31. SIGUSR1 switches the answers off, or back on; each switch is reported on a "
        "line \"mute on\" or \"mute off\" of the standard output (signals sent before that "
        "line came may merge into one)."));
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
    const QCommandLineOption muteAfter(
        QStringLiteral("mute-after"),
        QStringLiteral("Answer the first N frames, then nothing (the frames are still read and "
                       "writes still land). SIGUSR1 switches the answers back on."),
        QStringLiteral("N"));
    const QCommandLineOption dieAfter(
        QStringLiteral("die-after"),
        QStringLiteral("Answer the first N frames, then die at once as if killed (SIGKILL): the "
                       "terminal disappears and answers still on their way are lost."),
        QStringLiteral("N"));
    const QCommandLineOption stallAfter(
        QStringLiteral("stall-after"),
        QStringLiteral("Take the first N frames, then stop taking bytes, like a panel or adapter "
                       "that no longer reads its line: the terminal holds the tool's writes back "
                       "and what reaches it meanwhile is lost. SIGUSR2 lets the line go again "
                       "(and stops it again)."),
        QStringLiteral("N"));
    const QCommandLineOption lag(
        QStringLiteral("lag"),
        QStringLiteral("The answer to a closing frame (X6X, RRR, WWW: those after which the tool "
                       "waits for the reply) leaves SECONDS after the frame came in; answers keep "
                       "their order, so those behind it wait too."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption loseByte(
        QStringLiteral("lose-byte"),
        QStringLiteral("The Nth byte read (X1X or X6X, counted from 1 since the start) gets no "
                       "answer, as if the line lost it; the read address moves on as usual."),
        QStringLiteral("N"));
    const QCommandLineOption verbose(
        QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Log every frame received and every committed write on standard error."));
    p.addOptions({link, load, save, fill, pace, mute, garble, shortBy, extra, muteAfter, dieAfter,
                  stallAfter, lag, loseByte, verbose});
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
    if (p.isSet(muteAfter) && !readCount(p.value(muteAfter), o.muteAfter, 0, kMaxFrames)) {
        r.error = QStringLiteral("--mute-after takes a number from 0 to %1").arg(kMaxFrames);
        return r;
    }
    if (p.isSet(dieAfter) && !readCount(p.value(dieAfter), o.dieAfter, 1, kMaxFrames)) {
        r.error = QStringLiteral("--die-after takes a number from 1 to %1").arg(kMaxFrames);
        return r;
    }
    if (p.isSet(stallAfter) && !readCount(p.value(stallAfter), o.stallAfter, 0, kMaxFrames)) {
        r.error = QStringLiteral("--stall-after takes a number from 0 to %1").arg(kMaxFrames);
        return r;
    }
    if (p.isSet(loseByte) && !readCount(p.value(loseByte), o.loseByte, 1, kMaxFrames)) {
        r.error = QStringLiteral("--lose-byte takes a number from 1 to %1").arg(kMaxFrames);
        return r;
    }
    if (p.isSet(lag) && !readSeconds(p.value(lag), o.lag)) {
        r.error = QStringLiteral("--lag takes a number of seconds from 0 to %1, such as 0.6")
                      .arg(kMaxLag);
        return r;
    }
    return r;
}

}  // namespace veq::sim
