#pragma once

#include <QImage>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
class QMimeData;

namespace orvelin {

class PreviewPlayer;

// The preview player's own top-level window: draws the decoded frames,
// carries the clip's title, offers the context menu and the click toggles,
// and switches to full screen.
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    // Context-menu commands.
    enum Command {
        kCmdFullScreen = 32771,
        kCmdNormalSize = 32772,
        kCmdPlay = 32773,
        kCmdPause = 32774,
        kCmdStop = 32775,
        kCmdClose = 32776,
    };
    static constexpr int kCursorTimerId = 1;
    static constexpr int kCursorTimerMs = 50000;
    // The cursor disappears after this long without mouse activity.
    static constexpr qint64 kCursorIdleMs = 100000;

    // `mainWindow` is the player's owner; the window itself has no parent.
    PreviewWindow(PreviewPlayer* player, QWidget* mainWindow);
    ~PreviewWindow() override;

    // The player lets go of the window (it is about to be deleted).
    void Detach();
    // Whether one of the window's own event handlers is running (then the
    // window must be deleted later, not at once).
    bool Handling() const { return handlingDepth_ > 0; }

    // The newest decoded frame; drawn scaled into the video's place.
    void ShowFrame(const QImage& frame);
    const QImage& Frame() const { return frame_; }
    // Where the video is drawn, in window coordinates: the whole client area
    // when windowed, the computed place when full screen.
    QRect VideoRect() const;

    // Sizes the window for a picture of `picture` (the client size): the
    // first time beside the main window, later where it stands; never beyond
    // the screen's available area (a picture too large is scaled down,
    // keeping its shape).
    void PlaceForPicture(const QSize& picture);

    // Where files dropped on the window go: asked with `drop` false whether it
    // takes what is dragged, then with `drop` true to take it; answers
    // whether it did.
    using DropTarget = std::function<bool(const QMimeData* mime, bool drop)>;
    void SetDropTarget(DropTarget target) { dropTarget_ = std::move(target); }

    bool WindowShown() const { return windowShown_; }
    void SetWindowShown(bool shown) { windowShown_ = shown; }

    bool IsFullScreen() const { return fullScreen_; }
    void ToggleFullScreen();
    bool EnterFullScreen();
    bool LeaveFullScreen();

    // Timer 1: hides the cursor after kCursorIdleMs without mouse activity
    // while full screen.
    void CheckCursor();
    void StopCursorTimer() { cursorTimer_.stop(); }
    bool CursorTimerActive() const { return cursorTimer_.isActive(); }
    bool CursorHidden() const { return cursorCount_ < 0; }
    // Milliseconds of a monotonic clock; tests replace it.
    void SetClock(std::function<qint64()> clock) { clock_ = std::move(clock); }

    // The context menu as it would open now (items greyed and checked by
    // the player's state); each action's data is its command.
    std::unique_ptr<QMenu> CreateContextMenu() const;
    void ShowContextMenu(const QPoint& clientPos);
    void RunCommand(int command);

    // The left-click behaviour: which of the two windows comes forward.
    void ClickToggle();
    bool TopmostToggle() const { return topmostToggle_; }
    // The windowed click flag, shared by every preview window of the process.
    static bool WindowedClickFlag() { return windowedClickFlag_; }

signals:
    // The close box or the menu's Close: the main window closes the video.
    void closeCommand();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QRect AvailableArea() const;
    QMargins FrameMargins() const;

    void NoteMouseActivity();
    void ShowCursorNow();
    void HideCursorNow();

    PreviewPlayer* player_;
    QPointer<QWidget> mainWindow_;
    QImage frame_;
    bool windowShown_ = false;
    bool fullScreen_ = false;
    bool placed_ = false;
    bool topmostToggle_ = false;
    QRect fullScreenVideoRect_;
    QRect savedRect_;
    qint64 lastInputTime_ = 0;
    int cursorCount_ = 0;
    int handlingDepth_ = 0;
    QTimer cursorTimer_;
    std::function<qint64()> clock_;
    DropTarget dropTarget_;

    static bool windowedClickFlag_;
};

} // namespace orvelin
