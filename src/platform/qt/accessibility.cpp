#include "platform/qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QLineEdit>
#include <algorithm>
#include <memory>

namespace platform {
namespace {

class CheckBoxAccessible final : public QAccessibleWidget {
public:
    explicit CheckBoxAccessible(QCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

    QCheckBox* Box() const { return static_cast<QCheckBox*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && Box()->accessibleName().isEmpty())
            return Box()->text().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Box()->checkState() == Qt::Checked;
        state.checkStateMixed = Box()->checkState() == Qt::PartiallyChecked;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{toggleAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == toggleAction() || name == pressAction())
            Box()->click();
        else
            QAccessibleWidget::doAction(name);
    }
};

// A one-line text box: its lines, sentences and paragraphs are all of its text.
class LineEditAccessible final : public QAccessibleWidget,
                                 public QAccessibleTextInterface,
                                 public QAccessibleEditableTextInterface {
public:
    explicit LineEditAccessible(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {}

    QLineEdit* Edit() const { return static_cast<QLineEdit*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return Edit()->text();
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t == QAccessible::Value)
            Edit()->setText(text);
        else
            QAccessibleWidget::setText(t, text);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !Edit()->isReadOnly();
        state.readOnly = Edit()->isReadOnly();
        state.selectableText = true;
        return state;
    }

    // Selection and cursor.
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && Edit()->hasSelectedText()) {
            *start = Edit()->selectionStart();
            *end = Edit()->selectionEnd();
        }
    }
    int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Edit()->deselect(); }
    void setSelection(int, int start, int end) override {
        Edit()->setSelection(Clamp(start), Clamp(end) - Clamp(start));
    }
    int cursorPosition() const override { return Edit()->cursorPosition(); }
    void setCursorPosition(int position) override { Edit()->setCursorPosition(Clamp(position)); }

    // Text.
    QString text(int start, int end) const override {
        start = Clamp(start);
        end = end < 0 ? characterCount() : Clamp(end);
        return Edit()->text().mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return int(Edit()->text().size()); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override {
        const int count = characterCount();
        offset = offset == -2 ? cursorPosition() : Clamp(offset);
        switch (boundary) {
        case QAccessible::CharBoundary:
            *start = offset;
            *end = std::min(offset + 1, count);
            break;
        case QAccessible::WordBoundary: {
            // The word the offset is in, or at the end of the text the last one.
            const QString all = Edit()->text();
            const auto blank = [&all](int at) { return all.at(at).isSpace(); };
            int at = std::min(offset, count - 1);
            *start = *end = offset;
            if (at < 0)
                break;
            const bool inBlanks = blank(at);
            *start = at;
            while (*start > 0 && blank(*start - 1) == inBlanks)
                --*start;
            *end = at + 1;
            while (*end < count && blank(*end) == inBlanks)
                ++*end;
            break;
        }
        default:
            *start = 0;
            *end = count;
            break;
        }
        return text(*start, *end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override {
        return Neighbour(offset, boundary, start, end, false);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override {
        return Neighbour(offset, boundary, start, end, true);
    }

    QRect characterRect(int offset) const override {
        const QString all = Edit()->text();
        const QFontMetrics metrics = Edit()->fontMetrics();
        const QRect contents = Edit()->contentsRect();
        const int x = metrics.horizontalAdvance(all.left(Clamp(offset)));
        const int width = offset < characterCount() ? metrics.horizontalAdvance(all.at(offset)) : 1;
        const QPoint origin = Edit()->mapToGlobal(contents.topLeft());
        return {origin.x() + x, origin.y(), width, contents.height()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = Edit()->mapFromGlobal(point);
        if (!Edit()->rect().contains(local))
            return -1;
        return Edit()->cursorPositionAt(local);
    }
    void scrollToSubstring(int, int) override {}
    // One run of no attributes over the whole text.
    QString attributes(int offset, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        if (offset < 0 || offset > *end)
            *start = *end = -1;
        return {};
    }

    // Editing.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        QString all = Edit()->text();
        start = Clamp(start);
        end = std::max(start, Clamp(end));
        Edit()->setText(all.replace(start, end - start, text));
    }

private:
    int Clamp(int offset) const { return std::clamp(offset, 0, characterCount()); }

    // The piece of text next to the one at offset, before or after it.
    QString Neighbour(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end,
                      bool after) const {
        int atStart = 0;
        int atEnd = 0;
        textAtOffset(offset, boundary, &atStart, &atEnd);
        const int edge = after ? characterCount() : 0;
        if ((after ? atEnd : atStart) == edge) {
            *start = *end = edge;
            return {};
        }
        return textAtOffset(after ? atEnd : atStart - 1, boundary, start, end);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QCheckBox"))
        return new CheckBoxAccessible(static_cast<QCheckBox*>(object));
    if (className == QLatin1String("QLineEdit"))
        return new LineEditAccessible(static_cast<QLineEdit*>(object));
    // Reached for classes derived from QWidget with no accessible object of their own.
    if (className == QLatin1String("QWidget")) {
        auto* widget = static_cast<QWidget*>(object);
        if (widget->isWindow())
            return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

// Sends an AT-SPI object event about the widget the way Qt's AT-SPI bridge sends its own: on
// its connection, with the object named by its unique id. Where that does not hold, the event
// reaches nobody.
void SendEvent(QWidget& widget, const QString& member, const QString& kind, int detail,
               const QVariant& data) {
    if (!QAccessible::isActive())
        return;
    QDBusConnection bus(QStringLiteral("a11y"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    if (!bus.isConnected() || accessible == nullptr)
        return;
    const QString path = QStringLiteral("/org/a11y/atspi/accessible/") +
                         QString::number(QAccessible::uniqueId(accessible));
    QDBusMessage signal =
        QDBusMessage::createSignal(path, QStringLiteral("org.a11y.atspi.Event.Object"), member);
    signal << kind << detail << 0 << QVariant::fromValue(QDBusVariant(data))
           << QVariant::fromValue(QVariantMap());
    bus.send(signal);
}

} // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

void ReportCheckStateChanges(QCheckBox& box) {
    auto previous = std::make_shared<int>(box.checkState());
    const auto changed = [&box, previous](int state) {
        const bool wasGreyed = *previous == Qt::PartiallyChecked;
        const bool greyed = state == Qt::PartiallyChecked;
        // Qt reports changes of its own checked flag, which is set for greyed and ticked
        // alike: the change between those two it leaves unreported.
        const bool reportedByQt = (*previous == Qt::Unchecked) != (state == Qt::Unchecked);
        *previous = state;
        if (!reportedByQt) {
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent event(&box, changed);
            QAccessible::updateAccessibility(&event);
        }
        // Qt's bridge sends no event for the indeterminate state, so a reader would keep it.
        if (greyed != wasGreyed)
            SendEvent(box, QStringLiteral("StateChanged"), QStringLiteral("indeterminate"),
                      greyed ? 1 : 0, 0);
    };
    // Qt 6.7 brought checkStateChanged, and 6.8 deprecates stateChanged(int) for it.
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    QObject::connect(&box, &QCheckBox::checkStateChanged, &box,
                     [changed](Qt::CheckState state) { changed(int(state)); });
#else
    QObject::connect(&box, &QCheckBox::stateChanged, &box, changed);
#endif
}

void ReportNameChange(QWidget& widget) {
    if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget))
        SendEvent(widget, QStringLiteral("PropertyChange"), QStringLiteral("accessible-name"), 0,
                  accessible->text(QAccessible::Name));
}

} // namespace platform
