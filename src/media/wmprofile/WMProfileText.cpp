// Loading a profile from the XML text of a Windows Media profile file:
//
//   <profile version="589824" name="...">
//     <streamconfig majortype="{GUID}" streamnumber="1" streamname="..."
//                   inputname="..." bitrate="128000" bufferwindow="3000">
//       <videomediaprops maxkeyframespacing="80000000" quality="0"/>
//       <wmmediatype subtype="{GUID}" bfixedsizesamples="1"
//                    btemporalcompression="0" lsamplesize="743">
//         <waveformatex wFormatTag="353" nChannels="2" nSamplesPerSec="44100"
//                       nAvgBytesPerSec="16000" nBlockAlign="743"
//                       wBitsPerSample="16" codecdata="..."/>
//         or <videoinfoheader dwbitrate="..." dwbiterrorrate="0"
//                             avgtimeperframe="...">
//              <rcsource left top right bottom/> <rctarget .../>
//              <bitmapinfoheader biwidth biheight biplanes bibitcount
//                                bicompression="WMV2" bisizeimage .../>
//            </videoinfoheader>
//       </wmmediatype>
//     </streamconfig>
//     <mutualexclusion type="{GUID}"> <streamnumber number="2"/> ...
//   </profile>

#include "media/ErrorText.h"
#include "media/WMProfile.h"

#include <QString>
#include <QUuid>
#include <QXmlStreamReader>

namespace orvelin::media {

namespace {

WMGuid ParseGuid(const QString& text, bool* ok) {
    const QUuid uuid(text);
    *ok =
        !uuid.isNull() || text.trimmed() == QLatin1String("{00000000-0000-0000-0000-000000000000}");
    WMGuid g;
    g.data1 = uuid.data1;
    g.data2 = uuid.data2;
    g.data3 = uuid.data3;
    for (int i = 0; i < 8; ++i)
        g.data4[static_cast<size_t>(i)] = uuid.data4[i];
    return g;
}

class Reader {
public:
    explicit Reader(const QString& text) : xml_(text) {}

    HRESULT Read(std::shared_ptr<WMProfile>* profile) {
        if (!xml_.readNextStartElement() || xml_.name() != QLatin1String("profile"))
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The profile text is no Windows Media profile."));
        const uint32_t version = Number("version", WMT_VER_9_0);
        auto made = std::make_shared<WMProfile>(version);
        made->SetName(xml_.attributes().value(QLatin1String("name")).toString().toStdU16String());
        while (ok_ && xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("streamconfig"))
                ReadStream(*made);
            else if (xml_.name() == QLatin1String("mutualexclusion"))
                ReadExclusion(*made);
            else
                xml_.skipCurrentElement();
        }
        if (xml_.hasError() || !ok_ || made->GetStreamCount() == 0)
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The Windows Media profile text is not complete: %1")
                                   .arg(xml_.hasError() ? xml_.errorString() : why_));
        *profile = made;
        return S_OK;
    }

private:
    uint32_t Number(const char* name, uint32_t fallback = 0) {
        const QStringView v = xml_.attributes().value(QLatin1String(name));
        if (v.isEmpty())
            return fallback;
        bool good = false;
        const qlonglong n = v.toLongLong(&good);
        if (!good)
            Fail(QStringLiteral("%1 is no number").arg(QLatin1String(name)));
        return static_cast<uint32_t>(n);
    }
    WMGuid Guid(const char* name) {
        bool good = false;
        const WMGuid g = ParseGuid(xml_.attributes().value(QLatin1String(name)).toString(), &good);
        if (!good)
            Fail(QStringLiteral("%1 is no GUID").arg(QLatin1String(name)));
        return g;
    }
    void Fail(const QString& why) {
        if (ok_)
            why_ = why;
        ok_ = false;
    }

