// Print sessions over GTK's print operation. What it offers:
//
// - One shared print information (print settings and page setup) that every print starts from
//   and that keeps what the user last chose in the print panel (printer, paper, copies...).
// - Run: one modal print. The paper (a standard size when one matches, else a custom size such
//   as a disc printer's tray) and the orientation are set on the page setup, the panel is shown
//   (GtkPrintUnixDialog with its page-setup tab), the user's choices are read back and handed to
//   a confirmation callback, then the document callback paints the pages.
// - Pages are painted imperatively between BeginPage and EndPage on a cairo context whose user
//   space is the paper's: points, origin at the sheet's top-left corner, y down, whatever margins
//   the printer or the page setup report. Each page is recorded (vector) and replayed into the
//   print operation's full-page contexts, so the pages reach the printer exactly as painted.
//
// Standard library, GTK and cairo only.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace platform::print {

// What the application asks for.
struct Request {
    double paperWidth = 0; // points; 0 by 0 keeps the paper last chosen
    double paperHeight = 0;
    bool landscape = false;
    int firstPage = 1; // 1-based; a range of 1 to 65535 or more prints every page
    int lastPage = 65535;
    std::string jobName = "Vorantel";
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

// One print document: the pages painted into it, each as large as the sheet.
class Document {
public:
    Document(double paperWidth, double paperHeight);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // A new page: a cairo context (owned by the document, valid until EndPage) in points from
    // the sheet's top-left corner, y down. Null with a non-zero error when no page can be
    // started (a page already open, no memory).
    cairo_t* BeginPage(int& error);
    // Ends the open page; 0, or an error when no page was open or the page failed.
    int EndPage();
    size_t GetPageCount() const { return mPages.size(); }
    // Replays page i into a cairo context whose user space is the sheet's.
    void ReplayPage(size_t i, cairo_t* cr) const;

    static constexpr int kErrorPageOpen = -30871;
    static constexpr int kErrorNoPage = -30872;
    static constexpr int kErrorCairo = -30873;

private:
    double mPaperWidth, mPaperHeight;
    std::vector<cairo_surface_t*> mPages;
    cairo_t* mOpen = nullptr;
};

class Delegate {
public:
    virtual ~Delegate() = default;
    // The user's choices; false refuses the print before any page.
    virtual bool Confirm(Choices& choices) = 0;
    // Paints the whole document.
    virtual void Print(Document& document, const Choices& choices) = 0;
    // Asked after painting and before each page is handed to the printer: true cancels the
    // print (the result is then Cancelled).
    virtual bool Cancelled() { return false; }
};

enum class Result {
    Printed, // the document went to the printer (or was empty)
    Cancelled, // the panel was cancelled
    Refused, // Confirm said no
    Failed, // the print system failed (error text set)
};

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

} // namespace platform::print
