#include "support/ScriptedUi.h"

namespace orvelin::test {

int ScriptedUi::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                           MsgButtons buttons, MsgIcon icon) {
    UiCall call{UiCall::Message, text, caption, buttons, owner != nullptr, {}, {}, icon};
    calls.push_back(call);
    if (onMessage)
        onMessage(call);
    if (!messageAnswers.empty()) {
        const int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return IdYes;
    case MsgButtons::RetryCancel:
        return IdRetry;
    default:
        return IdOk;
    }
}

std::optional<QString> ScriptedUi::AnswerFile(UiCall::Kind kind, const FileDialogRequest& request) {
    calls.push_back(
        {kind, {}, request.title, MsgButtons::Ok, request.owner != nullptr, request, {}});
    if (fileAnswers.empty())
        return std::nullopt;
    const bool answered = fileAnswers.front().has_value();
    const QString name = answered ? *fileAnswers.front() : QString();
    fileAnswers.pop_front();
    if (!answered)
        return std::nullopt;
    return name;
}

std::optional<QString> ScriptedUi::OpenFileName(const FileDialogRequest& request) {
    return AnswerFile(UiCall::OpenFile, request);
}

std::optional<QString> ScriptedUi::SaveFileName(const FileDialogRequest& request) {
    return AnswerFile(UiCall::SaveFile, request);
}

std::optional<QFont> ScriptedUi::ChooseFont(QWidget* owner, const QFont&) {
    calls.push_back({UiCall::Font, {}, {}, MsgButtons::Ok, owner != nullptr, {}, {}});
    if (fontAnswers.empty())
        return std::nullopt;
    auto answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
}

void ScriptedUi::OpenUrl(const QString& url, std::function<void(bool opened)> done) {
    calls.push_back({UiCall::Url, url, {}, MsgButtons::Ok, false, {}, {}});
    if (done)
        done(urlResult);
}

bool ScriptedUi::StartProcess(const QString& program, const QStringList& arguments) {
    calls.push_back({UiCall::Process, program, {}, MsgButtons::Ok, false, {}, arguments});
    return processResult;
}

QString ScriptedUi::HtmlAssociationCommand() {
    return htmlCommand;
}

std::vector<UiCall> ScriptedUi::Messages() const {
    std::vector<UiCall> out;
    for (const auto& c : calls) {
        if (c.kind == UiCall::Message)
            out.push_back(c);
    }
    return out;
}

QStringList ScriptedUi::MessageTexts() const {
    QStringList out;
    for (const auto& c : calls) {
        if (c.kind == UiCall::Message)
            out << c.text;
    }
    return out;
}

} // namespace orvelin::test
