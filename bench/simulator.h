#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace veq::bench {

// veq-panel-sim on a pseudo-terminal.
class Simulator {
  public:
    ~Simulator() { stop(); }

    bool start(const QString& program, const QStringList& arguments, QString& error) {
        process_.setProgram(program);
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000)) {
            error = QStringLiteral("cannot start %1: %2").arg(program, process_.errorString());
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (!process_.canReadLine() && t.elapsed() < 10000) {
            if (!process_.waitForReadyRead(200) && process_.state() == QProcess::NotRunning) break;
        }
        if (!process_.canReadLine()) {
            error = QStringLiteral("%1 printed no terminal path").arg(program);
            return false;
        }
        path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        return !path_.isEmpty();
    }
    QString path() const { return path_; }
    bool running() const { return process_.state() == QProcess::Running; }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

  private:
    QProcess process_;
    QString path_;
};

}  // namespace veq::bench
