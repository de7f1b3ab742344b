#include "lfw/zor/LClipart.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/net/LOnlineHosts.h"
#include "platform/system/FileRead.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The largest picture the libraries decode: a file that claims more is no picture of theirs.
constexpr uint64_t kPreviewMaxPixels = uint64_t(8192) * 8192;

bool _IsKeptCharacter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!'
        || c == '-' || c == '.' || c == '/' || c == ':' || c == '_' || c == '~';
}

// The job of one preview download on the worker: it stops when the worker is asked to end, and
// when a newer request comes (the wake signal), which abandons it at once, also in the middle of
// a wait for the server.
class _LPreviewJob : public LProcessInterfaceNested {
public:
    _LPreviewJob(LProcessInterface& worker, LSignalObjectRef wake)
        : LProcessInterfaceNested(worker)
        , fWake(wake)
    {
    }
    bool IsToStop() override { return m_parent->IsToStop() || fWake.IsSignaled(); }
    LProcessResult ProcessWait(unsigned int ms) override
    {
        const LProcessResult r = m_parent->ProcessWaitSignal(fWake, ms);
        if (r == LProcessResultStopped || fWake.IsSignaled())
            return LProcessResultStopped;
        return LProcessResultSuccess; // the time passed
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        LSignalObjectGroup group;
        group.Add(signal);
        return ProcessWaitSignalObjectGroup(group, ms);
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms) override
    {
        LSignalObjectGroup with = group;
        if (!with.Add(fWake))
            return m_parent->ProcessWaitSignalObjectGroup(group, ms);
        const LProcessResult r = m_parent->ProcessWaitSignalObjectGroup(with, ms);
        for (unsigned long i = 0; i < group.GetCount(); ++i)
            group.GetEntries()[i].revents = with.GetEntries()[i].revents;
        return fWake.IsSignaled() ? LProcessResultStopped : r;
    }
    LProcessResult ProcessWaitUntilStopped() override { return ProcessWait(LSIGNAL_WAIT_FOREVER); }
    LProcessResult ProcessWaitSignalForever(LSignalObjectRef signal) override
    {
        return ProcessWaitSignal(signal, LSIGNAL_WAIT_FOREVER);
    }
    LProcessResult ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group) override
    {
        return ProcessWaitSignalObjectGroup(group, LSIGNAL_WAIT_FOREVER);
    }

private:
    LSignalObjectRef fWake;
};

} // namespace

bool LClipartURIEncode(char* out, const char* in)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(in); *p; ++p) {
        unsigned char c = *p == '\\' ? '/' : *p;
        const size_t need = _IsKeptCharacter(c) ? 1 : 3;
        if (n + need > kLPathSize - 1) {
            out[n] = 0;
            return false;
        }
        if (need == 1) {
            out[n++] = char(c);
        } else {
            out[n++] = '%';
            out[n++] = kHex[c >> 4];
            out[n++] = kHex[c & 15];
        }
    }
    out[n] = 0;
    return true;
}

bool LClipartIsSafeName(const char* name)
{
    if (!name || !name[0] || name[0] == '/' || name[0] == '\\')
        return false;
    const char* start = name;
    for (const char* p = name;; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c && c < 0x20)
            return false;
        if (c == 0x7F)
            return false;
        if (c == 0 || c == '/' || c == '\\') {
            const size_t len = size_t(p - start);
            if (len == 0 || (len == 1 && start[0] == '.')
                || (len == 2 && start[0] == '.' && start[1] == '.'))
                return false;
            if (c == 0)
                return true;
            start = p + 1;
        }
    }
}

LHTTPDownloadLimits& LClipartDownloadLimits()
{
    // A trickle of a byte now and then keeps every single wait short: the whole transfer has
    // its bound too.
    static LHTTPDownloadLimits limits { uint64_t(64) << 20, 20000, 120000 };
    return limits;
}

