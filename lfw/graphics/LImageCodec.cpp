// The codec tables, the default codec rule and the file-panel filter lists.
#include "lfw/graphics/LImageCodec.h"

#include "lfw/gen/LFile.h"
#include "lfw/ios/LParallelJobs.h"

#include <algorithm>
#include <cstring>

namespace {

thread_local uint64_t tMaxPixels = kLImageMaxPixels;
thread_local LImageHeaderProbe* tProbe = nullptr;
thread_local LImageOverLimit* tOverLimit = nullptr;

// The number with its thousands set apart by no-break spaces, as Swedish writes them.
std::string Grouped(uint64_t n)
{
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += "\u00A0";
        out += digits[i];
    }
    return out;
}

} // namespace

LImageOverLimit::LImageOverLimit()
    : mOuter(tOverLimit)
{
    tOverLimit = this;
}

LImageOverLimit::~LImageOverLimit()
{
    tOverLimit = mOuter;
}

void LImageOverLimit::Note(uint64_t width, uint64_t height, uint64_t limit)
{
    if (!tOverLimit || width == 0 || height == 0)
        return;
    tOverLimit->mWidth = width;
    tOverLimit->mHeight = height;
    tOverLimit->mLimit = limit;
}

std::string LImageOverLimit::Text() const
{
    // The product is told where it fits in 64 bits.
    const bool exact = mHeight == 0 || mWidth <= UINT64_MAX / mHeight;
    return "Bilden är för stor: den har " + std::to_string(mWidth) + " × " + std::to_string(mHeight)
        + " bildpunkter" + (exact ? " (" + Grouped(mWidth * mHeight) + ")" : std::string())
        + ", och en bild får ha högst " + Grouped(mLimit) + " bildpunkter.";
}

LImageHeaderProbe::LImageHeaderProbe()
    : mOuter(tProbe)
{
    tProbe = this;
}

LImageHeaderProbe::~LImageHeaderProbe()
{
    tProbe = mOuter;
}

bool LImageHeaderProbe::StopsAt(int64_t, int64_t)
{
    if (!tProbe)
        return false;
    tProbe->mSeen = true;
    return true;
}

bool LImageMayTakePixels(int64_t width, int64_t height)
{
    if (width < 1 || height < 1)
        return true;
    return LParallelJobs::TakeMemoryHere(uint64_t(width) * uint64_t(height) * 4);
}

uint64_t LImageMaxPixels()
{
    return tMaxPixels;
}

LImagePixelLimit::LImagePixelLimit(uint64_t maxPixels)
    : mOuter(tMaxPixels)
{
    tMaxPixels = std::min(tMaxPixels, maxPixels);
}

LImagePixelLimit::~LImagePixelLimit()
{
    tMaxPixels = mOuter;
}

const LImageCodecFileExtInfo arImageCodecFileExtInfo[kLImageCodecFileExtCount] = {
    { ".bmp", 0 },
    { ".dng", 1 },
    { ".gif", 2 },
    { ".heic", 3 },
    { ".jpg", 4 },
    { ".jpeg", 4 },
    { ".jpe", 4 },
    { ".jfif", 4 },
    { ".jp2", 5 },
    { ".pcx", 6 },
    { ".png", 7 },
    { ".pnm", 8 },
    { ".pbm", 8 },
    { ".pgm", 8 },
    { ".ppm", 8 },
    { ".psd", 9 },
    { ".ras", 10 },
    { ".raw", 11 },
    { ".cr2", 12 },
    { ".crw", 12 },
    { ".erf", 13 },
    { ".raf", 14 },
    { ".dcr", 15 },
    { ".kdc", 15 },
    { ".mos", 16 },
    { ".mrw", 17 },
    { ".nef", 18 },
    { ".nrw", 18 },
    { ".orf", 19 },
    { ".rw2", 20 },
    { ".pef", 21 },
    { ".ptx", 21 },
    { ".srw", 22 },
    { ".arw", 23 },
    { ".srf", 23 },
    { ".sr2", 23 },
    { ".tga", 24 },
    { ".tif", 25 },
    { ".tiff", 25 },
    { ".wbmp", 26 },
};

