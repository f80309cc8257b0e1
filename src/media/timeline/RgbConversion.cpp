#include "media/timeline/RgbConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORVELIN_X86 1
#endif

// The row loops are written for the compiler to vectorise; on x86 they are
// built twice, for AVX2 and for any processor, and the one the processor
// runs is picked when the program starts.
#if defined(ORVELIN_X86) && defined(__GNUC__) && !defined(__clang__) &&                            \
    !defined(__SANITIZE_ADDRESS__)
#define ORVELIN_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define ORVELIN_ROW_LOOP
#endif

namespace orvelin::media {

namespace {

constexpr int kShift = 14;
constexpr int32_t kHalf = 1 << (kShift - 1);

inline uint8_t clamp8(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

int32_t fixed(double v) {
    return static_cast<int32_t>(std::lround(v * (1 << kShift)));
}

// Each chroma sample's share of red, green and blue, given to both pixels
// of its pair.
ORVELIN_ROW_LOOP void chromaTerms(const uint8_t* __restrict u, const uint8_t* __restrict v,
                                  int count, const RgbConversion::Coefficients& c,
                                  int32_t* __restrict red, int32_t* __restrict green,
                                  int32_t* __restrict blue) {
    const int32_t crv = c.crv, cgu = c.cgu, cgv = c.cgv, cbu = c.cbu;
    for (int i = 0; i < count; ++i) {
        const int32_t cb = u[i] - 128;
        const int32_t cr = v[i] - 128;
        const int32_t r = crv * cr;
        const int32_t g = -cgu * cb - cgv * cr;
        const int32_t b = cbu * cb;
        red[2 * i] = r;
        red[2 * i + 1] = r;
        green[2 * i] = g;
        green[2 * i + 1] = g;
        blue[2 * i] = b;
        blue[2 * i + 1] = b;
    }
}

ORVELIN_ROW_LOOP void lumaToPlanes(const uint8_t* __restrict y, const int32_t* __restrict red,
                                   const int32_t* __restrict green, const int32_t* __restrict blue,
                                   int width, const RgbConversion::Coefficients& c,
                                   uint8_t* __restrict r, uint8_t* __restrict g,
                                   uint8_t* __restrict b) {
    const int32_t offset = c.yOffset, cy = c.cy;
    for (int x = 0; x < width; ++x) {
        const int32_t luma = (y[x] - offset) * cy + kHalf;
        r[x] = clamp8((luma + red[x]) >> kShift);
        g[x] = clamp8((luma + green[x]) >> kShift);
        b[x] = clamp8((luma + blue[x]) >> kShift);
    }
}

ORVELIN_ROW_LOOP void planesToLuma(const uint8_t* __restrict r, const uint8_t* __restrict g,
                                   const uint8_t* __restrict b, int width,
                                   const RgbConversion::Coefficients& c, uint8_t* __restrict y) {
    const int32_t kr = c.kr, kg = c.kg, kb = c.kb, base = c.yBase;
    for (int x = 0; x < width; ++x)
        y[x] = clamp8((kr * r[x] + kg * g[x] + kb * b[x] + base) >> kShift);
}

// Chroma of the 2x2 blocks of two rows of planes (`pairs` whole blocks).
ORVELIN_ROW_LOOP void planesToChroma(const uint8_t* __restrict r0, const uint8_t* __restrict g0,
                                     const uint8_t* __restrict b0, const uint8_t* __restrict r1,
                                     const uint8_t* __restrict g1, const uint8_t* __restrict b1,
                                     int pairs, const RgbConversion::Coefficients& c,
                                     uint8_t* __restrict u, uint8_t* __restrict v) {
    const int32_t ur = c.ur, ug = c.ug, ub = c.ub, vr = c.vr, vg = c.vg, vb = c.vb;
    const int32_t base = c.cBase;
    for (int i = 0; i < pairs; ++i) {
        const int32_t r = r0[2 * i] + r0[2 * i + 1] + r1[2 * i] + r1[2 * i + 1];
        const int32_t g = g0[2 * i] + g0[2 * i + 1] + g1[2 * i] + g1[2 * i + 1];
        const int32_t b = b0[2 * i] + b0[2 * i + 1] + b1[2 * i] + b1[2 * i + 1];
        u[i] = clamp8((ur * r + ug * g + ub * b + base) >> kShift);
        v[i] = clamp8((vr * r + vg * g + vb * b + base) >> kShift);
    }
}

void packScalar(const uint8_t* r, const uint8_t* g, const uint8_t* b, int from, int width,
                uint8_t* out) {
    for (int x = from; x < width; ++x) {
        out[3 * x] = r[x];
        out[3 * x + 1] = g[x];
        out[3 * x + 2] = b[x];
    }
}

void unpackScalar(const uint8_t* in, int from, int width, uint8_t* r, uint8_t* g, uint8_t* b) {
    for (int x = from; x < width; ++x) {
        r[x] = in[3 * x];
        g[x] = in[3 * x + 1];
        b[x] = in[3 * x + 2];
    }
}

#ifdef ORVELIN_X86
// Byte shuffles between three planes and packed RGB, 16 pixels (three
// 16-byte blocks) at a time. For each byte of packed block `part`, which
// byte of the plane of `channel` lands there.
__attribute__((target("ssse3"))) __m128i packMask(int channel, int part) {
    alignas(16) int8_t m[16];
    for (int i = 0; i < 16; ++i) {
        const int packed = 16 * part + i;
        m[i] = packed % 3 == channel ? static_cast<int8_t>(packed / 3) : int8_t(-1);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

// For each byte of a channel's plane, which byte of packed block `part`
// holds it.
__attribute__((target("ssse3"))) __m128i unpackMask(int channel, int part) {
    alignas(16) int8_t m[16];
    for (int i = 0; i < 16; ++i) {
        const int source = 3 * i + channel - 16 * part;
        m[i] = source >= 0 && source < 16 ? static_cast<int8_t>(source) : int8_t(-1);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

struct ShuffleMasks {
    __m128i pack[3][3];   // [packed block][channel]
    __m128i unpack[3][3]; // [channel][packed block]
};

__attribute__((target("ssse3"))) ShuffleMasks makeMasks() {
    ShuffleMasks m;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            m.pack[a][b] = packMask(b, a);
            m.unpack[a][b] = unpackMask(a, b);
        }
    return m;
}

const ShuffleMasks& masks() {
    static const ShuffleMasks made = makeMasks();
    return made;
}

// 16 pixels: three planes of 16 bytes into 48 packed bytes, and back.
__attribute__((target("ssse3"))) inline void
packBlock(const __m128i (&planes)[3], const __m128i (&shuffle)[3][3], uint8_t* out) {
    for (int part = 0; part < 3; ++part) {
        const __m128i packed =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(planes[0], shuffle[part][0]),
                                      _mm_shuffle_epi8(planes[1], shuffle[part][1])),
                         _mm_shuffle_epi8(planes[2], shuffle[part][2]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), packed);
    }
}

__attribute__((target("ssse3"))) inline void
unpackBlock(const uint8_t* in, const __m128i (&shuffle)[3][3], __m128i (&planes)[3]) {
    const __m128i block[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32))};
    for (int channel = 0; channel < 3; ++channel)
        planes[channel] =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(block[0], shuffle[channel][0]),
                                      _mm_shuffle_epi8(block[1], shuffle[channel][1])),
                         _mm_shuffle_epi8(block[2], shuffle[channel][2]));
}

