#include "ui/placement_store.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <exception>

#include "desktop/qt_text.h"
#include "ui/message_seam.h"

namespace kavrel {
namespace {

// The screen the file's screen-size keys and dots per inch refer to.
QScreen* Screen() { return QGuiApplication::primaryScreen(); }

std::string CurrentSuffix() {
    const QScreen* screen = Screen();
    return screen == nullptr ? ScreenSuffix(0, 0)
                             : ScreenSuffix(screen->size().width(), screen->size().height());
}

int CurrentPixelsPerInch() {
    const QScreen* screen = Screen();
    return screen == nullptr ? 96 : static_cast<int>(std::lround(screen->logicalDotsPerInch()));
}

TRect ToRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QRect NormalRect(const QWidget& w) {
    const QRect normal = w.normalGeometry();
    return normal.isValid() ? normal : w.geometry();
}

std::vector<TRect> ScreenAreas() {
    std::vector<TRect> out;
    for (const QScreen* screen : QGuiApplication::screens()) {
        out.push_back(ToRect(screen->availableGeometry()));
    }
    return out;
}

// The saved rectangle is the window's inside; what must stay in sight is its frame.
TRect KeepOnScreen(const QWidget& w, const TRect& inside) {
    const QRect frame = w.frameGeometry();
    const QRect g = w.geometry();
    const int left = g.left() - frame.left();
    const int top = g.top() - frame.top();
    const TRect outer{inside.Left - left, inside.Top - top,
                      inside.Right + frame.right() - g.right(),
                      inside.Bottom + frame.bottom() - g.bottom()};
    const TRect placed = BringOntoScreens(outer, ScreenAreas());
    const int dx = placed.Left - outer.Left;
    const int dy = placed.Top - outer.Top;
    return {inside.Left + dx, inside.Top + dy, inside.Right + dx, inside.Bottom + dy};
}

TShowState StateOf(const QWidget& w) {
    if (w.isMinimized()) return TShowState::Minimized;
    if (w.isMaximized() || w.isFullScreen()) return TShowState::Maximized;
    return TShowState::Normal;
}

class TFlagGuard {
  public:
    explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

  private:
    bool& flag_;
};

}  // namespace

TPlacementStore::TPlacementStore(QWidget* owner, int options)
    : QObject(owner), Options(options), owner_(owner) {
    if (owner != nullptr) owner->installEventFilter(this);
}

bool TPlacementStore::CanPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::string TPlacementStore::Section() const {
    if (!IniSection.empty() || !owner_) return IniSection;
    // The class name without its namespace: "TfMain", "TfSettings".
    const std::string name = owner_->metaObject()->className();
    const auto colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

void TPlacementStore::SavePlacement() {
    // A window that has not been shown since the store was turned on has nothing to tell.
    if (Active && !wasRestored_) return;
    if (!owner_) return;
    TPlacementRecord record;
    record.FormVersion = Version;
    record.ShowCmd = ShowCmdOf(StateOf(*owner_));
    record.PixelsPerInch = CurrentPixelsPerInch();
    record.NormPos = ToRect(NormalRect(*owner_));
    record.Visible = savingOnDestroy_;
    if (!WritePlacement(IniFileName, Section(), record, CurrentSuffix())) {
        throw EPlacementWriteError("Unable to write to " + IniFileName);
    }
    if (OnSavePlacement) OnSavePlacement();
    savedSinceRestore_ = true;
}

void TPlacementStore::RestorePlacement() {
    savedSinceRestore_ = false;
    const TPlacementSection section(IniFileName, Section());
    if (section.Integer("FormVersion", 0) >= Version && owner_) {
        ApplyPlacement(section);
        wasRestored_ = true;
        if (OnRestorePlacement) OnRestorePlacement();
    }
    wasRestored_ = true;
}

void TPlacementStore::ApplyPlacement(const TPlacementSection& section) {
    QWidget& w = *owner_;
    if ((Options & fpPosition) != 0) {
        const std::string suffix = CurrentSuffix();
        // This desktop has no minimized and maximized places of a window's own: "MinMaxPos"
        // is written for the file's sake, and a section with it alone has nothing to apply.
        const auto norm = section.ScreenText("NormPos", suffix);
        const int pixelsPerInch = section.Integer("PixelsPerInch", CurrentPixelsPerInch());
        // A place saved at another dots-per-inch setting would put the window at the wrong
        // size and place; it is left alone.
        if (norm && pixelsPerInch == CurrentPixelsPerInch()) {
            const TRect current = ToRect(NormalRect(w));
            const std::array<int, 4> n =
                ParseFour(*norm, {current.Left, current.Top, current.Right, current.Bottom});
            TRect r{n[0], n[1], n[2], n[3]};
            const bool resizable = w.minimumSize() != w.maximumSize();
            if (!resizable) {
                r.Right = r.Left + current.Width();
                r.Bottom = r.Top + current.Height();
            }
            // A maximized window keeps the normal rectangle it has; the toolkit restores it.
            const bool normal =
                (w.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
            if (r.Right > r.Left && normal) {
                if (CanPlaceWindows()) {
                    r = KeepOnScreen(w, r);
                    w.setGeometry(r.Left, r.Top, r.Width(), r.Height());
                } else if (resizable) {
                    w.resize(r.Width(), r.Height());
                }
            }
        }
    }
    if ((Options & fpState) != 0) {
        const TShowState state = ShowStateOf(section.Integer("ShowCmd", 0), TShowState::Normal);
        Qt::WindowStates states =
            w.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
        if (state == TShowState::Minimized) states |= Qt::WindowMinimized;
        if (state == TShowState::Maximized) states |= Qt::WindowMaximized;
        if (states != w.windowState()) w.setWindowState(states);
    }
    w.update();
}

void TPlacementStore::FormShow() {
    if (Active) RestorePlacement();
}

void TPlacementStore::FormClose() {
    if (Active && owner_ && owner_->windowHandle() != nullptr)
        Guarded(&TPlacementStore::SavePlacement);
}

void TPlacementStore::FormDestroy() {
    if (!Active || savedSinceRestore_) return;
    const TFlagGuard destroying(savingOnDestroy_);
    Guarded(&TPlacementStore::SavePlacement);
}

void TPlacementStore::Guarded(void (TPlacementStore::*hook)()) {
    try {
        (this->*hook)();
    } catch (const std::exception& e) {
        // Called from a destructor too: the box must not hang on a window being torn down.
        ShowError(savingOnDestroy_ ? nullptr : owner_.data(), ToQString(e.what()));
    }
}

void CentreOnScreen(QWidget& window) {
    // The placement store, which sees the show first, has moved the window when it knew a place.
    if (window.testAttribute(Qt::WA_Moved)) return;
    const QWidget* owner = window.parentWidget();
    QScreen* screen = owner != nullptr ? owner->screen() : Screen();
    if (screen == nullptr) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

bool TPlacementStore::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Show && !event->spontaneous()) {
        Guarded(&TPlacementStore::FormShow);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kavrel
