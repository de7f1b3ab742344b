#include "lfw/mac/LClipboard.h"

#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LProcessThread.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/LUiSystem.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct ImageType {
    const char* mime;
    uint32_t codec;
};

const ImageType kImageTypes[] = {
    { "image/png", LImageCodec::PNG },
    { "image/jpeg", LImageCodec::JPEG },
    { "image/jp2", LImageCodec::JPEG2000 },
    { "image/tiff", LImageCodec::TIFF },
    { "image/bmp", LImageCodec::BMP },
};

// The image of the application's own current copy operation: a paste while it is on the
// clipboard takes its pixels directly instead of decoding one of its encodings.
std::weak_ptr<const LImageBuffer> gOwnImage;

bool Offered(const std::vector<std::string>& targets, const std::string& type)
{
    return std::find(targets.begin(), targets.end(), type) != targets.end();
}

// What the clipboard offers as last heard; empty while unknown.
std::vector<std::string> KnownTargets()
{
    std::vector<std::string> targets;
    LUiClipboard::KnownTargets(targets);
    return targets;
}

bool gLastPasteGaveUp = false;

// Encodes the image as the type's codec with the settings the clipboard uses (JPEG at quality
// 100, JPEG 2000 at 90, 32-bit BMP). Any thread.
bool EncodeImage(const LImageBuffer& image, uint32_t codec, std::vector<uint8_t>& out)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LImageEncodeSettings settings;
    LProcessImageSave<LOutputStreamByteArray> request(image, codec, settings, stream);
    LProcessInterfaceVoid job;
    if (Process(job, request) != LProcessResultSuccess)
        return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

// ------------------------------------------------------------------------------------------------

unsigned long LMacPasteBoard::CopyAppleFormat(
    const LCFString& type, const unsigned char* data, unsigned long size)
{
    if (!CreateClipboardPasteBoard() || !type.IsSet() || !*type.c_str())
        return 0;
    if (!LUiClipboard::Put(type.c_str(), data, size_t(size)))
        return 0;
    return size;
}

bool LMacPasteBoard::PasteAppleFormat(const LCFString& type, LSizedArray<unsigned char>* out)
{
    if (!CreateClipboardPasteBoard() || !type.IsSet() || !*type.c_str())
        return false;
    if (!out)
        return IsAppleFormatOffered(type);
    std::vector<uint8_t> bytes;
    if (!LUiClipboard::Read(type.c_str(), bytes, LClipboard::kPasteTimeoutMs))
        return false;
    out->Free();
    if (!bytes.empty() && !out->Assign(bytes.data(), bytes.size()))
        return false;
    return true;
}

bool LMacPasteBoard::CreateClipboardPasteBoard()
{
    return LUiIsAvailable();
}

bool LMacPasteBoard::IsAppleFormatOffered(const LCFString& type)
{
    if (!CreateClipboardPasteBoard() || !type.IsSet() || !*type.c_str())
        return false;
    return Offered(KnownTargets(), type.c_str());
}

// ------------------------------------------------------------------------------------------------

LClipboard::LClipboard(LView*)
{
    gLastPasteGaveUp = false;
}

const std::vector<std::string>& LClipboard::ImageTypes()
{
    static const std::vector<std::string> types = [] {
        std::vector<std::string> t;
        for (const ImageType& i : kImageTypes)
            t.push_back(i.mime);
        return t;
    }();
    return types;
}

bool LClipboard::LastPasteGaveUp()
{
    return gLastPasteGaveUp;
}

uintptr_t LClipboard::AddChangeWatcher(std::function<void()> changed)
{
    if (!LMacPasteBoard::CreateClipboardPasteBoard())
        return 0;
    return LUiClipboard::AddWatcher(std::move(changed));
}

void LClipboard::RemoveChangeWatcher(uintptr_t token)
{
    if (token)
        LUiClipboard::RemoveWatcher(token);
}

void LClipboard::NoteGaveUp()
{
    if (LUiClipboard::LastWaitGaveUp())
        gaveUp = true;
    gLastPasteGaveUp = gaveUp;
}

bool LClipboard::OfferedTargets(std::vector<std::string>& targets)
{
    targets.clear();
    gLastPasteGaveUp = gaveUp;
    if (gaveUp || !LMacPasteBoard::CreateClipboardPasteBoard())
        return false;
    if (LUiClipboard::KnownTargets(targets))
        return true;
    bool ok = LUiClipboard::Targets(targets, kPasteTimeoutMs);
    NoteGaveUp();
    return ok;
}

bool LClipboard::Read(const std::string& type, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    gLastPasteGaveUp = gaveUp;
    if (gaveUp)
        return false;
    bool ok = LUiClipboard::Read(type, bytes, kPasteTimeoutMs);
    NoteGaveUp();
    return ok;
}

void LClipboard::StartCopyOperation()
{
    if (copyStarted || !LMacPasteBoard::CreateClipboardPasteBoard())
        return;
    if (LUiClipboard::Clear())
        copyStarted = true;
}

void LClipboardRenderText(const char* utf8)
{
    // Others would paste a terminating NUL: the flavours carry the text alone.
    LUiClipboard::PutText(utf8 ? utf8 : "", utf8 ? std::strlen(utf8) : 0);
}

void LClipboard::CopyText(const char* utf8)
{
    StartCopyOperation();
    if (copyStarted)
        LClipboardRenderText(utf8);
}

