// The window in which a job runs for the user: a small modal window with two status lines, a
// progress bar and Cancel, which is at the same time the LProcessInterface handed to the job.
// The job runs on the main thread inside a modal session and keeps the window alive through the
// interface's stop test and waits, which turn the event loop. The window is drawn at most every
// kLProgressDrawMs while its modal session runs: a job that reports its progress or status many
// times a second costs the window's thread a few paints a second; keys and clicks ("Avbryt",
// Escape) are taken at once all the same.
//
// LProcessDialog<T> runs Process(interface, T&) as its main function; LProcessDialogRunInterface
// is opened and closed by a caller that calls a job function itself; LProcessQueueDialog<T> runs
// the job once per item of a linked queue and asks after each failure whether to go on;
// LProgressDialogForThread shows the reports of jobs on worker threads that nobody waits for.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/mac/LDialog.h"
#include "platform/ui/LRunLoop.h"

// The shortest time (ms) between two paints of a progress window.
inline constexpr unsigned kLProgressDrawMs = 250;

class LCocoaProgressBarImpl;
class LProcessThread;

class LProgressDialog : public LProcessInterface, public LDialog {
public:
    explicit LProgressDialog(const char* title);
    ~LProgressDialog() override;

    // Opens the window, runs MainFunction inside the modal session, closes the window; answers
    // what MainFunction answered, or false without running it when the window cannot open.
    bool Open(LView* parent);
    // Finds the parent and makes the window, without starting the session.
    bool _Open(LView* parent, bool extraLine);
    void CreateProgressDialog();
    void OpenModalWindow();
    // Turns the loop until the window has been drawn once (at most a second), so that a job
    // that holds the main thread from its first step does not start under a blank window.
    void WaitDrawn();
    void CloseModalWindow();

    // LProcessInterface
    bool IsToStop() override;
    LProcessResult ProcessWait(unsigned int ms) override;
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
    LProcessResult ProcessWaitSignalObjectGroup(
        LSignalObjectGroup& group, unsigned int ms) override;
    LProcessResult ProcessWaitUntilStopped() override;
    LProcessResult ProcessWaitSignalForever(LSignalObjectRef signal) override;
    LProcessResult ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group) override;
    void SetError(const char* text) override;
    void SetStatus(const char* text, int level) override;
    void SetProgress(double fraction) override;
    void SetProgressIndeterminateOn() override;
    void SetProgressIndeterminateOff() override;

    // Cancel: the button is disabled and the stop flag set; the window stays until the job ends.
    void Close() override;
    void Close(int code) override;
    virtual bool MainFunction() = 0;

    bool IsStopRequested() const { return bStop; }
    LWindow* GetParentWindow() const { return pParentWindow; }
    // The bar shows 0 to 100.
    LCocoaProgressBarImpl* ProgressBar() const;
    // The footer line: the product and its maker (one text for the application).
    static void SetFooterText(const char* text);
    // Keys typed while Open's window shows (to it or to its parent) go to the parent window, in
    // order, once the window has closed, instead of being lost to it; Escape still stops the
    // job, and a click on "Avbryt" too. For jobs that work from a copy of what the keys change
    // (a save writes a snapshot of the project). A request to close the parent waits alike.
    void SetKeysGoToParent(bool keys) { bKeysToParent = keys; }

protected:
    LWindow* pParentWindow = nullptr;
    LView* pParentView = nullptr;
    bool bExtraLine = false;
    bool bStop = false;
    bool bKeysToParent = false;
    const char* szTitle;
    int iIcon = 300;

private:
    bool StopRequested();
    static void WindowDestroyed(LNativeWindow* window, void* data);
    // After each paint the window's updates are held for kLProgressDrawMs; what changed
    // meanwhile is drawn when they are let go.
    void StartDrawPacing();
    void StopDrawPacing();
    void HoldUpdates();
    void ReleaseUpdates();
    static void UpdatesDue(LRunLoopTimer* timer, void* data);
    LNativeWindow* fParentNative = nullptr; // the parent's window while the session runs
    LRunLoopTimer fUpdatesDue { UpdatesDue, this };
    void* fPacedWidget = nullptr; // the window's GtkWidget while its paints are paced
    unsigned long fPaintHandler = 0;
    void* fHeldWindow = nullptr; // the GdkWindow whose updates are held (a reference)
};

// A job with its own record type: construct, set result to 2 and data, Open, read result.
template <class T> class LProcessDialog : public LProgressDialog {
public:
    LProcessDialog(const char* title, T& job)
        : LProgressDialog(title)
        , data(job)
    {
    }
    bool MainFunction() override
    {
        result = Process(static_cast<LProcessInterface&>(*this), data);
        // A finished job shows a full bar, also when it reported no progress of its own.
        if (result == LProcessResultSuccess)
            SetProgress(1.0);
        return true;
    }

    int result = LProcessResultError;
    T& data;
};

