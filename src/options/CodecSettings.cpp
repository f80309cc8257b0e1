#include "options/CodecSettings.h"

#include "options/PropertyEditorDialog.h"

#include <QComboBox>

namespace orvelin {

namespace {

bool VersionChar(QChar c) {
    return c.isDigit() || c == '.';
}

constexpr int kDescriptionLimit = 255;

} // namespace

CodecStateBlocks& CodecStateBlocks::Instance() {
    static CodecStateBlocks blocks;
    return blocks;
}

bool CodecStateBlocks::ApplyTo(media::Filter& filter) const {
    const auto it = states_.constFind(filter.FactoryName());
    if (it == states_.constEnd())
        return false;
    filter.RestoreState(it.value());
    return true;
}

std::optional<QString> ExtractVersionNumber(const QString& name) {
    qsizetype start = 0;
    while (start < name.size() && !VersionChar(name[start]))
        ++start;
    if (start == name.size())
        return std::nullopt;
    qsizetype end = start;
    while (end < name.size() && VersionChar(name[end]))
        ++end;
    return name.mid(start, end - start);
}

int MatchVfwCompressor(const std::vector<media::VfwCompressorInfo>& table,
                       const QString& selectedName) {
    int match = -1;
    const QString selectedLower = selectedName.toLower();
    const std::optional<QString> selectedVersion = ExtractVersionNumber(selectedName);
    for (size_t i = 0; i < table.size(); ++i) {
        const QString description = table[i].description.left(kDescriptionLimit);
        if (description.compare(selectedName, Qt::CaseInsensitive) == 0) {
            match = static_cast<int>(i);
            continue;
        }
        if (match >= 0 || !selectedLower.contains(QLatin1String("divx")) ||
            !description.toLower().contains(QLatin1String("divx")))
            continue;
        const std::optional<QString> version = ExtractVersionNumber(description);
        if (selectedVersion && version &&
            selectedVersion->compare(*version, Qt::CaseInsensitive) == 0)
            match = static_cast<int>(i);
    }
    return match;
}

void ConfigureVfwCompressor(QWidget* owner, const QString& type, const QString& handler,
                            CodecStateBlocks& blocks, UiServices& ui) {
    if (type != QLatin1String("vidc"))
        return;
    std::shared_ptr<media::Filter> compressor = media::BindCompressor(handler);
    if (!compressor || compressor->Properties().empty())
        return; // cannot be opened, or has no settings to keep
    if (blocks.Has(handler))
        compressor->RestoreState(blocks.State(handler));
    PropertyEditorDialog editor(compressor, compressor->LongName(), ui, owner);
    if (editor.exec() == QDialog::Accepted)
        blocks.Remember(handler, compressor->SerializeState());
}

void RunVideoCodecSettings(QWidget* owner, const QString& selectedName, QComboBox* vfwCodecs,
                           UiServices& ui,
                           const std::function<std::vector<media::VfwCompressorInfo>()>& table) {
    const std::vector<media::VfwCompressorInfo> compressors = table();
    if (vfwCodecs)
        vfwCodecs->clear();
    if (compressors.empty())
        return;
    for (const media::VfwCompressorInfo& info : compressors) {
        if (vfwCodecs)
            vfwCodecs->addItem(info.description.left(kDescriptionLimit));
    }
    const int match = MatchVfwCompressor(compressors, selectedName);
    if (match < 0)
        return;
    if (vfwCodecs) {
        vfwCodecs->setCurrentIndex(match);
        if (vfwCodecs->currentIndex() < 0)
            return;
    }
    const media::VfwCompressorInfo& chosen =
        compressors[static_cast<size_t>(vfwCodecs ? vfwCodecs->currentIndex() : match)];
    ConfigureVfwCompressor(owner, chosen.type, chosen.handler, CodecStateBlocks::Instance(), ui);
}

} // namespace orvelin