LProcessResult LClipartDownload(
    LProcessInterface& job, const char* url, const char* filePath, LHTTPDownloadFailure* failure)
{
    if (failure)
        *failure = {};
    char folder[kLPathSize];
    LFile::_GetFolderFromPath(folder, filePath);
    if (folder[0] && !LFile::TestFolderExists(folder) && !LFile::CreateFolderTree(folder)
        && !LFile::TestFolderExists(folder)) {
        if (failure)
            failure->kind = LHTTPFailure::File;
        return LProcessResultError;
    }
    if (strncasecmp(url, "https:", 6) == 0)
        return ProcessHTTPSDownloadFile(
            job, url, filePath, false, LClipartDownloadLimits(), failure);
    return ProcessHTTPDownloadFile(job, url, filePath, false, LClipartDownloadLimits(), failure);
}

std::string LClipartFailureText(const LHTTPDownloadFailure& failure, const char* host)
{
    switch (failure.kind) {
    case LHTTPFailure::Connect:
        return "Det gick inte att ansluta till servern.";
    case LHTTPFailure::TimeOut:
        return "Servern svarade inte i tid.";
    case LHTTPFailure::Secure:
        if (failure.tls == LTLSFailure::CertificateName)
            return std::string("Serverns certifikat gäller inte för namnet ")
                + (host && host[0] ? host : "på servern") + ". Anslutningen är inte säker.";
        if (failure.tls == LTLSFailure::Certificate)
            return "Serverns certifikat är inte giltigt. Anslutningen är inte säker.";
        return "Det gick inte att upprätta en säker anslutning till servern.";
    case LHTTPFailure::Status:
        if (failure.status == 404 || failure.status == 410)
            return "Den finns inte på servern.";
        return "Servern svarade med felkod " + std::to_string(failure.status) + ".";
    case LHTTPFailure::Reply:
        return "Servern gav ett ofullständigt eller felaktigt svar.";
    case LHTTPFailure::TooLarge:
        return "Filen är för stor.";
    case LHTTPFailure::File:
        return "Filen kunde inte skrivas till eller läsas från cachemappen.";
    case LHTTPFailure::Other:
    case LHTTPFailure::None:
        break;
    }
    return "Adressen kan inte användas.";
}

bool LClipartLoadPicture(const char* path, LImageBuffer& picture)
{
    picture.Reset();
    if (!path[0] || !LFile::TestFileExists(path))
        return false;
    // Every reader refuses a larger declared size before it takes memory, whatever the file's
    // name says it is.
    LImagePixelLimit limit(kPreviewMaxPixels);
    LProcessInterfaceVoid job;
    if (LImage::Load(job, picture, path, 3000) == 0 || !picture.IsValid() || picture.GetWidth() < 1
        || picture.GetHeight() < 1) {
        picture.Reset();
        return false;
    }
    return true;
}

void LClipartGetBaseURL(char* out, bool frames)
{
    char host[kLPathSize];
    LOnlineGetHost(kLOnlineComponentServer, host);
    size_t n = std::strlen(host);
    while (n && host[n - 1] == '/')
        host[--n] = 0;
    LStringFormat(out, kLPathSize, "%s%s/components/%s", std::strstr(host, "://") ? "" : "https://",
        host, frames ? "Frames" : "clipart");
}

