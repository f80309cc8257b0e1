#pragma once

#include "controls/SeekSlider.h"
#include "convert/ConvertHost.h"
#include "convert/MainState.h"

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QAbstractButton;
class QAction;
class QMenu;
class QMimeData;

namespace orvelin {

struct AppContext;
class PictureSurface;
class PreviewPlayer;
class ConversionController;
class HelpWindow;

// The single main window: holds the opened video, trim points, output
// settings, the preview player and the conversion job, and receives every
// user action.
class MainDialog : public QDialog, public ConvertHost {
    Q_OBJECT
public:
    explicit MainDialog(AppContext& app, QWidget* parent = nullptr);
    ~MainDialog() override;

    MainState& State() override { return state_; }
    const MainState& State() const { return state_; }
    AppContext& App() { return app_; }

    // The control with a template identifier; nullptr when there is none.
    QWidget* Control(int id) const;
    QString ControlText(int id) const;
    void SetControlText(int id, const QString& text);
    void EnableControl(int id, bool enable);
    bool InitializationCompleted() const { return initialized_; }

    void DisablePlaybackControls();
    void EnablePlaybackControls();
    void DisableEditControls() override;
    void EnableEditControls() override;
    void BlockCommands(bool block) override;
    // True while a conversion is set up: commands are refused.
    bool CommandsBlocked() const { return commandsBlocked_; }

    // What the conversion changes on the main window.
    UiServices& Ui() override;
    QWidget* OwnerWidget() override { return this; }
    void SetConvertButtonText(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetTimelinePreviewButtonText(const QString& text) override;
    // The percentage in the title and the desktop's task-bar progress.
    void ShowConversionProgress(int percent) override;
    // A notification when the job ends while the window is not active.
    void ConversionEnded(JobOutcome outcome, const QString& statusText) override;
    ConversionController& Conversion() { return *conversion_; }
    void ClosePreview();
    void RefreshOutputInfo();

    // Commands.
    void OpenVideo(); // control 1006
    // Opens `path` as Open Video does after its file dialog (the command line
    // and a drop come here).
    void OpenVideoFile(const QString& path);
    // Whether files being dragged over the window (or the preview) can be
    // dropped; and taking them: the first opens as through Open Video.
    // TakeDrop answers whether the drop was taken.
    bool TakesDrop(const QMimeData* mime) const;
    bool TakeDrop(const QMimeData* mime);
    void OnOptions();     // control 1003
    void TakeTrimStart(); // control 1062
    void TakeTrimEnd();   // control 1063
    void OnPlay();        // control 1058
    void OnPause();       // control 1060
    void OnStop();        // control 1061
    // The seek slider let go of the mouse: seek the preview there.
    void OnSliderReleased();
    // Position message 1027 from the preview player.
    void OnPositionMessage(qint64 currentPosition, qint64 stopPosition);
    // A moving key on the seek slider: arrows one second, Page keys ten,
    // Home and End the start and the end of the clip.
    void OnSliderKey(SeekSlider::KeyMove move);
    PreviewPlayer* Player() const { return player_.get(); }
    void ShowHelp(); // control 1084 and command 57670
    // The help's start page from the help folder inside `programFolder`.
    void ShowHelp(const QString& programFolder);
    HelpWindow* Help() const { return help_; }
    void OpenHomepage();   // control 1047
    void OnAbout();        // control 1042 (the popup menu's About presses it)
    void OnCloseCommand(); // control 1056
    void OnExit();         // control 1076
    // The close request: answers whether the window may end (and ends it).
    bool RequestClose();

    // The popup menu of a right click at `position` (client coordinates).
    void ShowPopupMenu(const QPoint& position);
    // Fills the Language submenu of the popup proper and retitles the menu;
    // false when the popup has no submenu.
    bool FillLanguageMenu(QMenu* resource, QMenu* popup);
    // A command of the popup menu (language, Font or About).
    void OnPopupCommand(int commandId);
    // Selects the language of a language command (45400 to 46399); other
    // commands are left alone.
    void OnSelectLanguage(int commandId);
    void OnFont(); // command 32780
    // Shows the popup menu and answers the chosen item (QMenu::exec at the
    // pointer in the program; tests replace it).
    using PopupRunner = std::function<QAction*(QMenu* popup, const QPoint& globalPosition)>;
    void SetPopupRunner(PopupRunner runner) { popupRunner_ = std::move(runner); }

public slots:
    void accept() override;
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    // Accessible names for the controls without a caption.
    void NameControls();
    void Initialize();
    void SetUpImageButtons();
    void SetUpListViews();
    void ConnectCommands();
    // The position text and the slider's thumb for these positions.
    void ShowPosition(qint64 currentPosition, qint64 stopPosition);
    void WriteOutputInfoFirstForm();
    // Opens the file in a new preview player; false when the player failed
    // (it has shown its own message).
    bool StartFilePreview(const QString& path);

    AppContext& app_;
    MainState state_;
    std::map<int, QWidget*> controls_;
    QPixmap background_;
    std::unique_ptr<PreviewPlayer> player_;
    std::unique_ptr<ConversionController> conversion_;
    PictureSurface* pictureSurface_ = nullptr;
    SeekSlider* slider_ = nullptr;
    HelpWindow* help_ = nullptr;
    bool initialized_ = false;
    bool closing_ = false;
    bool commandsBlocked_ = false;
    std::vector<std::pair<QWidget*, bool>> blockedControls_; // with their enabled state
    QString titleBeforeProgress_; // the caption while a percentage is shown
    PopupRunner popupRunner_;
};

} // namespace orvelin
