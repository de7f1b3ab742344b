// Image file jobs, the codec dispatchers and the LImage load and save entry points.
#include "lfw/graphics/LImageFile.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LFileSave.h"
#include "lfw/graphics/LBMPCodec.h"
#include "lfw/graphics/LGIFEncoder.h"
#include "lfw/graphics/LImageIOCodec.h"
#include "lfw/graphics/LPCXCodec.h"
#include "lfw/graphics/LPNMCodec.h"
#include "lfw/graphics/LPSDCodec.h"
#include "lfw/graphics/LRASCodec.h"
#include "lfw/graphics/LTGACodec.h"
#include "lfw/graphics/LWBMPCodec.h"
#include "platform/system/FileRead.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A path longer than any the system opens is not cut: it is kept empty, and the job fails.
void CopyPath(char (&out)[kLLongPathSize], bool& tooLong, const char* path)
{
    out[0] = '\0';
    tooLong = path && std::strlen(path) >= sizeof out;
    if (path && !tooLong)
        std::memcpy(out, path, std::strlen(path) + 1);
}

const char kPathTooLong[] = "Sökvägen är för lång.";

// The file name after the last separator.
const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

// The readers of the codecs. Camera raw readers are also told their codec.
template <class S>
LProcessResult RunReader(
    LProcessInterface& job, S& stream, uint32_t codec, LImageBuffer& buffer, uint32_t& result)
{
    auto run = [&](auto&& request) {
        const LProcessResult r = Process(job, request);
        result = uint32_t(request.result);
        return r;
    };
    switch (codec) {
    case LImageCodec::BMP:
        return run(LProcessBMPLoad<S>(stream, buffer));
    case LImageCodec::GIF:
        return run(LProcessGIFLoad<S>(stream, buffer));
    case LImageCodec::JPEG:
        return run(LProcessJPEGLoad<S>(stream, buffer));
    case LImageCodec::JPEG2000:
        return run(LProcessJPEG2000Load<S>(stream, buffer));
    case LImageCodec::PNG:
        return run(LProcessPNGLoad<S>(stream, buffer));
    case LImageCodec::PNM:
        return run(LProcessPNMLoad<S>(stream, buffer));
    case LImageCodec::PCX:
        return run(LProcessPCXLoad<S>(stream, buffer));
    case LImageCodec::PSD:
        return run(LProcessPSDLoad<S>(stream, buffer));
    case LImageCodec::RAS:
        return run(LProcessRASLoad<S>(stream, buffer));
    case LImageCodec::TGA:
        return run(LProcessTGALoad<S>(stream, buffer));
    case LImageCodec::WBMP:
        return run(LProcessWBMPLoad<S>(stream, buffer));
    case LImageCodec::TIFF:
        return run(LProcessTIFFLoad<S>(stream, buffer));
    default:
        return run(LProcessCamRAWLoad<S>(stream, buffer, codec));
    }
}

// The codecs with a reader here: HEIC has none.
bool HasReader(uint32_t codec)
{
    switch (codec) {
    case LImageCodec::BMP:
    case LImageCodec::GIF:
    case LImageCodec::JPEG:
    case LImageCodec::JPEG2000:
    case LImageCodec::PNG:
    case LImageCodec::PNM:
    case LImageCodec::TIFF:
    case LImageCodec::PCX:
    case LImageCodec::PSD:
    case LImageCodec::RAS:
    case LImageCodec::TGA:
    case LImageCodec::WBMP:
        return true;
    default:
        return LImageCodec::IsCameraRaw(codec);
    }
}

bool HasWriter(uint32_t codec)
{
    switch (codec) {
    case LImageCodec::BMP:
    case LImageCodec::GIF:
    case LImageCodec::JPEG:
    case LImageCodec::JPEG2000:
    case LImageCodec::PNG:
    case LImageCodec::PNM:
    case LImageCodec::TIFF:
    case LImageCodec::PCX:
    case LImageCodec::PSD:
    case LImageCodec::RAS:
    case LImageCodec::TGA:
    case LImageCodec::WBMP:
        return true;
    default:
        return false;
    }
}

