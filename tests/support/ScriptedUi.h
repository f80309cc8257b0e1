#pragma once

#include "app/UiServices.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace orvelin::test {

// One recorded call of the UI services.
struct UiCall {
    enum Kind { Message, OpenFile, SaveFile, Font, Url, Process } kind;
    QString text;    // message text, URL or program
    QString caption; // message caption or dialog title
    MsgButtons buttons = MsgButtons::Ok;
    bool hadOwner = false;
    FileDialogRequest file;       // for file dialogs
    QStringList arguments;        // for processes
    MsgIcon icon = MsgIcon::None; // for message boxes
};

// A scripted stand-in for the UI services: records every call and answers
// from queues the test fills. Message boxes answer their first button when no
// answer is queued; file dialogs and the font chooser answer "cancelled".
class ScriptedUi : public UiServices {
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, MsgButtons buttons,
                   MsgIcon icon) override;
    std::optional<QString> OpenFileName(const FileDialogRequest& request) override;
    std::optional<QString> SaveFileName(const FileDialogRequest& request) override;
    std::optional<QFont> ChooseFont(QWidget* owner, const QFont& initial) override;
    using UiServices::OpenUrl;
    // Answers `urlResult` at once.
    void OpenUrl(const QString& url, std::function<void(bool opened)> done) override;
    bool StartProcess(const QString& program, const QStringList& arguments) override;
    QString HtmlAssociationCommand() override;

    std::deque<int> messageAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    bool urlResult = true;
    bool processResult = true;
    // What HtmlAssociationCommand answers (empty: no browser registered).
    QString htmlCommand;
    // Called while a message box is "shown", before it answers.
    std::function<void(const UiCall&)> onMessage;

    std::vector<UiCall> calls;

    // The recorded message boxes only.
    std::vector<UiCall> Messages() const;
    // Texts of the recorded message boxes, in order.
    QStringList MessageTexts() const;
    void Clear() { calls.clear(); }

private:
    std::optional<QString> AnswerFile(UiCall::Kind kind, const FileDialogRequest& request);
};

} // namespace orvelin::test