LProcessResult LClipartReadIndex(LProcessInterface& job, const char* path,
    const std::function<void(const LClipartIndexEntry&)>& entry)
{
    int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return LProcessResultError;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return LProcessResultError;
    }
    struct stat info { };
    const double size = ::fstat(fd, &info) == 0 && info.st_size > 0 ? double(info.st_size) : 0;
    job.SetProgress(0);
    // The index is read through a buffer: one system call per block, not per byte.
    char block[65536];
    size_t have = 0, at = 0;
    uint64_t consumed = 0; // the bytes of the blocks before this one
    bool eof = false;
    auto next = [&](unsigned char& c) {
        if (at == have) {
            if (eof)
                return false;
            ssize_t n;
            do
                n = ::read(fd, block, sizeof block);
            while (n < 0 && errno == EINTR);
            if (n <= 0) {
                eof = true;
                return false;
            }
            consumed += have;
            have = size_t(n);
            at = 0;
        }
        c = static_cast<unsigned char>(block[at++]);
        return true;
    };
    auto peekPair = [&](unsigned char first) {
        unsigned char other;
        if (!next(other))
            return;
        const bool pair = (first == '\r' && other == '\n') || (first == '\n' && other == '\r');
        if (!pair)
            --at;
    };

    LProcessResult result = LProcessResultSuccess;
    char line[kLPathSize];
    unsigned counter = 0;
    for (;;) {
        size_t stored = 0;
        bool any = false;
        unsigned char c;
        while (next(c)) {
            any = true;
            if (c == '\n' || c == '\r') {
                peekPair(c);
                break;
            }
            if (stored + 1 < sizeof line)
                line[stored++] = char(c);
        }
        line[stored] = 0;
        if (!any)
            break;
        if ((++counter & 255) == 0) {
            if (job.IsToStop()) {
                result = LProcessResultStopped;
                break;
            }
            if (size > 0)
                job.SetProgress(std::min(1.0, double(consumed + at) / size));
        }
        if (!line[0])
            continue;

        LClipartIndexEntry e;
        char fileName[kLPathSize];
        LFile::_GetFileNameFromPath(fileName, line);
        if (std::strcmp(fileName, "index") == 0) {
            const char* slash = std::strrchr(line, '/');
            if (!slash)
                continue;
            const size_t len = size_t(slash - line);
            std::memcpy(e.name, line, len);
            e.name[len] = 0;
            e.folder = true;
        } else {
            const char* comma = std::strchr(line, ',');
            const size_t len = comma ? size_t(comma - line) : std::strlen(line);
            std::memcpy(e.name, line, len);
            e.name[len] = 0;
            if (comma) {
                const char* size = comma + 1;
                const char* end = std::strchr(size, ',');
                const size_t sl = end ? size_t(end - size) : std::strlen(size);
                std::memcpy(e.size, size, sl);
                e.size[sl] = 0;
            }
        }
        if (!LClipartIsSafeName(e.name))
            continue;
        entry(e);
    }
    ::close(fd);
    if (result == LProcessResultSuccess)
        job.SetProgress(1);
    return result;
}

// --- The worker.

LClipartDownloadThread::LClipartDownloadThread(
    std::shared_ptr<LQueuedNotifyDataHandlerImpl> receiver)
    : LThread("Clipart")
    , fReceiver(std::move(receiver))
{
}

LClipartDownloadThread::~LClipartDownloadThread()
{
    Stop();
}

void LClipartDownloadThread::Stop()
{
    StopThreadSoon();
    if (IsRunning())
        GetFinishedSignal().WaitSignal(60000);
}

void LClipartDownloadThread::Post(unsigned int code)
{
    if (fReceiver)
        fReceiver->PostNotifyData(std::make_shared<LNotifyDataObject>(code, nullptr, 0));
}

void LClipartDownloadThread::DownloadImage(const char* url, const char* localPath)
{
    {
        // Signalled under the lock: the worker resets the signal under it when it takes a
        // request, so a signal it finds while downloading always means a newer one.
        LLockObjectLocker lock(fMutex);
        utf8strlcpy(fURL, url, sizeof fURL);
        utf8strlcpy(fLocalPath, localPath, sizeof fLocalPath);
        fNewRequest = true;
        fWake.Signal();
    }
    if (!IsRunning())
        Start(0);
}

