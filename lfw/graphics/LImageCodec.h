// The image codecs the framework knows: codec numbers, the file-extension table, the rule that
// decides which codecs may be used for loading and saving, the filter lists of the file panels,
// the encoder settings, and the one size limit every reader applies to images from files.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/gen/LString.h"

#include <cstdint>
#include <string>

// The most pixels an image read from a file or from memory may have (1 GiB as B8G8R8A8).
// Readers compute sizes in 64 bits and refuse a larger image before taking any memory.
inline constexpr uint64_t kLImageMaxPixels = uint64_t(1) << 28;

// The most pixels the readers accept on the calling thread: kLImageMaxPixels, or the smallest
// limit of the LImagePixelLimit objects alive on the thread.
uint64_t LImageMaxPixels();

// Lowers the readers' limit on this thread while it lives, for pictures that never need to be
// larger (previews): every reader then refuses a larger declared size before taking memory.
class LImagePixelLimit {
public:
    explicit LImagePixelLimit(uint64_t maxPixels);
    ~LImagePixelLimit();
    LImagePixelLimit(const LImagePixelLimit&) = delete;
    LImagePixelLimit& operator=(const LImagePixelLimit&) = delete;

private:
    uint64_t mOuter;
};

// While it lives on a thread, the readers there stop as soon as a picture's header has given a
// size they accept, before they take any memory for its pixels: the read then fails, and Seen
// tells that the header was whole and good as far as the reader goes before the pixels.
class LImageHeaderProbe {
public:
    LImageHeaderProbe();
    ~LImageHeaderProbe();
    LImageHeaderProbe(const LImageHeaderProbe&) = delete;
    LImageHeaderProbe& operator=(const LImageHeaderProbe&) = delete;
    bool Seen() const { return mSeen; }
    // What a reader calls once it knows the size: false when no probe runs on the thread (the
    // reader goes on), true when one does (the probe has seen the header; the reader stops).
    static bool StopsAt(int64_t width, int64_t height);

private:
    LImageHeaderProbe* mOuter;
    bool mSeen = false;
};

// While it lives on a thread, it keeps the size of a picture the readers there refused for
// having more pixels than the limit, so that the failure can say so (Text).
class LImageOverLimit {
public:
    LImageOverLimit();
    ~LImageOverLimit();
    LImageOverLimit(const LImageOverLimit&) = delete;
    LImageOverLimit& operator=(const LImageOverLimit&) = delete;
    bool Seen() const { return mWidth != 0; }
    // What a reader calls when it refuses a picture of that size for the limit (the innermost
    // LImageOverLimit of the thread keeps it; none: nothing happens).
    static void Note(uint64_t width, uint64_t height, uint64_t limit);
    // The Swedish sentence telling the picture's size and the limit.
    std::string Text() const;

private:
    LImageOverLimit* mOuter;
    uint64_t mWidth = 0, mHeight = 0, mLimit = 0;
};

// What a reader asks before it stores a picture of that size as B8G8R8A8: on a worker of jobs run
// side by side under a memory bound (LParallelJobs) it waits until the job may take that memory;
// false when the job is to stop instead. True at once elsewhere.
bool LImageMayTakePixels(int64_t width, int64_t height);

// True when width and height are both at least 1 and their product is within the calling
// thread's limit (LImageMaxPixels), no header probe stops the reader there, and the pixels may be
// taken (LImageMayTakePixels). A size past the limit is noted (LImageOverLimit).
inline bool LImageSizeAcceptable(int64_t width, int64_t height)
{
    if (width < 1 || height < 1)
        return false;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF
        || uint64_t(width) * uint64_t(height) > LImageMaxPixels()) {
        LImageOverLimit::Note(uint64_t(width), uint64_t(height), LImageMaxPixels());
        return false;
    }
    return !LImageHeaderProbe::StopsAt(width, height) && LImageMayTakePixels(width, height);
}

// What a codec is asked for.
enum LImageIOType : uint32_t {
    LImageIOTypeLoad = 2,
    LImageIOTypeSave = 3,
};

// A codec number: 0 to 26, or kNone.
class LImageCodec {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    static constexpr uint32_t kCount = 27;

    enum : uint32_t {
        BMP = 0,
        DNG = 1,
        GIF = 2,
        HEIC = 3,
        JPEG = 4,
        JPEG2000 = 5,
        PCX = 6,
        PNG = 7,
        PNM = 8,
        PSD = 9,
        RAS = 10,
        RAW = 11,
        RawCanon = 12,
        RawEpson = 13,
        RawFuji = 14,
        RawKodak = 15,
        RawLeaf = 16,
        RawMinolta = 17,
        RawNikon = 18,
        RawOlympus = 19,
        RawPanasonic = 20,
        RawPentax = 21,
        RawSamsung = 22,
        RawSony = 23,
        TGA = 24,
        TIFF = 25,
        WBMP = 26,
    };

