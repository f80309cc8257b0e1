#include "options/FilterPropertiesDialog.h"

#include "controls/DialogUnits.h"

#include "options/PropertyEditorDialog.h"

#include <QFont>
#include <QFontMetrics>
#include <QListWidget>
#include <QPushButton>

namespace orvelin {

namespace {

constexpr const char* kControlIdProperty = "controlId";
const QString kErrorEntry = QStringLiteral("<ERROR>");

} // namespace

FilterPropertiesDialog::FilterPropertiesDialog(
    std::optional<std::vector<std::shared_ptr<media::Filter>>> filters, UiServices& ui,
    QWidget* parent)
    : QDialog(parent), filters_(std::move(filters)), ui_(ui) {
    setWindowTitle(QStringLiteral("Set Filter's Properties"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    const DialogUnits du(font);
    setFixedSize(du.X(187), du.Y(196));

    list_ = new QListWidget(this);
    list_->setGeometry(du.Rect(7, 7, 173, 159));
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->setSortingEnabled(false);
    list_->setProperty(kControlIdProperty, IDC_LIST_FILTERS);

    settings_ = new QPushButton(QStringLiteral("&Settings"), this);
    settings_->setGeometry(du.Rect(13, 175, 66, 14));
    settings_->setEnabled(false);
    settings_->setAutoDefault(false);
    settings_->setProperty(kControlIdProperty, IDC_BUTTON_FILTER_SETTINGS);

    continue_ = new QPushButton(QStringLiteral("&Continue"), this);
    continue_->setGeometry(du.Rect(103, 175, 66, 14));
    continue_->setAutoDefault(false);
    continue_->setProperty(kControlIdProperty, IDCANCEL);

    connect(list_, &QListWidget::currentRowChanged, this,
            &FilterPropertiesDialog::UpdateSettingsButton);
    connect(settings_, &QPushButton::clicked, this, &FilterPropertiesDialog::OnSettings);
    connect(continue_, &QPushButton::clicked, this, &FilterPropertiesDialog::reject);

    FillList();
}

void FilterPropertiesDialog::FillList() {
    list_->clear();
    if (!filters_) {
        list_->addItem(kErrorEntry);
        return;
    }
    for (const std::shared_ptr<media::Filter>& filter : *filters_)
        list_->addItem(filter ? filter->Name() : kErrorEntry);
    const QSignalBlocker quiet(list_);
    list_->setCurrentRow(0);
    UpdateSettingsButton();
}

std::shared_ptr<media::Filter> FilterPropertiesDialog::FindFilterByName(const QString& name) const {
    if (!filters_)
        return nullptr;
    for (const std::shared_ptr<media::Filter>& filter : *filters_) {
        if (!filter)
            return nullptr; // its name cannot be read: the search ends here
        if (filter->Name() == name)
            return filter;
    }
    return nullptr;
}

void FilterPropertiesDialog::UpdateSettingsButton() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    // A filter that is not found leaves the button as it was.
    if (const std::shared_ptr<media::Filter> filter = FindFilterByName(item->text()))
        settings_->setEnabled(!filter->Properties().empty());
}

void FilterPropertiesDialog::OnSettings() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const std::shared_ptr<media::Filter> filter = FindFilterByName(item->text());
    if (!filter || filter->Properties().empty())
        return;
    PropertyEditorDialog editor(filter, filter->Name(), ui_, this);
    editor.move(mapToGlobal(QPoint(0, 0)));
    editor.exec();
}

} // namespace orvelin
