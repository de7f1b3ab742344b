#include "platform/print/Print.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform::print {

namespace {

// Standard papers: English name as print panels report it, GTK's paper name, portrait size in
// millimetres (the US sizes inch-exact).
struct StandardPaper {
    const char* englishName;
    const char* gtkName;
    double width;
    double height;
};

constexpr StandardPaper kStandardPapers[] = {
    { "A0", "iso_a0", 841, 1189 },
    { "A1", "iso_a1", 594, 841 },
    { "A2", "iso_a2", 420, 594 },
    { "A3", "iso_a3", 297, 420 },
    { "A4", "iso_a4", 210, 297 },
    { "A5", "iso_a5", 148, 210 },
    { "A6", "iso_a6", 105, 148 },
    { "A7", "iso_a7", 74, 105 },
    { "B0", "iso_b0", 1000, 1414 },
    { "B1", "iso_b1", 707, 1000 },
    { "B2", "iso_b2", 500, 707 },
    { "B3", "iso_b3", 353, 500 },
    { "B4", "iso_b4", 250, 353 },
    { "B5", "iso_b5", 176, 250 },
    { "B6", "iso_b6", 125, 176 },
    { "B7", "iso_b7", 88, 125 },
    { "US Statement", "na_invoice", 139.7, 215.9 },
    { "US Letter", "na_letter", 215.9, 279.4 },
    { "US Legal", "na_legal", 215.9, 355.6 },
    { "Tabloid", "na_ledger", 279.4, 431.8 },
};

// Sizes within this many points are the same paper (the paper-size table keeps whole
// millimetres, so A7 is a millimetre wider there).
constexpr double kPaperTolerance = 3.0;

const StandardPaper* FindStandardPaper(double width, double height)
{
    double small = std::min(width, height), large = std::max(width, height);
    for (const StandardPaper& paper : kStandardPapers) {
        double w = paper.width / 25.4 * 72.0, h = paper.height / 25.4 * 72.0;
        if (std::fabs(w - small) <= kPaperTolerance && std::fabs(h - large) <= kPaperTolerance)
            return &paper;
    }
    return nullptr;
}

const StandardPaper* FindStandardPaperByGtkName(const char* name)
{
    if (!name)
        return nullptr;
    for (const StandardPaper& paper : kStandardPapers)
        if (std::strcmp(paper.gtkName, name) == 0)
            return &paper;
    return nullptr;
}

// The shared print information.
struct Shared {
    GtkPrintSettings* settings = nullptr;
    GtkPageSetup* pageSetup = nullptr;
};

Shared& GetShared()
{
    static Shared shared;
    if (!shared.settings)
        shared.settings = gtk_print_settings_new();
    if (!shared.pageSetup)
        shared.pageSetup = gtk_page_setup_new();
    return shared;
}

struct Operation {
    Delegate* delegate = nullptr;
    const Request* request = nullptr;
    std::unique_ptr<Document> document;
    bool refused = false;
    bool empty = false;
    bool cancelledWhilePrinting = false; // the user stopped it after the panel
    GtkPageSetup* chosenSetup = nullptr; // the page setup the user chose

    ~Operation()
    {
        if (chosenSetup)
            g_object_unref(chosenSetup);
    }
};

// The printable area on the sheet in the page's orientation, points. A page setup keeps its
// margins for the sheet upright (portrait); a landscape page is that sheet turned a quarter
// counter-clockwise, so its left margin is the sheet's bottom one and its top margin the
// sheet's left one (the reverse orientations turn the other way).
void PrintableArea(GtkPageSetup* setup, double& x, double& y, double& width, double& height)
{
    const double top = gtk_page_setup_get_top_margin(setup, GTK_UNIT_POINTS);
    const double bottom = gtk_page_setup_get_bottom_margin(setup, GTK_UNIT_POINTS);
    const double left = gtk_page_setup_get_left_margin(setup, GTK_UNIT_POINTS);
    const double right = gtk_page_setup_get_right_margin(setup, GTK_UNIT_POINTS);
    double horizontal = left + right, vertical = top + bottom;
    switch (gtk_page_setup_get_orientation(setup)) {
    case GTK_PAGE_ORIENTATION_LANDSCAPE:
        x = bottom, y = left;
        std::swap(horizontal, vertical);
        break;
    case GTK_PAGE_ORIENTATION_REVERSE_PORTRAIT:
        x = right, y = bottom;
        break;
    case GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE:
        x = top, y = right;
        std::swap(horizontal, vertical);
        break;
    default:
        x = left, y = top;
        break;
    }
    width = std::max(0.0, gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS) - horizontal);
    height = std::max(0.0, gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS) - vertical);
}

