#include "app/VTOverlayImage.h"

#include "app/VTOverlaySerialise.h"
#include "app/VTProjectXML.h"
#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/system/MemoryGate.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

std::string VTPathForProjectFile(const char* path)
{
    const std::string whole = path ? path : "";
    if (whole.size() < kLStringShortSize)
        return whole;
    const std::string name = whole.substr(whole.rfind('/') + 1);
    return name.size() < kLStringShortSize ? name : std::string();
}

VTOverlayImage::VTOverlayImage()
    : image(new VTCountableImageBuffer)
{
}

LProcessResult VTOverlayImage::SerialiseFromXML(
    LProcessInterface& process, const LXMLElement& element)
{
    return VTOverlayImageSerialiseFromXML(process, *this, element);
}

const VTOverlayImage* VTOverlayAsImage(const VTOverlay* overlay)
{
    const int type = overlay ? overlay->GetType() : -1;
    return type == VTOverlayTypeImage || type == VTOverlayTypeClipart
            || type == VTOverlayTypeImageBackground
        ? static_cast<const VTOverlayImage*>(overlay)
        : nullptr;
}

bool VTOverlayImage::HasValidImage() const
{
    return image && image->GetPixelFormat() != LPixelFormatInvalid && image->GetWidth() >= 1
        && image->GetHeight() >= 1 && image->GetData() && image->IsValid();
}

VTCountableImageBuffer::Encoded VTCountableImageBuffer::GetEncodedPNG() const
{
    std::lock_guard<std::mutex> hold(mEncodedLock);
    if (!mEncoded || mEncodedPixels != GetData() || !(mEncodedFormat == GetFormat()))
        return nullptr;
    return mEncoded;
}

void VTCountableImageBuffer::KeepEncodedPNG(Encoded bytes) const
{
    std::lock_guard<std::mutex> hold(mEncodedLock);
    mEncoded = std::move(bytes);
    mEncodedPixels = GetData();
    mEncodedFormat = GetFormat();
}

namespace {

// The memory of the encodings under way, pictures encoded side by side. Never destroyed:
// encodings may still run while the program ends.
platform::system::MemoryGate& TheEncodingMemory()
{
    static auto* memory = new platform::system::MemoryGate;
    return *memory;
}

} // namespace

uint64_t VTCountableImageBuffer::EncodingBytes() const
{
    // The bytes written (at most about the pixels' own), in a block that grows by doubling, and
    // their copies on the way to the picture.
    return GetData() ? uint64_t(GetStride()) * uint64_t(GetHeight()) * 2 : 0;
}

VTCountableImageBuffer::Encoded VTCountableImageBuffer::EncodePNG(
    LProcessInterface& process, LProcessResult& result) const
{
    result = LProcessResultSuccess;
    if (Encoded kept = GetEncodedPNG())
        return kept;
    std::unique_lock<std::timed_mutex> encoding(mEncodingLock, std::defer_lock);
    while (!encoding.try_lock_for(std::chrono::milliseconds(50))) {
        if (process.IsToStop()) {
            result = LProcessResultStopped;
            return nullptr;
        }
        process.SetProgress(mEncodingDone.load(std::memory_order_relaxed));
    }
    // Another thread may have encoded them meanwhile.
    if (Encoded kept = GetEncodedPNG())
        return kept;
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LImageEncodeSettings settings;
    LProcessImageSave<LOutputStreamByteArray> save(*this, LImageCodec::PNG, settings, stream);
    // The encoder's own texts are not passed on: whoever asked for the bytes names the failure,
    // and one failure is one alert. Its progress is kept for those who wait for the bytes.
    class Encoding : public _VTSerialise::QuietErrors {
    public:
        Encoding(LProcessInterface& parent, std::atomic<double>& done)
            : QuietErrors(parent)
            , fDone(done)
        {
        }
        void SetProgress(double fraction) override
        {
            fDone.store(fraction, std::memory_order_relaxed);
            m_parent->SetProgress(fraction);
        }

    private:
        std::atomic<double>& fDone;
    };
    mEncodingDone.store(0, std::memory_order_relaxed);
    const uint64_t share = EncodingBytes();
    if (!TheEncodingMemory().Take(share, [&] { return process.IsToStop(); })) {
        result = LProcessResultStopped;
        return nullptr;
    }
    Encoding quiet(process, mEncodingDone);
    result = Process(quiet, save);
    TheEncodingMemory().Give(share);
    if (result == LProcessResultSuccess && !stream.IsGood())
        result = LProcessResultError;
    if (result != LProcessResultSuccess)
        return nullptr;
    auto png = std::make_shared<const std::vector<unsigned char>>(
        bytes.GetData(), bytes.GetData() + bytes.GetSize());
    KeepEncodedPNG(png);
    return png;
}

uint64_t VTCountableImageBuffer::GetMemorySize() const
{
    uint64_t bytes = GetData() ? uint64_t(GetStride()) * uint64_t(GetHeight()) : 0;
    if (Encoded png = GetEncodedPNG())
        bytes += png->size();
    return bytes + mScreenCopies.GetBytes();
}

