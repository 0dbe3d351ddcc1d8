// Shared main of the test binaries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Must be set before the QApplication exists; ctest sets it too, but test discovery
    // and hand runs may not.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // No test may read or write the user's real settings: every binary gets a private
    // settings folder (tests that need their own set DISKWELL_CONFIG_DIR themselves).
    QTemporaryDir configDir;
    qputenv("DISKWELL_CONFIG_DIR", configDir.path().toLocal8Bit());
    qunsetenv("LANGUAGE");

    QApplication app(argc, argv);
    // Tests pin the locale; the program uses the user's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
