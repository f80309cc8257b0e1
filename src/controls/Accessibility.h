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
// Makes a text display (a label) read to screen readers as a fixed `name`
// with the text it shows as its value: "Start time" with "00:01:05". Call it
// before the display first shows a text.
void NameValueDisplay(QWidget* dialog, int id, const QString& name);
// Whether `w` is such a display.
bool IsValueDisplay(const QWidget* w);
// Tells screen readers that the text of a value display changed from
// `oldText` to what it shows now.
void NotifyValueChanged(QWidget* display, const QString& oldText);
// Orders the Tab key through the focusable children as they are laid out:
// top to bottom, then left to right (controls within half a row count as one
// row).
void OrderTabsByLayout(QWidget* dialog);

} // namespace orvelin
