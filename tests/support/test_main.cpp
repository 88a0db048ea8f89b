#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "journal/journal.h"
#include "link/portmap.h"

#include "app/lib/look.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
    // Every test runs headless, also when the test list is read at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    veq::applyLook(app);  // the tests render what the operators see
    // The COM numbers never come from the machine's ports nor from the user's ports file.
    QTemporaryDir home;
    veq::setPortsFilePath(home.filePath(QStringLiteral("ports")));
    veq::setPortLister([] { return std::vector<veq::ListedPort>{}; });
    // Nor does any test write the user's journal.
    veq::journal::setJournalPath(home.filePath(QStringLiteral("journal.jsonl")));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef _WIN32
    // Under Wine a test program that ran threads may crash while its libraries unload, after its
    // tests have passed: it ends at once, as veqctl.exe does, its temporary folder removed first.
    home.remove();
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
#endif
    return result;
}
