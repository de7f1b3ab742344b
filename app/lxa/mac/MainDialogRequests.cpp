// The requests of the command line and of later starts, as the main window carries them out.
//
// A start (the requests of one command line) is read whole first; what cannot be read is refused
// at once. Otherwise it is taken: the asker hears so, and keeps hearing what the start waits for
// until its outcome comes. Starts run one after the other, the start's own first. Once taken, its
// files are checked on a worker (texts whole, pictures as far as their headers); a start that
// waits for the user (a dialog in the way) has its pictures, projects and layouts read whole on a
// worker as well (nothing of them kept) before the asker is told that it will be carried out
// later, so that it is never told so of a start that then fails on a file. In its turn a start
// is read whole before any of its requests is carried out: its projects and layouts are loaded,
// its texts read and its pictures decoded (under their progress window), their errors and
// warnings caught rather than shown. What cannot be read (also a file changed since it was read
// aside) refuses the whole start, nothing of it done. Then its requests are carried out one for
// each turn of the main loop, so that the window answers in between. A request that fails then
// (the user closed the project, or kept the open one) ends the start: the asker and the window
// learn what failed and what had been done.
#include "app/lxa/mac/MainDialog.h"

#include "app/VTExport.h"
#include "app/VTLabelLayout.h"
#include "app/VTProjectFile.h"
#include "app/VTRequests.h"
#include "lfw/gen/LFormat.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/zor/LSingleInstance.h"
#include "platform/system/FileRead.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kRequestErrorTitle = "Begäran kunde inte utföras";
// The refusals an alert and a reply name one by one; the rest are counted.
constexpr size_t kMaxToldRefusals = 20;

std::string _RefusalText(const std::vector<std::string>& refusals)
{
    std::string text;
    for (size_t i = 0; i < refusals.size(); ++i) {
        if (i == kMaxToldRefusals) {
            text += "\n… och " + std::to_string(refusals.size() - i) + " till.";
            break;
        }
        text += (text.empty() ? "" : "\n") + refusals[i];
    }
    return text;
}

std::string _Name(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return "”" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "”";
}

// Why a file a request names cannot be read ("" when it can): missing, not a file, not readable.
std::string _FileRefusal(const std::string& path, bool mustHaveBytes, const char* missing)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return std::string(missing) + " " + _Name(path) + ".";
    if (!S_ISREG(st.st_mode))
        return _Name(path) + " är ingen fil.";
    if (mustHaveBytes && st.st_size == 0)
        return "Filen " + _Name(path) + " är tom.";
    const int fd = platform::system::OpenForReading(path.c_str());
    if (fd < 0)
        return "Det gick inte att läsa filen " + _Name(path) + ".";
    ::close(fd);
    return "";
}

// What a request's files say, checked on a worker: one sentence per fault, in order.
std::vector<std::string> _CheckFiles(const std::vector<VTRequest>& requests)
{
    std::vector<std::string> refusals;
    VTImageCodecVetoer vetoer;
    for (const VTRequest& r : requests) {
        std::string why;
        switch (r.kind) {
        case VTRequestKind::kNew:
            break;
        case VTRequestKind::kOpen:
        case VTRequestKind::kCustom:
            why = _FileRefusal(r.value, false, "Det gick inte att hitta filen");
            break;
        case VTRequestKind::kAddText: {
            LStringLongTemplate<char> text;
            const auto refusal = MainDialog::CheckOverlayText(r.value.c_str(), text);
            why = MainDialog::TextFileRefusalText(refusal, r.value.c_str());
            break;
        }
        case VTRequestKind::kAddImage: {
            struct stat st = {};
            if (::stat(r.value.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0)) {
                why = "Det gick inte att hitta bilden " + _Name(r.value) + " eller så är den tom.";
                break;
            }
            why = _FileRefusal(r.value, true, "Det gick inte att hitta bilden");
            std::string reader;
            if (why.empty() && !LImage::ProbeFile(r.value.c_str(), &vetoer, reader))
                why = "Bilden " + _Name(r.value) + " kan inte läsas in: " + reader;
            break;
        }
        }
        if (!why.empty())
            refusals.push_back(why);
    }
    return refusals;
}