__attribute__((target("ssse3"))) void packSsse3(const uint8_t* r, const uint8_t* g,
                                                const uint8_t* b, int width, uint8_t* out) {
    // Copied into registers: stores through the byte pointers could
    // otherwise change them, as far as the compiler knows.
    __m128i shuffle[3][3];
    std::memcpy(shuffle, masks().pack, sizeof shuffle);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i planes[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(r + x)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x))};
        packBlock(planes, shuffle, out + 3 * x);
    }
    packScalar(r, g, b, x, width, out);
}

__attribute__((target("ssse3"))) void unpackSsse3(const uint8_t* in, int width, uint8_t* r,
                                                  uint8_t* g, uint8_t* b) {
    __m128i shuffle[3][3];
    std::memcpy(shuffle, masks().unpack, sizeof shuffle);
    uint8_t* planes[3] = {r, g, b};
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i block[3];
        unpackBlock(in + 3 * x, shuffle, block);
        for (int channel = 0; channel < 3; ++channel)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[channel] + x), block[channel]);
    }
    unpackScalar(in, x, width, r, g, b);
}

// Whole blocks of 16 pixels straight from the planes to packed RGB (and
// back), with the same sums as the row loops above, so the results are the
// same to the bit; returns how many pixels were done.
__attribute__((target("avx2"))) inline __m128i narrow(__m256i low, __m256i high) {
    // int32 -> int16 (within lanes) -> the lanes put in order -> bytes,
    // clamped to 0-255.
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(low, high), 0xD8);
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

