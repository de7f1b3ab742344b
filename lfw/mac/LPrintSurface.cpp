#include "lfw/mac/LPrintSurface.h"

#include "lfw/gen/LSignalObject.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/ios/LThread.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "platform/print/Print.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LView.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <utility>

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
// StartPage outside a document.
constexpr int kErrorNoDocument = -30870;
constexpr int kErrorCancelled = -128; // the user stopped the print
// How often a stopped print's last painted slice is looked for when its signal cannot be waited on.
constexpr unsigned int kPaintedPollMs = 100;

// Exact, not rounded: a custom paper such as a disc printer's tray keeps its size to the
// hundredth of a millimetre, so the tray's page is where the tray is.
double PointsFromMm(double mm)
{
    return mm / 25.4 * 72.0;
}

// The part of a print that its worker and the window's thread share. The worker has the pages
// painted, says so, finishes the document and says so; the window's thread waits for both, and
// may stop waiting for the second when the user stops the print: the document, held here and by
// the worker, is then let go of on the worker, which by then touches nothing else.
struct LPrintWork {
    LSignalObject painted, finished;
    std::atomic<bool> paintingDone { false };
    std::atomic<int> finishResult { 0 };
};

// The thread of a print: it starts with the window's thread's scheduling, as the export's do,
// runs nicer than it, and deletes itself at its end.
class LPrintWorker : public LDetachedThread {
public:
    static constexpr int kNiceness = 10;

    explicit LPrintWorker(std::function<void()> job)
        : LDetachedThread("Utskrift")
        , fJob(std::move(job))
    {
    }

protected:
    void ThreadFunction() override
    {
        // Below the window's thread, which then answers at once however long the pictures
        // take to be written.
        setpriority(PRIO_PROCESS, 0, kNiceness);
        fJob();
        // What the job held goes before the thread is counted as ended.
        fJob = nullptr;
    }

private:
    std::function<void()> fJob;
};

// The threads of prints: one for each print under way, and for a stopped print the one still
// letting go of its document. Those still running when the program ends are waited for (each
// ends at the picture it is writing).
LDetachedThreadsOwner& PrintWorkers()
{
    static LDetachedThreadsOwner owner;
    return owner;
}

// Runs the job on a print's thread of its own; false when none could be made.
bool StartPrintWorker(std::function<void()> job)
{
    auto* worker = new LPrintWorker(std::move(job));
    PrintWorkers().Link(worker);
    if (worker->StartDetached(PrintWorkers(), LThread::GetPriority(pthread_self())) != 0) {
        PrintWorkers().Destruct(worker);
        return false;
    }
    return true;
}

// The progress window of a print. "Avbryt" stops the print but the window stays, its button
// off, until the print has stopped: until then no other window takes input, so no second print
// starts inside this one.
class LPrintProgress : public LProcessDialogRunInterface {
public:
    using LProcessDialogRunInterface::LProcessDialogRunInterface;
    using LProgressDialog::Close;

    void Close() override
    {
        LProgressDialog::Close();
        SetStatus(LProcessThread::kStoppingText, 0);
    }
};

} // namespace

// Bridges the print session to the surface and the application's print function.
class LPrintSurfaceDelegate : public platform::print::Delegate {
public:
    LPrintSurfaceDelegate(
        LPrintSurface& surface, LView* owner, LPrintFunction& function, LPrintSettings& settings)
        : mSurface(surface)
        , mOwner(owner)
        , mFunction(function)
        , mSettings(settings)
    {
    }

    bool Confirm(platform::print::Choices& choices) override
    {
        LPrintSettings& s = mSettings;
        s.paperWidth = float(choices.paperWidth * kMmPerPoint);
        s.paperHeight = float(choices.paperHeight * kMmPerPoint);
        s.paperSizeKnown = true;
        mSurface.mImageableX = choices.imageableX;
        mSurface.mImageableY = choices.imageableY;
        mSurface.mPaperWidth = choices.paperWidth;
        mSurface.mPaperHeight = choices.paperHeight;
        mSurface.GetPrintPaperMargins();
        s.marginX = float(std::trunc(mSurface.mMarginX * mSurface.mMarginScale) * kMmPerPoint);
        s.marginY = float(std::trunc(mSurface.mMarginY * mSurface.mMarginScale) * kMmPerPoint);
        s.imageableWidth = float(choices.imageableWidth * kMmPerPoint);
        s.imageableHeight = float(choices.imageableHeight * kMmPerPoint);
        s.imageableSizeKnown = true;
        s.orientation
            = choices.landscape ? LPaperSizeOrientationLandscape : LPaperSizeOrientationPortrait;
        char name[260];
        std::strncpy(name, choices.paperName.c_str(), sizeof name - 1);
        name[sizeof name - 1] = '\0';
        s.paperSize = LPaperSizeGetIDFromName(name);
        s.copies = choices.copies;
        s.firstPage = choices.firstPage;
        s.lastPage = choices.lastPage;
        mImageableWidth = choices.imageableWidth;
        mImageableHeight = choices.imageableHeight;
        return mFunction.CanPrint(mOwner, s);
    }