// The worker stays alive between requests and sleeps on its wake signal, so no request can fall
// between a run that is ending and the start of the next.
void LClipartDownloadThread::ThreadFunction()
{
    while (!IsToStop()) {
        if (ProcessWaitSignal(fWake, 0xFFFFFFFFu) != LProcessResultSuccess)
            break;
        {
            LLockObjectLocker lock(fMutex);
            if (!fNewRequest) {
                fWake.Reset();
                continue;
            }
        }
        Post(0);
        LProcessResult r = LProcessResultSuccess;
        for (;;) {
            char url[kLPathSize], path[kLPathSize];
            {
                LLockObjectLocker lock(fMutex);
                fWake.Reset();
                std::memcpy(url, fURL, sizeof url);
                std::memcpy(path, fLocalPath, sizeof path);
                fNewRequest = false;
            }
            ++fBegun;
            _LPreviewJob job(*this, fWake);
            r = LClipartDownload(job, url, path);
            if (r != LProcessResultSuccess && LFile::TestFileExists(path))
                ::unlink(path);
            LLockObjectLocker lock(fMutex);
            if (!fNewRequest || IsToStop())
                break;
        }
        if (IsToStop())
            r = LProcessResultStopped;
        Post(r == LProcessResultSuccess ? 1 : r == LProcessResultStopped ? 3 : 2);
    }
}

// --- The preview.

LClipartPreview::LClipartPreview()
    : fThread(std::make_unique<LClipartDownloadThread>(GetQueuedNotifyReceiver()))
{
}

LClipartPreview::~LClipartPreview()
{
    DetachQueuedNotify();
    fThread.reset();
}

void LClipartPreview::StopWorker()
{
    if (fThread)
        fThread->StopThreadSoon();
}

void LClipartPreview::DownloadAndDisplay(const char* url, const char* localPath)
{
    bEmpty = false;
    utf8strlcpy(szLocalPath, localPath, sizeof szLocalPath);
    fImage.Reset();
    if (!LoadImage()) {
        bDownloading = true;
        fThread->DownloadImage(url, localPath);
    }
    Update();
}

bool LClipartPreview::LoadImage()
{
    return LClipartLoadPicture(szLocalPath, fImage);
}

void LClipartPreview::ClearPreview()
{
    bEmpty = true;
    fImage.Reset();
    Update();
}

void LClipartPreview::EvQueuedNotifyData(unsigned int code, const void*, size_t)
{
    switch (code) {
    case 0:
        bDownloading = true;
        bEmpty = false;
        break;
    case 1:
        bDownloading = false;
        bEmpty = false;
        // A preview that is no picture leaves the cache at once: the next look asks again.
        if (!LoadImage() && szLocalPath[0] && LFile::TestFileExists(szLocalPath))
            ::unlink(szLocalPath);
        break;
    default:
        bDownloading = false;
        bEmpty = true;
        break;
    }
    Update();
}

void LClipartPreview::Paint(LPaintContext& context)
{
    int w = 0, h = 0;
    context.GetClientAreaDimensions(w, h);
    const LGuiColorRef white(0xFFFF, 0xFFFF, 0xFFFF);
    if (bEmpty) {
        FillRectAA(context, white, 0, 0, float(w), float(h));
        return;
    }
    if (bDownloading) {
        FillRectAA(context, white, 0, 0, float(w), float(h));
        context.SetFont(LFontAttributes("", 16, 0));
        context.SetFillColor(0, 0, 0, 1);
        DrawText(context, "Laddar...", 0.f, 0.f, float(w), float(h), LAlignmentXCenter,
            LAlignmentYCenter, LTextWrappingNone, LTextTrimmingEllipsis);
        return;
    }
    if (!fImage.IsValid() && !LoadImage()) {
        FillRectAA(context, white, 0, 0, float(w), float(h));
        return;
    }
    FillRectCheckerPattern(
        context, 0, 0, w, h, 10, white, LGuiColorRef(0xC300, 0xC300, 0xC300), 0, 0);
    if (w < 1 || h < 1)
        return;
    if (fImage.GetWidth() != w || fImage.GetHeight() != h) {
        LImageBuffer fitted;
        LProcessInterfaceVoid job;
        if (LImage::Resize(job, fImage, fitted, w, h, true, LImage::ResizeBicubic) == 0)
            fImage = std::move(fitted);
        if (fImage.GetWidth() != w || fImage.GetHeight() != h)
            FillRectAA(context, white, 0, 0, float(w), float(h));
    }
    if (fImage.IsValid())
        DrawImage(context, fImage, 0, 0, float(fImage.GetWidth()), float(fImage.GetHeight()), 1.0f,
            LImageInterpolationMode(0));
}