void ReadChoices(
    GtkPrintOperation* op, GtkPrintContext* context, const Request& request, Choices& choices)
{
    GtkPageSetup* setup = gtk_print_context_get_page_setup(context);
    choices.paperWidth = gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS);
    choices.paperHeight = gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS);
    PrintableArea(setup, choices.imageableX, choices.imageableY, choices.imageableWidth,
        choices.imageableHeight);
    GtkPageOrientation orientation = gtk_page_setup_get_orientation(setup);
    choices.landscape = orientation != GTK_PAGE_ORIENTATION_PORTRAIT;
    GtkPaperSize* paper = gtk_page_setup_get_paper_size(setup);
    const StandardPaper* standard
        = paper ? FindStandardPaperByGtkName(gtk_paper_size_get_name(paper)) : nullptr;
    if (!standard)
        standard = FindStandardPaper(choices.paperWidth, choices.paperHeight);
    if (standard)
        choices.paperName = standard->englishName;
    else if (paper)
        choices.paperName = gtk_paper_size_get_display_name(paper);
    choices.firstPage = request.firstPage;
    choices.lastPage = request.lastPage;
    if (GtkPrintSettings* settings = gtk_print_operation_get_print_settings(op)) {
        choices.copies = std::max(1, gtk_print_settings_get_n_copies(settings));
        if (const char* printer = gtk_print_settings_get_printer(settings))
            choices.printerName = printer;
        if (gtk_print_settings_get_print_pages(settings) == GTK_PRINT_PAGES_RANGES) {
            int count = 0;
            GtkPageRange* ranges = gtk_print_settings_get_page_ranges(settings, &count);
            if (ranges && count > 0) {
                choices.firstPage = ranges[0].start + 1;
                choices.lastPage = ranges[count - 1].end + 1;
            }
            g_free(ranges);
        }
    }
}

void OnBeginPrint(GtkPrintOperation* op, GtkPrintContext* context, gpointer data)
{
    auto* run = static_cast<Operation*>(data);
    Choices choices;
    ReadChoices(op, context, *run->request, choices);
    if (!run->chosenSetup)
        run->chosenSetup = gtk_page_setup_copy(gtk_print_context_get_page_setup(context));
    if (!run->delegate->Confirm(choices)) {
        run->refused = true;
        gtk_print_operation_cancel(op);
        return;
    }
    run->document = std::make_unique<Document>(choices.paperWidth, choices.paperHeight);
    run->delegate->Print(*run->document, choices);
    if (run->delegate->Cancelled()) {
        run->cancelledWhilePrinting = true;
        gtk_print_operation_cancel(op);
        return;
    }
    size_t pages = run->document->GetPageCount();
    if (pages == 0) {
        run->empty = true;
        gtk_print_operation_cancel(op);
        return;
    }
    gtk_print_operation_set_n_pages(op, int(std::min<size_t>(pages, 0x7FFFFFFF)));
}

void OnDrawPage(GtkPrintOperation* op, GtkPrintContext* context, gint page, gpointer data)
{
    auto* run = static_cast<Operation*>(data);
    if (run->delegate->Cancelled()) {
        run->cancelledWhilePrinting = true;
        gtk_print_operation_cancel(op);
        return;
    }
    if (run->document && page >= 0)
        run->document->ReplayPage(size_t(page), gtk_print_context_get_cairo_context(context));
}

GtkPaperSize* MakePaper(const Request& request)
{
    if (!(request.paperWidth > 0 && request.paperHeight > 0))
        return nullptr; // no size: the paper last chosen stays
    double w = std::min(request.paperWidth, request.paperHeight);
    double h = std::max(request.paperWidth, request.paperHeight);
    if (const StandardPaper* standard = FindStandardPaper(w, h))
        return gtk_paper_size_new(standard->gtkName);
    return gtk_paper_size_new_custom("vorantel-custom", "Anpassad", w, h, GTK_UNIT_POINTS);
}

} // namespace

Document::Document(double paperWidth, double paperHeight)
    : mPaperWidth(paperWidth)
    , mPaperHeight(paperHeight)
{
}

Document::~Document()
{
    if (mOpen)
        cairo_destroy(mOpen);
    for (cairo_surface_t* page : mPages)
        cairo_surface_destroy(page);
}

cairo_t* Document::BeginPage(int& error)
{
    error = 0;
    if (mOpen) {
        error = kErrorPageOpen;
        return nullptr;
    }
    // The whole sheet is recorded, margins included: what the printer cannot reach it leaves
    // out itself, and nothing moves when the margins change.
    cairo_rectangle_t extents { 0, 0, mPaperWidth, mPaperHeight };
    cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        error = kErrorCairo;
        return nullptr;
    }
    cairo_t* cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        error = kErrorCairo;
        return nullptr;
    }
    mPages.push_back(surface);
    mOpen = cr;
    return cr;
}

int Document::EndPage()
{
    if (!mOpen)
        return kErrorNoPage;
    cairo_status_t status = cairo_status(mOpen);
    cairo_destroy(mOpen);
    mOpen = nullptr;
    cairo_surface_t* page = mPages.back();
    cairo_surface_flush(page);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(page);
    if (status != CAIRO_STATUS_SUCCESS) {
        // A broken page is not printed.
        mPages.pop_back();
        cairo_surface_destroy(page);
        return kErrorCairo;
    }
    return 0;
}

