// Shared main of the test executables: widgets on the offscreen platform and
// the media platform initialised on the main thread, as the program does.
#include "media/MediaPlatform.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    // The compressor trials' verdicts are shared by all tests (they belong to
    // the installed plug-ins, not to a test's settings); a test that wants a
    // cold start points XDG_CACHE_HOME elsewhere.
    if (qgetenv("XDG_CACHE_HOME").isEmpty())
        qputenv("XDG_CACHE_HOME", QByteArray(ORVELIN_TEST_CACHE_DIR));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    orvelin::media::InitializeMediaPlatform();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
