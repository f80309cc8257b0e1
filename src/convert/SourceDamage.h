#pragma once

#include "media/FilterGraph.h"

#include <QString>
#include <vector>

namespace orvelin {

// How far a stream may fall short of its part before the file counts as
// read only in part: two frame periods for pictures, 0.1 s for sound. Less
// is what encoders and containers round away at the end of a stream.
media::REFERENCE_TIME ShortfallTolerance(const media::SourceStreamReport& stream);

// What a completed run's sources say about the output; empty when each file
// was read to the end of its part without a complaint. A file counts as
// damaged when its demultiplexer or decoders reported problems, or when all
// of its streams ended early: a file whose sound alone is shorter than its
// picture is not damaged (the picture still reached the end).
QString SourceDamageText(const std::vector<media::SourceStreamReport>& reports);

// The warning for a file that holds less than its header declares (an AVI
// file cut short, whose demultiplexer measures what is there: `probed`),
// when the converted part runs to its end (`partEnd`); empty otherwise.
QString DeclaredShortfallText(const QString& file, media::REFERENCE_TIME probed,
                              media::REFERENCE_TIME partEnd);

} // namespace orvelin
