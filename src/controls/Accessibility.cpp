#include "controls/Accessibility.h"

#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace orvelin {

namespace {

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

void OrderTabsByLayout(QWidget* dialog) {
    std::vector<QWidget*> focusable;
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->focusPolicy() & Qt::TabFocus)
            focusable.push_back(child);
    }
    const int rowSlack = std::max(1, dialog->fontMetrics().height() / 2);
    std::stable_sort(focusable.begin(), focusable.end(), [rowSlack](QWidget* a, QWidget* b) {
        const int dy = a->geometry().top() - b->geometry().top();
        if (dy <= -rowSlack || dy >= rowSlack)
            return dy < 0;
        return a->geometry().left() < b->geometry().left();
    });
    for (size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1], focusable[i]);
}

} // namespace orvelin
