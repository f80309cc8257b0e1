#pragma once

#include "media/FilterGraph.h"

#include <QString>
#include <vector>

namespace orvelin {

// How far a stream may fall short of its part before the file counts as
// read only in part: a tenth of the part, at least 0.2 s and at most 1 s.
// Less is what encoders and containers round away at the end of a stream.
media::REFERENCE_TIME ShortfallTolerance(media::REFERENCE_TIME asked);

// What a completed run's sources say about the output; empty when each file
// was read to the end of its part without a complaint. A file counts as
// damaged when its demultiplexer or decoders reported problems, or when all
// of its streams ended early: a file whose sound alone is shorter than its
// picture is not damaged (the picture still reached the end).
QString SourceDamageText(const std::vector<media::SourceStreamReport>& reports);

} // namespace orvelin