    platform::print::Result Print(const std::shared_ptr<platform::print::Document>& document,
        const platform::print::Choices&, std::string& error) override
    {
        using platform::print::Result;
        // From here on painting, writing and handing the document over run under a progress
        // window whose "Avbryt" stops the print; DoPrint closes it once the print system has
        // the document.
        mProgress = std::make_unique<LPrintProgress>("Skriver ut");
        if (mProgress->_Open(mOwner, false)) {
            mProgress->OpenModalWindow();
            mProgress->SetStatus("Skriver ut", 0);
            mProgress->SetProgressIndeterminateOn();
            mSurface.mProgress = mProgress.get();
        } else {
            mProgress.reset();
        }
        mSurface.mPageWidth = int(std::lround(mImageableWidth));
        mSurface.mPageHeight = int(std::lround(mImageableHeight));
        mSurface.SetSurfaceSize(mSurface.mPageWidth, mSurface.mPageHeight);
        mSurface.mContext.SetClientRect(
            0, 0, int16_t(mSurface.mPageWidth), int16_t(mSurface.mPageHeight));
        mSurface.mPagesStarted = 0;
        mSurface.mFailedPageStarts = 0;
        mSurface.mDocument = document.get();

        auto work = std::make_shared<LPrintWork>();
        LPrintSurface& surface = mSurface;
        LPrintFunction& function = mFunction;
        const bool started = StartPrintWorker(
            [work, doc = std::shared_ptr(document), &surface, &function]() mutable {
                // The caller's surface and function are used until the pages are painted, and
                // never after: the window's thread waits for that much in any case.
                do {
                    function.Print(surface);
                    // A page the painter left open is ended with the document.
                    while (surface.mOpenPages > 0 && surface.mContext.GetPlatformContext())
                        surface.LPrintSurface::EndPage();
                } while (!doc->Stopped() && doc->NextPass());
                work->paintingDone.store(true, std::memory_order_release);
                work->painted.Signal();
                work->finishResult.store(doc->Finish(), std::memory_order_release);
                // Let go of before the window's thread hears of it: the one that holds the
                // document last destroys it, and with it the page's hold on the pictures.
                doc.reset();
                work->finished.Signal();
            });
        if (!started) {
            mSurface.mDocument = nullptr;
            error = platform::print::FailureText("ingen tråd kunde startas för utskriften.");
            return Result::Failed;
        }
        if (!Wait(work->painted)) {
            // Stopped: no more pages start, and the page under way ends at the slice it paints
            // (the painter asks IsStopped between slices); the document is left to its worker.
            document->Stop();
            if (mProgress)
                mProgress->SetStatus(LProcessThread::kStoppingText, 0);
            LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                work->painted, [] { return false; }, false, 0);
            // The application's quitting ends that wait too, and would then take the caller's
            // surface and function (and the project they paint) away from under the worker:
            // the rest of the slice is waited for without turning the loop.
            while (!work->paintingDone.load(std::memory_order_acquire))
                work->painted.WaitSignal(kPaintedPollMs);
        }
        (void)work->paintingDone.load(std::memory_order_acquire);
        mSurface.mDocument = nullptr;
        if (document->Stopped())
            return Result::Cancelled;
        if (!Wait(work->finished)) {
            // Stopped while the document is written: it is not printed, and its worker ends
            // at the picture it is writing, on its own.
            document->Stop();
            return Result::Cancelled;
        }
        if (work->finishResult.load(std::memory_order_acquire) == 0)
            return Result::Printed;
        if (document->Stopped())
            return Result::Cancelled;
        error = document->GetErrorText();
        return Result::Failed;
    }

    bool HandOver(std::function<void(const platform::print::HandOverStop& stop)> job) override
    {
        struct HandOverWork {
            LSignalObject done;
            platform::print::HandOverStop stop;
        };
        auto work = std::make_shared<HandOverWork>();
        if (!StartPrintWorker([work, job = std::move(job)] {
                job(work->stop);
                work->done.Signal();
            })) {
            job(work->stop);
            return true;
        }
        if (Wait(work->done))
            return true;
        // Stopped: the print system is told to drop what it has of the print; the progress
        // window stays until it has. The quit ends this wait at once: the job, which owns what it
        // uses, then gives up on its own.
        work->stop.RequestStop();
        if (LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                work->done, [] { return false; }, false, 0)
            != 0)
            work->stop.RequestQuit();
        return false;
    }

    // Ends the progress window (after the print system is done with the document).
    void Finish()
    {
        mSurface.mProgress = nullptr;
        if (mProgress)
            mProgress->CloseModalWindow();
        mProgress.reset();
    }