// Opened by a caller that calls a job function with it as interface and closes it again.
class LProcessDialogRunInterface : public LProgressDialog {
public:
    explicit LProcessDialogRunInterface(const char* title)
        : LProgressDialog(title)
    {
    }
    ~LProcessDialogRunInterface() override;
    bool MainFunction() override { return false; }
    void Close() override;
    using LProgressDialog::Close;
};

// The window of jobs that run on worker threads (LProcessThread::Start) while the main loop goes
// on: Show opens it and its modal session (the other windows take no input, as while a job is
// waited for) and returns at once; reports handed to it show; "Avbryt" stops the job of the
// thread given with SetThread, whose status then reads "Väntar på att processen ska stoppas";
// Hide closes it. The owner learns of the end of each job from the thread, not from here.
class LProgressDialogForThread : public LProgressDialog {
public:
    explicit LProgressDialogForThread(const char* title)
        : LProgressDialog(title)
    {
    }
    ~LProgressDialogForThread() override;
    // False when the window cannot open (an owner laying its controls out).
    bool Show(LView* parent);
    void Hide();
    bool IsShown() const { return fShown; }
    // The thread whose job "Avbryt" stops; null while none runs.
    void SetThread(LProcessThread* thread) { fThread = thread; }
    bool MainFunction() override { return false; }
    void Close() override;
    using LProgressDialog::Close;

private:
    LProcessThread* fThread = nullptr;
    bool fShown = false;
};

// A queue of job records: a singly linked list whose records begin with their next pointer.
template <class T> struct LProcessQueue {
    T* first = nullptr;
};

template <class T> class LProcessQueueDialog : public LProgressDialog {
public:
    LProcessQueueDialog(const char* title, LProcessQueue<T>& queue, bool continueOnError,
        unsigned long& failureCount)
        : LProgressDialog(title)
        , items(queue)
        , continueOnError(continueOnError)
        , goOn(continueOnError)
        , failures(&failureCount)
    {
    }

    bool MainFunction() override
    {
        lastItem = false;
        goOn = continueOnError;
        *failures = 0;
        result = LProcessResultSuccess;
        size_t n = 0;
        for (T* item = items.first; item; item = item->next)
            ++n;
        if (n == 0)
            return true;
        size_t i = 0;
        for (T* item = items.first; item; item = item->next, ++i) {
            if (IsToStop()) {
                result = LProcessResultStopped;
                return false;
            }
            // Positions by index: adding up 1/n can stay below 1 at the last item.
            double p = double(i) / double(n);
            double next = double(i + 1) / double(n);
            lastItem = i + 1 == n;
            goOn = true;
            LProcessInterfaceQueueItem sub(*this, p, next - p);
            result = Process(static_cast<LProcessInterface&>(sub), *item);
            if (result == LProcessResultStopped)
                return true;
            if (result == LProcessResultError) {
                ++*failures;
                if (!continueOnError)
                    return true;
                if (!goOn) {
                    result = LProcessResultStopped;
                    return true;
                }
                result = LProcessResultSuccess;
            }
            SetProgress(next);
        }
        return true;
    }

    void SetError(const char* text) override { QueueSetError(text); }

    LProcessQueue<T>& items;
    bool continueOnError;
    int result = LProcessResultSuccess;
    bool lastItem = false;
    bool goOn;
    unsigned long* failures;

private:
    void QueueSetError(const char* text);
};

// Shows the queue's error: a warning offering to go on (only "OK" for the last item) when it
// continues on errors, else an error with "OK". Answers whether the user chose to go on.
bool LProcessQueueErrorAlert(LView* parent, const char* text, bool continueOnError, bool lastItem);

template <class T> void LProcessQueueDialog<T>::QueueSetError(const char* text)
{
    bool go = LProcessQueueErrorAlert(GetContentView(), text, continueOnError, lastItem);
    if (continueOnError && !lastItem)
        goOn = go;
}

// Runs the queue under a progress dialog over parent; failureCount gets the failed items.
template <class T>
LProcessResult ProcessQueueRunAsDialog(LView* parent, const char* title, LProcessQueue<T>& queue,
    bool continueOnError, unsigned long& failureCount)
{
    LProcessQueueDialog<T> dialog(title, queue, continueOnError, failureCount);
    dialog.result = LProcessResultError;
    dialog.Open(parent);
    return LProcessResult(dialog.result);
}
