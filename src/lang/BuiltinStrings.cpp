#include "lang/BuiltinStrings.h"

#include <array>
#include <utility>

namespace orvelin {

namespace {
constexpr std::array<std::pair<int32_t, const char*>, 23> kTable{{
    {101, "&About"},
    {105, "Error"},
    {108, "Warning"},
    {110, "Select Output File Name"},
    {111, "Original size"},
    {112, "Custom size"},
    {113, "Original frame rate"},
    {114, "Custom frame rate"},
    {115, "Output file:"},
    {116, "Resolution:"},
    {117, "Preserve aspect ratio"},
    {118, "Stretch"},
    {119, "Open a video file"},
    {120, "Customize output options"},
    {121, "Convert video"},
    {122, "Cannot open the file. You need to install appropriate decoders. Or the file is "
          "corrupt."},
    {123, "Can not get the duration of the clip!"},
    {124, "Stop"},
    {125, "Convert"},
    {126, "Please restart the program"},
    {127, "exists. Do you want to replace it?"},
    {130, "Please first stop converting"},
    {163, "Done"},
}};
} // namespace

QString BuiltinString(int32_t id) {
    for (const auto& [key, text] : kTable) {
        if (key == id)
            return QString::fromUtf8(text);
    }
    return {};
}

} // namespace orvelin