private:
    // Waits for the signal with the loop turning: false when the user stopped the print first.
    bool Wait(const LSignalObject& signal)
    {
        if (!mProgress) {
            // Only the application's quitting ends this wait early.
            return LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                       signal, [] { return false; }, false, 0)
                == 0;
        }
        return mProgress->ProcessWaitSignal(signal, LSIGNAL_WAIT_FOREVER) != LProcessResultStopped;
    }

    std::unique_ptr<LProcessDialogRunInterface> mProgress;
    LPrintSurface& mSurface;
    LView* mOwner;
    LPrintFunction& mFunction;
    LPrintSettings& mSettings;
    double mImageableWidth = 0, mImageableHeight = 0;
};

LPrintSurface::LPrintSurface()
{
    mContext.SetFont(LFontAttributes("Helvetica", 11.0f, 0));
}

LPrintSurface::~LPrintSurface()
{
    mContext.SetPlatformContext(nullptr);
    mContext.GetTransformStack().Clear();
}

void LPrintSurface::GetPrintPaperMargins()
{
    mMarginX = int(mImageableX);
    mMarginY = int(mImageableY);
}

bool LPrintSurface::IsStopped() const
{
    return mDocument && mDocument->Stopped();
}

int LPrintSurface::StartPage()
{
    if (!mDocument) {
        ++mFailedPageStarts;
        return kErrorNoDocument;
    }
    // Stopped from the progress window: no more pages.
    if (IsStopped()) {
        ++mFailedPageStarts;
        return kErrorCancelled;
    }
    int error = 0;
    cairo_t* cr = mDocument->BeginPage(error);
    if (!cr) {
        ++mFailedPageStarts;
        return error;
    }
    // The page context is in points from the paper's top-left corner, y down: that is the state
    // every transform reset returns to.
    mContext.SetPlatformContext(cr);
    // Pictures still to be written when the print is stopped are written as a pixel each.
    LPaintSurface::SetPageStop(mContext, &mDocument->StopFlag());
    mContext.SaveGState();
    mContext.RecordBaseTransform();
    ++mOpenPages;
    ++mPagesStarted;
    return 0;
}

int LPrintSurface::EndPage()
{
    if (!mContext.GetPlatformContext())
        return platform::print::Document::kErrorNoPage;
    mContext.RestoreGState();
    mContext.SetPlatformContext(nullptr);
    mContext.GetTransformStack().Clear();
    int result = mDocument ? mDocument->EndPage() : platform::print::Document::kErrorNoPage;
    if (mOpenPages > 0)
        --mOpenPages;
    return result;
}

bool LPrintSurface::DoPrint(
    LView* owner, LPrintFunction& function, LPrintTo to, LPrintSettings& settings)
{
    (void)to;
    double width = 0, height = 0;
    if (settings.imageableSizeKnown && settings.paperSizeKnown) {
        width = settings.paperWidth;
        height = settings.paperHeight;
    } else {
        if (settings.paperSize == LPaperSizeInvalid)
            return false;
        // The paper's true size (ids without a row give none).
        LPaperSizeGetPhysicalDimensionsMm(settings.paperSize, width, height);
    }
    platform::print::Request request;
    request.paperWidth = PointsFromMm(width);
    request.paperHeight = PointsFromMm(height);
    request.landscape = settings.orientation == LPaperSizeOrientationLandscape;
    request.firstPage = settings.firstPage;
    request.lastPage = settings.lastPage;
    // GTK's panel is answered by the quit as the program's own dialogs are.
    request.runDialog
        = [](GtkWidget* panel) { return LModalCounter::RunDialog(GTK_DIALOG(panel)); };

    LPrintSurfaceDelegate delegate(*this, owner, function, settings);
    std::string error;
    platform::print::Result result = platform::print::Run(
        owner ? owner->ExistingWidget() : nullptr, request, delegate, &error);
    delegate.Finish();
    // A print that failed is told, and so is one stopped too late to be taken back.
    if (result == platform::print::Result::Failed
        || result == platform::print::Result::HandedOver) {
        LAlert alert(owner, error.c_str(), "Skriv ut");
        alert.type = 2;
        alert._Run();
    }
    // A page that could not be started is missing from the printed document. A print that went
    // to the printer is done with, also when stopped too late.
    return (result == platform::print::Result::Printed
               || result == platform::print::Result::HandedOver)
        && mFailedPageStarts == 0;
}

bool LPrinter::PrintToPrinterWithSettingsV(
    LView* owner, LPrintSettings& settings, LPrintFunction& function)
{
    LPrintSurface surface;
    return surface.DoPrint(owner, function, LPrintToPrinter, settings);
}
