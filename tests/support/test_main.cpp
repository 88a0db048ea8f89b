#include <gtest/gtest.h>

#include <QApplication>

#include "app/lib/look.h"

int main(int argc, char** argv) {
    // Every test runs headless, also when the test list is read at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    veq::applyLook(app);  // the tests render what the operators see
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
