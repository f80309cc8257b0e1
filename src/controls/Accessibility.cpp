#include "controls/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace orvelin {

namespace {

constexpr const char* kValueDisplayProperty = "accessibleValueDisplay";

// A label read as a name and a value: the name is the accessible name, the
// value (and the text, and the description unless one is set) is what the
// label shows. The text is plain and cannot be selected.
class ValueDisplayAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ValueDisplayAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QLabel* Label() const { return static_cast<QLabel*>(widget()); }
    QString Shown() const { return Label()->text(); }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return widget()->accessibleName();
        case QAccessible::Value:
            return Shown();
        case QAccessible::Description: {
            const QString description = widget()->accessibleDescription();
            return description.isEmpty() ? Shown() : description;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // QAccessibleTextInterface
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        const QString all = Shown();
        startOffset = std::clamp(startOffset, 0, static_cast<int>(all.size()));
        endOffset = endOffset < 0
                        ? static_cast<int>(all.size())
                        : std::clamp(endOffset, startOffset, static_cast<int>(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Shown().size()); }
    QRect characterRect(int offset) const override {
        // Where the character stands in the label's centred or left-aligned
        // line, on the screen.
        const QString all = Shown();
        if (offset < 0 || offset >= all.size())
            return {};
        const QFontMetrics metrics(Label()->font());
        const QRect contents = Label()->contentsRect();
        const int lineWidth = metrics.horizontalAdvance(all);
        int left = contents.left();
        if (Label()->alignment() & Qt::AlignHCenter)
            left += (contents.width() - lineWidth) / 2;
        else if (Label()->alignment() & Qt::AlignRight)
            left = contents.right() - lineWidth;
        left += metrics.horizontalAdvance(all.left(offset));
        const int top = contents.top() + (contents.height() - metrics.height()) / 2;
        const QRect local(left, top, metrics.horizontalAdvance(all.at(offset)), metrics.height());
        return QRect(Label()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        for (int i = 0; i < characterCount(); ++i) {
            if (characterRect(i).contains(point))
                return i;
        }
        return -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = offset;
        *endOffset = offset;
        return {};
    }
};

QAccessibleInterface* ValueDisplayFactory(const QString& /*className*/, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label && label->property(kValueDisplayProperty).toBool())
        return new ValueDisplayAccessible(label);
    return nullptr;
}

QWidget* ChildWithId(QWidget* dialog, int id) {
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property("controlId").toInt() == id)
            return child;
    }
    return nullptr;
}

} // namespace

void LabelFields(QWidget* dialog, std::initializer_list<std::pair<int, int>> labelAndField) {
    for (const auto& [labelId, fieldId] : labelAndField) {
        auto* label = qobject_cast<QLabel*>(ChildWithId(dialog, labelId));
        QWidget* field = ChildWithId(dialog, fieldId);
        if (label && field)
            label->setBuddy(field);
    }
}

void NameControl(QWidget* dialog, int id, const QString& name) {
    if (QWidget* w = ChildWithId(dialog, id))
        w->setAccessibleName(name);
}

void NameValueDisplay(QWidget* dialog, int id, const QString& name) {
    static const bool installed = [] {
        QAccessible::installFactory(ValueDisplayFactory);
        return true;
    }();
    (void)installed;
    auto* label = qobject_cast<QLabel*>(ChildWithId(dialog, id));
    if (!label)
        return;
    label->setProperty(kValueDisplayProperty, true);
    label->setAccessibleName(name);
}

bool IsValueDisplay(const QWidget* w) {
    return w && w->property(kValueDisplayProperty).toBool();
}

void NotifyValueChanged(QWidget* display, const QString& oldText) {
    if (!display || !QAccessible::isActive())
        return;
    QAccessibleEvent description(display, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
    if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(display);
        a && a->textInterface()) {
        // The whole text counts as replaced.
        QAccessibleTextUpdateEvent text(display, 0, oldText, a->textInterface()->text(0, -1));
        QAccessible::updateAccessibility(&text);
    }
}

void OrderTabsByLayout(QWidget* dialog) {
    std::vector<QWidget*> focusable;
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->focusPolicy() & Qt::TabFocus)
            focusable.push_back(child);
    }
    // Rows first: taken from the top, a control whose top lies within half a
    // line of the row's first control joins that row. Then each row runs left
    // to right. (A comparator with a tolerance is no ordering: a ~ b and b ~ c
    // do not make a ~ c.)
    const int rowSlack = std::max(1, dialog->fontMetrics().height() / 2);
    std::stable_sort(focusable.begin(), focusable.end(), [](QWidget* a, QWidget* b) {
        return a->geometry().top() < b->geometry().top();
    });
    std::vector<QWidget*> ordered;
    ordered.reserve(focusable.size());
    for (auto rowStart = focusable.begin(); rowStart != focusable.end();) {
        const int rowTop = (*rowStart)->geometry().top();
        auto rowEnd = std::find_if(rowStart, focusable.end(), [&](QWidget* w) {
            return w->geometry().top() - rowTop >= rowSlack;
        });
        std::vector<QWidget*> row(rowStart, rowEnd);
        std::stable_sort(row.begin(), row.end(), [](QWidget* a, QWidget* b) {
            return a->geometry().left() < b->geometry().left();
        });
        ordered.insert(ordered.end(), row.begin(), row.end());
        rowStart = rowEnd;
    }
    focusable = std::move(ordered);
    for (size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1], focusable[i]);
}

} // namespace orvelin
