#include "options/CompressorCatalog.h"

#include "app/SettingsStore.h"
#include "app/UiServices.h"
#include "options/CodecSettings.h"
#include "options/OutputSettings.h"

#include <QComboBox>

namespace orvelin {

using media::CompressorDevice;
using media::CompressorKind;

const char* const kUncompressedVideoEntry = "Full frames (uncompressed)";
const char* const kUncompressedAudioEntry = "Uncompressed Audio";
const char* const kCopyEntry = "Copy (no re-encoding)";

namespace {

class RegistrySource : public CompressorSource {
public:
    Status Enumerate(CompressorKind kind, const QString& muxer,
                     std::vector<CompressorDevice>& devices) override {
        // The registry is the platform's device enumerator: without the
        // platform there is none.
        if (!media::MediaPlatformInitialized())
            return Status::NoSystemEnumerator;
        return media::Succeeded(media::EnumerateCompressors(kind, muxer, devices))
                   ? Status::Ok
                   : Status::NoClassEnumerator;
    }
    std::shared_ptr<media::Filter> Bind(CompressorKind, const CompressorDevice& device) override {
        return media::BindCompressor(device.factoryName);
    }
};

QString Section(CompressorKind kind) {
    return kind == CompressorKind::Video ? QStringLiteral("DexVideoCompress")
                                         : QStringLiteral("DexAudioCompress");
}

const char* PreferredName(CompressorKind kind) {
    return kind == CompressorKind::Video ? "divx" : "microsoft adpcm";
}

std::shared_ptr<media::Filter>& Slot(CompressorKind kind) {
    return kind == CompressorKind::Video ? SelectedVideoCompressor() : SelectedAudioCompressor();
}

} // namespace

QString ContainerMultiplexer(int32_t outputFormat) {
    switch (outputFormat) {
    case kContainerAvi:
        return QStringLiteral("avimux");
    case kContainerMp4:
        return QStringLiteral("mp4mux");
    case kContainerOgm:
        return QStringLiteral("oggmux");
    default:
        return QStringLiteral("matroskamux");
    }
}

CompressorSource& MediaCompressorSource() {
    static RegistrySource source;
    return source;
}

CompressorCatalog::CompressorCatalog(UiServices& ui, CompressorSource& source, QWidget* owner)
    : ui_(ui), source_(source), owner_(owner), muxer_(ContainerMultiplexer(kContainerMkv)) {}

void CompressorCatalog::SetContainer(int32_t outputFormat) {
    muxer_ = ContainerMultiplexer(outputFormat);
}

bool CompressorCatalog::Enumerate(CompressorKind kind, std::vector<CompressorDevice>& devices) {
    devices.clear();
    switch (source_.Enumerate(kind, muxer_, devices)) {
    case CompressorSource::Status::Ok:
        return true;
    case CompressorSource::Status::NoSystemEnumerator:
        ui_.FrameworkMessageBox(owner_, QStringLiteral("Failed to create system enumerator"));
        break;
    case CompressorSource::Status::NoClassEnumerator:
        ui_.FrameworkMessageBox(owner_, QStringLiteral("Failed to create class enumerator"));
        break;
    }
    devices.clear();
    return false;
}

void CompressorCatalog::FillList(CompressorKind kind, QComboBox* list) {
    if (!list)
        return;
    list->clear();
    list->addItem(QString::fromLatin1(kind == CompressorKind::Video ? kUncompressedVideoEntry
                                                                    : kUncompressedAudioEntry));
    std::vector<CompressorDevice> devices;
    if (!Enumerate(kind, devices)) {
        list->setCurrentIndex(-1); // the list keeps its first entry, unselected
        return;
    }
    // Every device the source lists has a name, so list position p stands
    // for device position p - 1 throughout.
    for (const CompressorDevice& d : devices)
        list->addItem(d.friendlyName);
    int& copy = copyPosition_[kind == CompressorKind::Video ? 0 : 1];
    copy = -1;
    if (muxer_ == QLatin1String("matroskamux") || muxer_ == QLatin1String("mp4mux")) {
        list->addItem(QString::fromLatin1(kCopyEntry));
        copy = list->count() - 1;
    }
    list->setCurrentIndex(0);
}

void CompressorCatalog::FillVideoCompressorList(QComboBox* list) {
    FillList(CompressorKind::Video, list);
}

void CompressorCatalog::FillAudioCompressorList(QComboBox* list) {
    FillList(CompressorKind::Audio, list);
}

void CompressorCatalog::Bind(CompressorKind kind, int position,
                             std::shared_ptr<media::Filter>* place) {
    if (!place) {
        ui_.FrameworkMessageBox(
            owner_, kind == CompressorKind::Video
                        ? QStringLiteral("GetCompressor received invalid pointer")
                        : QStringLiteral("GetAudioCompressor received invalid pointer"));
        return;
    }
    place->reset();
    std::vector<CompressorDevice> devices;
    if (!Enumerate(kind, devices))
        return;
    if (position < 0 || position >= static_cast<int>(devices.size()))
        return;
    std::shared_ptr<media::Filter> filter =
        source_.Bind(kind, devices[static_cast<size_t>(position)]);
    if (!filter) {
        ui_.FrameworkMessageBox(owner_, QStringLiteral("Failed to bind to object"));
        return;
    }
    CodecStateBlocks::Instance().ApplyTo(*filter);
    *place = std::move(filter);
}

void CompressorCatalog::GetCompressor(int position, std::shared_ptr<media::Filter>* place) {
    Bind(CompressorKind::Video, position, place);
}

void CompressorCatalog::GetAudioCompressor(int position, std::shared_ptr<media::Filter>* place) {
    Bind(CompressorKind::Audio, position, place);
}

bool CompressorCatalog::FindPreferred(CompressorKind kind, int& position) {
    std::vector<CompressorDevice> devices;
    if (!Enumerate(kind, devices))
        return false;
    const QString wanted = QString::fromLatin1(PreferredName(kind));
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].friendlyName.toLower().contains(wanted)) {
            position = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool CompressorCatalog::FindPreferredVideoCompressor(int& position) {
    return FindPreferred(CompressorKind::Video, position);
}

bool CompressorCatalog::FindPreferredAudioCompressor(int& position) {
    return FindPreferred(CompressorKind::Audio, position);
}

int CompressorCatalog::DefaultSelection(CompressorKind kind) {
    int position = 0;
    return FindPreferred(kind, position) ? position + 1 : 0;
}

int CompressorCatalog::InitialSelection(CompressorKind kind, const SettingsStore& store) {
    const int32_t stored = store.GetInt(Section(kind), QStringLiteral("CompressorNumber"), -2);
    if (stored == -2)
        return DefaultSelection(kind);
    if (stored == kCopyCompressorNumber)
        return CopyPosition(kind) >= 0 ? CopyPosition(kind) : DefaultSelection(kind);
    // A device position past the devices stays past the list's end: the
    // copy entry is never chosen by a device number.
    if (CopyPosition(kind) >= 0 && stored + 1 >= CopyPosition(kind))
        return stored + 2;
    return stored + 1;
}

int CompressorCatalog::CopyPosition(CompressorKind kind) const {
    return copyPosition_[kind == CompressorKind::Video ? 0 : 1];
}

void CompressorCatalog::SelectStoredChoice(CompressorKind kind, QComboBox* list,
                                           const SettingsStore& store) {
    if (!list)
        return;
    const int position = InitialSelection(kind, store);
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

int32_t CompressorCatalog::ChooseAtOk(CompressorKind kind, int listPosition,
                                      int32_t& useCompressor) {
    const int32_t number = listPosition - 1;
    if (listPosition > 0 && listPosition == CopyPosition(kind)) {
        useCompressor = kCopyStream; // the chosen instance stays as it is
        return kCopyCompressorNumber;
    }
    if (listPosition == 0) {
        useCompressor = 0;
        return number;
    }
    std::shared_ptr<media::Filter>& slot = Slot(kind);
    slot.reset();
    Bind(kind, number, &slot);
    useCompressor = 1;
    return number;
}

std::shared_ptr<media::Filter>& SelectedVideoCompressor() {
    static std::shared_ptr<media::Filter> slot;
    return slot;
}

std::shared_ptr<media::Filter>& SelectedAudioCompressor() {
    static std::shared_ptr<media::Filter> slot;
    return slot;
}

void ReleaseSelectedCompressors() {
    SelectedVideoCompressor().reset();
    SelectedAudioCompressor().reset();
}

} // namespace orvelin