template <class S>
LProcessResult RunWriter(LProcessInterface& job, const LImageBuffer& buffer, uint32_t codec,
    const LImageEncodeSettings& settings, S& stream)
{
    auto run = [&](auto&& request) { return Process(job, request); };
    switch (codec) {
    case LImageCodec::BMP:
        return run(
            LProcessBMPSave<S>(buffer, settings.bmpOutputKind, settings.bmpBackground, stream));
    case LImageCodec::GIF:
        return run(LProcessGIFSave<S>(buffer, stream));
    case LImageCodec::JPEG:
        return run(LProcessJPEGSave<S>(buffer, stream, settings.jpegQuality));
    case LImageCodec::JPEG2000:
        return run(LProcessJPEG2000Save<S>(
            buffer, stream, settings.jpeg2000QualityGiven, settings.jpeg2000Quality));
    case LImageCodec::PNG:
        return run(LProcessPNGSave<S>(buffer, stream));
    case LImageCodec::PNM:
        return run(LProcessPNMSave<S>(buffer, settings.pnmVariant, settings.pnmThreshold, stream));
    case LImageCodec::TIFF:
        return run(LProcessTIFFSave<S>(buffer, stream));
    case LImageCodec::PCX:
        return run(LProcessPCXSave<S>(buffer, stream));
    case LImageCodec::PSD:
        return run(LProcessPSDSave<S>(buffer, stream));
    case LImageCodec::RAS:
        return run(LProcessRASSave<S>(buffer, stream));
    case LImageCodec::TGA:
        return run(LProcessTGASave<S>(buffer, stream));
    case LImageCodec::WBMP:
        return run(LProcessWBMPSave<S>(buffer, stream));
    default:
        return LProcessResultError;
    }
}

// The codec a file job uses, from the file name's extension; false, with the job's error set,
// when the extension is unknown or the vetoer turns the codec down for this use.
bool CodecForFile(LProcessInterface& job, const char* path, const LImageCodecVetoer* vetoer,
    LImageIOType use, LImageCodec& codec)
{
    if (!codec.InitFromFilePath(path)) {
        job.SetError("Filtypen känns inte igen.");
        return false;
    }
    if (vetoer && !vetoer->IsEnabled(codec, use)) {
        job.SetError("Filformatet stöds inte.");
        return false;
    }
    return true;
}

bool StreamUsable(const LInputStreamFile& s)
{
    return s.IsOpen();
}
bool StreamUsable(const LInputStreamBuffer& s)
{
    return s.IsOpen();
}
bool StreamUsable(const LOutputStreamFile& s)
{
    return s.IsOpen();
}
bool StreamUsable(const LOutputStreamByteArray& s)
{
    return s.IsGood();
}

} // namespace

// ---- Dispatchers -------------------------------------------------------------------------------

template <class S> LProcessResult Process(LProcessInterface& job, LProcessImageLoad<S>& r)
{
    r.result = 0;
    if (!StreamUsable(r.stream) || r.codec >= LImageCodec::kCount) {
        job.SetError("Det gick inte att läsa in bilden.");
        return LProcessResultError;
    }
    if (!HasReader(r.codec)) {
        job.SetError("Filformatet stöds inte.");
        return LProcessResultError;
    }
    uint32_t bits = 0;
    LImageOverLimit overLimit;
    const LProcessResult result = RunReader(job, r.stream, r.codec, r.buffer, bits);
    r.result = bits;
    if (result == LProcessResultSuccess && r.buffer.IsValid())
        return LProcessResultSuccess;
    if (result != LProcessResultSuccess && result != LProcessResultError)
        return result;
    // A picture refused for its size says so: it is not damaged.
    job.SetError(overLimit.Seen() ? overLimit.Text().c_str() : "Det gick inte att läsa in bilden.");
    return LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessImageSave<S>& r)
{
    if (!r.buffer.IsValid() || !StreamUsable(r.stream) || r.codec >= LImageCodec::kCount) {
        job.SetError("Det gick inte att spara bilden");
        return LProcessResultError;
    }
    if (!HasWriter(r.codec)) {
        job.SetError("Filformatet stöds inte.");
        return LProcessResultError;
    }
    const LProcessResult result = RunWriter(job, r.buffer, r.codec, r.settings, r.stream);
    if (result == LProcessResultError) {
        job.SetError("Det gick inte att spara bilden");
        return LProcessResultError;
    }
    return result;
}

