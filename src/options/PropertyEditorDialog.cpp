#include "options/PropertyEditorDialog.h"

#include "app/UiServices.h"
#include "options/PropertyEditorDialogKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include <climits>
#include <cmath>

namespace orvelin {

using media::FilterProperty;

namespace {

constexpr double kExactDoubleLimit = 9007199254740992.0; // 2^53: integers a double holds exactly
constexpr double kSpinDoubleLimit = 1e12;                // wider ranges get a text box

QString NumberText(double value, bool integral) {
    return integral ? QString::number(static_cast<qint64>(std::llround(value)))
                    : QString::number(value, 'g', 17);
}

} // namespace

PropertyEditorDialog::PropertyEditorDialog(std::shared_ptr<media::Filter> filter,
                                           const QString& caption, UiServices& ui, QWidget* parent)
    : QDialog(parent), filter_(std::move(filter)), ui_(ui) {
    setWindowTitle(caption);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    auto makeForm = [] {
        auto* form = new QFormLayout;
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        // A row too wide for the window puts its field under the label.
        form->setRowWrapPolicy(QFormLayout::WrapLongRows);
        return form;
    };

    std::vector<FilterProperty> properties;
    if (filter_) {
        snapshot_ = filter_->SerializeState();
        properties = filter_->Properties();
    }
    auto find = [&properties](const QString& name) -> const FilterProperty* {
        for (const FilterProperty& p : properties) {
            if (p.name == name)
                return &p;
        }
        return nullptr;
    };

    // The settings that decide the result, under their plain names.
    if (filter_) {
        QFormLayout* keyForm = nullptr;
        for (const KeySetting& key : KeySettingsOf(filter_->FactoryName())) {
            const FilterProperty* p = find(key.property);
            if (!p || keyProperties_.contains(p->name))
                continue;
            if (!keyForm) {
                auto* box = new QGroupBox(tr("Main settings"));
                keyForm = makeForm();
                box->setLayout(keyForm);
                pageLayout->addWidget(box);
            }
            AddRow(keyForm, *p, key.label);
            keyProperties_ << p->name;
        }
    }

    // Every other setting, in the element's own order.
    auto* advancedForm = makeForm();
    int advancedCount = 0;
    for (const FilterProperty& p : properties) {
        if (keyProperties_.contains(p.name))
            continue;
        AddRow(advancedForm, p, p.name);
        ++advancedCount;
    }
    advancedPart_ = new QWidget;
    advancedPart_->setLayout(advancedForm);
    advancedForm->setContentsMargins(0, 0, 0, 0);
    advancedToggle_ = new QToolButton;
    advancedToggle_->setObjectName(QStringLiteral("advanced"));
    advancedToggle_->setText(tr("Advanced (%1 settings)").arg(advancedCount));
    advancedToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    advancedToggle_->setAutoRaise(true);
    advancedToggle_->setCheckable(true);
    auto showAdvanced = [this](bool shown) {
        advancedToggle_->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
        advancedPart_->setVisible(shown);
    };
    connect(advancedToggle_, &QToolButton::toggled, this, [this, showAdvanced](bool shown) {
        showAdvanced(shown);
        // Room for the list that opened, within the screen.
        if (shown && isVisible()) {
            const QScreen* screen = this->screen();
            const int tallest = screen ? screen->availableGeometry().height() * 4 / 5 : 600;
            if (height() < tallest)
                resize(width(), std::min(tallest, std::max(height(), 560)));
        }
    });
    // Folded while there is something above it; else the list is all there is.
    const bool folded = !keyProperties_.isEmpty();
    advancedToggle_->setChecked(!folded);
    showAdvanced(!folded);
    if (advancedCount > 0) {
        pageLayout->addWidget(advancedToggle_);
        pageLayout->addWidget(advancedPart_);
    } else {
        advancedToggle_->hide();
        advancedPart_->hide();
    }
    if (properties.empty())
        pageLayout->addWidget(new QLabel(tr("This filter has no settings that can be changed.")));
    pageLayout->addStretch(1);

    scroll_ = new QScrollArea;
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(page);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertyEditorDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertyEditorDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_);
    layout->addWidget(buttons_);
    FitWidth();
}

void PropertyEditorDialog::AddRow(QFormLayout* form, const FilterProperty& p,
                                  const QString& label) {
    Row row;
    row.name = p.name;
    QWidget* editor = MakeEditor(p, row);
    editor->setObjectName(p.name);
    QString tip = PropertyTooltip(p);
    if (label != p.name)
        tip += QStringLiteral("\n") + tr("Setting: %1").arg(p.name);
    editor->setToolTip(tip);
    editor->setAccessibleName(label);
    auto* text = new QLabel(label);
    text->setToolTip(tip);
    text->setBuddy(editor);
    form->addRow(text, editor);
    row.editor = editor;
    row.initial = row.text();
    rows_.push_back(std::move(row));
}

