#pragma once

#include "media/Filter.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QListWidget;
class QPushButton;

namespace orvelin {

class UiServices;

// "Set Filter's Properties" (dialog 164): the filters of a conversion graph
// that is about to run, by name, with a Settings button that opens the
// selected filter's settings in the property editor, and Continue.
class FilterPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IDC_LIST_FILTERS = 1095,
        IDC_BUTTON_FILTER_SETTINGS = 1096,
        IDCANCEL = 2,
    };

    // `filters` in the graph's order; a null entry is a filter whose name
    // cannot be read (listed as "<ERROR>"); no list at all (std::nullopt)
    // means the graph's filters could not be listed.
    FilterPropertiesDialog(std::optional<std::vector<std::shared_ptr<media::Filter>>> filters,
                           UiServices& ui, QWidget* parent = nullptr);

    // The first filter whose name equals `name` exactly; nullptr when there
    // is none or a filter before it cannot be read.
    std::shared_ptr<media::Filter> FindFilterByName(const QString& name) const;

    QListWidget* FilterList() const { return list_; }
    QPushButton* SettingsButton() const { return settings_; }
    QPushButton* ContinueButton() const { return continue_; }

private slots:
    void UpdateSettingsButton();
    void OnSettings();

private:
    void FillList();

    std::optional<std::vector<std::shared_ptr<media::Filter>>> filters_;
    UiServices& ui_;
    QListWidget* list_ = nullptr;
    QPushButton* settings_ = nullptr;
    QPushButton* continue_ = nullptr;
};

} // namespace orvelin