    void ReadStream(WMProfile& profile) {
        std::shared_ptr<WMStreamConfig> config;
        if (Failed(profile.CreateNewStream(Guid("majortype"), &config))) {
            Fail(QStringLiteral("a stream of an unknown type"));
            return;
        }
        if (Failed(config->SetStreamNumber(static_cast<uint16_t>(Number("streamnumber")))))
            Fail(QStringLiteral("a stream number outside 1 to 63"));
        const auto attrs = xml_.attributes();
        config->SetStreamName(attrs.value(QLatin1String("streamname")).toString().toStdU16String());
        config->SetConnectionName(
            attrs.value(QLatin1String("inputname")).toString().toStdU16String());
        config->SetBitrate(Number("bitrate"));
        config->SetBufferWindow(Number("bufferwindow", 3000));
        while (ok_ && xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("videomediaprops")) {
                config->SetMaxKeyFrameSpacing(Number("maxkeyframespacing"));
                config->SetQuality(Number("quality"));
                xml_.skipCurrentElement();
            } else if (xml_.name() == QLatin1String("wmmediatype")) {
                ReadMediaType(*config);
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (ok_ && Failed(profile.AddStream(*config)))
            Fail(QStringLiteral("a stream without media type or with a number taken"));
    }

    void ReadMediaType(WMStreamConfig& config) {
        WMMediaType type;
        type.majortype = config.GetStreamType();
        type.subtype = Guid("subtype");
        type.fixedSizeSamples = Number("bfixedsizesamples") != 0;
        type.temporalCompression = Number("btemporalcompression") != 0;
        type.sampleSize = Number("lsamplesize");
        while (ok_ && xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("waveformatex")) {
                WaveFormatEx wave;
                wave.formatTag = static_cast<uint16_t>(Number("wFormatTag"));
                wave.channels = static_cast<uint16_t>(Number("nChannels"));
                wave.samplesPerSec = Number("nSamplesPerSec");
                wave.avgBytesPerSec = Number("nAvgBytesPerSec");
                wave.blockAlign = static_cast<uint16_t>(Number("nBlockAlign"));
                wave.bitsPerSample = static_cast<uint16_t>(Number("wBitsPerSample"));
                const QByteArray data = QByteArray::fromHex(
                    xml_.attributes().value(QLatin1String("codecdata")).toLatin1());
                wave.extra.assign(data.begin(), data.end());
                type.formattype = WMFORMAT_WaveFormatEx;
                type.format = wave.ToBytes();
                xml_.skipCurrentElement();
            } else if (xml_.name() == QLatin1String("videoinfoheader")) {
                ReadVideoInfo(type);
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (ok_ && Failed(config.SetMediaType(type)))
            Fail(QStringLiteral("a media type that does not fit its stream"));
    }

    void ReadVideoInfo(WMMediaType& type) {
        VideoInfoHeader h;
        h.dwBitRate = Number("dwbitrate");
        h.dwBitErrorRate = Number("dwbiterrorrate");
        bool good = false;
        h.AvgTimePerFrame =
            xml_.attributes().value(QLatin1String("avgtimeperframe")).toLongLong(&good);
        if (!good)
            Fail(QStringLiteral("avgtimeperframe is no number"));
        auto rect = [&] {
            return VideoRect{
                static_cast<int32_t>(Number("left")), static_cast<int32_t>(Number("top")),
                static_cast<int32_t>(Number("right")), static_cast<int32_t>(Number("bottom"))};
        };
        while (ok_ && xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("rcsource")) {
                h.rcSource = rect();
            } else if (xml_.name() == QLatin1String("rctarget")) {
                h.rcTarget = rect();
            } else if (xml_.name() == QLatin1String("bitmapinfoheader")) {
                BitmapInfoHeader& b = h.bmiHeader;
                b.biSize = 40;
                b.biWidth = static_cast<int32_t>(Number("biwidth"));
                b.biHeight = static_cast<int32_t>(Number("biheight"));
                b.biPlanes = static_cast<uint16_t>(Number("biplanes", 1));
                b.biBitCount = static_cast<uint16_t>(Number("bibitcount", 24));
                const QString code =
                    xml_.attributes().value(QLatin1String("bicompression")).toString();
                if (code.size() == 4) {
                    const QByteArray c = code.toLatin1();
                    b.biCompression = MakeFourcc(c[0], c[1], c[2], c[3]);
                } else {
                    Fail(QStringLiteral("bicompression is no FOURCC"));
                }
                b.biSizeImage = Number("bisizeimage");
            }
            xml_.skipCurrentElement();
        }
        type.formattype = WMFORMAT_VideoInfo;
        type.format = VideoInfoToBytes(h);
    }

    void ReadExclusion(WMProfile& profile) {
        std::shared_ptr<WMMutualExclusion> exclusion;
        profile.CreateNewMutualExclusion(&exclusion);
        exclusion->SetType(Guid("type"));
        while (ok_ && xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("streamnumber") &&
                Failed(exclusion->AddStream(static_cast<uint16_t>(Number("number")))))
                Fail(QStringLiteral("a mutual exclusion with a bad stream number"));
            xml_.skipCurrentElement();
        }
        if (ok_ && Failed(profile.AddMutualExclusion(*exclusion)))
            Fail(QStringLiteral("a mutual exclusion of streams the profile lacks"));
    }

    QXmlStreamReader xml_;
    bool ok_ = true;
    QString why_;
};

} // namespace

HRESULT WMProfileManager::LoadProfileByData(const std::u16string& text,
                                            std::shared_ptr<WMProfile>* profile) {
    if (!profile)
        return E_POINTER;
    Reader reader(QString::fromStdU16String(text));
    return reader.Read(profile);
}

} // namespace orvelin::media
