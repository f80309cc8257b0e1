#pragma once

#include "media/EncoderRegistry.h"
#include "media/Filter.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QWidget;

namespace orvelin {

class UiServices;

// The configuration each encoder was given through the Settings button of the
// Output options dialog, remembered for this program run only (never
// stored): one state per encoder, keyed by its handler (factory name). It is
// put back before the encoder's next configuration and given to every
// instance of that encoder that the catalogue binds afterwards, so the
// conversion encodes with it.
class CodecStateBlocks {
public:
    static CodecStateBlocks& Instance();

    bool Has(const QString& handler) const { return states_.contains(handler); }
    QString State(const QString& handler) const { return states_.value(handler); }
    void Remember(const QString& handler, const QString& state) { states_.insert(handler, state); }
    // Gives a new instance the remembered state of its encoder; false when
    // there is none.
    bool ApplyTo(media::Filter& filter) const;
    void Clear() { states_.clear(); }

private:
    QHash<QString, QString> states_;
};

// The first run of digits and full stops in a name ("DivX 6.8.5 Codec" gives
// "6.8.5"); nothing when the name has neither.
std::optional<QString> ExtractVersionNumber(const QString& name);

// The entry of the compressor table that the Settings button configures for
// the selected compressor name, or -1: an entry whose description equals the
// name ignoring case (the last such entry wins); before any match, also an
// entry that shares "divx" and the version number with the name.
int MatchVfwCompressor(const std::vector<media::VfwCompressorInfo>& table,
                       const QString& selectedName);

// Opens the configuration of one compressor (a new instance of the encoder
// in the property editor, owned by `owner`), after giving it the remembered
// state of that encoder; OK remembers the state it leaves. A compressor that
// cannot be made or has no settings ends it silently.
void ConfigureVfwCompressor(QWidget* owner, const QString& type, const QString& handler,
                            CodecStateBlocks& blocks, UiServices& ui);

// The Settings button of the Output options dialog, after the selected name
// has been copied: lists the compressors (ListVfwCompressors), fills the
// hidden list `vfwCodecs` with their descriptions, and configures the match.
// `table` stands in for the platform's listing in tests.
void RunVideoCodecSettings(QWidget* owner, const QString& selectedName, QComboBox* vfwCodecs,
                           UiServices& ui,
                           const std::function<std::vector<media::VfwCompressorInfo>()>& table =
                               media::ListVfwCompressors);

} // namespace orvelin
