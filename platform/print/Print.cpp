#include "platform/print/Print.h"

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
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
    GtkPrintSettings* settings, GtkPageSetup* setup, const Request& request, Choices& choices)
{
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
    if (settings) {
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

// The format the printer takes: PDF where it does, else PostScript; the print-to-file printer
// takes the one chosen in the panel (it says it takes only that one), which may be SVG. False
// when the printer takes none of them.
bool FormatFor(GtkPrinter* printer, GtkPrintSettings* settings, Sheets::Format& format)
{
    if (gtk_printer_accepts_pdf(printer)) {
        format = Sheets::Format::PDF;
        return true;
    }
    if (gtk_printer_accepts_ps(printer)) {
        format = Sheets::Format::PostScript;
        return true;
    }
    const char* named = gtk_print_settings_get(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT);
    if (named && std::strcmp(named, "svg") == 0) {
        format = Sheets::Format::SVG;
        return true;
    }
    return false;
}

// How the pages go onto the sheets: what the job leaves to the application (the print system
// has taken the rest from the settings when the job was made).
Sheets SheetsFor(GtkPrintJob* job, GtkPrintSettings* settings, GtkPageSetup* setup)
{
    Sheets sheets;
    GtkPaperSize* paper = gtk_page_setup_get_paper_size(setup);
    sheets.paperWidth = gtk_paper_size_get_width(paper, GTK_UNIT_POINTS);
    sheets.paperHeight = gtk_paper_size_get_height(paper, GTK_UNIT_POINTS);
    sheets.pageWidth = gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS);
    sheets.pageHeight = gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS);
    switch (gtk_page_setup_get_orientation(setup)) {
    case GTK_PAGE_ORIENTATION_LANDSCAPE:
        sheets.orientation = 1;
        break;
    case GTK_PAGE_ORIENTATION_REVERSE_PORTRAIT:
        sheets.orientation = 2;
        break;
    case GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE:
        sheets.orientation = 3;
        break;
    default:
        sheets.orientation = 0;
        break;
    }
    sheets.turn = gtk_print_job_get_rotate(job);
    sheets.scale = gtk_print_job_get_scale(job);
    sheets.copies = std::max(1, gtk_print_job_get_num_copies(job));
    sheets.collate = gtk_print_job_get_collate(job);
    switch (gtk_print_job_get_page_set(job)) {
    case GTK_PAGE_SET_EVEN:
        sheets.pageSet = 1;
        break;
    case GTK_PAGE_SET_ODD:
        sheets.pageSet = 2;
        break;
    default:
        sheets.pageSet = 0;
        break;
    }
    if (gtk_print_job_get_pages(job) == GTK_PRINT_PAGES_RANGES) {
        int count = 0;
        GtkPageRange* ranges = gtk_print_job_get_page_ranges(job, &count);
        for (int i = 0; ranges && i < count; ++i)
            sheets.ranges.emplace_back(ranges[i].start, ranges[i].end);
        // A range that chooses nothing chooses nothing: no page is printed.
        if (sheets.ranges.empty())
            sheets.ranges.emplace_back(-1, -1);
    }
    const double lpi = gtk_print_settings_get_printer_lpi(settings);
    sheets.fallbackResolution = lpi > 0 ? 2 * lpi : 300;
    return sheets;
}

// The end of a job's hand-over to the print system.
struct Sent {
    bool done = false;
    std::string error;
};

void OnSent(GtkPrintJob*, gpointer data, const GError* error)
{
    auto* sent = static_cast<Sent*>(data);
    if (error)
        sent->error = error->message ? error->message : "?";
    sent->done = true;
}

// Hands the finished document to the print system and waits, the loop turning, until it has
// taken it: "" or the reason it did not, in Swedish.
std::string Send(GtkPrintJob* job, const Document& document)
{
    GError* gerror = nullptr;
    if (!gtk_print_job_set_source_fd(job, document.GetFileDescriptor(), &gerror)) {
        std::string text = FailureText(std::string("utskriftsfilen kunde inte lämnas till "
                                                   "skrivaren (")
            + (gerror && gerror->message ? gerror->message : "?") + ").");
        if (gerror)
            g_error_free(gerror);
        return text;
    }
    Sent sent;
    gtk_print_job_send(job, OnSent, &sent, nullptr);
    while (!sent.done)
        g_main_context_iteration(nullptr, TRUE);
    if (!sent.error.empty())
        return FailureText("skrivaren tog inte emot utskriften (" + sent.error + ").");
    if (gtk_print_job_get_status(job) == GTK_PRINT_STATUS_FINISHED_ABORTED)
        return FailureText("skrivaren avbröt utskriften.");
    return "";
}