void PropertyEditorDialog::FitWidth() {
    // Wide enough for every row, folded or not, so nothing is cut and no
    // sideways scrolling is needed; within the screen.
    QWidget* page = scroll_->widget();
    int content = page->sizeHint().width();
    if (advancedPart_) {
        const QMargins margins = page->layout()->contentsMargins();
        content =
            std::max(content, advancedPart_->sizeHint().width() + margins.left() + margins.right());
    }
    const int chrome = 2 * scroll_->frameWidth() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_) +
                       layout()->contentsMargins().left() + layout()->contentsMargins().right();
    int width = std::max(520, content + chrome);
    int height = std::max(
        320,
        std::min(page->sizeHint().height() + buttons_->sizeHint().height() + chrome + 24, 560));
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        width = std::min(width, room.width() * 9 / 10);
        height = std::min(height, room.height() * 4 / 5);
    }
    resize(width, height);
}

QWidget* PropertyEditorDialog::MakeEditor(const FilterProperty& p, Row& row) {
    switch (p.kind) {
    case FilterProperty::Kind::Boolean: {
        auto* box = new QCheckBox;
        box->setChecked(p.value == QLatin1String("true"));
        row.text = [box] {
            return box->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
        };
        return box;
    }
    case FilterProperty::Kind::Integer:
    case FilterProperty::Kind::UnsignedInteger:
    case FilterProperty::Kind::Integer64:
    case FilterProperty::Kind::Double: {
        const bool integral = p.kind != FilterProperty::Kind::Double;
        bool valueOk = false;
        const double value = p.value.toDouble(&valueOk);
        if (integral && p.minimum >= INT_MIN && p.maximum <= INT_MAX && valueOk) {
            auto* spin = new QSpinBox;
            spin->setRange(static_cast<int>(p.minimum), static_cast<int>(p.maximum));
            spin->setValue(static_cast<int>(value));
            row.text = [spin] { return QString::number(spin->value()); };
            return spin;
        }
        const double limit = integral ? kExactDoubleLimit : kSpinDoubleLimit;
        if (valueOk && p.minimum >= -limit && p.maximum <= limit) {
            auto* spin = new QDoubleSpinBox;
            spin->setDecimals(integral ? 0 : 6);
            spin->setRange(p.minimum, p.maximum);
            spin->setValue(value);
            row.text = [spin, integral] { return NumberText(spin->value(), integral); };
            return spin;
        }
        // Ranges a spin box cannot hold: the text is checked when it is set.
        if (IsUnsetValue(p, p.defaultValue)) {
            // The value standing for "not set" shows as an empty field, and
            // an emptied field sets it again.
            auto* edit = new QLineEdit(IsUnsetValue(p, p.value) ? QString() : p.value);
            edit->setPlaceholderText(tr("not set"));
            row.text = [edit, unset = p.defaultValue] {
                const QString text = edit->text().trimmed();
                return text.isEmpty() ? unset : text;
            };
            return edit;
        }
        auto* edit = new QLineEdit(p.value);
        row.text = [edit] { return edit->text().trimmed(); };
        return edit;
    }
    case FilterProperty::Kind::Enum: {
        auto* list = new QComboBox;
        // The whole name of every value shows.
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (qsizetype i = 0; i < p.enumNicks.size(); ++i)
            list->addItem(p.enumNames.value(i, p.enumNicks[i]), p.enumNicks[i]);
        list->setCurrentIndex(static_cast<int>(p.enumNicks.indexOf(p.value)));
        row.text = [list] {
            return list->currentIndex() < 0 ? QString() : list->currentData().toString();
        };
        return list;
    }
    case FilterProperty::Kind::Flags: {
        auto* group = new QWidget;
        auto* layout = new QVBoxLayout(group);
        layout->setContentsMargins(0, 0, 0, 0);
        const QStringList set = p.value.split('+', Qt::SkipEmptyParts);
        std::vector<std::pair<QCheckBox*, QString>> boxes;
        for (qsizetype i = 0; i < p.enumNicks.size(); ++i) {
            auto* box = new QCheckBox(p.enumNames.value(i, p.enumNicks[i]));
            box->setObjectName(p.name + '/' + p.enumNicks[i]);
            box->setChecked(set.contains(p.enumNicks[i]));
            layout->addWidget(box);
            boxes.emplace_back(box, p.enumNicks[i]);
        }
        row.text = [boxes] {
            QStringList nicks;
            for (const auto& [box, nick] : boxes) {
                if (box->isChecked())
                    nicks << nick;
            }
            return nicks.join('+');
        };
        return group;
    }
    case FilterProperty::Kind::String:
        break;
    }
    auto* edit = new QLineEdit(p.value);
    row.text = [edit] { return edit->text(); };
    return edit;
}

QWidget* PropertyEditorDialog::Editor(const QString& propertyName) const {
    for (const Row& row : rows_) {
        if (row.name == propertyName)
            return row.editor;
    }
    return nullptr;
}

void PropertyEditorDialog::accept() {
    QStringList refused;
    for (const Row& row : rows_) {
        const QString text = row.text();
        if (text == row.initial)
            continue; // untouched: the filter keeps exactly what it had
        if (media::Failed(filter_->SetProperty(row.name, text)))
            refused << QStringLiteral("%1 = \"%2\"").arg(row.name, text);
    }
    applied_ = true;
    if (!refused.isEmpty()) {
        ui_.MessageBox(this, tr("These settings were not accepted:\n%1").arg(refused.join('\n')),
                       windowTitle(), MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QDialog::accept();
}

void PropertyEditorDialog::reject() {
    // A refused OK may have set some values already; Cancel puts them back.
    if (applied_ && filter_)
        filter_->RestoreState(snapshot_);
    QDialog::reject();
}

} // namespace orvelin