bool LClipboard::PasteText(LStringLongTemplate<char>& out)
{
    out.Clear();
    std::vector<std::string> targets;
    if (!OfferedTargets(targets))
        return false;
    for (const std::string& type : LUiClipboard::TextTargets()) {
        if (!Offered(targets, type))
            continue;
        std::vector<uint8_t> bytes;
        if (!Read(type, bytes)) {
            if (gaveUp)
                return false;
            continue;
        }
        // The text ends at its first NUL.
        size_t n = std::find(bytes.begin(), bytes.end(), uint8_t(0)) - bytes.begin();
        const char* text = reinterpret_cast<const char*>(bytes.data());
        if (type == "STRING") {
            gsize written = 0;
            gchar* utf8
                = g_convert(text, gssize(n), "UTF-8", "ISO-8859-1", nullptr, &written, nullptr);
            if (!utf8)
                continue;
            out.Append(utf8, written);
            g_free(utf8);
        } else {
            // Only well-formed UTF-8 goes on: a bad tail is cut.
            const gchar* end = nullptr;
            g_utf8_validate(text, gssize(n), &end);
            out.Append(text, size_t(end - text));
        }
        return true;
    }
    return false;
}

bool LClipboard::HasText()
{
    std::vector<std::string> targets = KnownTargets();
    for (const std::string& type : LUiClipboard::TextTargets())
        if (Offered(targets, type))
            return true;
    return false;
}

void LClipboard::CopyImage(const LImageBuffer& image)
{
    if (!image.IsValid()) {
        StartCopyOperation();
        return;
    }
    auto copy = std::make_shared<LImageBuffer>();
    if (!LImageBufferAllocateAndCopy(*copy, image)) {
        StartCopyOperation();
        return;
    }
    CopyImage(std::shared_ptr<const LImageBuffer>(std::move(copy)));
}

void LClipboard::CopyImage(std::shared_ptr<const LImageBuffer> image)
{
    StartCopyOperation();
    if (!copyStarted || !image || !image->IsValid())
        return;
    // One image per operation.
    if (LUiClipboard::Owned()) {
        std::vector<std::string> targets = KnownTargets();
        for (const std::string& type : ImageTypes())
            if (Offered(targets, type))
                return;
    }
    gOwnImage = image;
    LUiClipboard::PutRenderedInWorker(
        ImageTypes(), [image](const std::string& target, std::vector<uint8_t>& out) {
            for (const ImageType& t : kImageTypes)
                if (target == t.mime)
                    return EncodeImage(*image, t.codec, out);
            return false;
        });
}

bool LClipboard::PasteImage(LImageBuffer& image)
{
    std::vector<std::string> targets;
    if (!OfferedTargets(targets))
        return false;
    for (const ImageType& t : kImageTypes) {
        if (!Offered(targets, t.mime))
            continue;
        if (std::shared_ptr<const LImageBuffer> own = gOwnImage.lock();
            own && LUiClipboard::IsRenderedFlavour(t.mime)) {
            // Our own copy: its pixels as they were put.
            LImageBuffer copy;
            if (!LImageBufferAllocateAndCopy(copy, *own))
                return false;
            image = std::move(copy);
            return image.IsValid();
        }
        std::vector<uint8_t> bytes;
        if (!Read(t.mime, bytes)) {
            if (gaveUp)
                return false;
            continue;
        }
        // A photograph takes seconds to decode: a worker does it while the window answers.
        LInputStreamBuffer stream(bytes.data(), bytes.size());
        LProcessImageLoad<LInputStreamBuffer> request(stream, t.codec, image);
        if (LProcessRunWhileLoopTurns(request) != LProcessResultSuccess)
            return false;
        return image.IsValid();
    }
    return false;
}

bool LClipboard::HasImage()
{
    std::vector<std::string> targets = KnownTargets();
    for (const std::string& type : ImageTypes())
        if (Offered(targets, type))
            return true;
    return false;
}

bool LClipboard::CopyCustomFormat(const unsigned char* data, unsigned long size, const char* type)
{
    StartCopyOperation();
    return RenderCustomFormat(data, size, type);
}

bool LClipboard::RenderCustomFormat(const unsigned char* data, unsigned long size, const char* type)
{
    if (!type)
        return false;
    LMacPasteBoard::CopyAppleFormat(LCFString(type), data, size);
    return true;
}

bool LClipboard::CopyCustomFormatLater(const char* type, MakeBytes make)
{
    StartCopyOperation();
    if (!type || !*type || !make || !copyStarted)
        return false;
    return LUiClipboard::PutRenderedInWorker(
        { type }, [make = std::move(make)](const std::string&, std::vector<uint8_t>& out) {
            return make(out);
        });
}

bool LClipboard::PasteCustomFormat(LSizedArray<unsigned char>& out, const char* type)
{
    if (!type || !*type || !LMacPasteBoard::CreateClipboardPasteBoard())
        return false;
    std::vector<uint8_t> bytes;
    if (!Read(type, bytes))
        return false;
    out.Free();
    if (!bytes.empty() && !out.Assign(bytes.data(), bytes.size()))
        return false;
    return true;
}

bool LClipboard::HasCustomFormat(const char* type)
{
    if (!type || !*type)
        return false;
    return LMacPasteBoard::IsAppleFormatOffered(LCFString(type));
}

bool LClipboard::HasAppleFormat(const LCFString& type)
{
    return LMacPasteBoard::IsAppleFormatOffered(type);
}
