#include "tests/wire/bench.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/prctl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>

#include "link/qtserialport.h"
#include "link/ui/windows.h"
#include "panelmem/colours.h"
#include "panelsim/model/image.h"

namespace veq::test {

Watchdog::Watchdog(std::chrono::seconds limit)
    : thread_([this, limit] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (done_.wait_for(lock, limit, [this] { return finished_; })) return;
          std::fprintf(stderr, "The test has run for %lld s: it hangs.\n",
                       static_cast<long long>(limit.count()));
          std::fflush(stderr);
          std::abort();
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    done_.notify_one();
    thread_.join();
}

QString SimProcess::program() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/veq-panel-sim");
}

bool SimProcess::start(const QStringList& arguments) {
    stop();
    path_.clear();
    process_.setProgram(program());
    process_.setArguments(arguments);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start();
    if (!process_.waitForStarted(10000)) return false;
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < 10000) {
        if (!process_.waitForReadyRead(200) && process_.state() == QProcess::NotRunning)
            return false;
    }
    if (!process_.canReadLine()) return false;
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return !path_.isEmpty();
}

bool SimProcess::waitForLine(const QByteArray& line, int ms) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        while (process_.canReadLine())
            if (process_.readLine().trimmed() == line) return true;
        if (t.elapsed() >= ms || process_.state() == QProcess::NotRunning) return false;
        process_.waitForReadyRead(50);
    }
}

bool SimProcess::switchMute(const QByteArray& expectedLine) {
    if (!running()) return false;
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
    return waitForLine(expectedLine);
}

bool SimProcess::waitForKilled(int ms) {
    if (running() && !process_.waitForFinished(ms)) return false;
    return process_.exitStatus() == QProcess::CrashExit;
}

void SimProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

OnTheWire::OnTheWire()
    : context{clock,
              messages,
              files,
              documents,
              [] { return std::unique_ptr<SerialPort>(std::make_unique<QtSerialPort>()); },
              {}} {
    context.configuration = [this]() -> ConfigurationWindow& { return *cfg; };
}

void OnTheWire::SetUp() {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFileInfo::exists(SimProcess::program()))
        << "veq-panel-sim is built next to the test programs: "
        << SimProcess::program().toStdString();
    // COM10 leads to this test's own link, and to nothing else: no device of the machine.
    link = dir.filePath(QStringLiteral("com10"));
    qputenv("VEQ_COM10", QFile::encodeName(link));
    cfg = std::make_unique<ConfigurationWindow>(context);
    w = std::make_unique<Dump24c01>(context);
    cfg->list(0)->setCurrentText(QStringLiteral("COM10:"));
    ASSERT_EQ(cfg->list(0)->currentText(), QStringLiteral("COM10:"));
}

void OnTheWire::startPanel(SimProcess& sim, const QStringList& options) {
    ASSERT_TRUE(sim.start(QStringList{QStringLiteral("--link"), link} + options))
        << options.join(' ').toStdString();
}

void OnTheWire::validate() {
    messages.shown.clear();
    // Only COM10 is mapped: nothing else may be opened.
    ASSERT_EQ(cfg->list(0)->currentText(), QStringLiteral("COM10:"));
    cfg->validateButton()->click();
    expectMessages({{kOpened, Icon::Information}});
    EXPECT_EQ(cfg->portFlag(), QStringLiteral("True"));
    EXPECT_TRUE(cfg->MSComm1().isOpen());
}

