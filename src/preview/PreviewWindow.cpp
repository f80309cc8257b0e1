#include "preview/PreviewWindow.h"

#include "preview/FullScreenPlacement.h"
#include "preview/PreviewPlacement.h"
#include "preview/PreviewPlayer.h"
#include "preview/WindowLayering.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <chrono>

namespace orvelin {

bool PreviewWindow::windowedClickFlag_ = false;

namespace {
qint64 SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The rectangle of `inner` scaled to fit `outer` with its aspect ratio kept,
// centred.
QRect Letterbox(const QSize& inner, const QRect& outer) {
    if (inner.isEmpty() || outer.isEmpty())
        return outer;
    const QSize fitted = inner.scaled(outer.size(), Qt::KeepAspectRatio);
    return QRect(outer.left() + (outer.width() - fitted.width()) / 2,
                 outer.top() + (outer.height() - fitted.height()) / 2, fitted.width(),
                 fitted.height());
}
} // namespace

PreviewWindow::PreviewWindow(PreviewPlayer* player, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window), player_(player), mainWindow_(mainWindow),
      clock_(SteadyMilliseconds) {
    setWindowTitle(QStringLiteral("Video Window"));
    setAccessibleName(QStringLiteral("Video preview"));
    setAccessibleDescription(
        QStringLiteral("While paused, Left and Right step one frame, with Shift one second."));
    // Takes the arrow keys for frame stepping.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
    // Right button events come to the mouse handlers; the menu opens on release.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);

    // A first place for a picture of 320 × 240; the player places the
    // window for the video's own size once it knows it.
    PlaceForPicture(QSize(320, 240));
    placed_ = false;
    setAcceptDrops(true);

    cursorTimer_.setInterval(kCursorTimerMs);
    connect(&cursorTimer_, &QTimer::timeout, this, &PreviewWindow::CheckCursor);
}

PreviewWindow::~PreviewWindow() = default;

QRect PreviewWindow::AvailableArea() const {
    QScreen* target = mainWindow_ ? mainWindow_->screen() : screen();
    if (!target)
        target = QGuiApplication::primaryScreen();
    return target ? target->availableGeometry() : QRect(0, 0, 800, 600);
}

QMargins PreviewWindow::FrameMargins() const {
    // Before the window is shown its frame is not known: the main window's
    // decorations are the best guess.
    auto margins = [](const QWidget* w) {
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    };
    if (isVisible() || !mainWindow_ || !mainWindow_->isVisible())
        return margins(this);
    return margins(mainWindow_);
}

void PreviewWindow::PlaceForPicture(const QSize& picture) {
    const QRect available = AvailableArea();
    const QMargins frame = FrameMargins();
    QRect outer;
    if (!placed_) {
        const QRect mainRect =
            mainWindow_ && mainWindow_->isVisible() ? mainWindow_->frameGeometry() : QRect();
        outer = PreviewWindowRect(available, mainRect, picture, frame);
        placed_ = true;
    } else {
        // Later sizes keep the window where the user has it, on the screen.
        outer = KeptOnScreen(available, QRect(frameGeometry().topLeft(), picture.grownBy(frame)),
                             frame);
    }
    // move() places the frame's corner, resize() the client area.
    move(outer.topLeft());
    resize(outer.size().shrunkBy(frame).expandedTo(QSize(1, 1)));
}

void PreviewWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Files dropped here go where files dropped on the main window go.
    if (dropTarget_ && dropTarget_(event->mimeData(), false))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PreviewWindow::dropEvent(QDropEvent* event) {
    if (dropTarget_ && dropTarget_(event->mimeData(), true))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PreviewWindow::Detach() {
    player_ = nullptr;
    cursorTimer_.stop();
}

bool PreviewWindow::event(QEvent* event) {
    // A deferred delete ends this object inside the call: nothing of it may be
    // touched afterwards.
    if (event->type() == QEvent::DeferredDelete)
        return QWidget::event(event);
    ++handlingDepth_;
    const bool handled = QWidget::event(event);
    --handlingDepth_;
    return handled;
}

void PreviewWindow::ShowFrame(const QImage& frame) {
    if (frame.isNull())
        return;
    frame_ = frame;
    update(VideoRect());
}

QRect PreviewWindow::VideoRect() const {
    return fullScreen_ ? fullScreenVideoRect_ : rect();
}

void PreviewWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (frame_.isNull() || !player_ || player_->AudioOnly())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(Letterbox(frame_.size(), VideoRect()), frame_);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    // The main window closes the video, and with it this window.
    event->ignore();
    emit closeCommand();
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    // Escape belongs to this window (it leaves full screen on release).
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Arrows step the paused preview a frame, with Shift a second.
    const int direction = event->key() == Qt::Key_Right ? 1 : event->key() == Qt::Key_Left ? -1 : 0;
    if (direction == 0 || !player_) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier)
        player_->StepSeconds(direction);
    else
        player_->StepFrames(direction);
    event->accept();
}

void PreviewWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (fullScreen_)
        LeaveFullScreen();
    event->accept();
}

void PreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    NoteMouseActivity();
    QWidget::mouseMoveEvent(event);
}

