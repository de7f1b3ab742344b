#include "app/VTPictureFilesAdd.h"

#include "app/VTExport.h"
#include "app/VTProjectViewer.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "platform/ui/LRunLoop.h"

#include <cstring>
#include <utility>

namespace {

constexpr const char* kReadFailed = "Det gick inte att läsa in bilden.";

// Hands everything on to the job's own interface, the error texts too unless they are only to
// be kept, and keeps the last one.
class NotingErrors : public LProcessInterfaceNested {
public:
    explicit NotingErrors(LProcessInterface& parent, bool handOn = true)
        : LProcessInterfaceNested(parent)
        , handOn(handOn)
    {
    }
    void SetError(const char* text) override
    {
        told = true;
        error = text ? text : "";
        if (handOn)
            m_parent->SetError(text);
    }
    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
    void SetProgress(double fraction) override { m_parent->SetProgress(fraction); }
    void SetProgressIndeterminateOn() override { m_parent->SetProgressIndeterminateOn(); }
    void SetProgressIndeterminateOff() override { m_parent->SetProgressIndeterminateOff(); }
    bool handOn;
    bool told = false;
    std::string error;
};

// A file read on a worker under a progress window that tells no error itself.
struct ReadUnderWindow {
    VTProcessPictureFileRead& job;
    std::string error;
};

LProcessResult Process(LProcessInterface& window, ReadUnderWindow& read)
{
    NotingErrors keeping(window, false);
    LProcessThreadData<VTProcessPictureFileRead> worker(read.job);
    const LProcessResult result = Process(keeping, worker);
    read.error = keeping.error;
    return result;
}

} // namespace

LProcessResult Process(LProcessInterface& process, VTProcessPictureFileRead& job)
{
    job.picture.Reset();
    job.screenSource.Reset();
    job.name[0] = '\0';
    VTImageCodecVetoer vetoer;
    NotingErrors noting(process);
    LProcessImageLoadFile load(job.path.c_str(), 3000, &vetoer, job.picture);
    LProcessResult result = Process(noting, load);
    const bool usable
        = job.picture.IsValid() && job.picture.GetWidth() >= 1 && job.picture.GetHeight() >= 1;
    if (result == LProcessResultSuccess && !usable)
        result = LProcessResultError;
    if (result != LProcessResultSuccess) {
        job.picture.Reset();
        if (result == LProcessResultError && !noting.told)
            process.SetError(kReadFailed);
        return result;
    }
    if (job.checkOnly) {
        job.picture.Reset();
        return result;
    }
    // Made here, off the window's thread: the first paint of a photograph of hundreds of
    // megapixels reduces its few megapixels instead of all of them.
    if (!process.IsToStop())
        LScreenImageCopies::MakeSource(job.picture, job.screenSource);
    LFile::_GetFileFromPath(job.name, job.path.c_str());
    if (char* dot = std::strrchr(job.name, '.'))
        *dot = '\0';
    if (std::strlen(job.name) + 5 < sizeof job.name)
        std::strcat(job.name, ".png");
    return result;
}

// One file under way: its reading job on its thread, whose reports go to the window as one item
// of the queue, its error text kept for the warning.
struct VTPictureFilesAdd::Item : LProcessInterfaceQueueItem {
    Item(LProcessInterface& window, double offset, double scale)
        : LProcessInterfaceQueueItem(window, offset, scale)
    {
    }
    void SetError(const char* text) override { error = text ? text : ""; }
    static LProcessResult Run(LProcessInterface& iface, void* job)
    {
        return Process(iface, *static_cast<VTProcessPictureFileRead*>(job));
    }

    VTProcessPictureFileRead read;
    std::string error;
    LProcessThread thread { *this, Run, &read }; // last: ends before the rest goes
};

VTPictureFilesAdd::VTPictureFilesAdd(
    VTProjectViewer& viewer, std::vector<std::string> paths, Done done)
    : viewer(viewer)
    , paths(std::move(paths))
    , done(std::move(done))
{
}