// Whether the printer is a queue of the CUPS server (GTK's CUPS back end).
bool IsCupsPrinter(GtkPrinter* printer)
{
    GtkPrintBackend* backend = gtk_printer_get_backend(printer);
    return backend && std::strcmp(G_OBJECT_TYPE_NAME(backend), "GtkPrintBackendCups") == 0;
}

// The job options GTK would give CUPS: the settings it keeps for the CUPS queue under "cups-",
// less those that would scale, fit or tile the page.
constexpr const char kCupsPrefix[] = "cups-";

void AddCupsOption(const gchar* key, const gchar* value, gpointer data)
{
    if (!key || !value || std::strncmp(key, kCupsPrefix, sizeof kCupsPrefix - 1) != 0
        || std::strcmp(value, "gtk-ignore-value") == 0
        || IsLayoutChangingOption(key + sizeof kCupsPrefix - 1))
        return;
    static_cast<std::vector<std::pair<std::string, std::string>>*>(data)->emplace_back(
        key + sizeof kCupsPrefix - 1, value);
}

// The settings that would have the print system scale, fit or tile the page, GTK's own and those
// it keeps for a CUPS queue, are dropped: the page is printed on the sheet as it is.
void DropLayoutChangingSettings(GtkPrintSettings* settings)
{
    std::vector<std::string> keys { GTK_PRINT_SETTINGS_NUMBER_UP,
        GTK_PRINT_SETTINGS_NUMBER_UP_LAYOUT };
    gtk_print_settings_foreach(
        settings,
        [](const gchar* key, const gchar*, gpointer data) {
            if (key && std::strncmp(key, kCupsPrefix, sizeof kCupsPrefix - 1) == 0
                && IsLayoutChangingOption(key + sizeof kCupsPrefix - 1))
                static_cast<std::vector<std::string>*>(data)->emplace_back(key);
        },
        &keys);
    for (const std::string& key : keys)
        gtk_print_settings_unset(settings, key.c_str());
}

// Hands the document to the CUPS queue on a thread, the window answering and the user able to
// stop it (Cancelled; no job left to print); a refusal is told in failure. unknown: the server has
// no such queue, and nothing was sent.
Result SendToCupsQueue(GtkPrintJob* job, GtkPrinter* printer, Sheets::Format format,
    const std::shared_ptr<Document>& document, Delegate& delegate, std::string& failure,
    bool& unknown)
{
    struct State {
        CupsJob job;
        std::shared_ptr<Document> document; // holds the file open
        std::string failure;
        bool stopped = false;
        bool unknown = false;
        int handedOver = 0; // the job that holds the whole document
        bool takenBack = false; // its cancel was tried
        bool cancelled = false; // and it will not print
        std::atomic<bool> ended { false };

        void TakeBack(const HandOverStop& stop)
        {
            takenBack = true;
            cancelled = CancelCupsJob(job.printer, handedOver, stop);
        }
    };
    auto state = std::make_shared<State>();
    state->job.printer = gtk_printer_get_name(printer);
    const gchar* title = gtk_print_job_get_title(job);
    state->job.title = title ? title : "";
    state->job.format
        = format == Sheets::Format::PDF ? "application/pdf" : "application/postscript";
    gtk_print_settings_foreach(gtk_print_job_get_settings(job), AddCupsOption, &state->job.options);
    // One page to a sheet, whatever the queue would do by default.
    state->job.options.emplace_back("number-up", "1");
    state->job.fd = document->GetFileDescriptor();
    state->document = document;
    const bool done = delegate.HandOver([state](const HandOverStop& stop) {
        state->failure
            = SendToCups(state->job, stop, state->stopped, &state->unknown, &state->handedOver);
        state->document.reset();
        if (state->handedOver > 0 && stop.Stopped())
            state->TakeBack(stop);
        state->ended.store(true, std::memory_order_release);
    });
    // The quit ended the wait before the hand-over ended: the hand-over gives up on its own.
    if (!state->ended.load(std::memory_order_acquire))
        return Result::Cancelled;
    // Stopped as the hand-over ended, the print system holding the print: it is taken back.
    if (!done && state->handedOver > 0 && !state->takenBack) {
        state->ended.store(false, std::memory_order_release);
        delegate.HandOver([state](const HandOverStop& stop) {
            state->TakeBack(stop);
            state->ended.store(true, std::memory_order_release);
        });
        if (!state->ended.load(std::memory_order_acquire))
            return Result::Cancelled;
    }
    if (state->takenBack) {
        if (state->cancelled)
            return Result::Cancelled;
        failure = "Utskriften hade redan lämnats till utskriftssystemet och kunde inte avbrytas.";
        return Result::HandedOver;
    }
    if (!done || state->stopped)
        return Result::Cancelled;
    unknown = state->unknown;
    failure = state->failure;
    return failure.empty() ? Result::Printed : Result::Failed;
}

