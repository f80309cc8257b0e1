#include "options/PropertyEditorDialog.h"

#include "app/UiServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

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
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    if (filter_) {
        snapshot_ = filter_->SerializeState();
        for (const FilterProperty& p : filter_->Properties()) {
            Row row;
            row.name = p.name;
            QWidget* editor = MakeEditor(p, row);
            editor->setObjectName(p.name);
            QString tip = p.blurb;
            if (!p.defaultValue.isEmpty())
                tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) +
                       tr("Default: %1").arg(p.defaultValue);
            editor->setToolTip(tip);
            auto* label = new QLabel(p.name);
            label->setToolTip(tip);
            form->addRow(label, editor);
            row.editor = editor;
            row.initial = row.text();
            rows_.push_back(std::move(row));
        }
    }
    auto* page = new QWidget;
    page->setLayout(form);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertyEditorDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertyEditorDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons_);
    resize(520, 460);
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
        auto* edit = new QLineEdit(p.value);
        row.text = [edit] { return edit->text().trimmed(); };
        return edit;
    }
    case FilterProperty::Kind::Enum: {
        auto* list = new QComboBox;
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
