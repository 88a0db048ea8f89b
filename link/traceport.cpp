#include "link/traceport.h"

#include <cstdio>

#include <QFileInfo>
#include <QRegularExpression>

#include "link/fileerror.h"

namespace veq {

namespace {

// A trace's lines start with the seconds, six decimals, then the port and the direction.
bool isTrace(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    static const QRegularExpression line(QStringLiteral("^[0-9]+\\.[0-9]{6} .* [<>-]( |$)"));
    return line.match(QString::fromUtf8(f.readLine(4096)).trimmed()).hasMatch();
}

}  // namespace

bool TraceLog::open(const QString& path, QString& error) {
    std::lock_guard lock(mutex_);
    const QFileInfo info(path);
    // Only a regular file takes a trace: a pipe would block the open until someone reads it, a
    // device or a folder is no place for one.
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral(
            "ce n'est pas un fichier ordinaire (périphérique, tube ou dossier) : une trace "
            "s'écrit dans un fichier ordinaire ou sous un nouveau nom");
        return false;
    }
    if (info.isFile() && info.size() > 0 && !isTrace(path)) {
        error = QStringLiteral("le fichier existe et n'est pas une trace : il est laissé tel quel");
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        error = fileErrorText(file_);
        return false;
    }
    since_.start();
    return true;
}

QString TraceLog::readable(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case 0x02:
                out += QLatin1String("<STX>");
                break;
            case 0x03:
                out += QLatin1String("<ETX>");
                break;
            case 0x06:
                out += QLatin1String("<ACK>");
                break;
            case 0x0D:
                out += QLatin1String("<CR>");
                break;
            case 0x0A:
                out += QLatin1String("<LF>");
                break;
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '<':
                out += QLatin1String("\\<");
                break;
            default:
                if (c >= 0x20 && c < 0x7F)
                    out += QLatin1Char(static_cast<char>(c));
                else
                    out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        }
    }
    return out;
}

void TraceLog::put(const QString& text) {
    std::lock_guard lock(mutex_);
    if (!file_.isOpen()) return;
    const QString stamp = QString::number(static_cast<double>(since_.nsecsElapsed()) / 1e9, 'f', 6);
    file_.write((stamp + QLatin1Char(' ') + text + QLatin1Char('\n')).toUtf8());
    file_.flush();
}

void TraceLog::line(const QString& port, char direction, const QByteArray& bytes) {
    put(port + QLatin1Char(' ') + QLatin1Char(direction) + QLatin1Char(' ') + readable(bytes));
}

void TraceLog::event(const QString& port, const QString& what) {
    put(port + QLatin1String(" - ") + what);
}

TracePort::TracePort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceLog> log, QString name)
    : inner_(std::move(inner)), log_(std::move(log)), name_(std::move(name)) {}

QString TracePort::name() const {
    return name_.isEmpty() ? QStringLiteral("COM%1").arg(inner_->commPort()) : name_;
}

void TracePort::notes() {
    for (const QString& note : inner_->takeNotes()) log_->event(name(), note);
}

bool TracePort::open() {
    const bool ok = inner_->open();
    notes();
    log_->event(name(), ok ? QStringLiteral("open ") + inner_->settings()
                           : QStringLiteral("open failed: ") + inner_->errorString());
    return ok;
}

void TracePort::close() {
    const bool was = inner_->isOpen();
    inner_->close();
    if (was) log_->event(name(), QStringLiteral("close"));
}

bool TracePort::write(const QByteArray& bytes) {
    const bool ok = inner_->write(bytes);
    log_->line(name(), '>', bytes);
    notes();
    if (!ok) log_->event(name(), QStringLiteral("write refused: ") + inner_->errorString());
    return ok;
}

void TracePort::discardInput() {
    inner_->discardInput();
    log_->event(name(), QStringLiteral("discard"));
}

QByteArray TracePort::readAll() {
    QByteArray bytes = inner_->readAll();
    if (!bytes.isEmpty()) log_->line(name(), '<', bytes);
    notes();
    return bytes;
}

void TracePort::setDtr(bool on) {
    inner_->setDtr(on);
    log_->event(name(), on ? QStringLiteral("DTR on") : QStringLiteral("DTR off"));
}

std::unique_ptr<SerialPort> tracedFromEnvironment(std::unique_ptr<SerialPort> port) {
    const QString path = qEnvironmentVariable("VEQ_TRACE");
    if (path.isEmpty()) return port;
    // One trace for the whole process, opened by the first port that asks.
    static std::mutex mutex;
    static std::shared_ptr<TraceLog> shared;
    static bool failed = false;
    std::lock_guard lock(mutex);
    if (!shared && !failed) {
        auto log = std::make_shared<TraceLog>();
        QString error;
        if (log->open(path, error)) {
            shared = std::move(log);
        } else {
            failed = true;
            std::fprintf(stderr, "VEQ_TRACE: %s: %s\n", qPrintable(path), qPrintable(error));
        }
    }
    if (!shared) return port;
    return std::make_unique<TracePort>(std::move(port), shared);
}

}  // namespace veq
