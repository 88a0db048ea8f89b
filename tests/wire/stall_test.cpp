// The second chance the timed scenarios get: only after a stall the probe saw, never otherwise.

#include <gtest/gtest-spi.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <QProcess>

#include "tests/wire/bench.h"

namespace veq::test {
namespace {

// Holds this whole process up for about half a second, as an overloaded machine may. A helper
// lets it go once it finds it stopped, so the stop cannot outlast a few seconds.
void holdThisProcessUp() {
    const QString pid = QString::number(::getpid());
    const QString script = QStringLiteral(
                               "for i in 1 2 3 4 5 6 7 8 9 10; do sleep 0.5; "
                               "if grep -q '^State:[[:space:]]*T' /proc/%1/status; then "
                               "kill -CONT %1; exit 0; fi; done")
                               .arg(pid);
    ASSERT_TRUE(QProcess::startDetached("sh", {"-c", script}));
    ::raise(SIGSTOP);
}

int attempts = 0;

// The failures `statement` reports, in order.
std::vector<std::string> reported(const std::function<void()>& statement) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        statement();
    }
    std::vector<std::string> out;
    for (int k = 0; k < results.size(); ++k)
        if (results.GetTestPartResult(k).failed())
            out.push_back(results.GetTestPartResult(k).message());
    return out;
}

TEST(RetryWhenStalled, AFailureOnAQuietMachineIsReportedAtOnce) {
    attempts = 0;
    const auto failures = reported([] {
        retryWhenStalled([] {
            ++attempts;
            ADD_FAILURE() << "the scenario failed";
        });
    });
    EXPECT_EQ(attempts, 1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("the scenario failed"), std::string::npos);
}

TEST(RetryWhenStalled, AFailureDuringAStallIsSetAsideAndTheScenarioRunsAgain) {
    Watchdog watchdog{std::chrono::seconds(60)};
    attempts = 0;
    const auto failures = reported([] {
        retryWhenStalled([] {
            if (++attempts == 1) {
                holdThisProcessUp();
                ADD_FAILURE() << "the scenario failed in the stall";
            }
        });
    });
    EXPECT_EQ(attempts, 2);
    EXPECT_TRUE(failures.empty());
}

TEST(RetryWhenStalled, ThreeAttemptsAtMostThenTheFailuresAndTheStallAreReported) {
    Watchdog watchdog{std::chrono::seconds(60)};
    attempts = 0;
    const auto failures = reported([] {
        retryWhenStalled([] {
            ++attempts;
            holdThisProcessUp();
            ADD_FAILURE() << "the scenario failed in the stall";
        });
    });
    EXPECT_EQ(attempts, 3);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("the scenario failed in the stall"), std::string::npos);
    EXPECT_NE(failures[1].find("held a terminal's bytes"), std::string::npos);
}

}  // namespace
}  // namespace veq::test
