// Print sessions over GTK's print panel and print jobs. What it offers:
//
// - One shared print information (print settings and page setup) that every print starts from
//   and that keeps what the user last chose in the print panel (printer, paper, copies...).
// - Run: one modal print. The paper (a standard size when one matches, else a custom size such
//   as a disc printer's tray) and the orientation are set on the page setup, the panel is shown
//   (GtkPrintUnixDialog with its page-setup tab), the user's choices are read back and handed to
//   a confirmation callback. Then a print job is made for the printer chosen, with a Document
//   over an unnamed temporary file in the format the printer takes (PDF or PostScript; the
//   print-to-file printer writes the PDF, PostScript or SVG chosen in the panel). The document
//   callback has the pages painted into the document and the document finished, off the
//   window's thread where it likes, while the window goes on answering. The finished file is
//   handed to the print system and Run waits, the loop turning, until the print system has taken
//   it: a CUPS queue's with libcups on a thread (until a job holds the whole file; a refusal is
//   told with the print system's reason, and the user may stop it), any other printer's through
//   GTK (GtkPrintJob).
// - Pages are painted between BeginPage and EndPage straight onto the document's surface, on a
//   cairo context whose user space is the paper's: points, origin at the sheet's top-left
//   corner, y down, whatever margins the printer or the page setup report. What the print
//   system leaves to the application (the copies a printer does not make itself, the pages
//   chosen by range or as odd or even, the scale, turning the page onto the sheet) the document
//   does.
//
// Standard library, GTK and cairo; libcups, opened on first use, for CUPS queues.
#pragma once

#include <cairo.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace platform::print {

// What ends a hand-over to the print system early: stop when the user stops the print (what the
// print system was given is taken back, which may take it a while), quit when the application
// ends (it gives up within seconds). Set through RequestStop and RequestQuit, which also end a
// connection to the print system still being made.
struct HandOverStop {
    std::atomic<bool> stop { false };
    std::atomic<bool> quit { false };
    bool Stopped() const { return stop.load(std::memory_order_acquire); }
    bool Quit() const { return quit.load(std::memory_order_acquire); }
    void RequestStop()
    {
        stop.store(true, std::memory_order_release);
        std::atomic_ref<int>(connectStop).store(1);
    }
    void RequestQuit()
    {
        quit.store(true, std::memory_order_release);
        std::atomic_ref<int>(connectStop).store(1);
        std::atomic_ref<int>(connectQuit).store(1);
    }
    // The cancel flags libcups looks at while it connects: the first set at a stop or the quit,
    // the second at the quit only (a connection that takes back what was sent outlives a stop).
    mutable int connectStop = 0;
    mutable int connectQuit = 0;
};

// What the application asks for.
struct Request {
    double paperWidth = 0; // points; 0 by 0 keeps the paper last chosen
    double paperHeight = 0;
    bool landscape = false;
    int firstPage = 1; // 1-based; a range of 1 to 65535 or more prints every page
    int lastPage = 65535;
    std::string jobName = "Vorantel";
    // Runs the print panel (a GtkDialog) modally and answers its response; null runs it with
    // gtk_dialog_run. The application's own runner lets its quit answer the panel as it answers
    // its other dialogs.
    int (*runDialog)(GtkWidget* dialog) = nullptr;
};

// What the user chose in the panel (sizes in points, in the page's orientation).
struct Choices {
    double paperWidth = 0;
    double paperHeight = 0;
    double imageableX = 0; // the printable area's origin on the sheet (left and top margins)
    double imageableY = 0;
    double imageableWidth = 0; // the sheet less all four margins
    double imageableHeight = 0;
    bool landscape = false;
    // The paper's English name as print panels report it ("A4", "US Letter", ...); a size
    // without a standard name gives its own display name.
    std::string paperName;
    int copies = 1;
    int firstPage = 1;
    int lastPage = 1;
    std::string printerName;
};

