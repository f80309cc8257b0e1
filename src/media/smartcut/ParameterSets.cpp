#include "media/smartcut/ParameterSets.h"

#include <algorithm>

namespace orvelin::media::smartcut {

namespace {

// Reads unsigned Exp-Golomb numbers from a NAL unit's payload, skipping its
// emulation-prevention bytes.
class BitReader {
public:
    BitReader(const Bytes& nal, size_t from) {
        for (size_t i = from; i < nal.size(); ++i) {
            if (i >= 2 && nal[i] == 3 && nal[i - 1] == 0 && nal[i - 2] == 0)
                continue;
            data_.push_back(nal[i]);
        }
    }
    int Bit() {
        if (pos_ >= data_.size() * 8)
            return -1;
        const int bit = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return bit;
    }
    int Ue() {
        int zeros = 0;
        for (int b = Bit(); b == 0; b = Bit())
            if (++zeros > 31)
                return -1;
        int value = 1;
        for (int i = 0; i < zeros; ++i) {
            const int b = Bit();
            if (b < 0)
                return -1;
            value = value << 1 | b;
        }
        return value - 1;
    }

private:
    Bytes data_;
    size_t pos_ = 0;
};

} // namespace

bool AvcConfig::Parse(GstBuffer* codecData) {
    GstMapInfo map;
    if (!codecData || !gst_buffer_map(codecData, &map, GST_MAP_READ))
        return false;
    const Bytes d(map.data, map.data + map.size);
    gst_buffer_unmap(codecData, &map);
    if (d.size() < 7 || d[0] != 1)
        return false;
    profile = d[1];
    compatibility = d[2];
    level = d[3];
    lengthSize = (d[4] & 3) + 1;
    size_t at = 5;
    auto readSets = [&](int count, std::vector<Bytes>& out) {
        for (int i = 0; i < count; ++i) {
            if (at + 2 > d.size())
                return false;
            const size_t len = size_t(d[at]) << 8 | d[at + 1];
            at += 2;
            if (at + len > d.size())
                return false;
            out.emplace_back(d.begin() + at, d.begin() + at + len);
            at += len;
        }
        return true;
    };
    if (!readSets(d[at++] & 0x1f, sps) || at >= d.size() || !readSets(d[at++], pps))
        return false;
    trailer.assign(d.begin() + at, d.end());
    return true;
}

GstBuffer* AvcConfig::Build() const {
    Bytes d{1,
            profile,
            compatibility,
            level,
            uint8_t(0xfc | (lengthSize - 1)),
            uint8_t(0xe0 | sps.size())};
    auto writeSets = [&](const std::vector<Bytes>& sets) {
        for (const Bytes& s : sets) {
            d.push_back(uint8_t(s.size() >> 8));
            d.push_back(uint8_t(s.size()));
            d.insert(d.end(), s.begin(), s.end());
        }
    };
    writeSets(sps);
    d.push_back(uint8_t(pps.size()));
    writeSets(pps);
    d.insert(d.end(), trailer.begin(), trailer.end());
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, d.size(), nullptr);
    gst_buffer_fill(buffer, 0, d.data(), d.size());
    return buffer;
}

std::vector<int> AvcConfig::UsedIds() const {
    std::vector<int> ids;
    for (const Bytes& s : sps)
        ids.push_back(BitReader(s, 4).Ue());
    for (const Bytes& p : pps) {
        BitReader r(p, 1);
        ids.push_back(r.Ue());
        ids.push_back(r.Ue());
    }
    return ids;
}

void AvcConfig::Merge(const AvcConfig& other) {
    for (const Bytes& s : other.sps)
        if (std::find(sps.begin(), sps.end(), s) == sps.end())
            sps.push_back(s);
    for (const Bytes& p : other.pps)
        if (std::find(pps.begin(), pps.end(), p) == pps.end())
            pps.push_back(p);
}

bool IsIdrAccessUnit(GstBuffer* buffer, int lengthSize) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return false;
    bool idr = false;
    for (size_t at = 0; at + lengthSize < map.size;) {
        size_t len = 0;
        for (int i = 0; i < lengthSize; ++i)
            len = len << 8 | map.data[at + i];
        at += lengthSize;
        if (at >= map.size)
            break;
        const int type = map.data[at] & 0x1f;
        if (type == 5)
            idr = true;
        if (type >= 1 && type <= 5)
            break; // the first slice decides
        at += len;
    }
    gst_buffer_unmap(buffer, &map);
    return idr;
}

} // namespace orvelin::media::smartcut
