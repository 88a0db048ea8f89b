#pragma once

// The application's own path to a panel, end to end: the link settings window and the
// rate-parameter window on the real QSerialPort backend and the steady clock, against the
// veq-panel-sim program on a pseudo-terminal, with message boxes recorded. Waits here are the
// application's real ones (0.5 s settle, 1 s reply wait).
//
// Those waits leave a margin of 0.4 s or more to the line. On a machine loaded well beyond its
// cores, the kernel sometimes holds the bytes of every pseudo-terminal for longer than that (up
// to 2 s has been seen). A scenario is then run again, with new windows and a new simulator:
// only when it failed while an echo on a terminal of its own came back late, so no failure the
// machine cannot account for is ever hidden.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include <QProcess>
#include <QScrollBar>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "link/clock.h"
#include "link/ui/configuration.h"
#include "panelsim/model/panel.h"
#include "params/dump24c01.h"
#include "tests/support/fakes.h"
#include "tests/support/simprocess.h"
#include "ui/context.h"

// Failures show texts, not arrays of characters.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace veq::test {

inline const QString kOpened = QStringLiteral("Ouverture du port COM10: effectuée avec succès.");
inline const QString kBlank =
    QStringLiteral("Paramètre vièrge. Veuillez envoyer une premères fois les paramètres.");
inline const QString kReadOk = QStringLiteral("Lecture effectuée avec succés.");
inline const QString kWriteOk = QStringLiteral("Programmation effectuée avec succés.");
inline const QString kReadFirst = QStringLiteral(
    "Les paramètres du panneau doivent d'abord être lus avec succès (« Lire les paramètres ») "
    "avant de pouvoir le programmer : une partie de sa mémoire n'a pas été lue. Rien n'a été "
    "programmé.");
inline const QString kError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");

// Ends the test program when a test outlives its limit: a hang is a failure, not a stall.
class Watchdog {
  public:
    explicit Watchdog(std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// Measures how long the machine holds bytes on a pseudo-terminal, or holds up a process: a
// character goes down a terminal of the probe's own and is echoed back, every few milliseconds,
// for as long as the probe lives; the worst is the longest round trip or gap between two rounds.
// Nothing of the application or the simulator takes part.
class StallProbe {
  public:
    StallProbe();
    ~StallProbe();
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;

    // The longest round trip so far, in seconds (one still under way counts with its age).
    double worst() const;
    bool working() const { return master_ >= 0; }

  private:
    void echo();
    void ping();

    int master_ = -1;
    int slave_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<long long> worstNs_{0};
    std::atomic<long long> roundNs_;  // when the last round began
    std::thread echo_;
    std::thread ping_;
};

// The longest round trip of the probe that is taken for a stall of the machine, beyond the
// tolerance the scenarios are built with.
inline constexpr double kStallSeconds = 0.3;

// Runs `attempt` and reports its failures, except when it failed while the probe saw a stall:
// then the failures are set aside (and printed) and it runs again, three attempts in all.
void retryWhenStalled(const std::function<void()>& attempt);

// What the parameter controls show after a read.
struct Decoded {
    std::array<int, 5> ranges;  // HScroll1(0..4)
    int averaging2;             // HScroll2
    int averaging1;             // HScroll3
    int antiBounce;             // HScroll4
    int stopThreshold;          // HScroll5
    int relay1, relay2;         // HScroll6, HScroll7
    int timeBaseChoice;         // the checked Option2(k)
};

// What veq-panel-sim holds when it starts without --load or --fill.
inline constexpr Decoded kFactoryPanel{{1, 149, 349, 549, 749}, 2, 1, 10, 60, 200, 800, 0};
// What the tests program: every value differs from the factory panel's.
inline constexpr Decoded kProgrammed{{1, 120, 340, 560, 780}, 3, 2, 25, 1234, 300, 900, 1};

// Two windows of the application on COM10, which leads to a link in the bench's own temporary
// folder: veq-panel-sim makes that link, and a simulator started later takes it over, as a panel
// that comes back under the same port name.
class Bench {
  public:
    Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;
    // Makes the folder, maps COM10 to its link and opens the windows with "COM10:" chosen;
    // `ready` tells whether it all went well.
    void setUp();
    bool ready = false;

    // Starts `sim` on the bench's link with the given options.
    void startPanel(SimProcess& sim, const QStringList& options = {});
    // Presses "Valider la configuration"; the port opens with its success message only.
    void validate();
    // Presses a button of the parameter window after clearing the recorded messages; the
    // seconds the click took.
    double click(const char* button, QWidget* window = nullptr);
    double read() { return click("but_lit_para"); }
    double program() { return click("but_ecrit_para"); }

    // Sets the parameter controls to `d`.
    void setControls(const Decoded& d);
    // The controls show `d` and the range colours those of the factory panel (red, orange,
    // green, orange, red).
    void expectControls(const Decoded& d);
    // The messages shown since the last click, in order.
    void expectMessages(std::initializer_list<std::pair<QString, Icon>> expected);
    // Every cell 0..127 shows "Er" on red.
    void expectAllCellsFailed();
    // Cells 96..127 show `memory`'s bytes on green, cells 0..95 a blank on white.
    void expectCellsHold(const sim::Panel::Memory& memory);
    QString cellText(int n);
    int cellColour(int n);
    QScrollBar* slider(const QString& name);
    // The memory image a simulator saved with --save.
    sim::Panel::Memory savedImage(const QString& path);

    // After a fault: the faulty simulator (if any) goes, a healthy one holding `memory` comes
    // at the same port name, and a new validation and a read work again and show `shown`.
    void expectRecovery(const sim::Panel::Memory& memory, const Decoded& shown);
    void expectRecovery();

    QTemporaryDir dir;
    QString link;
    SteadyClock clock;
    FakeMessages messages;
    FakeFileDialogs files;
    FakeDocumentOpener documents;
    WindowContext context;
    SimProcess faulty;
    SimProcess healthy;
    std::unique_ptr<ConfigurationWindow> cfg;
    std::unique_ptr<Dump24c01> w;
};

// Each scenario on a bench of its own, under a watchdog.
class OnTheWire : public ::testing::Test {
  protected:
    void run(const std::function<void(Bench&)>& scenario);

    Watchdog watchdog{std::chrono::seconds(120)};
};

}  // namespace veq::test
