#include "app/VTOverlaySerialise.h"

#include "lfw/mac/LScreenImageCopies.h"
#include "platform/text/Fonts.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>

uint16_t VTOverlayChunkID(int type)
{
    switch (type) {
    case VTOverlayTypeText:
        return 2;
    case VTOverlayTypeImage:
        return 3;
    case VTOverlayTypeCircularText:
        return 7;
    case VTOverlayTypeClipart:
        return 8;
    case VTOverlayTypeImageBackground:
        return 9;
    default:
        return 0;
    }
}

VTOverlay* VTOverlayCreateForChunkID(uint16_t id)
{
    switch (id) {
    case 2:
        return new VTOverlayText;
    case 3:
        return new VTOverlayImage;
    case 7:
        return new VTOverlayCircularText;
    case 8:
        return new VTOverlayClipart;
    case 9:
        return new VTOverlayImageBackground;
    default:
        return nullptr;
    }
}

bool VTFontFamilyIsInstalled(const char* face)
{
    // Listing the families asks the system for every font; a document with many texts asks
    // once.
    static std::mutex lock;
    static std::set<std::string> families;
    static std::chrono::steady_clock::time_point listed;
    static bool haveList = false;
    std::lock_guard<std::mutex> guard(lock);
    auto now = std::chrono::steady_clock::now();
    if (!haveList || now - listed > std::chrono::minutes(1)) {
        families.clear();
        for (LFontsInstalledIterator it; it.IsValid(); it.Next())
            families.insert(*it);
        listed = now;
        haveList = true;
    }
    if (!face)
        return false;
    if (families.count(face) != 0)
        return true;
    // A family of another desktop with an installed stand-in ("Lucida Grande", the default face
    // of new texts) is no missing font: projects made here must open without a complaint.
    return platform::text::FontFromFamily(face, 0, platform::text::FontStyle {}) != nullptr;
}

namespace {

// Reads length bytes at offset of the descriptor into out, in steps between which the job may be
// stopped: 0 read, 1 stopped, 2 not all there.
LProcessResult ReadFileBytes(LProcessInterface& job, int fd, uint64_t offset, uint64_t length,
    std::vector<unsigned char>& out)
{
    constexpr size_t kStep = 8 << 20;
    if (length > SIZE_MAX || length > uint64_t(INT64_MAX) - offset)
        return LProcessResultError;
    try {
        out.resize(size_t(length));
    } catch (const std::bad_alloc&) {
        return LProcessResultError;
    }
    size_t done = 0;
    while (done < out.size()) {
        if (job.IsToStop())
            return LProcessResultStopped;
        const size_t step = std::min(kStep, out.size() - done);
        const ssize_t got = ::pread(fd, out.data() + done, step, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return LProcessResultError;
        done += size_t(got);
    }
    return LProcessResultSuccess;
}

} // namespace

namespace {

thread_local bool tVTPicturesOnlyChecked = false;

} // namespace

VTPicturesOnlyChecked::VTPicturesOnlyChecked()
    : mOuter(std::exchange(tVTPicturesOnlyChecked, true))
{
}

VTPicturesOnlyChecked::~VTPicturesOnlyChecked()
{
    tVTPicturesOnlyChecked = mOuter;
}

bool VTPicturesOnlyChecked::Here()
{
    return tVTPicturesOnlyChecked;
}

LParallelJobs::Work VTPictureReadWork(
    LCountedPtr<VTCountableImageBuffer> picture, VTPictureBytes bytes, bool clipart)
{
    // The work must be copyable; the bytes are moved in once and read once.
    auto from = std::make_shared<VTPictureBytes>(std::move(bytes));
    const bool checkOnly = VTPicturesOnlyChecked::Here();
    return [picture, from, clipart, checkOnly](LParallelJobs::Job& job) -> LProcessResult {
        const char* unread
            = clipart ? "Det gick inte att läsa ClipArt." : "Det gick inte att läsa bilden.";
        const char* undecodable
            = clipart ? "Det gick inte att koda clipart." : "Det gick inte att avkoda bilden.";
        auto png = std::make_shared<std::vector<unsigned char>>();
        const uint64_t length = from->fd >= 0 ? from->length : from->data.GetSize();
        if (!job.TakeMemory(length))
            return LProcessResultStopped;
        if (from->fd >= 0) {
            const LProcessResult read = ReadFileBytes(job, from->fd, from->offset, length, *png);
            if (read != LProcessResultSuccess)
                return read == LProcessResultError ? _VTSerialise::Fail(job, unread) : read;
        } else {
            try {
                png->assign(from->data.GetData(), from->data.GetData() + from->data.GetSize());
            } catch (const std::bad_alloc&) {
                return _VTSerialise::Fail(job, unread);
            }
            from->data.Free();
        }
        LInputStreamBuffer stream(png->data(), png->size());
        LProcessImageLoad<LInputStreamBuffer> load(stream, LImageCodec::PNG, *picture);
        _VTSerialise::QuietErrors decoding(job);
        const LProcessResult result = Process(decoding, load);
        if (result == LProcessResultError)
            return _VTSerialise::Fail(job, undecodable);
        if (result != LProcessResultSuccess)
            return result;
        if (checkOnly) {
            picture->Reset();
            return LProcessResultSuccess;
        }
        picture->KeepEncodedPNG(std::move(png));
        // Made here, off the window's thread, as for a picture added from a file: the first
        // paint of a large picture reduces its few megapixels instead of all of them.
        LImageBuffer source;
        if (!job.IsToStop() && LScreenImageCopies::MakeSource(*picture, source))
            picture->GetScreenCopies().KeepSource(*picture, std::move(source));
        return LProcessResultSuccess;
    };
}