template LProcessResult Process(LProcessInterface&, LProcessImageLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessImageLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessImageSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessImageSave<LOutputStreamByteArray>&);

// ---- File jobs ---------------------------------------------------------------------------------

LProcessImageLoadFile::LProcessImageLoadFile(
    const char* p, unsigned int t, const LImageCodecVetoer* v, LImageBuffer& b)
    : timeout(t)
    , vetoer(v)
    , buffer(b)
{
    CopyPath(path, pathTooLong, p);
}

LProcessImageSaveFile::LProcessImageSaveFile(const LImageBuffer& b, const char* p,
    const LImageEncodeSettings& s, unsigned int t, const LImageCodecVetoer* v)
    : buffer(b)
    , settings(s)
    , timeout(t)
    , vetoer(v)
{
    CopyPath(path, pathTooLong, p);
}

LProcessResult Process(LProcessInterface& job, LProcessImageLoadFile& r)
{
    char name[kLPathSize];
    LFile::CompactFilePath(name, FileNamePart(r.path), 41);
    job.SetStatusF(0, "Laddar %s", name);

    if (r.pathTooLong) {
        job.SetError(kPathTooLong);
        return LProcessResultError;
    }
    if (!LFile::TestFileExists(r.path)) {
        job.SetError("Det gick inte att hitta filen.");
        return LProcessResultError;
    }
    LImageCodec codec;
    if (!CodecForFile(job, r.path, r.vetoer, LImageIOTypeLoad, codec))
        return LProcessResultError;
    // A FIFO nobody writes, a device or a folder is refused at once, never waited on.
    const int fd = platform::system::OpenForReading(r.path);
    if (fd < 0) {
        job.SetError(platform::system::IsNotAFile(errno) ? "Det är ingen fil."
                                                         : "Det gick inte att öppna filen.");
        return LProcessResultError;
    }
    // Another process writing the file is waited for a while; the load goes on either way.
    flocktimed(fd, LOCK_SH | LOCK_NB, r.timeout);
    LProcessResult result = LProcessResultStopped;
    if (!job.IsToStop()) {
        job.SetProgress(0.1);
        LInputStreamFile stream(fd);
        LProcessInterfaceSubProcess nested(job, 0.1, 0.9);
        LProcessImageLoad<LInputStreamFile> load(stream, codec, r.buffer);
        result = Process(nested, load);
        if (result == LProcessResultSuccess)
            r.result = load.result ? load.result : 1;
    }
    ::close(fd);
    return result;
}

