#include "controls/DialogUnits.h"

#include <QFontMetrics>

namespace orvelin {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded, as template
    // layouts expect.
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = qMax(1, (total / 26 + 1) / 2);
    baseY_ = qMax(1, metrics.height());
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : baseX_(qMax(1, averageCharWidth)), baseY_(qMax(1, charHeight)) {}

int DialogUnits::X(int units) const {
    return (units * baseX_ + 2) / 4;
}

int DialogUnits::Y(int units) const {
    return (units * baseY_ + 4) / 8;
}

QRect DialogUnits::Rect(int left, int top, int width, int height) const {
    const int x = X(left);
    const int y = Y(top);
    return QRect(x, y, X(left + width) - x, Y(top + height) - y);
}

QFont TemplateFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace orvelin