__attribute__((target("avx2"))) int toRgbBlocks(const uint8_t* y, const uint8_t* u,
                                                const uint8_t* v, int width,
                                                const RgbConversion::Coefficients& c,
                                                uint8_t* out) {
    __m128i shuffle[3][3];
    std::memcpy(shuffle, masks().pack, sizeof shuffle);
    const __m256i offset = _mm256_set1_epi32(c.yOffset);
    const __m256i cy = _mm256_set1_epi32(c.cy);
    const __m256i half = _mm256_set1_epi32(kHalf);
    const __m256i c128 = _mm256_set1_epi32(128);
    const __m256i crv = _mm256_set1_epi32(c.crv);
    const __m256i cgu = _mm256_set1_epi32(c.cgu);
    const __m256i cgv = _mm256_set1_epi32(c.cgv);
    const __m256i cbu = _mm256_set1_epi32(c.cbu);
    const __m256i firstHalf = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i secondHalf = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        const __m256i y0 = _mm256_add_epi32(
            _mm256_mullo_epi32(_mm256_sub_epi32(_mm256_cvtepu8_epi32(luma), offset), cy), half);
        const __m256i y1 = _mm256_add_epi32(
            _mm256_mullo_epi32(
                _mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(luma, 8)), offset), cy),
            half);
        const __m256i cb = _mm256_sub_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2))),
            c128);
        const __m256i cr = _mm256_sub_epi32(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2))),
            c128);
        const __m256i terms[3] = {
            _mm256_mullo_epi32(crv, cr),
            _mm256_sub_epi32(_mm256_sub_epi32(_mm256_setzero_si256(), _mm256_mullo_epi32(cgu, cb)),
                             _mm256_mullo_epi32(cgv, cr)),
            _mm256_mullo_epi32(cbu, cb)};
        __m128i channel[3];
        for (int i = 0; i < 3; ++i) {
            const __m256i low = _mm256_srai_epi32(
                _mm256_add_epi32(y0, _mm256_permutevar8x32_epi32(terms[i], firstHalf)), kShift);
            const __m256i high = _mm256_srai_epi32(
                _mm256_add_epi32(y1, _mm256_permutevar8x32_epi32(terms[i], secondHalf)), kShift);
            channel[i] = narrow(low, high);
        }
        packBlock(channel, shuffle, out + 3 * x);
    }
    return x;
}

__attribute__((target("avx2"))) __m128i lumaBlock(const __m128i (&rgb)[3], const __m256i (&k)[3],
                                                  __m256i base) {
    __m256i low = base;
    __m256i high = base;
    for (int i = 0; i < 3; ++i) {
        low = _mm256_add_epi32(low, _mm256_mullo_epi32(k[i], _mm256_cvtepu8_epi32(rgb[i])));
        high = _mm256_add_epi32(
            high, _mm256_mullo_epi32(k[i], _mm256_cvtepu8_epi32(_mm_srli_si128(rgb[i], 8))));
    }
    return narrow(_mm256_srai_epi32(low, kShift), _mm256_srai_epi32(high, kShift));
}

