#include "platform/qt/window.h"

#include "platform/numeric.h"
#include "platform/qt/accessibility.h"
#include "platform/qt/screen.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

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

QFont ToQt(const Font& font) {
    QFont qt(ToQt(font.face));
    qt.setPointSizeF(font.points);
    qt.setBold(font.bold);
    return qt;
}

QIcon ApplicationIcon() {
    LoadResources();
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/tallimer-%1.png").arg(size), QSize(size, size));
    return icon;
}

void Fill(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The mouse buttons and shift keys as the program counts them.
int Buttons(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}
int Shift(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

QtWindow::QtWindow(const WindowLayout& form, QWidget* parent)
    : QWidget(parent), form_(form), twipsPerPixelX_(platform::TwipsPerPixelX()),
      twipsPerPixelY_(platform::TwipsPerPixelY()) {
    InstallAccessibility();
    setWindowTitle(ToQt(form.caption));
    // A window that is never resized offers no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The layout is fixed in twips for a small sans face; this desktop's default face is
    // wider and would clip the texts.
    QFont face(QStringLiteral("Arial"));
    face.setPointSizeF(8.25);
    setFont(face);
    setWindowIcon(ApplicationIcon());
    setFixedSize(Twips(0, 0, form.clientWidth, form.clientHeight).size());

    for (const ControlLayout& control : form.controls)
        CreateControl(control);
    for (const ControlLayout& control : form.controls)
        if (!control.labelFor.empty())
            if (auto* label = qobject_cast<QLabel*>(Control(control.name))) {
                QWidget* buddy = Control(control.labelFor);
                label->setBuddy(buddy);
                // The box is named by its label, without the label's closing colon.
                QString name = label->text();
                if (name.endsWith(u':'))
                    name.chop(1);
                buddy->setAccessibleName(name);
            }
    std::vector<const ControlLayout*> tabbed;
    for (const ControlLayout& control : form.controls)
        if (control.tabIndex >= 0 && Control(control.name)->focusPolicy() & Qt::TabFocus)
            tabbed.push_back(&control);
    std::sort(tabbed.begin(), tabbed.end(),
              [](auto a, auto b) { return a->tabIndex < b->tabIndex; });
    for (size_t i = 1; i < tabbed.size(); ++i)
        setTabOrder(Control(tabbed[i - 1]->name), Control(tabbed[i]->name));

    menu_ = new QMenu(ToQt(form.menuText), this);
    menu_->setObjectName(ToQt(form.menuName));
    for (const MenuItem& item : form.menuItems) {
        QAction* action = menu_->addAction(ToQt(item.text));
        action->setObjectName(ToQt(item.name));
        connect(action, &QAction::triggered, this, [this, name = item.name] {
            if (events_ != nullptr)
                events_->Click(name);
        });
    }
    if (!menu_->actions().isEmpty())
        menu_->setDefaultAction(menu_->actions().first());

    // The tray icon's notifications arrive as mouse moves without a button held, which Qt
    // delivers only to a window that tracks the mouse.
    setMouseTracking(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QtWindow::~QtWindow() = default;

QRect QtWindow::Twips(int left, int top, int width, int height) const {
    const auto x = [this](int twips) { return SaturateToInt32(twips / twipsPerPixelX_); };
    const auto y = [this](int twips) { return SaturateToInt32(twips / twipsPerPixelY_); };
    return {x(left), y(top), x(width), y(height)};
}

void QtWindow::CreateControl(const ControlLayout& control) {
    QWidget* widget = nullptr;
    const QString name = ToQt(control.name);
    const QString text = ToQt(control.text);
    switch (control.kind) {
    case ControlKind::Shape:
        // Painted on the window itself: no control, nothing a screen reader would have to
        // read out.
        return;
    case ControlKind::Label: {
        auto* label = new QLabel(text, this);
        if (control.centred)
            label->setAlignment(Qt::AlignCenter);
        widget = label;
        break;
    }
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(text, this);
        connect(edit, &QLineEdit::textChanged, this, [this, name = control.name] {
            if (events_ != nullptr)
                events_->Change(name);
        });
        widget = edit;
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, [this, name = control.name] {
            if (events_ != nullptr)
                events_->Click(name);
        });
        widget = button;
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, this);
        box->setAccessibleDescription(ToQt(control.toolTip));
        ReportCheckStateChanges(*box);
        widget = box;
        break;
    }
    }
    widget->setObjectName(name);
    widget->setGeometry(Twips(control.left, control.top, control.width, control.height));
    widget->setToolTip(ToQt(control.toolTip));
    if (control.font)
        widget->setFont(ToQt(*control.font));
    if (control.background)
        Fill(widget, ToQt(*control.background));
    controls_.insert(name, widget);
}

QWidget* QtWindow::Control(std::string_view name) const {
    return controls_.value(ToQt(name));
}

std::string QtWindow::Text(std::string_view control) const {
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

void QtWindow::SetText(std::string_view control, std::string_view text) {
    QWidget* widget = Control(control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToQt(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(ToQt(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQt(text));
        ReportNameChange(*button);
    }
}

void QtWindow::SetEnabled(std::string_view control, bool enabled) {
    if (QWidget* widget = Control(control))
        widget->setEnabled(enabled);
}

// Qt numbers the check states differently (PartiallyChecked is 1).
int QtWindow::Value(std::string_view checkBox) const {
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

void QtWindow::SetValue(std::string_view checkBox, int value) {
    auto* box = qobject_cast<QCheckBox*>(Control(checkBox));
    if (box == nullptr)
        return;
    if (value == vbChecked)
        box->setCheckState(Qt::Checked);
    else if (value == vbGrayed)
        box->setCheckState(Qt::PartiallyChecked);
    else if (value == vbUnchecked)
        box->setCheckState(Qt::Unchecked);
}

void QtWindow::Show() {
    show();
}

void QtWindow::Hide() {
    hide();
}

bool QtWindow::Visible() const {
    return isVisible();
}

int QtWindow::WindowState() const {
    return windowState() & Qt::WindowMinimized ? vbMinimized : vbNormal;
}

void QtWindow::SetWindowState(int state) {
    if (state == vbMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
    else
        setWindowState(windowState() & ~Qt::WindowMinimized);
}

void QtWindow::SetFocus() {
    activateWindow();
    raise();
    setFocus(Qt::ActiveWindowFocusReason);
}

void QtWindow::PopupMenu() {
    menu_->popup(QCursor::pos());
}

QTimer* QtWindow::TimerNamed(std::string_view name) {
    const QString key = ToQt(name);
    if (QTimer* timer = timers_.value(key))
        return timer;
    auto* timer = new QTimer(this);
    timer->setObjectName(key);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, key] {
        if (events_ != nullptr)
            events_->Timer(key.toLocal8Bit().toStdString());
    });
    timers_.insert(key, timer);
    return timer;
}

void QtWindow::StartTimer(std::string_view timer, int milliseconds) {
    TimerNamed(timer)->start(milliseconds);
}

void QtWindow::StopTimer(std::string_view timer) {
    if (QTimer* found = timers_.value(ToQt(timer)))
        found->stop();
}

bool QtWindow::TimerEnabled(std::string_view timer) const {
    const QTimer* found = timers_.value(ToQt(timer));
    return found != nullptr && found->isActive();
}

void QtWindow::Unload() {
    close();
}

WindowHandle QtWindow::Handle() const {
    return static_cast<QObject*>(const_cast<QtWindow*>(this));
}

void QtWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const ControlLayout& control : form_.controls)
        if (control.kind == ControlKind::Shape && control.background)
            painter.fillRect(Twips(control.left, control.top, control.width, control.height),
                             ToQt(*control.background));
}

void QtWindow::mouseMoveEvent(QMouseEvent* event) {
    if (events_ == nullptr)
        return;
    const QPointF pixels = event->position();
    events_->MouseMove(Buttons(event->buttons()), Shift(event->modifiers()),
                       pixels.x() * twipsPerPixelX_, pixels.y() * twipsPerPixelY_);
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
