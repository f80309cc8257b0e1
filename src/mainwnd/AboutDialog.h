#pragma once

#include <QDialog>
#include <map>

namespace orvelin {

class HyperlinkLabel;
class UiServices;

// The About box (template 100): icon, name, version, maker and two links.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResourceId = 100;
    enum ControlId : int {
        IDOK_BUTTON = 1,
        IDC_STATIC_HOMEPAGE = 1049,
        IDC_STATIC_EMAIL = 1050,
        IDC_STATIC_PRODUCT_NAME = 1085,
        IDC_STATIC_VERSION = 1086,
    };
    // Size of the template in dialog units.
    static constexpr int kWidthDu = 244;
    static constexpr int kHeightDu = 126;

    explicit AboutDialog(UiServices& ui, QWidget* parent = nullptr);

    // The control with a template identifier; nullptr when there is none.
    QWidget* Control(int id) const;
    HyperlinkLabel* HomepageLink() const;
    HyperlinkLabel* ContactLink() const;
    // The maker's line (a control without identifier).
    QString MakerText() const;

private:
    void CreateControls();
    void Initialize();

    UiServices& ui_;
    std::map<int, QWidget*> controls_;
    QWidget* makerLine_ = nullptr;
};

} // namespace orvelin