const LImageCodecInfo arImageCodecInfo[LImageCodec::kCount] = {
    { "BMP", "BMP", "Microsoft-bitmapp", true, true, true, false, -1 },
    { "DNG", "DNG", "Digitalt negativt", true, false, false, false, -1 },
    { "GIF", "GIF", "Format för grafikutbyte", true, true, false, true, -1 },
    { "JPEG", "JPEG", "Gemensamma fotografiska experter", true, true, true, false, -1 },
    { "JPEG2000", "JPEG 2000", "JPEG 2000", true, true, true, false, -1 },
    { "PCX", "PCX", "Persondatorer Exchange", true, true, false, false, -1 },
    { "PNG", "PNG", "Bärbar nätverksgrafik", true, true, false, false, -1 },
    { "PNM", "PNM", "Bärbar Anymap", true, true, true, false, -1 },
    { "PSD", "PSD", "Adobe Photoshop-dokument", true, true, false, false, -1 },
    { "RAS", "RAS", "Sol raster", true, true, false, false, -1 },
    { "RAW", "RAW", "Raw Digitalt fotografi", true, false, false, false, -1 },
    { "RawCanon", "Raw Canon", "Canon Digitalt fotografi", true, false, false, false, -1 },
    { "RawEpson", "Raw Epson", "Epson Digitalt fotografi", true, false, false, false, -1 },
    { "RawFuji", "Raw Fuji", "Fuji Digitalt fotografi", true, false, false, false, -1 },
    { "RawKodak", "Raw Kodak", "Kodak Digitalt fotografi", true, false, false, false, -1 },
    { "RawLeaf", "Raw Leaf", "Leaf Digitalt fotografi", true, false, false, false, -1 },
    { "RawMinolta", "Raw Minolta", "Minolta Digitalt fotografi", true, false, false, false, -1 },
    { "RawNikon", "Raw Nikon", "Nikon Digitalt fotografi", true, false, false, false, -1 },
    { "RawOlympus", "Raw Olympus", "Olympus Digitalt fotografi", true, false, false, false, -1 },
    { "RawPanasonic", "Raw Panasonic", "Panasonic Digitalt fotografi", true, false, false, false,
        -1 },
    { "RawPentax", "Raw Pentax", "Pentax Digitalt fotografi", true, false, false, false, -1 },
    { "RawSamsung", "Raw Samsung", "Samsung Digitalt fotografi", true, false, false, false, -1 },
    { "RawSony", "Raw Sony", "Sony Digitalt fotografi", true, false, false, false, -1 },
    { "TGA", "TGA", "Avid TARGA", true, true, false, false, -1 },
    { "TIFF", "TIFF", "Formaterat bildfilformat med etiketter", true, true, false, true, -1 },
    { "WBMP", "WBMP", "Trådlös bitmapp", true, true, false, false, -1 },
    { nullptr, nullptr, nullptr, false, false, false, false, 0 },
};

const LImageCodecInfo* LImageCodecGetInfo(uint32_t codec)
{
    if (codec >= LImageCodec::kCount || codec == LImageCodec::HEIC)
        return nullptr;
    return &arImageCodecInfo[codec < LImageCodec::HEIC ? codec : codec - 1];
}

bool LImageCodec::InitFromFilePath(const char* path)
{
    mCodec = kNone;
    if (!path)
        return false;
    char extension[kLPathSize];
    LFile::_GetFileExtensionFromPath(extension, path);
    for (char* p = extension; *p; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = char(*p - 'A' + 'a');
    for (const LImageCodecFileExtInfo& row : arImageCodecFileExtInfo) {
        if (std::strcmp(row.extension, extension) == 0) {
            mCodec = row.codec;
            return true;
        }
    }
    return false;
}

bool LImageCodecVetoer::IsEnabled(LImageCodec codec, LImageIOType type) const
{
    const LImageCodecInfo* info = LImageCodecGetInfo(codec);
    if (!info)
        return false;
    if (type == LImageIOTypeLoad)
        return info->load;
    if (type == LImageIOTypeSave)
        return info->save;
    return false;
}

bool LImageCodecFilterList::GetEnabledExtensions(LStringLongTemplate<char>& out, LImageCodec codec,
    LImageIOType type, const LImageCodecVetoer& vetoer)
{
    out.Clear();
    if (codec < LImageCodec::kCount && !vetoer.IsEnabled(codec, type))
        return false;
    bool first = true;
    for (const LImageCodecFileExtInfo& row : arImageCodecFileExtInfo) {
        if (codec < LImageCodec::kCount && row.codec != codec)
            continue;
        if (!vetoer.IsEnabled(row.codec, type))
            continue;
        if (!first)
            out.Append(';');
        out.Append('*');
        out.Append(row.extension);
        first = false;
    }
    return true;
}

bool LImageCodecFilterList::Init(LImageIOType type, const LImageCodecVetoer& vetoer)
{
    Clear();
    if (type != LImageIOTypeLoad && type != LImageIOTypeSave)
        return false;
    for (uint32_t codec = 0; codec < LImageCodec::kCount; ++codec) {
        if (!vetoer.IsEnabled(codec, type))
            continue;
        auto* item = new LImageCodecFilterItem;
        item->codec = int32_t(codec);
        GetEnabledExtensions(item->extensions, codec, type, vetoer);
        const LImageCodecInfo* info = LImageCodecGetInfo(codec);
        // A vetoer of an application may admit a codec that has no info row (HEIC).
        item->description.sprintf(
            "%s (%s)", info ? info->description : "", item->extensions.GetString());
        AddTail(item);
    }
    if (IsEmpty())
        return false;
    Sort();
    return true;
}

bool LImageCodecFilterList::Init(
    LStringLongTemplate<char>& out, LImageIOType type, const LImageCodecVetoer& vetoer)
{
    out.Clear();
    if (!Init(type, vetoer))
        return false;
    if (type == LImageIOTypeLoad) {
        auto* all = new LImageCodecFilterItem;
        all->codec = -1;
        all->description = "Alla bilder";
        if (!GetEnabledExtensions(all->extensions, LImageCodec::kNone, type, vetoer)) {
            delete all;
            return false;
        }
        AddHead(all);
    }
    for (const LImageCodecFilterItem& item : *this) {
        if (item.description.IsEmpty() || item.extensions.IsEmpty())
            continue;
        out.Append(item.description);
        out.Append('\0');
        out.Append(item.extensions);
        out.Append('\0');
    }
    return true;
}