// A job run for a request under its progress window: its errors are kept for the request,
// not shown. A job that succeeds with one has a warning.
template <class T> class RequestJobDialog : public LProcessDialog<T> {
public:
    RequestJobDialog(const char* title, T& job)
        : LProcessDialog<T>(title, job)
    {
    }
    void SetError(const char* text) override
    {
        if (text && *text)
            said += (said.empty() ? "" : "\n") + std::string(text);
    }
    std::string said;
};

// What is in the way of a request now: nothing, a wait of the program's own, its work under a
// progress window, or a window that waits for the user (with its name where it has one).
struct InTheWay {
    bool any = false;
    bool user = false;
    std::string name;
};

InTheWay _WhatIsInTheWay()
{
    InTheWay way;
    way.any = LModalLoop::Busy();
    if (!way.any)
        return way;
    if (std::string headline = LUiCurrentAlertHeadline(); !headline.empty()) {
        way.user = true;
        way.name = headline;
        return way;
    }
    if (LNativeWindow* modal = LModalLoop::ModalWindow()) {
        way.name = modal->Title();
        LCocoaWindow* window
            = modal->ContentView() ? LCocoaWindow::GetThisProperty(modal->ContentView()) : nullptr;
        way.user = !dynamic_cast<LProgressDialog*>(window);
        return way;
    }
    // A panel of the toolkit's own (a file chooser) is counted, a wait of the program is not.
    way.user = LModalCounter::Count() > 0;
    return way;
}

// Why a project or a layout a start names could not be loaded (told: what could not be done), in
// the words of its job (said, its errors one to a line) or, when it said nothing, in general ones.
std::string _UnreadText(const char* told, const std::string& path, LProcessResult result,
    const std::string& said, const char* general)
{
    const std::string why = result == LProcessResultStopped ? "Inläsningen avbröts."
                                                            : (said.empty() ? general : said);
    return told + _Name(path) + ": " + why;
}

std::string _ProjectUnreadText(
    const std::string& path, LProcessResult result, const std::string& said)
{
    return _UnreadText("Det gick inte att läsa in projektfilen ", path, result, said,
        "Projektfilen kunde inte läsas.");
}

std::string _LayoutUnreadText(
    const std::string& path, LProcessResult result, const std::string& said)
{
    return _UnreadText("Det gick inte att läsa etikettlayouten ", path, result, said,
        "Etikettlayouten kunde inte läsas.");
}

// A job's interface on a worker that reports nothing but its errors and stops when told to.
class ReadAsideInterface : public LProcessInterfaceVoid {
public:
    explicit ReadAsideInterface(std::shared_ptr<std::atomic<bool>> stop)
        : stop(std::move(stop))
    {
    }
    bool IsToStop() override { return stop->load(); }
    void SetError(const char* text) override
    {
        if (!text || !*text)
            return;
        if (error.empty())
            error = text;
        said += (said.empty() ? "" : "\n") + std::string(text);
    }
    std::shared_ptr<std::atomic<bool>> stop;
    std::string error; // the first
    std::string said; // all of them, as the window's job would tell them
};

// Why one of the files of the requests cannot be read whole ("" when all can, or when told to
// stop): its pictures decoded, its projects and layouts read as their loads read them, nothing of
// them kept. Off the window's thread.
std::string _ReadWholeAside(
    const std::vector<VTRequest>& requests, const std::shared_ptr<std::atomic<bool>>& stop)
{
    for (const VTRequest& r : requests) {
        ReadAsideInterface quiet(stop);
        LProcessResult result = LProcessResultSuccess;
        std::string why;
        switch (r.kind) {
        case VTRequestKind::kAddImage: {
            VTProcessPictureFileRead read;
            read.path = r.value;
            read.checkOnly = true;
            result = Process(quiet, read);
            if (result == LProcessResultError)
                why = "Bilden " + _Name(r.value) + " kan inte läsas in: "
                    + (quiet.error.empty() ? "Det gick inte att läsa in bilden." : quiet.error);
            break;
        }
        case VTRequestKind::kOpen: {
            VTProject scratch;
            VTProjectLoad load;
            load.project = &scratch;
            load.checkOnly = true;
            std::snprintf(load.path, sizeof load.path, "%s", r.value.c_str());
            result = Process(quiet, load);
            if (result == LProcessResultSuccess && !scratch.GetLabelLayout())
                result = LProcessResultError;
            if (result == LProcessResultError)
                why = _ProjectUnreadText(r.value, result, quiet.said);
            break;
        }
        case VTRequestKind::kCustom: {
            VTLabelLayout scratch;
            VTLabelLayoutLoad load;
            load.layout = &scratch;
            std::snprintf(load.path, sizeof load.path, "%s", r.value.c_str());
            result = Process(quiet, load);
            if (result == LProcessResultError)
                why = _LayoutUnreadText(r.value, result, quiet.said);
            break;
        }
        case VTRequestKind::kNew:
        case VTRequestKind::kAddText:
            break;
        }
        if (stop->load() || result == LProcessResultStopped)
            return "";
        if (!why.empty())
            return why;
    }
    return "";
}

