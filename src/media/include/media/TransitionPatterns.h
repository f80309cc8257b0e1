#pragma once

#include <QString>
#include <optional>

namespace orvelin::media {

// The class identifier of the SMPTE wipe transform; its "MaskNum" property
// chooses the pattern by its SMPTE number.
inline const QString kSmpteWipeClassId = QStringLiteral("{DE75D012-7A65-11D2-8CEA-00A0C9441E20}");

// How a transition is drawn here: a wipe of GStreamer's SMPTE patterns (by
// SMPTE number) or a cross-fade.
struct TransitionPattern {
    enum class Kind { Wipe, Crossfade } kind = Kind::Wipe;
    int smpteType = 1;
    bool operator==(const TransitionPattern&) const = default;
};

// The pattern for a transform class and, for the SMPTE wipe, its mask
// number. Mask numbers GStreamer has no pattern for, and the named
// transforms, take the nearest pattern there is; an unknown class fades.
TransitionPattern PatternForTransition(const QString& classId, std::optional<int> maskNumber);

// Whether GStreamer's SMPTE wipes know the pattern number.
bool SmptePatternAvailable(int smpteType);

} // namespace orvelin::media
