// Retitling a dialog and its controls from the loaded pack.
#include "lang/LanguagePack.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace orvelin {

namespace {

// The template identifier of a control: the "controlId" property, else a
// numeric object name; 0 when it has none.
int ControlIdOf(const QWidget* w) {
    const QVariant id = w->property("controlId");
    if (id.isValid())
        return id.toInt();
    bool ok = false;
    const int named = w->objectName().toInt(&ok);
    return ok ? named : 0;
}

bool IsSkipped(const QWidget* w) {
    // Edit boxes, list views and spin buttons keep what they show.
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w);
}

void FillCombo(QComboBox* combo, const QString& text) {
    combo->clear();
    QString rest = text;
    qsizetype feed;
    while ((feed = rest.indexOf(QLatin1Char('\n'))) >= 0) {
        combo->addItem(rest.left(feed));
        rest = rest.mid(feed + 1);
    }
    combo->addItem(rest);
}

// Sets the text of a control that shows one; false for kinds without text.
bool SetControlText(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
        return true;
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(text);
        return true;
    }
    w->setWindowTitle(text);
    return true;
}

} // namespace

bool LanguagePack::ApplyToDialog(QWidget* dialog, int32_t resourceId) const {
    if (packNames_.isEmpty() || !dialog)
        return false;

    // The child windows in their window order.
    QList<QWidget*> children;
    for (QObject* child : dialog->children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            children.append(w);
    }

    const QString caption = GetDialogText(resourceId);
    if (!caption.isEmpty()) {
        if (font_) {
            // The dialog's own font is its own: controls that are not
            // retitled keep the font they show now. Every property of it is
            // pinned: a font set with only some properties of its own takes
            // the rest (weight, style, size) from the dialog.
            for (QWidget* w : children) {
                QFont own = w->font();
                if (own.resolveMask() == QFont::AllPropertiesResolved)
                    continue;
                own.setResolveMask(QFont::AllPropertiesResolved);
                w->setFont(own);
            }
            dialog->setFont(*font_);
        }
        dialog->setWindowTitle(caption);
    }

    for (QWidget* w : children) {
        if (IsSkipped(w))
            continue;
        const auto id = static_cast<int16_t>(ControlIdOf(w));
        if (id <= 0)
            continue;
        const QString text = id < 100 ? GetString(id) : GetDialogText(id);
        if (text.isEmpty())
            continue;
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            FillCombo(combo, text);
            continue;
        }
        SetControlText(w, text);
        if (font_)
            w->setFont(*font_);
        w->update();
    }
    return true;
}

} // namespace orvelin