// After a print handed to GTK for a printer the server did not know: false when the server still
// has no such queue (the print reached none).
bool QueueAfterGtk(GtkPrinter* printer, Delegate& delegate)
{
    struct State {
        std::string printer;
        std::atomic<bool> exists { true };
    };
    auto state = std::make_shared<State>();
    state->printer = gtk_printer_get_name(printer);
    delegate.HandOver([state](const HandOverStop& stop) {
        state->exists.store(CupsQueueExists(state->printer, stop), std::memory_order_release);
    });
    return state->exists.load(std::memory_order_acquire);
}

// GTK's panel offers pages per sheet and their order for the print system's queues; a label sheet
// is printed one page to a sheet, as it is, so the panel does not offer them. The controls and
// their labels are found by the names the panel's own description gives the controls.
bool IsTilingControl(GtkWidget* widget)
{
    const char* name
        = GTK_IS_BUILDABLE(widget) ? gtk_buildable_get_name(GTK_BUILDABLE(widget)) : nullptr;
    return name
        && (std::strcmp(name, "pages_per_sheet") == 0
            || std::strcmp(name, "number_up_layout") == 0);
}

void HideTilingControls(GtkWidget* widget, gpointer)
{
    GtkWidget* target
        = GTK_IS_LABEL(widget) ? gtk_label_get_mnemonic_widget(GTK_LABEL(widget)) : nullptr;
    if (IsTilingControl(widget) || (target && IsTilingControl(target)))
        gtk_widget_hide(widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), HideTilingControls, nullptr);
}

} // namespace

