// The pieces of the clipart libraries below their dialogs: the URL encoder, the reading of a
// library folder's "index.csv", the bounds of every download, and the live preview with the worker
// thread that fetches previews in the background.
//
// A library is a tree of folders on the component server, each described by an "index.csv" whose
// lines are either sub-folders (a line naming a file "index.<ext>" inside the folder) or pictures
// ("name,size[,...]"). Everything fetched is kept in a local cache folder that mirrors the server
// and is never fetched again.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/ios/LQueuedNotify.h"
#include "lfw/ios/LThread.h"
#include "lfw/net/LHTTP.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Encodes a URL into out (260 bytes): letters, digits and "!-./:_~" stay, a '\' becomes '/', every
// other byte "%XX" (upper case). The text is cut when full, and then the answer is false: a cut
// URL must never be fetched.
bool LClipartURIEncode(char* out, const char* in);

// Whether a name from a server's index may become a path below the cache folder: not empty, not
// absolute, not beginning with '\', no control character, and no component (between '/' or '\')
// that is empty, "." or "..".
bool LClipartIsSafeName(const char* name);

// The bounds of every clipart download: the largest file, the longest wait for the server and
// the longest whole transfer.
LHTTPDownloadLimits& LClipartDownloadLimits();
// Downloads url into filePath over HTTP or HTTPS (by the scheme) within LClipartDownloadLimits(),
// without following redirections: 0, 1 stopped, 2 failed (why in failure, when given). The
// file's folder is made when missing (a picture's name may hold a folder); the file is replaced
// whole or not at all.
LProcessResult LClipartDownload(LProcessInterface& job, const char* url, const char* filePath,
    LHTTPDownloadFailure* failure = nullptr);
// The reason of a failed download as the user reads it: one or two Swedish sentences ("Servern
// svarade inte i tid."); host, when given, is the server's name as the user knows it.
std::string LClipartFailureText(const LHTTPDownloadFailure& failure, const char* host = nullptr);

// Loads a downloaded picture: false when the file is missing, claims more pixels than a picture
// of the libraries may have, or does not decode to a picture of at least 1 x 1.
bool LClipartLoadPicture(const char* path, LImageBuffer& picture);

// The two libraries' base URLs (260 bytes): the component server of the host table followed by
// "/components/clipart" or "/components/Frames".
void LClipartGetBaseURL(char* out, bool frames);

// One line of an index, as it is read.
struct LClipartIndexEntry {
    bool folder = false;
    char name[kLPathSize] = {}; // the sub-folder or the picture name
    char size[kLPathSize] = {}; // pictures: the size in bytes as the index gives it
};

// Reads an index file line by line (lines of at most 259 characters, the tail of a longer line
// skipped; CR, LF, CRLF or LFCR) and hands every sub-folder and picture line whose name is safe
// to entry, telling the job how far through the file it is. 0 at the end of the file, 1 when the
// job asked to stop, 2 when the file cannot be opened. Empty lines and lines without a name are
// passed over.
LProcessResult LClipartReadIndex(LProcessInterface& job, const char* path,
    const std::function<void(const LClipartIndexEntry&)>& entry);

class LClipartPreview;

// The worker of a preview: fetches the newest request; a request made meanwhile abandons the
// running download (a slow server never holds the next preview) and is fetched at once. The end
// of each run reaches the preview through queued notifications: 0 started, then 1 (the last
// download succeeded), 2 (failed) or 3 (stopped).
class LClipartDownloadThread : public LThread {
public:
    explicit LClipartDownloadThread(std::shared_ptr<LQueuedNotifyDataHandlerImpl> receiver);
    ~LClipartDownloadThread() override;

    // Any thread: the newest request replaces one that has not started; the worker is started
    // when it does not run.
    void DownloadImage(const char* url, const char* localPath);
    // Asks the worker to end and waits for it.
    void Stop();
    // The number of downloads the worker began (for tests).
    int DownloadsBegun() const { return fBegun.load(); }

protected:
    void ThreadFunction() override;

private:
    void Post(unsigned int code);

    std::shared_ptr<LQueuedNotifyDataHandlerImpl> fReceiver;
    LLockObject fMutex;
    char fURL[kLPathSize] = {};
    char fLocalPath[kLPathSize] = {};
    bool fNewRequest = false;
    LSignalObject fWake;
    std::atomic<int> fBegun { 0 };
};

// The preview control: white while empty, "Laddar..." while its worker downloads, else the picture
// fitted into the control over a checkerboard.
class LClipartPreview : public LPaintControl, public LQueuedNotifyDataHandler {
public:
    LClipartPreview();
    ~LClipartPreview() override;

    void DownloadAndDisplay(const char* url, const char* localPath);
    bool LoadImage();
    void ClearPreview();
    void Paint(LPaintContext& context) override;
    void EvQueuedNotifyData(unsigned int code, const void* data, size_t length) override;
    // Asks the worker to stop; late notifications are dropped.
    void StopWorker();

    bool IsEmpty() const { return bEmpty; }
    bool IsDownloading() const { return bDownloading; }
    bool HasImage() const { return fImage.IsValid(); }
    const char* LocalPath() const { return szLocalPath; }
    LClipartDownloadThread* Worker() const { return fThread.get(); }

private:
    bool bEmpty = true;
    bool bDownloading = false;
    LImageBuffer fImage;
    char szLocalPath[kLPathSize] = {};
    std::unique_ptr<LClipartDownloadThread> fThread;
};