// Whether a request names a file that is read whole aside before its start is told that it will
// be carried out later.
bool _ReadAsideFirst(const VTRequest& r)
{
    return r.kind == VTRequestKind::kAddImage || r.kind == VTRequestKind::kOpen
        || r.kind == VTRequestKind::kCustom;
}

std::string _WaitsForText(const InTheWay& way)
{
    if (way.name.empty())
        return "Begäran väntar tills en dialogruta i Vorantel har stängts och utförs sedan. Hur "
               "det gick visas i Vorantel.";
    return "Begäran väntar tills ”" + way.name
        + "” i Vorantel har stängts och utförs sedan. Hur det gick visas i Vorantel.";
}

} // namespace

struct MainDialog::Start {
    enum class Phase { kWaiting, kLoading, kCarrying };
    Phase phase = Phase::kWaiting;
    std::vector<VTRequest> requests;
    std::shared_ptr<LZORAPIReply> reply; // null: nobody waits (the start's own request)
    bool own = false;
    bool held = false; // came while the unsaved question of a quit was open
    bool filesChecked = false; // the worker has read its files
    // What the check loaded, by the request's index.
    std::map<size_t, std::unique_ptr<VTProject>> projects;
    std::map<size_t, std::unique_ptr<VTLabelLayout>> layouts;
    // What was read before any request was carried out, by the request's index: the texts and
    // the pictures (decoded, with the source of their screen copies and their overlay's name).
    std::map<size_t, std::string> texts;
    struct Picture {
        LImageBuffer picture, screenSource;
        std::string name;
    };
    std::map<size_t, Picture> pictures;
    // While it waits for the user its pictures, projects and layouts are read whole on a worker
    // (readAside once they all could be); stopReadingAside ends that reading when it no longer
    // waits.
    bool readAside = false;
    std::shared_ptr<std::atomic<bool>> stopReadingAside;
    ~Start()
    {
        if (stopReadingAside)
            stopReadingAside->store(true);
    }
    // Warnings of requests carried out all the same: the title of the job that gave each, its
    // words (as the window shows them) and what the asker is told.
    struct Warning {
        std::string title, said, told;
    };
    std::vector<Warning> warnings;
    size_t next = 0; // the request carried out next
    VTProject* project = nullptr; // the project the start works on
    bool stepPosted = false; // its next request waits in the main loop's queue
};

// ---- Taking a start ---------------------------------------------------------------------------

int MainDialog::EvAPICommand(int argc, const char* const* argv, char* reply)
{
    LStringFormat(reply, kLZORAPIReplySize, "OK");
    welcomeAllowed = false;
    if (argc < 1 || !argv)
        return 0;
    std::shared_ptr<LZORAPIReply> answer = LZORAPICurrentReply();
    if (quitConfirmed || IsDestroyed()) {
        LStringFormat(reply, kLZORAPIReplySize, "%s", kLSingleInstanceClosingText);
        return 1;
    }
    // What can be known without the files is checked first: a refusal is answered at once.
    auto start = std::make_shared<Start>();
    std::vector<std::string> refusals;
    if (!VTRequestsRead(argc, argv, start->requests, refusals))
        return _RefuseRequest(refusals, reply);
    start->reply = answer;
    start->own = IsStartRequest();
    // Asked while the last question before quitting is open, or while a quit waits for the
    // starts before this one: it waits for the answer.
    start->held = askingToQuit || quitWhenDone;
    if (answer)
        answer->Progress(start->held
                ? "Vorantel frågar om ändringarna ska sparas innan programmet avslutas. Begäran "
                  "utförs om programmet inte avslutas."
                : "Vorantel utför begäran.");
    if (start->own)
        starts.push_front(start);
    else
        starts.push_back(start);
    _CheckStartFiles(start);
    _TellWaiting();
    return 0;
}