// How a document's pages go onto the sheets of the file the print system is given.
struct Sheets {
    enum class Format { PDF, PostScript, SVG };
    Format format = Format::PDF;
    double paperWidth = 0; // the sheet upright, points
    double paperHeight = 0;
    double pageWidth = 0; // the sheet in the page's orientation, points
    double pageHeight = 0;
    // 0 portrait, 1 landscape (the sheet turned a quarter counter-clockwise), 2 portrait upside
    // down, 3 landscape the other way.
    int orientation = 0;
    // The page is turned onto the upright sheet here; otherwise the sheet takes the page's
    // orientation (a PDF page) or the printer turns it (PostScript).
    bool turn = false;
    double scale = 1;
    int copies = 1; // made here: the printer makes none of its own
    bool collate = false; // a document of several pages is made whole once for each copy
    int pageSet = 0; // 0 every page chosen, 1 the even ones of them, 2 the odd ones
    std::vector<std::pair<int, int>> ranges; // 0-based, inclusive; none: every page
    double fallbackResolution = 300; // dots per inch of what must be rasterised
};

// One print document: the pages painted straight onto a PDF, PostScript or SVG surface that
// writes an unnamed temporary file (nothing is left behind, whatever happens). One thread at a
// time uses it; Stop and Stopped may be called from any thread. A page is put onto the sheets
// (its copies made) when the next page begins or when the document is finished; that is where
// the surface writes the page's pictures, compressed, which takes seconds for photographs.
class Document {
public:
    // The file is made in folder; IsValid is false (the error text set) when it or the surface
    // cannot be made.
    Document(const Sheets& sheets, const std::string& folder);
    // Stops first (see Stop), so that an unfinished document is let go of in the time of the
    // picture being written, if any.
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    bool IsValid() const;
    // A new page: a cairo context (owned by the document, valid until EndPage) in points from
    // the sheet's top-left corner, y down. A page that is not to be printed (outside the range
    // or the odd or even pages chosen) is painted nowhere. Null with a non-zero error when no
    // page can be started (a page already open, the document stopped or failed).
    cairo_t* BeginPage(int& error);
    // Ends the open page; 0, or an error when no page was open or drawing on the page failed
    // (the document is then not printed).
    int EndPage();
    // After the document has been painted whole: true when it is to be painted once more (the
    // collated copies of a document of more than one page), its pages counted from the first.
    bool NextPass();
    // Puts the last page onto its sheets and completes the file, ready to be read from its
    // start: 0, or an error (the error text set). Then lets go of the surface, and with it of
    // the pictures its pages refer to: nothing more can be painted.
    int Finish();
    // The document is not wanted: from now on the file is not written, pictures still to be
    // written go out as a single pixel each, and Finish ends at the picture under way.
    void Stop();
    bool Stopped() const { return mStop.load(std::memory_order_acquire); }
    // What Stop sets, for painters that look at it themselves.
    const std::atomic<bool>& StopFlag() const { return mStop; }

    // Sheets put into the file so far.
    int GetSheetCount() const { return mSheetCount; }
    // The file (the document's own; it stays open until the document is destroyed).
    int GetFileDescriptor() const { return mFd; }
    // Why the document failed, in Swedish; "" when it has not.
    const std::string& GetErrorText() const { return mErrorText; }

    static constexpr int kErrorPageOpen = -30871;
    static constexpr int kErrorNoPage = -30872;
    static constexpr int kErrorCairo = -30873;
    static constexpr int kErrorStopped = -128;

private:
    static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length);
    bool FlushBuffer();
    bool Chosen(int page);
    void ShowPending(bool morePages);
    void SetPageSize();
    void PlacePage(cairo_t* cr) const;
    void Fail(cairo_status_t status);

    Sheets mSheets;
    int mFd = -1;
    cairo_surface_t* mSurface = nullptr;
    cairo_t* mOpen = nullptr;
    cairo_surface_t* mNowhere = nullptr; // a page that is not printed is painted here
    unsigned long mTextMark = 0; // the text lock's count on the painting thread at the page's start
    bool mHasText = false; // a page drew text: its fonts are written out under the text lock
    std::vector<unsigned char> mBuffer;
    std::atomic<bool> mStop { false };
    int mWriteErrno = 0;
    bool mFailed = false;
    bool mPending = false; // a page is painted and not yet on its sheets
    bool mSeveralPages = false; // the document has more than one page
    int mPagesInPass = 0; // pages begun in this pass
    int mChosenInPass = 0; // of them, those the range chose
    int mPass = 0;
    int mSheetCount = 0;
    std::string mErrorText;
};

