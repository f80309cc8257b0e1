#include "mainwnd/AboutDialog.h"

#include "controls/Accessibility.h"
#include "controls/DialogUnits.h"
#include "controls/HyperlinkLabel.h"
#include "controls/Resources.h"
#include "lang/LanguagePack.h"
#include "mainwnd/ProductInfo.h"

#include <QLabel>
#include <QPushButton>

namespace orvelin {

namespace {
constexpr const char* kControlIdProperty = "controlId";
constexpr int kIconId = 128;
} // namespace

AboutDialog::AboutDialog(UiServices& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
    CreateControls();
    Initialize();
}

void AboutDialog::CreateControls() {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.X(kWidthDu), du.Y(kHeightDu));

    auto place = [&](QWidget* w, int id, int left, int top, int width, int height) {
        w->setGeometry(du.Rect(left, top, width, height));
        w->setProperty(kControlIdProperty, id);
        if (id != 0) {
            w->setObjectName(QString::number(id));
            controls_[id] = w;
        }
    };
    auto staticText = [&](const QString& text) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };

    // In template (tab) order.
    auto* icon = new QLabel(this);
    place(icon, 0, 11, 17, 20, 20);
    const int iconSize = IconResourceSize(kIconId);
    icon->setPixmap(LoadIconResource(kIconId).pixmap(iconSize > 0 ? iconSize : 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setAccessibleName(QStringLiteral("Orvelin icon"));

    place(staticText(QStringLiteral("Orvelin")), IDC_STATIC_PRODUCT_NAME, 58, 10, 179, 14);
    place(staticText(VersionLine()), IDC_STATIC_VERSION, 58, 27, 146, 14);
    makerLine_ = staticText(kMakerLine);
    place(makerLine_, 0, 58, 44, 179, 14);
    place(new HyperlinkLabel(ui_, kHomepageAddress, this), IDC_STATIC_HOMEPAGE, 58, 61, 179, 14);
    place(new HyperlinkLabel(ui_, QStringLiteral("Support Email: Click here"), this),
          IDC_STATIC_EMAIL, 58, 78, 179, 14);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    place(ok, IDOK_BUTTON, 82, 104, 66, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Tab runs down the box: the two links, then OK.
    OrderTabsByLayout(this);
}

void AboutDialog::Initialize() {
    // The labels become links once placed, then get their targets and the
    // permanent underline.
    for (HyperlinkLabel* link : {HomepageLink(), ContactLink()})
        link->Attach();
    HomepageLink()->SetURL(kHomepageAddress);
    ContactLink()->SetURL(kContactAddress);
    HomepageLink()->SetUnderline(HyperlinkLabel::kUnderlineAlways);
    ContactLink()->SetUnderline(HyperlinkLabel::kUnderlineAlways);
    LanguagePack::Instance().ApplyToDialog(this, kResourceId);
    // A language may give the links other texts: fit them again so that no
    // translated text is clipped at the English width.
    HomepageLink()->PositionWindow();
    ContactLink()->PositionWindow();
    if (auto* ok = Control(IDOK_BUTTON))
        ok->setFocus(Qt::OtherFocusReason);
}

QWidget* AboutDialog::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

HyperlinkLabel* AboutDialog::HomepageLink() const {
    return qobject_cast<HyperlinkLabel*>(Control(IDC_STATIC_HOMEPAGE));
}

HyperlinkLabel* AboutDialog::ContactLink() const {
    return qobject_cast<HyperlinkLabel*>(Control(IDC_STATIC_EMAIL));
}

QString AboutDialog::MakerText() const {
    auto* label = qobject_cast<QLabel*>(makerLine_);
    return label ? label->text() : QString();
}

} // namespace orvelin
