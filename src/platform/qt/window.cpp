#include "platform/qt/window.h"

#include "platform/qt/accessibility.h"
#include "platform/qt/screen.h"
#include "platform/qt/x11.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

// The icons are linked in from a static library, whose resources nothing else pulls in.
static void LoadResources() {
    Q_INIT_RESOURCE(tallimer);
}

namespace platform {
namespace {

QString ToQt(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

QColor ToQt(Colour colour) {
    return {colour.red, colour.green, colour.blue};
}

QFont ToQt(const FontPlan& plan) {
    QFont font(ToQt(plan.face));
    font.setPixelSize(plan.pixels);
    font.setBold(plan.bold);
    return font;
}

QRect ToQt(const Rect& rect) {
    return {rect.left, rect.top, rect.width, rect.height};
}

QIcon ApplicationIcon() {
    LoadResources();
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/tallimer-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The program's own colours where the plan has them; the desktop's for every other role, and
// for a control without any.
void ApplyColours(QWidget* widget, const ControlPlan& plan) {
    QPalette palette;
    if (plan.background)
        palette.setColor(QPalette::Window, ToQt(*plan.background));
    if (plan.foreground)
        palette.setColor(QPalette::WindowText, ToQt(*plan.foreground));
    widget->setPalette(palette);
    widget->setAutoFillBackground(plan.background.has_value());
}

// Where the plan puts the control, in its font and colours.
void Place(QWidget* widget, const ControlPlan& plan) {
    widget->setGeometry(ToQt(plan.rect));
    widget->setFont(ToQt(plan.font));
    ApplyColours(widget, plan);
}

// A check box that leaves its value to the program: a click only tells of itself.
class CheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

} // namespace

QtWindow::QtWindow(QWidget* parent)
    : QWidget(parent), twipsPerPixelX_(platform::TwipsPerPixelX()),
      twipsPerPixelY_(platform::TwipsPerPixelY()) {
    InstallAccessibility();
    setWindowIcon(ApplicationIcon());
    restyle_ = new QTimer(this);
    restyle_->setSingleShot(true);
    restyle_->setInterval(0);
    connect(restyle_, &QTimer::timeout, this, [this] {
        if (events_ != nullptr)
            events_->AppearanceChanged();
    });
}

bool QtWindow::Create(const WindowPlan& plan) {
    setWindowTitle(ToQt(plan.caption));
    // What Qt calls a minimised window: a screen reader would hear no name without it.
    setWindowIconText(ToQt(plan.caption));
    setFixedSize(plan.clientWidth, plan.clientHeight);
    shapes_ = plan.shapes;
    QWidget* previous = nullptr;
    for (const ControlPlan& control : plan.controls) {
        QWidget* widget = CreateControl(control);
        if (control.tabStop) {
            if (previous != nullptr)
                setTabOrder(previous, widget);
            previous = widget;
        }
    }
    for (const ControlPlan& control : plan.controls)
        if (auto* label = qobject_cast<QLabel*>(Control(control.name)); label && control.labelFor)
            label->setBuddy(Control(*control.labelFor));
    CreateMenu(plan);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowFlag(Qt::WindowMaximizeButtonHint, plan.maximisable);
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && plan.centred)
        move(screen->availableGeometry().center() - rect().center());
    return true;
}

QtWindow::~QtWindow() = default;

// Qt scales a window between screens by itself; a plan comes for another style, palette or
// font, and for another density all the same.
void QtWindow::Layout(const WindowPlan& plan) {
    setFixedSize(plan.clientWidth, plan.clientHeight);
    shapes_ = plan.shapes;
    for (const ControlPlan& control : plan.controls)
        if (QWidget* widget = Control(control.name))
            Place(widget, control);
    update();
}

// No high contrast of Qt's own: a palette is only a palette. The desktop's text size comes as
// the application's font, from GNOME's, KDE's or qt6ct's settings; which desktop it is, the
// session says (XDG_CURRENT_DESKTOP, a list such as "ubuntu:GNOME").
Appearance QtWindow::CurrentAppearance() const {
    const QFont font = QApplication::font();
    const double points = font.pointSizeF() > 0
                              ? font.pointSizeF()
                              : font.pixelSize() * TwipsPerPixelY() / TwipsPerPoint;
    const QList<QByteArray> desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    const Desktop desktop = desktops.contains("GNOME") ? Desktop::Gnome
                            : desktops.contains("KDE") ? Desktop::Kde
                                                       : Desktop::Other;
    return {false, points, desktop};
}

ControlMetrics QtWindow::Measure(ControlKind kind, const FontPlan& font,
                                 std::string_view text) const {
    const QFontMetrics metrics(ToQt(font));
    ControlMetrics measured;
    measured.text = {metrics.horizontalAdvance(ToQt(text)), metrics.height()};
    // What the style keeps for itself in a button or a box of ample size.
    QStyleOptionButton option;
    option.initFrom(this);
    option.fontMetrics = metrics;
    option.rect = QRect(0, 0, 1000, 100);
    const QStyle* look = style();
    if (kind == ControlKind::CheckBox) {
        const QRect box = look->subElementRect(QStyle::SE_CheckBoxIndicator, &option, nullptr);
        const QRect text = look->subElementRect(QStyle::SE_CheckBoxContents, &option, nullptr);
        measured.indicator = {text.left() - option.rect.left(), box.height()};
    } else if (kind == ControlKind::Button) {
        const QRect text = look->subElementRect(QStyle::SE_PushButtonContents, &option, nullptr);
        measured.frame = {(option.rect.width() - text.width() + 1) / 2,
                          (option.rect.height() - text.height() + 1) / 2};
    }
    return measured;
}

QWidget* QtWindow::CreateLabel(const ControlPlan& control) {
    auto* label = new QLabel(ToQt(control.text), this);
    label->setAlignment((control.align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                        Qt::AlignTop);
    return label;
}

QWidget* QtWindow::CreateTextBox(const ControlPlan& control) {
    auto* edit = new QLineEdit(ToQt(control.text), this);
    connect(edit, &QLineEdit::textChanged, this, [this, name = control.name] {
        if (events_ != nullptr)
            events_->Change(name);
    });
    return edit;
}

QWidget* QtWindow::CreateButton(const ControlPlan& control) {
    QAbstractButton* button = nullptr;
    if (control.kind == ControlKind::CheckBox) {
        auto* box = new CheckBox(ToQt(control.text), this);
        box->setAccessibleDescription(ToQt(control.toolTip));
        ReportCheckStateChanges(*box);
        button = box;
    } else {
        button = new QPushButton(ToQt(control.text), this);
    }
    connect(button, &QAbstractButton::clicked, this, [this, name = control.name] {
        if (events_ != nullptr)
            events_->Click(name);
    });
    return button;
}

QWidget* QtWindow::CreateControl(const ControlPlan& control) {
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::Label:
        widget = CreateLabel(control);
        break;
    case ControlKind::TextBox:
        widget = CreateTextBox(control);
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        widget = CreateButton(control);
        break;
    case ControlKind::Shape: // painted on the window, no control of its own
        return nullptr;
    }
    widget->setObjectName(ToQt(control.name.Text()));
    Place(widget, control);
    widget->setToolTip(ToQt(control.toolTip));
    if (!control.accessibleName.empty())
        widget->setAccessibleName(ToQt(control.accessibleName));
    widget->installEventFilter(this);
    controls_.Add(control.name, widget);
    return widget;
}

void QtWindow::CreateMenu(const WindowPlan& plan) {
    menu_ = new QMenu(ToQt(plan.menuText), this);
    menu_->setObjectName(ToQt(plan.menuName));
    for (const MenuItemPlan& item : plan.menuItems) {
        QAction* action = menu_->addAction(ToQt(item.text));
        action->setObjectName(ToQt(item.name.Text()));
        connect(action, &QAction::triggered, this, [this, name = item.name] {
            if (events_ != nullptr)
                events_->MenuClick(name);
        });
    }
    if (!menu_->actions().isEmpty())
        menu_->setDefaultAction(menu_->actions().first());
}

QWidget* QtWindow::Control(ControlName name) const {
    QWidget* const* widget = controls_.Find(name);
    return widget != nullptr ? *widget : nullptr;
}

const ControlName* QtWindow::NameOf(const QObject* widget) const {
    const auto* control = controls_.Where([widget](const QWidget* w) { return w == widget; });
    return control != nullptr ? &control->name : nullptr;
}

std::string QtWindow::Text(ControlName control) const {
    QString text;
    QWidget* widget = Control(control);
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        text = edit->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    return text.toLocal8Bit().toStdString();
}

void QtWindow::SetText(ControlName control, std::string_view text) {
    QWidget* widget = Control(control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQt(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQt(text)); // which leaves the caret at the end
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQt(text));
        ReportNameChange(*button);
    }
}

bool QtWindow::Enabled(ControlName control) const {
    const QWidget* widget = Control(control);
    return widget != nullptr && widget->isEnabled();
}

void QtWindow::SetEnabled(ControlName control, bool enabled) {
    if (QWidget* widget = Control(control))
        widget->setEnabled(enabled);
}

// Qt numbers the check states differently (PartiallyChecked is 1).
CheckValue QtWindow::Value(ControlName checkBox) const {
    const auto* box = qobject_cast<const QCheckBox*>(Control(checkBox));
    if (box == nullptr)
        return vbUnchecked;
    switch (box->checkState()) {
    case Qt::Checked:
        return vbChecked;
    case Qt::PartiallyChecked:
        return vbGrayed;
    case Qt::Unchecked:
        break;
    }
    return vbUnchecked;
}

void QtWindow::SetValue(ControlName checkBox, CheckValue value) {
    if (auto* box = qobject_cast<QCheckBox*>(Control(checkBox)))
        box->setCheckState(value == vbChecked  ? Qt::Checked
                           : value == vbGrayed ? Qt::PartiallyChecked
                                               : Qt::Unchecked);
}

// A hidden window's state is the program's alone until the window is shown: a window manager
// told of it would show the window minimised, and some would then keep it so.
void QtWindow::Show() {
    if (!isHidden())
        return;
    if (minimisedWhileHidden_) {
        minimisedWhileHidden_ = false;
        showMinimized();
        return;
    }
    // A window minimised before it was hidden may come up so again: the window manager reads
    // what it last was at the next map, and Qt may still have it minimised.
    x11::MapNormalNext(*this);
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void QtWindow::Hide() {
    minimisedWhileHidden_ = isMinimized();
    hide();
}

WindowStateValue QtWindow::WindowState() const {
    const bool minimised = isHidden() ? minimisedWhileHidden_ : isMinimized();
    return minimised ? vbMinimized : vbNormal;
}

void QtWindow::SetWindowState(WindowStateValue state) {
    if (isHidden())
        minimisedWhileHidden_ = state == vbMinimized;
    else if (state == vbMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
    else
        setWindowState(windowState() & ~Qt::WindowMinimized);
}

// On X11 Qt asks the window manager through _NET_ACTIVE_WINDOW, which also brings a window out of
// its minimised state; on Wayland it hands the compositor the activation token that came with
// the request, where one came.
void QtWindow::BringToFront() {
    raise();
    activateWindow();
}

void QtWindow::SetFocus(ControlName control) {
    if (QWidget* widget = Control(control))
        widget->setFocus(Qt::ActiveWindowFocusReason);
}

std::optional<ControlName> QtWindow::FocusedControl() const {
    const ControlName* name = NameOf(QApplication::focusWidget());
    return name != nullptr ? std::optional(*name) : std::nullopt;
}

void QtWindow::PopupMenu() {
    menu_->popup(QCursor::pos());
}

QTimer* QtWindow::TimerNamed(TimerName name) {
    if (QTimer** timer = timers_.Find(name))
        return *timer;
    auto* timer = new QTimer(this);
    timer->setObjectName(ToQt(name.Text()));
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, name] {
        if (events_ != nullptr)
            events_->Timer(name);
    });
    return timers_.Add(name, timer);
}

void QtWindow::StartTimer(TimerName timer, int milliseconds) {
    TimerNamed(timer)->start(milliseconds);
}

void QtWindow::StopTimer(TimerName timer) {
    if (QTimer* const* found = timers_.Find(timer))
        (*found)->stop();
}

bool QtWindow::TimerEnabled(TimerName timer) const {
    QTimer* const* found = timers_.Find(timer);
    return found != nullptr && (*found)->isActive();
}

void QtWindow::Unload() {
    close();
}

// What the notification area tells its icons apart by; it is never turned back into the window.
WindowHandle QtWindow::Handle() const {
    return const_cast<QtWindow*>(this);
}

void QtWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const ShapePlan& shape : shapes_)
        painter.fillRect(ToQt(shape.rect), ToQt(shape.fill));
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
    const ControlName* name = events_ != nullptr ? NameOf(watched) : nullptr;
    if (name == nullptr)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        events_->GotFocus(*name);
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers held = key->modifiers();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return events_->KeyDown(*name, {Key::Return, held.testFlag(Qt::ShiftModifier),
                                            held.testFlag(Qt::ControlModifier),
                                            held.testFlag(Qt::AltModifier), key->isAutoRepeat()});
    }
    return QWidget::eventFilter(watched, event);
}

void QtWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (events_ == nullptr)
        return;
    switch (event->type()) {
    case QEvent::ActivationChange:
        if (isActiveWindow())
            events_->Activate();
        break;
    case QEvent::PaletteChange:
    case QEvent::ThemeChange:
    case QEvent::StyleChange:
    case QEvent::FontChange:
        restyle_->start(); // a new look comes as several of these: one new layout for them all
        break;
    default:
        break;
    }
}

void QtWindow::closeEvent(QCloseEvent* event) {
    if (events_ != nullptr)
        events_->QueryUnload();
    event->accept();
    // The window may be hidden in the tray, where closing it does not end the event loop.
    // Quit from the event loop once this close has finished, not in the middle of it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
}

} // namespace platform
