#include "tests/wire/bench.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest-spi.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>

#include "link/anyport.h"
#include "panelmem/colours.h"
#include "panelsim/model/image.h"
#include "ui/windows.h"

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

namespace {

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits up to 20 ms for `fd` to be readable.
bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 20) > 0 && (p.revents & POLLIN);
}

}  // namespace

StallProbe::StallProbe() : roundNs_(nowNs()) {
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    echo_ = std::thread([this] { echo(); });
    ping_ = std::thread([this] { ping(); });
}

StallProbe::~StallProbe() {
    stop_ = true;
    if (echo_.joinable()) echo_.join();
    if (ping_.joinable()) ping_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
}

void StallProbe::echo() {
    char buffer[64];
    while (!stop_) {
        if (!readable(master_)) continue;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0 && ::write(master_, buffer, static_cast<size_t>(n)) != n) return;
    }
}

void StallProbe::ping() {
    char buffer[64];
    while (!stop_) {
        // A round that starts late after the pause is the probe itself held up: the machine
        // stalled the process, as it may any other.
        const long long start = nowNs();
        worstNs_ = std::max(worstNs_.load(), start - roundNs_.load());
        roundNs_ = start;
        if (::write(slave_, "p", 1) != 1) return;
        while (!readable(slave_))
            if (stop_) return;
        if (::read(slave_, buffer, sizeof buffer) <= 0) return;
        worstNs_ = std::max(worstNs_.load(), nowNs() - start);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

double StallProbe::worst() const {
    if (!working()) return 0;
    // A round under way, or one not yet begun, counts with its age.
    const long long w = std::max(worstNs_.load(), nowNs() - roundNs_.load());
    return static_cast<double>(w) / 1e9;
}

void retryWhenStalled(const std::function<void()>& attempt) {
    constexpr int kAttempts = 3;
    for (int n = 1;; ++n) {
        ::testing::TestPartResultArray results;
        double worst = 0;
        bool probed = false;
        {
            StallProbe probe;
            probed = probe.working();
            {
                ::testing::ScopedFakeTestPartResultReporter intercept(
                    ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
                    &results);
                attempt();
            }
            worst = probe.worst();
        }
        std::vector<const ::testing::TestPartResult*> failures;
        for (int i = 0; i < results.size(); ++i)
            if (results.GetTestPartResult(i).failed())
                failures.push_back(&results.GetTestPartResult(i));
        if (failures.empty()) {
            if (n > 1) std::printf("[ stalled  ] attempt %d passed\n", n);
            return;
        }
        const bool stalled = worst > kStallSeconds;
        if (!stalled || n == kAttempts) {
            for (const auto* f : failures)
                GTEST_MESSAGE_AT_(f->file_name() ? f->file_name() : "?", f->line_number(),
                                  f->message(), f->type());
            if (!probed) ADD_FAILURE() << "no pseudo-terminal for the stall probe";
            if (stalled)
                ADD_FAILURE() << kAttempts << " attempts, each failing while the machine held a "
                              << "terminal's bytes; the last for " << worst << " s";
            return;
        }
        std::printf(
            "[ stalled  ] attempt %d failed while a terminal echo took %.2f s; set aside:\n", n,
            worst);
        for (const auto* f : failures)
            std::printf("    %s:%d: %s\n", f->file_name() ? f->file_name() : "?", f->line_number(),
                        f->summary());
        std::fflush(stdout);
    }
}

Bench::Bench()
    : context{clock,
              messages,
              files,
              documents,
              [] { return std::unique_ptr<SerialPort>(std::make_unique<AnyPort>()); },
              {},
              {}} {
    context.configuration = [this]() -> ConfigurationWindow& { return *cfg; };
    context.session = [this]() -> LinkSession& { return cfg->session(); };
}

void Bench::setUp() {
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
    ready = true;
}

void Bench::startPanel(SimProcess& sim, const QStringList& options) {
    ASSERT_TRUE(sim.start(QStringList{QStringLiteral("--link"), link} + options))
        << options.join(' ').toStdString();
}

void Bench::validate() {
    messages.shown.clear();
    // Only COM10 is mapped: nothing else may be opened.
    ASSERT_EQ(cfg->list(0)->currentText(), QStringLiteral("COM10:"));
    cfg->validateButton()->click();
    expectMessages({{kOpened, Icon::Information}});
    EXPECT_EQ(cfg->portFlag(), QStringLiteral("True"));
    EXPECT_TRUE(cfg->MSComm1().isOpen());
}

double Bench::click(const char* button, QWidget* window) {
    messages.shown.clear();
    auto* b = (window ? window : w.get())->findChild<QAbstractButton*>(QString::fromLatin1(button));
    if (!b) {
        ADD_FAILURE() << "no button " << button;
        return 0;
    }
    QElapsedTimer t;
    t.start();
    b->click();
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

QScrollBar* Bench::slider(const QString& name) {
    auto* s = w->findChild<QScrollBar*>(name);
    if (!s) ADD_FAILURE() << "no slider " << name.toStdString();
    return s;
}

void Bench::setControls(const Decoded& d) {
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

void Bench::expectControls(const Decoded& d) {
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

void Bench::expectMessages(std::initializer_list<std::pair<QString, Icon>> expected) {
    using Shown = std::vector<std::pair<QString, Icon>>;
    Shown shown;
    for (const auto& s : messages.shown) {
        shown.emplace_back(s.text, s.icon);
        EXPECT_EQ(s.title, kAppTitle);
    }
    EXPECT_EQ(shown, Shown(expected));
}

QString Bench::cellText(int n) {
    auto* c = w->findChild<QLineEdit*>(QStringLiteral("Text1(%1)").arg(n));
    if (!c) {
        ADD_FAILURE() << "no cell " << n;
        return {};
    }
    return c->text();
}

int Bench::cellColour(int n) {
    auto* c = w->findChild<QLineEdit*>(QStringLiteral("Text1(%1)").arg(n));
    return c ? colourNumber(background(c)) : -1;
}

void Bench::expectAllCellsFailed() {
    int failed = 0;
    for (int n = 0; n < 128; ++n)
        failed += cellText(n) == QStringLiteral("Er") && cellColour(n) == colour::kRed;
    EXPECT_EQ(failed, 128) << "cells showing Er on red";
}

void Bench::expectCellsHold(const sim::Panel::Memory& memory) {
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

void Bench::expectRecovery(const sim::Panel::Memory& memory, const Decoded& shown) {
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

sim::Panel::Memory Bench::savedImage(const QString& path) {
    sim::Panel::Memory m{};
    QString error;
    EXPECT_TRUE(sim::loadImage(path, m, error)) << error.toStdString();
    return m;
}

void OnTheWire::run(const std::function<void(Bench&)>& scenario) {
    retryWhenStalled([&] {
        Bench bench;
        bench.setUp();
        if (bench.ready) scenario(bench);
    });
}

void Bench::expectRecovery() {
    expectRecovery(sim::programmedMemory(), kFactoryPanel);
}

}  // namespace veq::test