bool MainDialog::EvAPIKeyTakesFile(const char* key) const
{
    return VTRequestKeyTakesFile(key);
}

bool MainDialog::IsStartRequestRunning() const
{
    if (runningStart && runningStart->own)
        return true;
    for (const auto& s : starts)
        if (s->own)
            return true;
    return false;
}

int MainDialog::_RefuseRequest(const std::vector<std::string>& refusals, char* reply)
{
    const std::string text = _RefusalText(refusals);
    LStringFormat(reply, kLZORAPIReplySize, "%s", text.c_str());
    // The instance that asked learns it at once, whatever the window shows; the window tells it
    // as soon as no other window is in the way.
    if (auto answer = LZORAPICurrentReply())
        answer->Finish(-1, reply);
    RunWhenNoModal([this, text] { PopupBoxWarning(text.c_str(), kRequestErrorTitle); });
    return -1;
}

void MainDialog::_RefuseStart(Start& start, const std::string& text, bool tellWindow)
{
    if (start.reply)
        start.reply->Finish(-1, text.c_str());
    if (tellWindow)
        RunWhenNoModal([this, text] { PopupBoxWarning(text.c_str(), kRequestErrorTitle); });
}

void MainDialog::_RefuseWaitingStart(const std::shared_ptr<Start>& start, const std::string& text)
{
    starts.erase(std::remove(starts.begin(), starts.end(), start), starts.end());
    _RefuseStart(*start, text);
    if (start->own)
        StartRequestFinished();
    _NextStart();
    _TellWaiting();
    _QuitIfDone();
}

// ---- Its turn ---------------------------------------------------------------------------------

void MainDialog::_StartsTimer(LRunLoopTimer*, void* data)
{
    auto* self = static_cast<MainDialog*>(data);
    if (self->IsDestroyed())
        return;
    self->_TellWaiting();
    const std::shared_ptr<Start> running = self->runningStart;
    if (!running)
        self->_NextStart();
    else if (running->phase == Start::Phase::kCarrying && !running->stepPosted)
        self->_StartStep();
}

void MainDialog::_CheckStartFiles(const std::shared_ptr<Start>& start)
{
    // The files are read on a worker, as soon as the start is taken: what cannot be read is
    // refused at once, also while the start waits for its turn. What the worker found comes back
    // through the main loop; the worker holds only its own copy of the requests.
    std::weak_ptr<Start> weak = start;
    std::thread([requests = start->requests, weak, this] {
        auto refusals = std::make_shared<std::vector<std::string>>(_CheckFiles(requests));
        LRunLoop::Post([weak, refusals, this] {
            // The window lives while it holds the start.
            std::shared_ptr<Start> start = weak.lock();
            if (!start || IsDestroyed())
                return;
            start->filesChecked = true;
            if (!refusals->empty()) {
                _RefuseWaitingStart(start, _RefusalText(*refusals));
                return;
            }
            _NextStart();
            _TellWaiting();
            _QuitIfDone();
        });
    }).detach();
}

void MainDialog::_NextStart()
{
    if (runningStart || IsDestroyed())
        return;
    // The first start that is not held for the quit question, once its files are checked.
    auto it = starts.begin();
    while (it != starts.end() && (*it)->held)
        ++it;
    if (it == starts.end() || !(*it)->filesChecked)
        return;
    // The start's own request goes first; the others wait for it, and for every window, wait
    // and piece of work that runs.
    if (_MustWait() || (!(*it)->own && !IsStartRequestDone()) || askingToQuit) {
        startsTimer.Arm(100);
        return;
    }
    runningStart = *it;
    starts.erase(it);
    runningStart->phase = Start::Phase::kLoading;
    // Its turn: what is read aside is read again, whole, under the window's eyes.
    if (runningStart->stopReadingAside)
        runningStart->stopReadingAside->store(true);
    // In a turn of the loop of its own: loading runs progress windows.
    std::weak_ptr<Start> weak = runningStart;
    LRunLoop::Post([weak, this] {
        if (std::shared_ptr<Start> start = weak.lock())
            _StartChecked(start);
    });
}

