#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace orvelin {

// Buttons of a message box and the answer codes, numbered as the classic
// message-box results so that callers compare against the same values.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum MsgResult : int { IdOk = 1, IdCancel = 2, IdRetry = 4, IdYes = 6, IdNo = 7 };

// One entry of a file dialog's filter list: the text the user sees and the
// patterns, separated by ";" ("*.*" matches every file).
struct FileFilter {
    QString text;
    QString pattern;
};

struct FileDialogRequest {
    QWidget* owner = nullptr;
    QString title;
    QString startFolder;
    QString fileName; // initial name, may be empty
    QList<FileFilter> filters;
    int selectedFilter = 0; // index into filters
};

// Every message box, file dialog, font chooser, web address and process start
// of the program goes through this interface, so that tests can script the
// answers and read the texts.
class UiServices {
public:
    virtual ~UiServices() = default;

    // A modal message box; returns one of MsgResult. A null owner means the
    // box has no owner window.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                           MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) = 0;
    virtual std::optional<QString> OpenFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> SaveFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<QFont> ChooseFont(QWidget* owner, const QFont& initial) = 0;
    // Opens a web address or file in the user's default application and
    // tells `done` whether it opened: from the event loop once the desktop's
    // opener has answered (it may be at once), never by blocking the caller.
    // `done` may be empty.
    virtual void OpenUrl(const QString& url, std::function<void(bool opened)> done) = 0;
    // The same for a caller that does not wait for the outcome.
    void OpenUrl(const QString& url) { OpenUrl(url, {}); }
    // Starts a detached process; false when it cannot be started.
    virtual bool StartProcess(const QString& program, const QStringList& arguments) = 0;
    // The command line of the application registered for web pages (the
    // default browser's Exec line, placeholders still in it); empty when none
    // is registered.
    virtual QString HtmlAssociationCommand() = 0;

    // A message box raised through the framework: the caption is the
    // application name.
    int FrameworkMessageBox(QWidget* owner, const QString& text,
                            MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None);
};

// The application name shown as the caption of framework message boxes: the
// executable's base name.
QString ApplicationName();

// The product implementation on Qt dialogs.
class QtUiServices : public UiServices {
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, MsgButtons buttons,
                   MsgIcon icon) override;
    std::optional<QString> OpenFileName(const FileDialogRequest& request) override;
    std::optional<QString> SaveFileName(const FileDialogRequest& request) override;
    std::optional<QFont> ChooseFont(QWidget* owner, const QFont& initial) override;
    using UiServices::OpenUrl;
    void OpenUrl(const QString& url, std::function<void(bool opened)> done) override;
    bool StartProcess(const QString& program, const QStringList& arguments) override;
    QString HtmlAssociationCommand() override;
};

} // namespace orvelin