double OnTheWire::click(const char* button) {
    messages.shown.clear();
    auto* b = w->findChild<QAbstractButton*>(QString::fromLatin1(button));
    if (!b) {
        ADD_FAILURE() << "no button " << button;
        return 0;
    }
    QElapsedTimer t;
    t.start();
    b->click();
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

QScrollBar* OnTheWire::slider(const QString& name) {
    auto* s = w->findChild<QScrollBar*>(name);
    if (!s) ADD_FAILURE() << "no slider " << name.toStdString();
    return s;
}

void OnTheWire::setControls(const Decoded& d) {
    // From the top down, so that every range stays above the one before it.
    for (int i = 4; i >= 1; --i)
        slider(QStringLiteral("HScroll1(%1)").arg(i))->setValue(d.ranges[static_cast<size_t>(i)]);
    slider(QStringLiteral("HScroll2"))->setValue(d.averaging2);
    slider(QStringLiteral("HScroll3"))->setValue(d.averaging1);
    slider(QStringLiteral("HScroll4"))->setValue(d.antiBounce);
    slider(QStringLiteral("HScroll5"))->setValue(d.stopThreshold);
    slider(QStringLiteral("HScroll6"))->setValue(d.relay1);
    slider(QStringLiteral("HScroll7"))->setValue(d.relay2);
    auto* o = w->findChild<QRadioButton*>(QStringLiteral("Option2(%1)").arg(d.timeBaseChoice));
    ASSERT_NE(o, nullptr);
    o->click();
}

void OnTheWire::expectControls(const Decoded& d) {
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(slider(QStringLiteral("HScroll1(%1)").arg(i))->value(),
                  d.ranges[static_cast<size_t>(i)])
            << "range " << i;
    EXPECT_EQ(slider(QStringLiteral("HScroll2"))->value(), d.averaging2);
    EXPECT_EQ(slider(QStringLiteral("HScroll3"))->value(), d.averaging1);
    EXPECT_EQ(slider(QStringLiteral("HScroll4"))->value(), d.antiBounce);
    EXPECT_EQ(slider(QStringLiteral("HScroll5"))->value(), d.stopThreshold);
    EXPECT_EQ(slider(QStringLiteral("HScroll6"))->value(), d.relay1);
    EXPECT_EQ(slider(QStringLiteral("HScroll7"))->value(), d.relay2);
    for (int k = 0; k < 4; ++k) {
        auto* o = w->findChild<QRadioButton*>(QStringLiteral("Option2(%1)").arg(k));
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->isChecked(), k == d.timeBaseChoice) << "time base choice " << k;
    }
    const int colours[5] = {colour::kRed, colour::kOrange, colour::kGreen, colour::kOrange,
                            colour::kRed};
    for (int i = 0; i < 5; ++i) {
        auto* box = w->findChild<QWidget*>(QStringLiteral("COULE(%1)").arg(i));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(colourNumber(background(box)), colours[i]) << "range colour " << i;
    }
}

void OnTheWire::expectMessages(std::initializer_list<std::pair<QString, Icon>> expected) {
    using Shown = std::vector<std::pair<QString, Icon>>;
    Shown shown;
    for (const auto& s : messages.shown) {
        shown.emplace_back(s.text, s.icon);
        EXPECT_EQ(s.title, kAppTitle);
    }
    EXPECT_EQ(shown, Shown(expected));
}

QString OnTheWire::cellText(int n) {
    auto* c = w->findChild<QLineEdit*>(QStringLiteral("Text1(%1)").arg(n));
    if (!c) {
        ADD_FAILURE() << "no cell " << n;
        return {};
    }
    return c->text();
}

int OnTheWire::cellColour(int n) {
    auto* c = w->findChild<QLineEdit*>(QStringLiteral("Text1(%1)").arg(n));
    return c ? colourNumber(background(c)) : -1;
}

void OnTheWire::expectAllCellsFailed() {
    int failed = 0;
    for (int n = 0; n < 128; ++n)
        failed += cellText(n) == QStringLiteral("Er") && cellColour(n) == colour::kRed;
    EXPECT_EQ(failed, 128) << "cells showing Er on red";
}

void OnTheWire::expectCellsHold(const sim::Panel::Memory& memory) {
    for (int n = 0; n < 128; ++n) {
        if (n < 96) {
            EXPECT_EQ(cellText(n), QStringLiteral(" ")) << "cell " << n;
            EXPECT_EQ(cellColour(n), colour::kWhite) << "cell " << n;
        } else {
            const QString hex = QStringLiteral("%1")
                                    .arg(memory[static_cast<size_t>(n)], 2, 16, QLatin1Char('0'))
                                    .toUpper();
            EXPECT_EQ(cellText(n), hex) << "cell " << n;
            EXPECT_EQ(cellColour(n), colour::kGreen) << "cell " << n;
        }
    }
}

void OnTheWire::expectRecovery(const sim::Panel::Memory& memory, const Decoded& shown) {
    SCOPED_TRACE("recovery");
    faulty.stop();
    QString error;
    const QString image = dir.filePath(QStringLiteral("healthy.hex"));
    ASSERT_TRUE(sim::saveImage(image, memory, error)) << error.toStdString();
    startPanel(healthy, {QStringLiteral("--load"), image});
    // Controls away from what the panel holds, so that the read must set every one.
    setControls({{1, 3, 5, 7, 9}, 0, 0, 0, 3, 1, 1, 2});
    validate();
    read();
    expectMessages({{kReadOk, Icon::Information}});
    expectCellsHold(memory);
    expectControls(shown);
}

void OnTheWire::expectRecovery() {
    expectRecovery(sim::programmedMemory(), kFactoryPanel);
}

}  // namespace veq::test