void MainDialog::_StartChecked(const std::shared_ptr<Start>& start)
{
    if (IsDestroyed() || runningStart != start)
        return;
    // Projects and layouts are loaded now, whole, before anything is done.
    std::string refusal;
    bool stopped = false; // by the user, with "Avbryt" of a progress window
    {
        LZORAPIReplyScope current(start->reply);
        ++busy;
        for (size_t i = 0; i < start->requests.size() && refusal.empty(); ++i)
            refusal = _LoadForStart(*start, i, stopped);
        --busy;
    }
    if (IsDestroyed() || runningStart != start)
        return;
    // Whether there is a project to add to when the additions come.
    std::vector<std::string> refusals;
    if (refusal.empty())
        _CheckRequests(start->requests, true, refusals);
    else
        refusals.push_back(refusal);
    // Every file is read whole before anything is done.
    if (refusals.empty()) {
        ++busy;
        refusal = _ReadForStart(*start, stopped);
        --busy;
        if (IsDestroyed() || runningStart != start)
            return;
        if (!refusal.empty())
            refusals.push_back(refusal);
    }
    if (!refusals.empty()) {
        // The sender is told; the window not, when its user stopped the loading there.
        _RefuseStart(*start, _RefusalText(refusals), !stopped);
        _EndStart(false);
        return;
    }
    start->project = project;
    start->phase = Start::Phase::kCarrying;
    _StartStep();
}

std::string MainDialog::_LoadForStart(Start& start, size_t index, bool& stopped)
{
    const VTRequest& r = start.requests[index];
    if (r.kind == VTRequestKind::kOpen) {
        auto loaded = std::make_unique<VTProject>();
        VTProjectLoad record;
        record.project = loaded.get();
        std::snprintf(record.path, sizeof record.path, "%s", r.value.c_str());
        RequestJobDialog<VTProjectLoad> dialog("Laddar projekt", record);
        dialog.Open(GetContentView());
        stopped = dialog.result == LProcessResultStopped;
        if (dialog.result != LProcessResultSuccess || !loaded->GetLabelLayout())
            return _ProjectUnreadText(r.value, LProcessResult(dialog.result), dialog.said);
        if (!dialog.said.empty())
            start.warnings.push_back({ "Laddar projekt", dialog.said,
                "Projektfilen " + _Name(r.value) + " lästes in med en varning: " + dialog.said });
        start.projects[index] = std::move(loaded);
    } else if (r.kind == VTRequestKind::kCustom) {
        auto layout = std::make_unique<VTLabelLayout>();
        VTLabelLayoutLoad record;
        record.layout = layout.get();
        std::snprintf(record.path, sizeof record.path, "%s", r.value.c_str());
        RequestJobDialog<VTLabelLayoutLoad> dialog("Läsa in etikettlayout", record);
        dialog.Open(GetContentView());
        stopped = dialog.result == LProcessResultStopped;
        if (dialog.result != LProcessResultSuccess)
            return _LayoutUnreadText(r.value, LProcessResult(dialog.result), dialog.said);
        if (!dialog.said.empty())
            start.warnings.push_back({ "Läsa in etikettlayout", dialog.said,
                "Etikettlayouten " + _Name(r.value)
                    + " lästes in med en varning: " + dialog.said });
        start.layouts[index] = std::move(layout);
    }
    return "";
}

