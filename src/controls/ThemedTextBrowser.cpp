#include "controls/ThemedTextBrowser.h"

#include "controls/Theme.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>

namespace orvelin {

ThemedTextBrowser::ThemedTextBrowser(QWidget* parent) : QTextBrowser(parent) {
    ApplyPalette();
}

void ThemedTextBrowser::ApplyPalette() {
    document()->setDefaultStyleSheet(HelpStyleSheet(palette()));
}

QVariant ThemedTextBrowser::loadResource(int type, const QUrl& name) {
    if (type == QTextDocument::ImageResource && IsDarkPalette(palette())) {
        const QUrl page = source();
        const QUrl target = name.isRelative() && page.isValid() ? page.resolved(name) : name;
        if (target.isLocalFile()) {
            const QFileInfo picture(target.toLocalFile());
            const QFileInfo dark(
                picture.dir().filePath(QStringLiteral("dark/") + picture.fileName()));
            if (dark.isFile())
                return QTextBrowser::loadResource(type,
                                                  QUrl::fromLocalFile(dark.absoluteFilePath()));
        }
    }
    return QTextBrowser::loadResource(type, name);
}

void ThemedTextBrowser::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ApplyPalette();
        // The page is laid out again with the new colours and pictures.
        if (source().isValid())
            reload();
    }
}

} // namespace orvelin
