#pragma once

// A fixture for tests that drive the real main window: a private settings
// store and temp folder, the window itself, and the clicks and reads most
// such tests need.
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace orvelin::test {

class MainWindowTest : public ::testing::Test {
protected:
    void Click(int id) { qobject_cast<QAbstractButton*>(dialog_->Control(id))->click(); }
    // Shows the main window with `output` as the stored output file and opens
    // `source` through Open Video.
    void OpenAndShow(const QString& source, const QString& output) {
        env_.settings->WriteString("Settings", "OutputName", output);
        dialog_ = std::make_unique<MainDialog>(*env_.context);
        dialog_->show();
        env_.ui.fileAnswers.push_back(source);
        Click(IDC_BUTTON_OPEN_VIDEO);
        ASSERT_EQ(dialog_->State().itemCount, 1) << Messages().toStdString();
    }
    QString Status() const { return dialog_->ControlText(IDC_STATIC_OUTPUT_INFO); }
    QString Messages() const { return env_.ui.MessageTexts().join("|"); }

    TestEnv env_;
    QTemporaryDir dir_;
    std::unique_ptr<MainDialog> dialog_;
};

} // namespace orvelin::test