std::string MainDialog::_ReadForStart(Start& start, bool& stopped)
{
    std::vector<std::string> paths;
    std::vector<size_t> indices;
    for (size_t i = 0; i < start.requests.size(); ++i) {
        const VTRequest& r = start.requests[i];
        if (r.kind == VTRequestKind::kAddText) {
            // Read again: the file may have changed since it was checked.
            LStringLongTemplate<char> text;
            const TextFileRefusal refusal = CheckOverlayText(r.value.c_str(), text);
            if (refusal != TextFileRefusal::kNone)
                return TextFileRefusalText(refusal, r.value.c_str());
            start.texts[i] = text.GetString();
        } else if (r.kind == VTRequestKind::kAddImage) {
            paths.push_back(r.value);
            indices.push_back(i);
        }
    }
    if (paths.empty())
        return "";
    // The pictures are decoded on workers under their progress window, the loop turning; the
    // first that fails ends the reading. They are kept for their requests.
    auto outcome = std::make_shared<std::optional<VTPictureFilesAddOutcome>>();
    VTPictureFilesAdd reading(projectViewer, paths,
        [outcome](const VTPictureFilesAddOutcome& ended) { *outcome = ended; });
    reading.tellFailures = false;
    reading.stopAtFailure = true;
    reading.keep = [&start, &indices](size_t k, VTProcessPictureFileRead& read) {
        Start::Picture& kept = start.pictures[indices[k]];
        kept.picture = std::move(read.picture);
        kept.screenSource = std::move(read.screenSource);
        kept.name = read.name;
    };
    if (!reading.Start(GetContentView()))
        return "Bilden " + _Name(paths[0])
            + " kan inte läsas in: Det gick inte att läsa in bilden.";
    {
        LModalWait wait;
        while (!*outcome && !wait.Stopped())
            LRunLoop::RunOnce(true);
    }
    if (*outcome && (*outcome)->added == paths.size())
        return "";
    start.pictures.clear();
    stopped = !*outcome || (*outcome)->stopped;
    if (stopped)
        return "Tillägget av bilderna avbröts i Vorantel.";
    const std::string why
        = (*outcome)->error.empty() ? "Det gick inte att läsa in bilden." : (*outcome)->error;
    return "Bilden " + _Name(paths[std::min((*outcome)->added, paths.size() - 1)])
        + " kan inte läsas in: " + why;
}

void MainDialog::_CheckRequests(const std::vector<VTRequest>& requests, bool knowsState,
    std::vector<std::string>& refusals) const
{
    // Whether a project is open when the request comes to run.
    bool open = project != nullptr;
    for (const VTRequest& r : requests) {
        switch (r.kind) {
        case VTRequestKind::kOpen:
        case VTRequestKind::kCustom:
        case VTRequestKind::kNew:
            open = true;
            break;
        case VTRequestKind::kAddText:
            if (knowsState && !open)
                refusals.push_back(
                    "Inget projekt är öppet, så texten i " + _Name(r.value) + " lades inte till.");
            break;
        case VTRequestKind::kAddImage:
            if (knowsState && !open)
                refusals.push_back(
                    "Inget projekt är öppet, så bilden " + _Name(r.value) + " lades inte till.");
            break;
        }
    }
}

// ---- Carrying it out ----------------------------------------------------------------------------

