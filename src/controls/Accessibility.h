#pragma once

#include <QString>
#include <initializer_list>
#include <utility>

class QWidget;

namespace orvelin {

// Gives fields their label as buddy, so screen readers announce the label's
// (current, translated) caption with the field: pairs of (label id, field id)
// among the children that carry a "controlId" property.
void LabelFields(QWidget* dialog, std::initializer_list<std::pair<int, int>> labelAndField);
// Names a control that has no caption of its own (a slider, a text display).
void NameControl(QWidget* dialog, int id, const QString& name);
// Orders the Tab key through the focusable children as they are laid out:
// top to bottom, then left to right (controls within half a row count as one
// row).
void OrderTabsByLayout(QWidget* dialog);

} // namespace orvelin