__attribute__((target("avx2"))) int toI420Blocks(const uint8_t* first, const uint8_t* second,
                                                 int width, const RgbConversion::Coefficients& c,
                                                 uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v) {
    __m128i shuffle[3][3];
    std::memcpy(shuffle, masks().unpack, sizeof shuffle);
    const __m256i lumaK[3] = {_mm256_set1_epi32(c.kr), _mm256_set1_epi32(c.kg),
                              _mm256_set1_epi32(c.kb)};
    const __m256i uK[3] = {_mm256_set1_epi32(c.ur), _mm256_set1_epi32(c.ug),
                           _mm256_set1_epi32(c.ub)};
    const __m256i vK[3] = {_mm256_set1_epi32(c.vr), _mm256_set1_epi32(c.vg),
                           _mm256_set1_epi32(c.vb)};
    const __m256i yBase = _mm256_set1_epi32(c.yBase);
    const __m256i cBase = _mm256_set1_epi32(c.cBase);
    const __m128i ones = _mm_set1_epi8(1);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i a[3];
        __m128i b[3];
        unpackBlock(first + 3 * x, shuffle, a);
        unpackBlock(second + 3 * x, shuffle, b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + x), lumaBlock(a, lumaK, yBase));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + x), lumaBlock(b, lumaK, yBase));
        // The sums of the 2x2 blocks, eight of each channel.
        __m256i sums[3];
        for (int i = 0; i < 3; ++i)
            sums[i] = _mm256_cvtepi16_epi32(
                _mm_add_epi16(_mm_maddubs_epi16(a[i], ones), _mm_maddubs_epi16(b[i], ones)));
        __m256i cu = cBase;
        __m256i cv = cBase;
        for (int i = 0; i < 3; ++i) {
            cu = _mm256_add_epi32(cu, _mm256_mullo_epi32(uK[i], sums[i]));
            cv = _mm256_add_epi32(cv, _mm256_mullo_epi32(vK[i], sums[i]));
        }
        // Eight bytes of each: the low half of the narrowed pair.
        const __m128i chroma = narrow(_mm256_srai_epi32(cu, kShift), _mm256_srai_epi32(cv, kShift));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), chroma);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_srli_si128(chroma, 8));
    }
    return x;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

void pack(const uint8_t* r, const uint8_t* g, const uint8_t* b, int width, uint8_t* out) {
#ifdef ORVELIN_X86
    if (hasSsse3())
        return packSsse3(r, g, b, width, out);
#endif
    packScalar(r, g, b, 0, width, out);
}

void unpack(const uint8_t* in, int width, uint8_t* r, uint8_t* g, uint8_t* b) {
#ifdef ORVELIN_X86
    if (hasSsse3())
        return unpackSsse3(in, width, r, g, b);
#endif
    unpackScalar(in, 0, width, r, g, b);
}

} // namespace

RgbConversion::RgbConversion(double kr, double kb, bool fullRange, bool vectorBlocks)
    : vectorBlocks_(vectorBlocks) {
    const double kg = 1.0 - kr - kb;
    const double lumaScale = fullRange ? 1.0 : 219.0 / 255.0;
    const double chromaScale = fullRange ? 1.0 : 224.0 / 255.0;
    Coefficients& c = c_;
    c.yOffset = fullRange ? 0 : 16;
    c.cy = fixed(1.0 / lumaScale);
    c.crv = fixed(2.0 * (1.0 - kr) / chromaScale);
    c.cbu = fixed(2.0 * (1.0 - kb) / chromaScale);
    c.cgu = fixed(2.0 * (1.0 - kb) * kb / kg / chromaScale);
    c.cgv = fixed(2.0 * (1.0 - kr) * kr / kg / chromaScale);
    c.kr = fixed(kr * lumaScale);
    c.kg = fixed(kg * lumaScale);
    c.kb = fixed(kb * lumaScale);
    // Chroma is computed from the sum of four pixels.
    const double quarter = chromaScale / 4.0;
    c.ur = fixed(-kr / (2.0 * (1.0 - kb)) * quarter);
    c.ug = fixed(-kg / (2.0 * (1.0 - kb)) * quarter);
    c.ub = fixed(0.5 * quarter);
    c.vr = fixed(0.5 * quarter);
    c.vg = fixed(-kg / (2.0 * (1.0 - kr)) * quarter);
    c.vb = fixed(-kb / (2.0 * (1.0 - kr)) * quarter);
    c.yBase = (c.yOffset << kShift) + kHalf;
    c.cBase = (128 << kShift) + kHalf;
}