    LImageCodec() = default;
    constexpr LImageCodec(uint32_t codec)
        : mCodec(codec)
    {
    }
    constexpr operator uint32_t() const { return mCodec; }

    // The codec of the path's extension (lower-cased, compared with the extension table in
    // order). False, and kNone, when the extension is not in the table.
    bool InitFromFilePath(const char* path);

    // DNG and the camera raw formats.
    static constexpr bool IsCameraRaw(uint32_t codec)
    {
        return codec == DNG || (codec >= RAW && codec <= RawSony);
    }

private:
    uint32_t mCodec = kNone;
};

struct LImageCodecFileExtInfo {
    const char* extension; // lower case, with its dot
    uint32_t codec;
};
inline constexpr int kLImageCodecFileExtCount = 40;
extern const LImageCodecFileExtInfo arImageCodecFileExtInfo[kLImageCodecFileExtCount];

struct LImageCodecInfo {
    const char* key;
    const char* shortName;
    const char* description; // Swedish, shown in the file panels
    bool load;
    bool save;
    bool flag3; // set for BMP, JPEG, JPEG 2000 and PNM
    bool flag4; // set for GIF and TIFF
    int32_t reserved;
};
// One row per codec but HEIC, in codec order, then an all-zero row.
extern const LImageCodecInfo arImageCodecInfo[LImageCodec::kCount];
// The row of a codec; null for HEIC and for numbers that are no codec.
const LImageCodecInfo* LImageCodecGetInfo(uint32_t codec);

// The rule deciding which codecs may be used. The base class is the framework's default rule:
// every codec but HEIC loads; the codecs with a writer save. Applications derive their own
// rules, which add restrictions on top of it.
class LImageCodecVetoer {
public:
    virtual ~LImageCodecVetoer() = default;
    virtual bool IsEnabled(LImageCodec codec, LImageIOType type) const;
};

// One entry of a file panel's filter list. codec -1 is the entry for every image.
struct LImageCodecFilterItem : LListable<LImageCodecFilterItem> {
    int32_t codec = -1;
    LStringLongTemplate<char> description;
    LStringLongTemplate<char> extensions; // "*.jpg;*.jpeg;..."
};

// Filter lists sort by description, byte by byte.
template <> struct LListOrder<LImageCodecFilterItem> {
    static bool SortsAfter(const LImageCodecFilterItem& a, const LImageCodecFilterItem& b)
    {
        return std::strcmp(a.description.GetString(), b.description.GetString()) > 0;
    }
};

class LImageCodecFilterList : public LList<LImageCodecFilterItem> {
public:
    // The patterns "*.ext" (joined by ";") of every extension whose codec the vetoer admits for
    // the type, limited to one codec unless codec is 27 or above. False only when a valid codec
    // is itself refused; out is emptied first.
    static bool GetEnabledExtensions(LStringLongTemplate<char>& out, LImageCodec codec,
        LImageIOType type, const LImageCodecVetoer& vetoer);

    // One entry "Description (*.a;*.b)" per admitted codec, sorted by description. False for a
    // type other than load or save and when no codec is admitted.
    bool Init(LImageIOType type, const LImageCodecVetoer& vetoer);

    // The filter text of the file panels: pairs of label and pattern list, each ended by a NUL,
    // the whole ended by a second NUL. For load an entry "Alla bilder" with every admitted
    // extension comes first.
    bool Init(LStringLongTemplate<char>& out, LImageIOType type, const LImageCodecVetoer& vetoer);
};

// Settings of the encoders (defaults as LImage::Save without settings uses them).
struct LImageEncodeSettings {
    uint32_t jpegQuality = 100; // 0-100
    uint32_t jpeg2000QualityGiven = 1; // 0: quality 100
    uint32_t jpeg2000Quality = 90; // 0-100
    uint32_t bmpOutputKind = 1; // 0: 24 bits per pixel, alpha flattened; 1: 32 bits per pixel
    uint32_t bmpBackground = 0xFFFFFFFF; // for flattening: B, G, R in the low three bytes
    uint32_t pnmVariant = 5; // 0-5 for P1-P6
    uint32_t pnmThreshold = 32; // grey level below which a bitmap pixel is black
};
