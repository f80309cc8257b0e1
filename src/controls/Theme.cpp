#include "controls/Theme.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace orvelin {

namespace {

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QString Css(const QColor& colour) {
    return colour.name(QColor::HexRgb);
}

QColor Blend(const QColor& a, const QColor& b, double amountOfB) {
    auto mix = [amountOfB](int x, int y) {
        return static_cast<int>(std::lround(x + (y - x) * amountOfB));
    };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

} // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor c = colour.toRgb();
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkPalette(const QPalette& palette) {
    // Dark when white stands out more on the window than black does.
    const QColor window = palette.color(QPalette::Window);
    return ContrastRatio(Qt::white, window) > ContrastRatio(Qt::black, window);
}

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio) {
    if (ContrastRatio(colour, background) >= ratio)
        return colour;
    // Move towards whichever end (white or black) stands out more.
    const bool lighter =
        ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background);
    const QColor hsl = colour.toHsl();
    const float hue = hsl.hslHueF();
    const float saturation = hsl.hslSaturationF();
    float lightness = hsl.lightnessF();
    QColor result = colour;
    for (int step = 0; step < 100; ++step) {
        lightness = std::clamp(lightness + (lighter ? 0.01f : -0.01f), 0.0f, 1.0f);
        result = QColor::fromHslF(hue < 0 ? 0 : hue, saturation, lightness).toRgb();
        if (ContrastRatio(result, background) >= ratio)
            break;
    }
    return result;
}

QColor FirstReadable(std::initializer_list<QColor> candidates, const QColor& background,
                     double ratio) {
    for (const QColor& c : candidates) {
        if (ContrastRatio(c, background) >= ratio)
            return c;
    }
    return candidates.size() ? ReadableOn(*candidates.begin(), background, ratio) : QColor();
}

QColor AverageColour(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    double r = 0, g = 0, b = 0;
    qint64 count = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            r += qRed(line[x]);
            g += qGreen(line[x]);
            b += qBlue(line[x]);
            ++count;
        }
    }
    if (count == 0)
        return {};
    return QColor(static_cast<int>(r / count), static_cast<int>(g / count),
                  static_cast<int>(b / count));
}

QPixmap BackgroundForPalette(const QPixmap& picture, const QPalette& palette) {
    if (picture.isNull() || !IsDarkPalette(palette))
        return picture;
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    // The picture's pattern is its deviation from its own average lightness;
    // the same deviation is laid over the window colour.
    const int average = qGray(AverageColour(image).rgb());
    const QColor window = palette.color(QPalette::Window).toRgb();
    auto shift = [](int channel, int delta) { return std::clamp(channel + delta, 0, 255); };
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int delta = qGray(line[x]) - average;
            line[x] = qRgba(shift(window.red(), delta), shift(window.green(), delta),
                            shift(window.blue(), delta), qAlpha(line[x]));
        }
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(picture.devicePixelRatio());
    return result;
}

QString HelpStyleSheet(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    QColor heading(0x1c, 0x3f, 0x75);
    QColor band(0xe8, 0xee, 0xf7);
    QColor link = palette.color(QPalette::Link);
    if (IsDarkPalette(palette)) {
        // The band keeps a hint of the selection colour; headings keep their
        // blue, lightened until it reads on the page.
        band = Blend(base, palette.color(QPalette::Highlight), 0.22);
        band = Blend(band, text, 0.04);
        heading = ReadableOn(heading, base, 6.0);
    }
    // Links are read on the page and on the bands.
    link = ReadableOn(ReadableOn(link, band), base);
    const QColor grid = Blend(base, text, 0.35);
    return QStringLiteral("body { color: %1; background-color: %2; }\n"
                          "h1, h2, h3 { color: %3; }\n"
                          "p.nav { background-color: %4; }\n"
                          "th { background-color: %4; color: %1; }\n"
                          "table { border-color: %6; }\n"
                          "a { color: %5; }\n")
        .arg(Css(text), Css(base), Css(heading), Css(band), Css(link), Css(grid));
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    const QColor text(232, 232, 232);
    const QColor disabled(127, 127, 127);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(90, 90, 90));
    p.setColor(QPalette::Midlight, QColor(70, 70, 70));
    p.setColor(QPalette::Mid, QColor(45, 45, 45));
    p.setColor(QPalette::Dark, QColor(25, 25, 25));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    // The dark blue links of many dark desktop themes.
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    p.setColor(QPalette::LinkVisited, QColor(128, 90, 200));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::PlaceholderText, disabled);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

} // namespace orvelin
