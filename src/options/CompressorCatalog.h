#pragma once

#include "media/EncoderRegistry.h"
#include "media/Filter.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QComboBox;
class QWidget;

namespace orvelin {

class SettingsStore;
class UiServices;

// Where the catalogue finds compressors: the media registry in the program;
// tests put a list of their own in its place.
class CompressorSource {
public:
    enum class Status { Ok, NoSystemEnumerator, NoClassEnumerator };
    virtual ~CompressorSource() = default;
    // The devices of a kind that work into `muxer`, in their stable order.
    virtual Status Enumerate(media::CompressorKind kind, const QString& muxer,
                             std::vector<media::CompressorDevice>& devices) = 0;
    // A new instance of the device; nullptr when it cannot be made.
    virtual std::shared_ptr<media::Filter> Bind(media::CompressorKind kind,
                                                const media::CompressorDevice& device) = 0;
};

// The installed compressors as the media platform lists them.
CompressorSource& MediaCompressorSource();

// The multiplexer that writes a container of the output settings (Matroska
// for one without a multiplexer of its own: WMV and ASF encode by
// themselves, DSM is not installed).
QString ContainerMultiplexer(int32_t outputFormat);

// The fixed first entries of the two lists (no compressor).
extern const char* const kUncompressedVideoEntry; // "Full frames (uncompressed)"
extern const char* const kUncompressedAudioEntry; // "Uncompressed Audio"

// The last entry of both lists for Matroska and MP4: the source's stream is
// copied as it is. Stored as "CompressorNumber" -3, a value no device
// position takes, so the stored positions of the devices keep their meaning;
// the output settings' `useVideoCompressor` / `useAudioCompressor` is then 2.
extern const char* const kCopyEntry; // "Copy (no re-encoding)"
constexpr int32_t kCopyCompressorNumber = -3;
constexpr int32_t kCopyStream = 2;

// The video and audio compressor lists of the Output options dialog and the
// binding of the user's choice. Keeps nothing between calls: every operation
// asks the source anew.
class CompressorCatalog {
public:
    // Messages are owned by `owner` and carry the program's title.
    explicit CompressorCatalog(UiServices& ui, CompressorSource& source = MediaCompressorSource(),
                               QWidget* owner = nullptr);

    // The container the lists are for (an output-settings index); Matroska
    // until set. Only compressors that work into it are listed, so list
    // positions belong to one container.
    void SetContainer(int32_t outputFormat);
    // Rebuild a list: the fixed first entry, then the devices' friendly
    // names, then the copy entry where the container takes copied streams;
    // position 0 is selected. When the devices cannot be listed the
    // list keeps only the first entry and has no selection.
    void FillVideoCompressorList(QComboBox* list);
    void FillAudioCompressorList(QComboBox* list);

    // Binds the device at `position` into `*place` (emptied first). A
    // position outside the list binds nothing and says nothing. The
    // encoder's remembered settings of this run (CodecStateBlocks) are
    // applied to the new instance.
    void GetCompressor(int position, std::shared_ptr<media::Filter>* place);
    void GetAudioCompressor(int position, std::shared_ptr<media::Filter>* place);

    // The first device whose name contains "divx" / "microsoft adpcm"
    // (ignoring case); its device position in `position`.
    bool FindPreferredVideoCompressor(int& position);
    bool FindPreferredAudioCompressor(int& position);

    // The list position to select when the dialog opens, from the stored
    // "CompressorNumber" of the kind: the preferred device when nothing was
    // ever chosen (-2), else the stored value + 1 (which may lie beyond the
    // end of the list).
    int InitialSelection(media::CompressorKind kind, const SettingsStore& store);
    // Selects that position in a filled list; a position beyond its end
    // leaves the list without selection.
    void SelectStoredChoice(media::CompressorKind kind, QComboBox* list,
                            const SettingsStore& store);
    // The list position of the Default button: the preferred device, else 0.
    int DefaultSelection(media::CompressorKind kind);

    // The list position of the copy entry of a kind in the lists last
    // filled; -1 when it is not offered.
    int CopyPosition(media::CompressorKind kind) const;

    // The OK rule for one kind, with the list's selected position (-1 for
    // none): answers the value to store as "CompressorNumber" (position - 1).
    // The copy entry stores -3 and sets `useCompressor` to 2.
    // Position 0 sets `useCompressor` to 0 and keeps the selected instance;
    // any other releases the selected instance, binds device position - 1
    // into the slot of the kind and sets `useCompressor` to 1 (even when
    // nothing could be bound).
    int32_t ChooseAtOk(media::CompressorKind kind, int listPosition, int32_t& useCompressor);

private:
    bool Enumerate(media::CompressorKind kind, std::vector<media::CompressorDevice>& devices);
    void FillList(media::CompressorKind kind, QComboBox* list);
    void Bind(media::CompressorKind kind, int position, std::shared_ptr<media::Filter>* place);
    bool FindPreferred(media::CompressorKind kind, int& position);

    UiServices& ui_;
    CompressorSource& source_;
    QWidget* owner_;
    QString muxer_;
    int copyPosition_[2] = {-1, -1};
};

// The process-wide chosen compressor instances (empty at start). The Output
// options dialog's OK fills them; the conversion reads them when the
// matching flag of the output settings is 1; the main window releases them
// when it closes.
std::shared_ptr<media::Filter>& SelectedVideoCompressor();
std::shared_ptr<media::Filter>& SelectedAudioCompressor();
void ReleaseSelectedCompressors();

} // namespace orvelin
