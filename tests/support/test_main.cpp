#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "journal/journal.h"
#include "link/portmap.h"

#include "app/lib/look.h"

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
    return RUN_ALL_TESTS();
}
