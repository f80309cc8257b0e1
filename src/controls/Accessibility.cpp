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
