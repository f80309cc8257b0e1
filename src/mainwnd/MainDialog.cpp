#include "mainwnd/MainDialog.h"

namespace orvelin {

MainDialog::MainDialog(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {}

} // namespace orvelin
