#include "convert/ConvertHost.h"

#include "options/FilterPropertiesDialog.h"

namespace orvelin {

void ConvertHost::ShowFilterProperties(const std::vector<std::shared_ptr<media::Filter>>& filters) {
    FilterPropertiesDialog dialog(filters, Ui(), OwnerWidget());
    dialog.exec();
}

} // namespace orvelin
