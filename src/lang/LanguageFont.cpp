// The dialog font of the current language, stored under the language's name.
#include "lang/LanguagePack.h"

namespace orvelin {

bool LanguagePack::LoadFont() {
    fontRecord_ = settings_ ? ReadLogFont(*settings_, currentName_) : LogFont{};
    font_ = FontFromLogFont(fontRecord_);
    // A QFont is always created: a face that is not installed falls back
    // through Qt's font matching, so there is no failure to report here.
    return true;
}

bool LanguagePack::SaveFont() {
    if (settings_)
        WriteLogFont(*settings_, currentName_, fontRecord_);
    return true;
}

void LanguagePack::SetFont(const LogFont& record) {
    fontRecord_ = record;
    font_ = FontFromLogFont(record);
}

} // namespace orvelin