VTPictureFilesAdd::~VTPictureFilesAdd()
{
    if (window)
        window->SetThread(nullptr);
    item.reset();
    window.reset();
}

bool VTPictureFilesAdd::Start(LView* parent)
{
    if (running || paths.empty())
        return false;
    window = std::make_unique<LProgressDialogForThread>("Lägga till bilder");
    if (!window->Show(parent)) {
        window.reset();
        return false;
    }
    outcome = VTPictureFilesAddOutcome();
    outcome.asked = paths.size();
    index = 0;
    running = true;
    window->SetProgress(0);
    Next();
    return true;
}

void VTPictureFilesAdd::Next()
{
    if (index >= paths.size() || window->IsStopRequested()) {
        outcome.stopped = outcome.stopped || index < paths.size();
        Finish();
        return;
    }
    const double n = double(paths.size());
    item = std::make_unique<Item>(*window, double(index) / n, 1.0 / n);
    item->read.path = paths[index];
    window->SetThread(&item->thread);
    // The end of the job is taken up by a posted call of its own, once the thread's delivery
    // has returned.
    std::weak_ptr<bool> token = alive;
    const bool started = item->thread.Start([this, token](LProcessResult result) {
        LRunLoop::Post([this, token, result] {
            if (token.lock())
                ItemFinished(result);
        });
    });
    if (!started)
        ItemFinished(LProcessResultError);
}

void VTPictureFilesAdd::ItemFinished(LProcessResult result)
{
    window->SetThread(nullptr);
    std::unique_ptr<Item> ended = std::move(item);
    // "Avbryt" wins over a picture that was finished meanwhile.
    if (window->IsStopRequested())
        result = LProcessResultStopped;
    if (keep && result == LProcessResultSuccess) {
        keep(index, ended->read);
        ended.reset();
        ++outcome.added;
        ++index;
        window->SetProgress(double(index) / double(paths.size()));
        Next();
        return;
    }
    LImageBuffer picture(std::move(ended->read.picture));
    LImageBuffer screenSource(std::move(ended->read.screenSource));
    const std::string name = keepPaths ? ended->read.path : std::string(ended->read.name);
    std::string error = ended->error;
    ended.reset();
    const bool last = index + 1 >= paths.size();
    if (result == LProcessResultSuccess) {
        if (!viewer.GetProject() || !viewer.GetCurrentTemplate()) {
            outcome.stopped = true;
            Finish();
            return;
        }
        // The decoded pixels become the overlay's: a picture at the size limit is never held
        // twice.
        viewer.AddOverlayImage(std::move(picture), name.c_str(), &screenSource);
        ++outcome.added;
    } else if (result == LProcessResultError) {
        ++outcome.failures;
        if (error.empty())
            error = kReadFailed;
        if (outcome.error.empty())
            outcome.error = error;
        if (stopAtFailure) {
            Finish();
            return;
        }
        if (tellFailures
            && !LProcessQueueErrorAlert(window->GetContentView(), error.c_str(), true, last)
            && !last) {
            outcome.stopped = true;
            Finish();
            return;
        }
    } else {
        outcome.stopped = true;
        Finish();
        return;
    }
    ++index;
    window->SetProgress(double(index) / double(paths.size()));
    Next();
}

void VTPictureFilesAdd::Finish()
{
    running = false;
    if (window)
        window->Hide();
    Done told = std::move(done);
    done = nullptr;
    const VTPictureFilesAddOutcome result = outcome;
    if (told)
        told(result); // may destroy this object
}

LProcessResult VTReadPictureFile(
    LView* parent, const char* title, VTProcessPictureFileRead& job, std::string* error)
{
    ReadUnderWindow read { job, "" };
    LProcessDialog<ReadUnderWindow> window(title, read);
    window.result = LProcessResultError;
    window.Open(parent);
    if (error)
        *error = read.error;
    return LProcessResult(window.result);
}
