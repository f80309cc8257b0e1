// Open Video and Convert again and again in one process, counting the
// process's open descriptors and its resident memory. Driven by
// bench/leak_cycles.sh (ORVELIN_LEAK_CYCLES sets the number of cycles); it
// is not part of the ordinary test run.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
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

} // namespace

TEST(LeakCycles, DISABLED_OpenAndConvertCycles) {
    const int cycles = qEnvironmentVariableIsSet("ORVELIN_LEAK_CYCLES")
                           ? qEnvironmentVariableIntValue("ORVELIN_LEAK_CYCLES")
                           : 10;
    TestEnv env;
    QTemporaryDir dir;
    MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = 1.0;
    const QString source = dir.filePath("cycle.mkv");
    ASSERT_TRUE(MakeMedia(source, clip));
    env.settings->WriteString("Settings", "OutputName", dir.filePath("cycle-out.mkv"));
    MainDialog dialog(*env.context);
    dialog.show();
    auto click = [&](int id) { qobject_cast<QAbstractButton*>(dialog.Control(id))->click(); };
    auto cycle = [&] {
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
    };
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