void PreviewWindow::mouseReleaseEvent(QMouseEvent* event) {
    NoteMouseActivity();
    switch (event->button()) {
    case Qt::LeftButton:
        ClickToggle();
        break;
    case Qt::RightButton:
        ShowContextMenu(event->position().toPoint());
        topmostToggle_ = true;
        break;
    default:
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
}

void PreviewWindow::NoteMouseActivity() {
    if (!fullScreen_)
        return;
    ShowCursorNow();
    lastInputTime_ = clock_();
}

void PreviewWindow::ShowCursorNow() {
    cursorCount_ = 0;
    setCursor(Qt::ArrowCursor);
}

void PreviewWindow::HideCursorNow() {
    cursorCount_ = -1;
    setCursor(Qt::BlankCursor);
}

void PreviewWindow::CheckCursor() {
    if (fullScreen_ && clock_() - lastInputTime_ > kCursorIdleMs)
        HideCursorNow();
}

std::unique_ptr<QMenu> PreviewWindow::CreateContextMenu() const {
    auto menu = std::make_unique<QMenu>();
    auto add = [&](const QString& text, int command) {
        QAction* action = menu->addAction(text);
        action->setData(command);
        return action;
    };
    QAction* fullScreen = add(QStringLiteral("Full screen"), kCmdFullScreen);
    add(QStringLiteral("Normal size"), kCmdNormalSize);
    menu->addSeparator();
    QAction* play = add(QStringLiteral("Play"), kCmdPlay);
    QAction* pause = add(QStringLiteral("Pause"), kCmdPause);
    QAction* stop = add(QStringLiteral("Stop"), kCmdStop);
    menu->addSeparator();
    add(QStringLiteral("Close"), kCmdClose);

    fullScreen->setCheckable(true);
    fullScreen->setChecked(fullScreen_);
    switch (player_ ? player_->State() : PreviewPlayer::kClosed) {
    case PreviewPlayer::kStopped:
        pause->setEnabled(false);
        stop->setEnabled(false);
        break;
    case PreviewPlayer::kPaused:
        pause->setEnabled(false);
        break;
    case PreviewPlayer::kRunning:
        play->setEnabled(false);
        break;
    default:
        break;
    }
    return menu;
}

void PreviewWindow::ShowContextMenu(const QPoint& clientPos) {
    std::unique_ptr<QMenu> menu = CreateContextMenu();
    // Positions here are relative to the window the video is drawn in, so
    // the same mapping holds windowed and full screen.
    QAction* chosen = menu->exec(mapToGlobal(clientPos));
    if (chosen)
        RunCommand(chosen->data().toInt());
}

void PreviewWindow::RunCommand(int command) {
    switch (command) {
    case kCmdFullScreen:
        ToggleFullScreen();
        break;
    case kCmdNormalSize:
        if (player_)
            player_->InitVideoWindow(1, 1);
        break;
    case kCmdPlay:
        if (player_)
            player_->Play();
        break;
    case kCmdPause:
        if (player_)
            player_->Pause();
        break;
    case kCmdStop:
        if (player_)
            player_->Stop();
        break;
    case kCmdClose:
        close();
        break;
    default:
        break;
    }
}

void PreviewWindow::ClickToggle() {
    QWidget* main = mainWindow_;
    if (fullScreen_) {
        if (topmostToggle_) {
            HideWindowKeepingLoop(main);
            SetTopmost(main, false);
        } else {
            SetTopmost(main, true);
            ShowOnTop(main);
        }
        topmostToggle_ = !topmostToggle_;
        return;
    }
    if (!windowedClickFlag_) {
        SetTopmost(main, true);
        ShowOnTop(main);
    } else {
        SetTopmost(main, false);
        raise();
        activateWindow();
    }
    windowedClickFlag_ = !windowedClickFlag_;
}

void PreviewWindow::ToggleFullScreen() {
    if (!player_ || player_->AudioOnly() || !player_->HasVideoWindow())
        return;
    if (fullScreen_)
        LeaveFullScreen();
    else
        EnterFullScreen();
}

bool PreviewWindow::EnterFullScreen() {
    if (!player_ || !player_->HasVideoWindow())
        return false;
    int32_t videoWidth = 0;
    int32_t videoHeight = 0;
    if (media::Failed(player_->GetVideoSize(&videoWidth, &videoHeight)))
        return false;

    QScreen* target = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = target ? target->geometry() : geometry();
    savedRect_ = geometry();
    fullScreenVideoRect_ =
        FullScreenVideoRect(videoWidth, videoHeight, screenRect.width(), screenRect.height());
    showFullScreen();
    // Also placed by hand, for window systems that have no full-screen
    // state (an X server without a window manager).
    setGeometry(screenRect);

    lastInputTime_ = clock_();
    cursorTimer_.start();
    fullScreen_ = true;
    topmostToggle_ = true;
    update();
    return true;
}

bool PreviewWindow::LeaveFullScreen() {
    if (!player_ || !player_->HasVideoWindow())
        return false;
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setGeometry(savedRect_);
    SetTopmost(this, false);
    if (windowShown_)
        show();
    else
        hide();

    cursorTimer_.stop();
    ShowCursorNow();
    lastInputTime_ = clock_();
    fullScreen_ = false;

    // The main window comes back at the top, the preview above it.
    ShowOnTop(mainWindow_);
    if (windowShown_) {
        raise();
        activateWindow();
    }
    update();
    return true;
}

} // namespace orvelin