Result Run(GtkWidget* owner, const Request& request, Delegate& delegate, std::string* error)
{
    GtkWindow* parent = nullptr;
    if (owner) {
        GtkWidget* top = gtk_widget_get_toplevel(owner);
        if (top && gtk_widget_is_toplevel(top) && GTK_IS_WINDOW(top))
            parent = GTK_WINDOW(top);
    }
    Shared& shared = GetShared();
    GtkPrintSettings* settings = gtk_print_settings_copy(shared.settings);
    // One page to a sheet whatever the queue would do by default: the panel's picture of the
    // sheet shows it so.
    gtk_print_settings_set_number_up(settings, 1);
    if (request.firstPage <= 1 && request.lastPage >= 65535) {
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_ALL);
    } else {
        GtkPageRange range { std::max(0, request.firstPage - 1),
            std::max(std::max(0, request.firstPage - 1), request.lastPage - 1) };
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_RANGES);
        gtk_print_settings_set_page_ranges(settings, &range, 1);
    }
    GtkPageSetup* setup = gtk_page_setup_copy(shared.pageSetup);
    if (GtkPaperSize* paper = MakePaper(request)) {
        gtk_page_setup_set_paper_size_and_default_margins(setup, paper);
        gtk_paper_size_free(paper);
    }
    gtk_page_setup_set_orientation(
        setup, request.landscape ? GTK_PAGE_ORIENTATION_LANDSCAPE : GTK_PAGE_ORIENTATION_PORTRAIT);

    // The panel. Copies, the pages chosen by range or as odd or even, and the scale are made
    // here where the printer does not make them; pages per sheet (and their order), reverse
    // order and a preview of the print system's own are not offered (the print preview is the
    // application's).
    GtkWidget* panel = gtk_print_unix_dialog_new(nullptr, parent);
    GtkPrintUnixDialog* dialog = GTK_PRINT_UNIX_DIALOG(panel);
    gtk_print_unix_dialog_set_manual_capabilities(dialog,
        GtkPrintCapabilities(GTK_PRINT_CAPABILITY_PAGE_SET | GTK_PRINT_CAPABILITY_COPIES
            | GTK_PRINT_CAPABILITY_COLLATE | GTK_PRINT_CAPABILITY_SCALE));
    gtk_print_unix_dialog_set_settings(dialog, settings);
    gtk_print_unix_dialog_set_page_setup(dialog, setup);
    gtk_print_unix_dialog_set_embed_page_setup(dialog, TRUE);
    HideTilingControls(panel, nullptr);
    g_object_unref(settings);
    g_object_unref(setup);
    const gint response
        = request.runDialog ? request.runDialog(panel) : gtk_dialog_run(GTK_DIALOG(panel));
    GtkPrinter* printer = response == GTK_RESPONSE_OK
        ? gtk_print_unix_dialog_get_selected_printer(dialog)
        : nullptr;
    if (!printer) {
        gtk_widget_destroy(panel);
        return Result::Cancelled;
    }
    g_object_ref(printer);
    GtkPrintSettings* chosen = gtk_print_unix_dialog_get_settings(dialog);
    GtkPageSetup* chosenSetup = gtk_page_setup_copy(gtk_print_unix_dialog_get_page_setup(dialog));
    gtk_widget_destroy(panel);
    // What the user chose is kept for the next print, whatever comes of this one.
    g_object_unref(shared.settings);
    shared.settings = gtk_print_settings_copy(chosen);
    g_object_unref(shared.pageSetup);
    shared.pageSetup = gtk_page_setup_copy(chosenSetup);

    DropLayoutChangingSettings(chosen);

    Result outcome = Result::Printed;
    std::string failure;
    Choices choices;
    ReadChoices(chosen, chosenSetup, request, choices);
    GtkPrintJob* job = nullptr;
    Sheets::Format format = Sheets::Format::PDF;
    if (!delegate.Confirm(choices)) {
        outcome = Result::Refused;
    } else if (!FormatFor(printer, chosen, format)) {
        outcome = Result::Failed;
        failure = FailureText("skrivaren tar inte emot PDF eller PostScript.");
    } else {
        job = gtk_print_job_new(request.jobName.c_str(), printer, chosen, chosenSetup);
        Sheets sheets = SheetsFor(job, chosen, chosenSetup);
        sheets.format = format;
        const gchar* tmp = g_get_tmp_dir();
        auto document = std::make_shared<Document>(sheets, tmp ? tmp : "/tmp");
        if (!document->IsValid()) {
            outcome = Result::Failed;
            failure = document->GetErrorText();
        } else {
            outcome = delegate.Print(document, choices, failure);
            // A document without a sheet (the pages chosen are not in it) is not printed.
            if (outcome == Result::Printed && document->GetSheetCount() == 0) {
                outcome = Result::Failed;
                failure = FailureText("ingen av de valda sidorna finns i utskriften.");
            } else if (outcome == Result::Printed) {
                const bool cups = IsCupsPrinter(printer) && CupsAvailable();
                bool gtk = !cups;
                if (!gtk)
                    outcome
                        = SendToCupsQueue(job, printer, format, document, delegate, failure, gtk);
                // A printer that is not (yet) a queue of the server goes through GTK, which has
                // the server set one up for it; a print that reached no queue that way is told.
                if (gtk) {
                    failure = Send(job, *document);
                    if (failure.empty() && cups && !QueueAfterGtk(printer, delegate))
                        failure = QueueGoneText();
                }
                if (!failure.empty() && outcome != Result::HandedOver)
                    outcome = Result::Failed;
            }
        }
        // The print system is done with the file; a document still being let go of on another
        // thread is that thread's to destroy.
        g_object_unref(job);
    }
    if (outcome == Result::HandedOver && error)
        *error = failure;
    if (outcome == Result::Failed && error)
        *error = failure.empty() ? FailureText("okänt fel.") : failure;
    g_object_unref(chosen);
    g_object_unref(chosenSetup);
    g_object_unref(printer);
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