LProcessResult Process(LProcessInterface& job, LProcessImageSaveFile& r)
{
    job.SetStatusF(0, "Sparar %s", FileNamePart(r.path));
    if (r.pathTooLong) {
        job.SetError(kPathTooLong);
        return LProcessResultError;
    }

    LImageCodec codec;
    if (!CodecForFile(job, r.path, r.vetoer, LImageIOTypeSave, codec))
        return LProcessResultError;

    // The temporary file lies beside the target, so that the finished file is renamed into
    // place and the target is never written in place.
    LFileSave save;
    LFileSaveProcess saving(job, save);
    if (!save.Begin(r.path)) {
        saving.SetError("Det gick inte att öppna filen.");
        return LProcessResultError;
    }
    LProcessImageSave<LOutputStreamFile> request(r.buffer, codec, r.settings, save.GetStream());
    const LProcessResult result = Process(saving, request);
    if (result != LProcessResultSuccess) {
        save.Discard();
        return result;
    }
    // A write that came up short fails here, and the target stays as it was.
    if (!save.Commit()) {
        saving.SetError("Det gick inte att skriva filen.");
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}

// ---- LImage ------------------------------------------------------------------------------------

namespace LImage {

uint32_t EncodingCodec(uint32_t encoding)
{
    static const uint32_t codecs[] = { LImageCodec::JPEG, LImageCodec::BMP, LImageCodec::GIF,
        LImageCodec::PCX, LImageCodec::PNG, LImageCodec::PNM, LImageCodec::PSD, LImageCodec::RAS,
        LImageCodec::TGA, LImageCodec::TIFF, LImageCodec::WBMP };
    return encoding <= EncodingWBMP ? codecs[encoding] : LImageCodec::kNone;
}

unsigned int Load(LImageBuffer& buffer, const char* path, unsigned int timeout)
{
    LProcessInterfaceVoid job;
    return Load(job, buffer, path, timeout);
}

unsigned int Load(
    LProcessInterface& job, LImageBuffer& buffer, const char* path, unsigned int timeout)
{
    LProcessImageLoadFile request(path, timeout, nullptr, buffer);
    if (Process(job, request) != LProcessResultSuccess)
        return 0;
    return request.result;
}

unsigned int Load(LImageBuffer& buffer, const void* data, size_t size, uint32_t encoding)
{
    const uint32_t codec = EncodingCodec(encoding);
    if (codec == LImageCodec::kNone)
        return 0;
    LInputStreamBuffer stream(data, size);
    LProcessInterfaceVoid job;
    LProcessImageLoad<LInputStreamBuffer> request(stream, codec, buffer);
    if (Process(job, request) != LProcessResultSuccess)
        return 0;
    return request.result ? request.result : 1;
}

unsigned int LoadResource(LImageBuffer& buffer, int id, uint32_t encoding)
{
    const char* type;
    switch (encoding) {
    case EncodingJPEG:
        type = "jpg";
        break;
    case EncodingBMP:
        type = "bmp";
        break;
    case EncodingGIF:
        type = "gif";
        break;
    case EncodingPNG:
        type = "png";
        break;
    case EncodingTIFF:
        type = "tiff";
        break;
    default:
        return 0;
    }
    char folder[kLPathSize];
    if (!LGetBundleResourcesFolder(folder, sizeof folder))
        return 0;
    char path[kLPathSize];
    const int n = std::snprintf(path, sizeof path, "%s/resources/%s/%d.%s", folder, type, id, type);
    if (n < 0 || size_t(n) >= sizeof path)
        return 0;
    const int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return 0;
    flocktimed(fd, LOCK_SH | LOCK_NB, 0);
    struct stat st;
    std::unique_ptr<unsigned char[]> bytes;
    size_t size = 0;
    bool complete = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
        && uint64_t(st.st_size) <= kLImageMaxPixels * 4) {
        size = size_t(st.st_size);
        bytes.reset(new (std::nothrow) unsigned char[size]);
        size_t done = 0;
        while (bytes && done < size) {
            const ssize_t got = ::read(fd, bytes.get() + done, size - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += size_t(got);
        }
        complete = bytes && done == size;
    }
    ::close(fd);
    // A resource that cannot be read whole is no image.
    if (!complete)
        return 0;
    return Load(buffer, bytes.get(), size, encoding);
}

bool ProbeFile(const char* path, const LImageCodecVetoer* vetoer, std::string& why)
{
    // The reader's first error is the one that says why.
    struct Quiet : LProcessInterfaceVoid {
        void SetError(const char* text) override
        {
            if (error.empty() && text)
                error = text;
        }
        std::string error;
    } job;
    why.clear();
    LImageCodec codec;
    if (codec.InitFromFilePath(path) && LImageCodec::IsCameraRaw(codec)
        && (!vetoer || vetoer->IsEnabled(codec, LImageIOTypeLoad))) {
        struct stat st = {};
        if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            return true;
        why = "Det gick inte att hitta filen.";
        return false;
    }
    LImageBuffer buffer;
    LProcessImageLoadFile request(path, 0, vetoer, buffer);
    LImageHeaderProbe probe;
    Process(job, request);
    if (probe.Seen())
        return true;
    why = job.error.empty() ? "Det gick inte att läsa in bilden." : job.error;
    return false;
}

bool Save(const LImageBuffer& buffer, const char* path)
{
    return Save(buffer, path, LImageEncodeSettings(), 3000);
}

bool Save(const LImageBuffer& buffer, const char* path, const LImageEncodeSettings& settings,
    unsigned int timeout)
{
    LProcessInterfaceVoid job;
    LProcessImageSaveFile request(buffer, path, settings, timeout, nullptr);
    return Process(job, request) == LProcessResultSuccess;
}

} // namespace LImage