void MainDialog::_StartStep()
{
    const std::shared_ptr<Start> start = runningStart;
    if (!start || IsDestroyed() || start->phase != Start::Phase::kCarrying)
        return;
    // A window the user opened meanwhile, or work of the window, goes first.
    if (_MustWait() || askingToQuit) {
        _TellWaiting();
        startsTimer.Arm(100);
        return;
    }
    LZORAPIReplyScope current(start->reply);
    const size_t i = start->next;
    if (i >= start->requests.size()) {
        _EndStart(true);
        return;
    }
    const VTRequest& r = start->requests[i];
    std::string failure;
    ++busy;
    // The project the start works on must still be the one open: the user may have closed or
    // replaced it between two requests.
    const bool adds = r.kind == VTRequestKind::kAddText || r.kind == VTRequestKind::kAddImage;
    if (adds && (!project || project != start->project)) {
        failure = "Projektet i Vorantel stängdes eller byttes medan begäran utfördes, så "
            + std::string(r.kind == VTRequestKind::kAddText ? "texten i " : "bilden ")
            + _Name(r.value) + " lades inte till.";
    } else {
        switch (r.kind) {
        case VTRequestKind::kOpen: {
            std::unique_ptr<VTProject>& loaded = start->projects[i];
            if (!loaded) {
                failure = "Projektfilen " + _Name(r.value) + " lästes inte in.";
            } else if (!CmProjectPromptUnsavedChanges()) {
                failure = "Projektet " + _Name(r.value)
                    + " öppnades inte, eftersom ändringarna i det öppna projektet inte fick "
                      "lämnas osparade.";
            } else {
                welcomeAllowed = false;
                _SetProject(loaded.release());
                RecentFileListAdd(r.value.c_str());
                UpdateCaption();
                EnableControls();
            }
            break;
        }
        case VTRequestKind::kNew:
        case VTRequestKind::kCustom: {
            VTLabelLayout* layout = r.kind == VTRequestKind::kNew ? VTRequestNewLayout(r.value)
                                                                  : start->layouts[i].release();
            if (!layout)
                failure = "Det gick inte att skapa ett nytt projekt av typ " + r.value;
            else if (!CmNewDocument(layout))
                failure = "Det nya projektet skapades inte, eftersom ändringarna i det öppna "
                          "projektet inte fick lämnas osparade.";
            break;
        }
        case VTRequestKind::kAddText: {
            // As it was read before the start was carried out.
            auto text = start->texts.find(i);
            if (text == start->texts.end()) {
                failure = "Texten i " + _Name(r.value) + " lästes inte in.";
            } else {
                _ViewerAddText(text->second.c_str());
                start->texts.erase(text);
            }
            break;
        }
        case VTRequestKind::kAddImage: {
            auto read = start->pictures.find(i);
            if (read == start->pictures.end()) {
                failure = "Bilden " + _Name(r.value) + " lästes inte in.";
            } else {
                // The decoded pixels become the overlay's.
                Start::Picture kept = std::move(read->second);
                start->pictures.erase(read);
                projectViewer.AddOverlayImage(
                    std::move(kept.picture), kept.name.c_str(), &kept.screenSource);
                EnableControls();
            }
            break;
        }
        }
    }
    --busy;
    if (IsDestroyed() || runningStart != start)
        return;
    if (!failure.empty()) {
        start->next = i;
        _RefuseStart(*start, VTRequestsFailureText(start->requests, start->next, failure));
        _EndStart(false);
        return;
    }
    start->next = i + 1;
    // A project the start opened or made is the one it works on from here.
    if (!adds)
        start->project = project;
    if (start->reply)
        start->reply->Progress(("Vorantel har utfört " + std::to_string(start->next) + " av "
            + std::to_string(start->requests.size()) + " begäranden.")
                                   .c_str());
    // Done with its last request, the start is answered now, not after what the window does
    // next (painting a large design takes many turns of the loop).
    if (start->next >= start->requests.size()) {
        _EndStart(true);
        return;
    }
    // The next one in the next turn of the loop: input and drawing come first.
    start->stepPosted = true;
    std::weak_ptr<Start> weak = start;
    LRunLoop::Post([this, weak] {
        if (auto s = weak.lock(); s && s == runningStart) {
            s->stepPosted = false;
            _StartStep();
        }
    });
}

void MainDialog::_EndStart(bool carriedOut)
{
    std::shared_ptr<Start> start = runningStart;
    runningStart.reset();
    if (!start)
        return;
    if (carriedOut) {
        if (start->reply) {
            for (const Start::Warning& w : start->warnings)
                start->reply->Warning(w.told.c_str());
            start->reply->Finish(0, "OK");
        }
        // The window shows a warning as the job would have shown it.
        for (const Start::Warning& w : start->warnings)
            RunWhenNoModal([this, w] { PopupBoxWarning(w.said.c_str(), w.title.c_str()); });
    }
    if (start->own)
        StartRequestFinished();
    _NextStart();
    _TellWaiting();
    _QuitIfDone();
}

void MainDialog::_QuitIfDone()
{
    // A quit asked for meanwhile comes once the last start before it is done.
    if (quitWhenDone && !runningStart
        && std::all_of(starts.begin(), starts.end(), [](const auto& s) { return s->held; }))
        QuitWhenPossible();
}

void MainDialog::_EndAllStarts()
{
    startsTimer.Disarm();
    for (const auto& s : starts)
        if (s->stopReadingAside)
            s->stopReadingAside->store(true);
    if (std::shared_ptr<Start> start = std::move(runningStart); start && start->reply) {
        const std::string text = VTRequestsFailureText(
            start->requests, start->next, "Vorantel avslutades innan begäran hade utförts helt.");
        start->reply->Finish(1, text.c_str());
    }
    for (const auto& s : starts)
        if (s->reply)
            s->reply->Finish(1, kLSingleInstanceClosingText);
    starts.clear();
}

