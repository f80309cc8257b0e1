#include "convert/WindowsMediaStep.h"

#include "app/UiServices.h"

namespace orvelin {

void ReportWindowsMediaFailure(UiServices& ui, const char* format, media::HRESULT hr) {
    const QString text = QString::asprintf(format, static_cast<unsigned int>(hr));
    ui.MessageBox(nullptr, text, QStringLiteral("Vantorix"), MsgButtons::Ok);
}

media::HRESULT WindowsMediaUnavailable::GenerateProfile(const OutputSettings&) {
    ReportWindowsMediaFailure(ui_, "Failed to GenerateProfile Audio video with script!  hr=0x%x\n",
                              media::E_NOTIMPL);
    return media::E_NOTIMPL;
}

media::HRESULT WindowsMediaUnavailable::ConfigureWriter(media::Filter&, const OutputSettings&) {
    ReportWindowsMediaFailure(ui_, "Failed to configure filter to use profile!  hr=0x%x\n",
                              media::E_NOTIMPL);
    return media::E_NOTIMPL;
}

} // namespace orvelin