void Document::ReplayPage(size_t i, cairo_t* cr) const
{
    if (i >= mPages.size() || !cr)
        return;
    cairo_save(cr);
    cairo_set_source_surface(cr, mPages[i], 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

Result Run(GtkWidget* owner, const Request& request, Delegate& delegate, std::string* error)
{
    GtkWindow* parent = nullptr;
    if (owner) {
        GtkWidget* top = gtk_widget_get_toplevel(owner);
        if (top && gtk_widget_is_toplevel(top) && GTK_IS_WINDOW(top))
            parent = GTK_WINDOW(top);
    }
    Shared& shared = GetShared();
    GtkPrintOperation* op = gtk_print_operation_new();
    gtk_print_operation_set_job_name(op, request.jobName.c_str());
    gtk_print_operation_set_unit(op, GTK_UNIT_POINTS);
    gtk_print_operation_set_embed_page_setup(op, TRUE);
    // Pages are drawn on the paper's coordinates: a design lands where the PDF export and the
    // preview put it on the sheet, whatever margins the printer or the page setup report.
    gtk_print_operation_set_use_full_page(op, TRUE);

    GtkPrintSettings* settings = gtk_print_settings_copy(shared.settings);
    if (request.firstPage <= 1 && request.lastPage >= 65535) {
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_ALL);
    } else {
        GtkPageRange range { std::max(0, request.firstPage - 1),
            std::max(std::max(0, request.firstPage - 1), request.lastPage - 1) };
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_RANGES);
        gtk_print_settings_set_page_ranges(settings, &range, 1);
    }
    gtk_print_operation_set_print_settings(op, settings);
    g_object_unref(settings);

    GtkPageSetup* setup = gtk_page_setup_copy(shared.pageSetup);
    if (GtkPaperSize* paper = MakePaper(request)) {
        gtk_page_setup_set_paper_size_and_default_margins(setup, paper);
        gtk_paper_size_free(paper);
    }
    gtk_page_setup_set_orientation(
        setup, request.landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE : GTK_PAGE_ORIENTATION_PORTRAIT);
    gtk_print_operation_set_default_page_setup(op, setup);
    g_object_unref(setup);

    Operation run;
    run.delegate = &delegate;
    run.request = &request;
    g_signal_connect(op, "begin-print", G_CALLBACK(OnBeginPrint), &run);
    g_signal_connect(op, "draw-page", G_CALLBACK(OnDrawPage), &run);

    GError* gerror = nullptr;
    GtkPrintOperationResult result
        = gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG, parent, &gerror);
    // The job may still be on its way to the printer.
    while (result == GTK_PRINT_OPERATION_RESULT_APPLY && !gtk_print_operation_is_finished(op))
        g_main_context_iteration(nullptr, TRUE);

    Result outcome = Result::Cancelled;
    if (result == GTK_PRINT_OPERATION_RESULT_ERROR) {
        outcome = Result::Failed;
        if (error)
            *error = gerror && gerror->message ? gerror->message : "print failed";
    } else if (run.cancelledWhilePrinting) {
        outcome = Result::Cancelled;
    } else if (run.refused) {
        outcome = Result::Refused;
    } else if (run.empty) {
        outcome = Result::Printed;
    } else if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
        outcome = gtk_print_operation_get_status(op) == GTK_PRINT_STATUS_FINISHED_ABORTED
            ? Result::Failed
            : Result::Printed;
        if (outcome == Result::Failed && error)
            *error = gtk_print_operation_get_status_string(op);
    }
    // What the user chose is kept for the next print, even when the print was refused.
    if (result == GTK_PRINT_OPERATION_RESULT_APPLY || run.refused || run.empty) {
        if (GtkPrintSettings* chosen = gtk_print_operation_get_print_settings(op)) {
            g_object_unref(shared.settings);
            shared.settings = gtk_print_settings_copy(chosen);
        }
        if (run.chosenSetup) {
            g_object_unref(shared.pageSetup);
            shared.pageSetup = gtk_page_setup_copy(run.chosenSetup);
        }
    }
    if (gerror)
        g_error_free(gerror);
    g_object_unref(op);
    return outcome;
}

void SharedSettingSet(const char* key, const char* value)
{
    gtk_print_settings_set(GetShared().settings, key, value);
}

std::string SharedSettingGet(const char* key)
{
    const char* value = gtk_print_settings_get(GetShared().settings, key);
    return value ? value : "";
}

void SharedReset()
{
    Shared& shared = GetShared();
    g_object_unref(shared.settings);
    g_object_unref(shared.pageSetup);
    shared.settings = gtk_print_settings_new();
    shared.pageSetup = gtk_page_setup_new();
}

std::string StandardPaperName(double width, double height)
{
    const StandardPaper* paper = FindStandardPaper(width, height);
    return paper ? paper->englishName : "";
}

} // namespace platform::print
