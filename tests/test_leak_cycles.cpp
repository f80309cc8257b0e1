// Open Video and Convert again and again in one process, counting the
// process's open descriptors and its resident memory. Driven by
// bench/leak_cycles.sh (ORVELIN_LEAK_CYCLES sets the number of cycles); it
// is not part of the ordinary test run. The ordinary test only checks that
// the descriptors come back after a few cycles.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "media/PipelineRelease.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

using namespace orvelin;
using namespace orvelin::test;

namespace {

int OpenDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd")
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
}

long ResidentKb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return 0;
}

// A main window with a tiny clip that Open Video and Convert can be clicked
// on again and again.
class CycleBench {
public:
    CycleBench() : dialog(*env.context) {
        MediaSpec clip;
        clip.width = 96;
        clip.height = 64;
        clip.seconds = 1.0;
        source = dir.filePath("cycle.mkv");
        made = MakeMedia(source, clip);
        env.settings->WriteString("Settings", "OutputName", dir.filePath("cycle-out.mkv"));
        dialog.show();
    }

    // One Open Video of the clip and one Convert of it to its end.
    void Cycle() {
        env.ui.fileAnswers.push_back(source);
        click(IDC_BUTTON_OPEN_VIDEO);
        ASSERT_EQ(dialog.State().itemCount, 1);
        env.ui.messageAnswers = {IdYes, IdYes};
        click(IDC_BUTTON_CONVERT);
        ASSERT_EQ(dialog.State().converting, 1) << env.ui.MessageTexts().join("|").toStdString();
        ASSERT_TRUE(
            WaitFor([&] { return dialog.State().converting == 0; }, std::chrono::seconds(60)));
        ASSERT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Done"));
        env.ui.Clear();
    }

    TestEnv env;
    QTemporaryDir dir;
    QString source;
    bool made = false;
    MainDialog dialog;

private:
    void click(int id) { qobject_cast<QAbstractButton*>(dialog.Control(id))->click(); }
};

// The descriptors once the pipelines released in the background are gone.
int SettledDescriptors() {
    orvelin::media::WaitForPipelineReleases(std::chrono::seconds(5));
    return OpenDescriptors();
}

} // namespace

// Every pipeline of an Open Video and of a conversion gives back its bus
// (a socket pair) and everything else it opened.
TEST(LeakCycles, DescriptorsReturnAfterOpenAndConvertCycles) {
    CycleBench bench;
    ASSERT_TRUE(bench.made);
    // One cycle first: libraries and caches load once.
    ASSERT_NO_FATAL_FAILURE(bench.Cycle());
    const int start = SettledDescriptors();
    for (int i = 0; i < 10; ++i)
        ASSERT_NO_FATAL_FAILURE(bench.Cycle());
    // A descriptor closed a moment late is no leak.
    WaitFor([&] { return SettledDescriptors() <= start; }, std::chrono::seconds(5));
    EXPECT_LE(SettledDescriptors(), start);
}

TEST(LeakCycles, DISABLED_OpenAndConvertCycles) {
    const int cycles = qEnvironmentVariableIsSet("ORVELIN_LEAK_CYCLES")
                           ? qEnvironmentVariableIntValue("ORVELIN_LEAK_CYCLES")
                           : 10;
    CycleBench bench;
    ASSERT_TRUE(bench.made);
    auto cycle = [&] { bench.Cycle(); };
    // One cycle first: libraries and caches load once.
    cycle();
    WaitFor([] { return false; }, std::chrono::milliseconds(500));
    const int fdStart = OpenDescriptors();
    const long rssStart = ResidentKb();
    for (int i = 0; i < cycles; ++i)
        cycle();
    WaitFor([] { return false; }, std::chrono::milliseconds(500));
    const int fdEnd = OpenDescriptors();
    const long rssEnd = ResidentKb();
    std::printf(
        "cycles %d\ndescriptors start %d end %d\nRSS start %ld kB end %ld kB growth %ld kB\n",
        cycles, fdStart, fdEnd, rssStart, rssEnd, rssEnd - rssStart);
    // What the descriptors left open are (sockets, pipes, event fds, files).
    std::map<QString, int> kinds;
    const QDir fds("/proc/self/fd");
    for (const QString& fd :
         fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        QString target = QFile::symLinkTarget(fds.filePath(fd));
        target = target.section('/', -1).section(':', 0, 0).section('[', 0, 0);
        ++kinds[target];
    }
    for (const auto& [kind, count] : kinds)
        std::printf("  %d x %s\n", count, kind.toLocal8Bit().constData());
    EXPECT_LE(fdEnd, fdStart);
    EXPECT_LT(rssEnd - rssStart, 10 * 1024);
}
