#pragma once

#include "media/Filter.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QDialogButtonBox;
class QFormLayout;
class QScrollArea;
class QToolButton;

namespace orvelin {

class UiServices;

// The settings of one filter: every writable property with an editor of its
// type (a spin box within the property's range, a check box, a list of the
// values of an enumeration, check boxes for flags, a text box). The settings
// that decide an encoder's result come first under plain names with their
// units; every other one is under "Advanced", folded at first. Each editor's
// object name is the property name, its tooltip the property's description.
// OK sets what was changed on the filter; Cancel leaves the filter as it was.
class PropertyEditorDialog : public QDialog {
    Q_OBJECT
public:
    PropertyEditorDialog(std::shared_ptr<media::Filter> filter, const QString& caption,
                         UiServices& ui, QWidget* parent = nullptr);

    // The editor of a property; nullptr when the filter has no such setting.
    QWidget* Editor(const QString& propertyName) const;
    QDialogButtonBox* Buttons() const { return buttons_; }
    // The names of the settings shown first, in their order.
    QStringList KeyProperties() const { return keyProperties_; }
    // The button that folds and unfolds the other settings, and their part.
    QToolButton* AdvancedToggle() const { return advancedToggle_; }
    QWidget* AdvancedPart() const { return advancedPart_; }

public slots:
    void accept() override;
    void reject() override;

private:
    struct Row {
        QString name;
        QWidget* editor = nullptr;
        std::function<QString()> text; // the editor's value as property text
        QString initial;               // text() right after the editor was filled
    };
    QWidget* MakeEditor(const media::FilterProperty& property, Row& row);
    void AddRow(QFormLayout* form, const media::FilterProperty& property, const QString& label);
    void FitWidth();

    std::shared_ptr<media::Filter> filter_;
    UiServices& ui_;
    QString snapshot_; // the filter's state when the dialog opened
    std::vector<Row> rows_;
    QDialogButtonBox* buttons_ = nullptr;
    QStringList keyProperties_;
    QToolButton* advancedToggle_ = nullptr;
    QWidget* advancedPart_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    bool applied_ = false;
};

} // namespace orvelin
