#pragma once

#include <QFont>
#include <QRect>

namespace orvelin {

// Converts dialog-template units into pixels from the dialog font:
// x = units × average character width / 4, y = units × character height / 8.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int left, int top, int width, int height) const;

    int AverageCharWidth() const { return baseX_; }
    int CharHeight() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};

// The font dialog templates name ("MS Sans Serif" 8 pt), matched to the
// system's sans-serif when it is not installed.
QFont TemplateFont();

} // namespace orvelin
