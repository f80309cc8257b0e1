// Conversions through the main window whose output cannot be written: a
// folder that does not exist, and a disk that fills up while the job runs.
// The message names the file the user chose, the half-written file goes, and
// the previous output stays as it was.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/MainWindowTest.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

// Files this process writes may not grow beyond `bytes` while it lives, as on
// a full disk: a write past the limit fails (the signal that would end the
// process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class GuiConvertFailureTest : public MainWindowTest {
protected:
    QString Clip() {
        MediaSpec clip;
        clip.width = 96;
        clip.height = 64;
        clip.seconds = 3.0;
        return SharedMedia("failure-source.mkv", clip);
    }
    void ExpectReadyAgain() {
        EXPECT_EQ(dialog_->State().converting, 0);
        EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Convert");
        EXPECT_TRUE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
        EXPECT_TRUE(dialog_->Control(IDC_BUTTON_OPTIONS)->isEnabled());
    }
};

} // namespace

// An output folder that does not exist: the file cannot be opened, and the
// message names the file that was chosen (not the file the job writes first).
TEST_F(GuiConvertFailureTest, AMissingFolderNamesTheChosenFile) {
    const QString output = dir_.filePath("no such folder/out.mkv");
    OpenAndShow(Clip(), output);
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes};
    Click(IDC_BUTTON_CONVERT);
    ASSERT_TRUE(WaitFor([&] { return dialog_->State().converting == 0; }));
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    const QString messages = Messages();
    EXPECT_TRUE(messages.contains(output)) << messages.toStdString();
    EXPECT_FALSE(messages.contains("orvelin-partial")) << messages.toStdString();
    EXPECT_TRUE(messages.contains("No such file or directory")) << messages.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath("no such folder")));
    ExpectReadyAgain();
}

// The disk fills up while the job writes: the job ends with a message naming
// the chosen file, the half-written file is removed and the previous output
// is left as it was.
TEST_F(GuiConvertFailureTest, AFullDiskKeepsThePreviousOutputAndLeavesNoPartialFile) {
    const QString source = Clip();
    ASSERT_FALSE(source.isEmpty());
    const QString output = dir_.filePath("out.mkv");
    {
        QFile previous(output);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("the previous output");
    }
    OpenAndShow(source, output);
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes, IdYes}; // replace it; no compressor
    {
        // Three seconds of uncompressed pictures need about 1.4 MB.
        FileSizeLimit limit(200 * 1024);
        ASSERT_TRUE(limit.Active());
        Click(IDC_BUTTON_CONVERT);
        ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
        ASSERT_TRUE(
            WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(60)));
    }
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(Status().contains(output)) << Status().toStdString();
    const QStringList texts = env_.ui.MessageTexts();
    ASSERT_EQ(texts.size(), 3) << Messages().toStdString(); // replace, compressor, the failure
    EXPECT_TRUE(texts[2].contains(output)) << texts[2].toStdString();
    EXPECT_TRUE(texts[2].contains("File too large")) << texts[2].toStdString();
    EXPECT_FALSE(texts[2].contains("orvelin-partial")) << texts[2].toStdString();
    EXPECT_EQ(ReadAll(output), "the previous output");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.mkv"});
    ExpectReadyAgain();
}