namespace {

bool useBlocks(bool allowed) {
#ifdef ORVELIN_X86
    return allowed && hasAvx2();
#else
    (void)allowed;
    return false;
#endif
}

} // namespace

void RgbConversion::ToRgb(const YuvPlanes& yuv, uint8_t* rgb, int rgbStride, int width,
                          int height) {
    if (width <= 0 || height <= 0)
        return;
    const int chromaWidth = (width + 1) / 2;
    const auto padded = static_cast<size_t>(2 * chromaWidth);
    chroma_.resize(3 * padded);
    planes_.resize(3 * static_cast<size_t>(width));
    int32_t* red = chroma_.data();
    int32_t* green = red + padded;
    int32_t* blue = green + padded;
    uint8_t* r = planes_.data();
    uint8_t* g = r + width;
    uint8_t* b = g + width;
    const bool blocks = useBlocks(vectorBlocks_);
    for (int row = 0; row < height; ++row) {
        const uint8_t* y = yuv.y + static_cast<ptrdiff_t>(row) * yuv.yStride;
        const uint8_t* u = yuv.u + static_cast<ptrdiff_t>(row / 2) * yuv.uStride;
        const uint8_t* v = yuv.v + static_cast<ptrdiff_t>(row / 2) * yuv.vStride;
        uint8_t* out = rgb + static_cast<ptrdiff_t>(row) * rgbStride;
        // Whole blocks first; the rest (all of it without AVX2) by the row
        // loops, whose chroma terms serve both rows of a pair.
        int done = 0;
#ifdef ORVELIN_X86
        if (blocks)
            done = toRgbBlocks(y, u, v, width, c_, out);
#endif
        if (done == width)
            continue;
        if (done > 0 || row % 2 == 0)
            chromaTerms(u + done / 2, v + done / 2, chromaWidth - done / 2, c_, red, green, blue);
        lumaToPlanes(y + done, red, green, blue, width - done, c_, r, g, b);
        pack(r, g, b, width - done, out + 3 * done);
    }
}

void RgbConversion::ToI420(const uint8_t* rgb, int rgbStride, const YuvPlanes& yuv, int width,
                           int height) {
    if (width <= 0 || height <= 0)
        return;
    // One spare column: an odd last pixel stands in for its missing pair.
    const auto stride = static_cast<size_t>(width + 1);
    planes_.resize(6 * stride);
    uint8_t* p[6];
    for (int i = 0; i < 6; ++i)
        p[i] = planes_.data() + i * stride;
    const bool blocks = useBlocks(vectorBlocks_);
    for (int row = 0; row < height; row += 2) {
        // An odd last row stands in for its missing pair.
        const int second = std::min(row + 1, height - 1);
        const uint8_t* in0 = rgb + static_cast<ptrdiff_t>(row) * rgbStride;
        const uint8_t* in1 = rgb + static_cast<ptrdiff_t>(second) * rgbStride;
        uint8_t* y0 = yuv.y + static_cast<ptrdiff_t>(row) * yuv.yStride;
        uint8_t* y1 = yuv.y + static_cast<ptrdiff_t>(second) * yuv.yStride;
        uint8_t* u = yuv.u + static_cast<ptrdiff_t>(row / 2) * yuv.uStride;
        uint8_t* v = yuv.v + static_cast<ptrdiff_t>(row / 2) * yuv.vStride;
        int done = 0;
#ifdef ORVELIN_X86
        if (blocks)
            done = toI420Blocks(in0, in1, width, c_, y0, y1, u, v);
#endif
        const int rest = width - done;
        if (rest == 0)
            continue;
        unpack(in0 + 3 * done, rest, p[0], p[1], p[2]);
        unpack(in1 + 3 * done, rest, p[3], p[4], p[5]);
        if (rest % 2) {
            for (int i = 0; i < 6; ++i)
                p[i][rest] = p[i][rest - 1];
        }
        planesToLuma(p[0], p[1], p[2], rest, c_, y0 + done);
        if (second != row)
            planesToLuma(p[3], p[4], p[5], rest, c_, y1 + done);
        planesToChroma(p[0], p[1], p[2], p[3], p[4], p[5], (rest + 1) / 2, c_, u + done / 2,
                       v + done / 2);
    }
}

} // namespace orvelin::media