// ---- What the waiting starts are told ---------------------------------------------------------

void MainDialog::_TellWaiting()
{
    if (IsDestroyed())
        return;
    const InTheWay way = _WhatIsInTheWay();
    auto tell = [&](const std::shared_ptr<Start>& s, const std::string& busyWith) {
        // A start whose files are still being read may yet be refused: it is told nothing
        // before.
        if (!s->reply || s->reply->IsQueued() || s->reply->IsFinished() || s->held
            || !s->filesChecked)
            return;
        // Waiting for the user: the asker learns it now and need not wait for the outcome, once
        // the start is known to be carried out then.
        if (way.user) {
            if (_ReadAside(s))
                s->reply->Queued(_WaitsForText(way).c_str());
            return;
        }
        if (!busyWith.empty() && s->reply->ProgressText() != busyWith)
            s->reply->Progress(busyWith.c_str());
    };
    if (runningStart && runningStart->phase == Start::Phase::kCarrying && way.any)
        tell(runningStart, "");
    // A copy: a start may be refused meanwhile.
    const std::deque<std::shared_ptr<Start>> waiting = starts;
    for (const auto& s : waiting) {
        std::string busyWith;
        if (way.any && !way.name.empty())
            busyWith = "Vorantel arbetar (”" + way.name + "”). Begäran utförs sedan.";
        else if (runningStart || !IsStartRequestDone())
            busyWith = "Vorantel utför en tidigare begäran. Den här utförs sedan.";
        tell(s, busyWith);
    }
    // Told again while anything waits: what is in the way changes.
    if (!starts.empty() && !startsTimer.IsArmed())
        startsTimer.Arm(100);
}

bool MainDialog::_ReadAside(const std::shared_ptr<Start>& start)
{
    // A start being carried out has read everything already.
    if (start->readAside || start->phase != Start::Phase::kWaiting)
        return true;
    if (std::none_of(start->requests.begin(), start->requests.end(), _ReadAsideFirst)) {
        start->readAside = true;
        return true;
    }
    if (start->stopReadingAside)
        return false; // under way
    start->stopReadingAside = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<Start> weak = start;
    std::thread([requests = start->requests, stop = start->stopReadingAside, weak, this] {
        auto why = std::make_shared<std::string>(_ReadWholeAside(requests, stop));
        if (stop->load())
            return;
        LRunLoop::Post([weak, why, this] {
            // The window lives while it holds the start.
            std::shared_ptr<Start> start = weak.lock();
            if (!start || IsDestroyed() || start->phase != Start::Phase::kWaiting
                || std::find(starts.begin(), starts.end(), start) == starts.end())
                return;
            if (why->empty()) {
                start->readAside = true;
                _TellWaiting();
            } else {
                _RefuseWaitingStart(start, *why);
            }
        });
    }).detach();
    return false;
}

// ---- Quitting -----------------------------------------------------------------------------------

bool MainDialog::CmCancel()
{
    // Requests that are carried out, or wait to be, go before the quit: it comes once they are
    // done.
    bool waiting = runningStart != nullptr;
    for (const auto& s : starts)
        waiting = waiting || !s->held;
    if (waiting) {
        quitWhenDone = true;
        return false;
    }
    quitWhenDone = false;
    askingToQuit = true;
    const bool quit = CmCloseDocument(true);
    askingToQuit = false;
    _QuitAnswered(quit);
    return quit;
}

void MainDialog::_QuitAnswered(bool quit)
{
    if (quit)
        quitConfirmed = true;
    for (auto it = starts.begin(); it != starts.end();) {
        Start& s = **it;
        if (!s.held) {
            ++it;
            continue;
        }
        if (quit) {
            if (s.reply)
                s.reply->Finish(1, kLSingleInstanceClosingText);
            it = starts.erase(it);
            continue;
        }
        s.held = false;
        if (s.reply)
            s.reply->Progress("Vorantel utför begäran.");
        ++it;
    }
    if (!quit)
        startsTimer.Arm(20);
}