bool VTOverlayImage::SetSourcePath(const char* path)
{
    if (!path)
        path = "";
    const size_t n = std::strlen(path);
    if (n >= sizeof sourcePath)
        return false;
    std::memcpy(sourcePath, path, n + 1);
    return true;
}

void VTOverlayImage::SetImage(LImageBuffer& picture)
{
    auto* copy = new VTCountableImageBuffer;
    LImageBufferAllocateAndCopy(*copy, picture);
    UseImage(copy);
}

void VTOverlayImage::TakeImage(LImageBuffer& picture)
{
    auto* taken = new VTCountableImageBuffer;
    taken->Assign(picture);
    UseImage(taken);
}

void VTOverlayImage::UseImage(VTCountableImageBuffer* picture)
{
    image.reset(picture);
    float w = float(picture->GetWidth() > 0 ? picture->GetWidth() : 0);
    float h = float(picture->GetHeight() > 0 ? picture->GetHeight() : 0);
    if (w > kMaxInitialSide || h > kMaxInitialSide) {
        if (w >= h) {
            h = h / w * kMaxInitialSide;
            w = kMaxInitialSide;
        } else {
            w = w / h * kMaxInitialSide;
            h = kMaxInitialSide;
        }
    }
    LBoundingBox2T<float> box(-w / 2, -h / 2, w / 2, h / 2);
    SetToBoundingBox(box);
    NotifyPropertiesChanged();
}

void VTOverlayImage::SetMaintainAspectRatio(bool on)
{
    const bool turnedOn = on && !maintainAspectRatio;
    maintainAspectRatio = on;
    if (!turnedOn)
        return;
    const float pw = float(image ? image->GetWidth() : 0);
    const float ph = float(image ? image->GetHeight() : 0);
    // A picture without proportions (no pixels) leaves the box as it is.
    if (!(pw > 0) || !(ph > 0))
        return;
    float w = 0, h = 0;
    GetDimensions(w, h);
    if (w >= h)
        h = ph / pw * w;
    else
        w = pw / ph * h;
    SetDimensions(w, h);
}

// What keeps a picture's pixels for a page that refers to them until it is written.
static std::shared_ptr<const void> PixelsOwner(const LCountedPtr<VTCountableImageBuffer>& image)
{
    return std::make_shared<const LCountedPtr<VTCountableImageBuffer>>(image);
}

void VTOverlayImage::Paint(LPaintContext& ctx)
{
    float w = 0, h = 0;
    GetDimensions(w, h);
    if (!HasValidImage())
        LPaintSurface::DrawFrameAA(ctx, LGuiColorRef(0, 0, 0xFF00), -w / 2, -h / 2, w, h, 1.0f);
    else if (ctx.mForScreen)
        image->GetScreenCopies().DrawImage(ctx, *image, -w / 2, -h / 2, w, h, 1.0f);
    else
        LPaintSurface::DrawImage(
            ctx, *image, -w / 2, -h / 2, w, h, 1.0f, LImageInterpolationNone, PixelsOwner(image));
}

void VTOverlayImage::Paint(LPDFWriter& writer)
{
    // The same box as on screen and in the image export, so that the page shows the picture
    // where they do; an empty picture leaves its place empty.
    if (!HasValidImage())
        return;
    float w = 0, h = 0;
    GetDimensions(w, h);
    LPaintSurface::DrawImage(writer.GetPaintContext(), *image, -w / 2, -h / 2, w, h, 1.0f,
        LImageInterpolationNone, PixelsOwner(image));
}

void VTOverlayImage::CopyContentTo(VTOverlayImage& copy) const
{
    GetDimensions(copy.width, copy.height);
    copy.centreX = centreX;
    copy.centreY = centreY;
    copy.rotation = rotation;
    // The whole transform, flips included, so that undo and redo keep a mirrored picture.
    copy.transform = transform;
    copy.image = image;
    copy.SetSourcePath(sourcePath);
    copy.maintainAspectRatio = maintainAspectRatio;
}

void VTOverlayImage::ExchangeContent(VTOverlayImage& other)
{
    std::swap(width, other.width);
    std::swap(height, other.height);
    std::swap(centreX, other.centreX);
    std::swap(centreY, other.centreY);
    std::swap(rotation, other.rotation);
    std::swap(transform, other.transform);
    std::swap(image, other.image);
    char path[kLStringShortSize];
    std::memcpy(path, sourcePath, sizeof path);
    std::memcpy(sourcePath, other.sourcePath, sizeof path);
    std::memcpy(other.sourcePath, path, sizeof path);
    std::swap(maintainAspectRatio, other.maintainAspectRatio);
}

VTOverlay* VTOverlayImage::Clone() const
{
    auto* copy = new VTOverlayImage;
    CopyContentTo(*copy);
    return copy;
}

void VTOverlayImage::SwapContent(VTOverlay* other)
{
    if (!other || other == this || other->GetType() != GetType())
        return;
    ExchangeContent(*static_cast<VTOverlayImage*>(other));
}

VTOverlay* VTOverlayClipart::Clone() const
{
    auto* copy = new VTOverlayClipart;
    CopyContentTo(*copy);
    return copy;
}

VTOverlay* VTOverlayImageBackground::Clone() const
{
    auto* copy = new VTOverlayImageBackground;
    CopyContentTo(*copy);
    return copy;
}
