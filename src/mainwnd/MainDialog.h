#pragma once

#include <QDialog>

namespace orvelin {

struct AppContext;

class MainDialog : public QDialog {
    Q_OBJECT
public:
    explicit MainDialog(AppContext& app, QWidget* parent = nullptr);

private:
    AppContext& app_;
};

} // namespace orvelin