enum class Result {
    Printed, // the document went to the printer
    Cancelled, // the panel was cancelled, or the user stopped the print
    Refused, // Confirm said no
    Failed, // the print could not be made (error text set, in Swedish)
    // The user stopped the print after the print system had taken it, too late to take it back:
    // it prints (the error text, in Swedish, says so).
    HandedOver,
};

// The application's part of a print.
class Delegate {
public:
    virtual ~Delegate() = default;
    // The user's choices; false refuses the print before any page.
    virtual bool Confirm(Choices& choices) = 0;
    // Paints the whole document into it and finishes it (Document::Finish), keeping the window
    // answering meanwhile. Printed when the document is complete; Cancelled when the user
    // stopped it (the document, stopped, may still be letting go of a picture on another
    // thread: that is why it is shared); Failed with the reason in Swedish.
    virtual Result Print(
        const std::shared_ptr<Document>& document, const Choices& choices, std::string& error)
        = 0;
    // Runs work (the finished document's hand-over to the print system) off the window's thread,
    // the window answering and the print's progress shown. The work owns what it uses, looks at
    // its stop and ends soon after it is set. False when the user stopped the print: stop is then
    // set and the work waited for to its end; quit is set too when the application ends first.
    virtual bool HandOver(std::function<void(const HandOverStop& stop)> work) = 0;
};

// A finished document for a CUPS queue.
struct CupsJob {
    std::string printer; // the queue's name
    std::string title;
    std::string format; // "application/pdf" or "application/postscript"
    std::vector<std::pair<std::string, std::string>> options; // job options, by CUPS name
    int fd = -1; // the file, read from its start
};

// Whether libcups can be used.
bool CupsAvailable();
// Hands the job to the print system, any thread: "" once a job holds the whole file, else the
// reason in Swedish. Soon after stop is set it gives up: stopped is then true and no job is left
// to print (one already made is cancelled; at quit, when the print system answers within seconds).
// unknown is set when the server has no such queue (a printer it only finds on the network, which
// libcups' own printing sets up first): nothing was sent, and the printer is the caller's.
// handedOver is set to the job's id once the whole file was sent to it, also when the stop came
// while the print system's answer was awaited: the job is then the caller's to cancel
// (CancelCupsJob). Without handedOver such a job is cancelled here.
std::string SendToCups(const CupsJob& job, const HandOverStop& stop, bool& stopped,
    bool* unknown = nullptr, int* handedOver = nullptr);
// Cancels a job of the queue, any thread, the print system's answer awaited after a stop as
// SendToCups awaits it: true when the job will not print (cancelled, or gone), false when the
// print system could no longer cancel it or did not answer.
bool CancelCupsJob(const std::string& printer, int id, const HandOverStop& stop);
// Whether the server still has the queue, any thread: false only when it answers that it has
// none.
bool CupsQueueExists(const std::string& printer, const HandOverStop& stop);
// The job options that scale, fit or tile the page onto the sheet (a label sheet is printed as it
// is): never passed to the print system.
bool IsLayoutChangingOption(const std::string& name);
// The print of a queue the server no longer has, in Swedish.
std::string QueueGoneText();
// The print system's refusal (an IPP status) in Swedish, with its own message where no better
// one is known.
std::string CupsRefusalText(int status, const std::string& message);

// Runs the panel over the window of the owner widget (may be null) and prints. Main thread
// only; modal.
Result Run(GtkWidget* owner, const Request& request, Delegate& delegate, std::string* error);

// The shared print information's settings (printer name, output file of the print-to-file
// printer, ...), by GTK print-setting key. Main thread only.
void SharedSettingSet(const char* key, const char* value);
std::string SharedSettingGet(const char* key);
// Forgets the shared print information.
void SharedReset();

// The English paper name of a size in points (portrait or landscape), matched to a standard
// paper within one point; "" when none matches.
std::string StandardPaperName(double width, double height);

// "Det gick inte att skriva ut: " and the reason.
std::string FailureText(const std::string& reason);

} // namespace platform::print
