// The hand-over of a finished document to a CUPS queue, with libcups: a job is created, the file
// is sent as its one document, and the print system's answer to each step is read, so that a
// queue that does not accept jobs, a print system that cannot be reached and a print without room
// are told for what they are. libcups is opened on first use (platform/system/LazyLibrary.h); GTK's
// CUPS printers are there only where it can be opened, since GTK's own back end links it.
#include "platform/print/Print.h"
#include "platform/system/LazyLibrary.h"

#include <cups/cups.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform::print {

namespace {

constinit platform::system::LazyLibrary gCups(VT_CUPS_SONAME);

// A wait of libcups for the print system, checked each second. It goes on while the print is
// wanted. Once stopped it gives up, except where the print system may make a job of what it has
// been sent already (the answer to Create-Job, a cancel): there it waits up to kStopSeconds more,
// so that the job is known and cancelled; kQuitSeconds when the application ends.
constexpr double kTimeoutSeconds = 1.0;
constexpr auto kStopSeconds = std::chrono::seconds(30);
constexpr auto kQuitSeconds = std::chrono::seconds(2);
constexpr int kConnectMs = 10000;

struct Wait {
    const HandOverStop* stop = nullptr;
    bool hold = false;
    bool stopSeen = false, quitSeen = false;
    std::chrono::steady_clock::time_point stopTime, quitTime;
};

int GoOn(http_t*, void* data)
{
    auto* wait = static_cast<Wait*>(data);
    if (!wait->stop->Stopped())
        return 1;
    const auto now = std::chrono::steady_clock::now();
    if (!wait->stopSeen) {
        wait->stopSeen = true;
        wait->stopTime = now;
    }
    if (wait->stop->Quit() && !wait->quitSeen) {
        wait->quitSeen = true;
        wait->quitTime = now;
    }
    if (!wait->hold)
        return 0;
    return wait->quitSeen ? now - wait->quitTime < kQuitSeconds
                          : now - wait->stopTime < kStopSeconds;
}

// The functions of libcups used here.
struct Cups {
    decltype(httpConnect2)* connect = VT_LAZY_FUNCTION(gCups, httpConnect2);
    decltype(httpClose)* close = VT_LAZY_FUNCTION(gCups, httpClose);
    decltype(httpSetTimeout)* setTimeout = VT_LAZY_FUNCTION(gCups, httpSetTimeout);
    decltype(httpError)* error = VT_LAZY_FUNCTION(gCups, httpError);
    decltype(httpGetStatus)* httpStatus = VT_LAZY_FUNCTION(gCups, httpGetStatus);
    decltype(cupsServer)* server = VT_LAZY_FUNCTION(gCups, cupsServer);
    decltype(ippPort)* port = VT_LAZY_FUNCTION(gCups, ippPort);
    decltype(cupsEncryption)* encryption = VT_LAZY_FUNCTION(gCups, cupsEncryption);
    decltype(cupsAddOption)* addOption = VT_LAZY_FUNCTION(gCups, cupsAddOption);
    decltype(cupsFreeOptions)* freeOptions = VT_LAZY_FUNCTION(gCups, cupsFreeOptions);
    decltype(cupsEncodeOptions2)* encodeOptions = VT_LAZY_FUNCTION(gCups, cupsEncodeOptions2);
    decltype(cupsUser)* user = VT_LAZY_FUNCTION(gCups, cupsUser);
    decltype(httpAssembleURIf)* assembleUri = VT_LAZY_FUNCTION(gCups, httpAssembleURIf);
    decltype(ippNewRequest)* newRequest = VT_LAZY_FUNCTION(gCups, ippNewRequest);
    decltype(ippAddString)* addString = VT_LAZY_FUNCTION(gCups, ippAddString);
    decltype(ippFindAttribute)* findAttribute = VT_LAZY_FUNCTION(gCups, ippFindAttribute);
    decltype(ippGetInteger)* getInteger = VT_LAZY_FUNCTION(gCups, ippGetInteger);
    decltype(ippDelete)* deleteIpp = VT_LAZY_FUNCTION(gCups, ippDelete);
    decltype(cupsDoRequest)* doRequest = VT_LAZY_FUNCTION(gCups, cupsDoRequest);
    decltype(cupsStartDocument)* startDocument = VT_LAZY_FUNCTION(gCups, cupsStartDocument);
    decltype(cupsWriteRequestData)* writeData = VT_LAZY_FUNCTION(gCups, cupsWriteRequestData);
    decltype(cupsFinishDocument)* finishDocument = VT_LAZY_FUNCTION(gCups, cupsFinishDocument);
    decltype(cupsCancelJob2)* cancelJob = VT_LAZY_FUNCTION(gCups, cupsCancelJob2);
    decltype(cupsLastError)* lastError = VT_LAZY_FUNCTION(gCups, cupsLastError);
    decltype(cupsLastErrorString)* lastErrorString = VT_LAZY_FUNCTION(gCups, cupsLastErrorString);

    bool Complete() const
    {
        return connect && close && setTimeout && error && httpStatus && server && port && encryption
            && addOption && freeOptions && encodeOptions && user && assembleUri && newRequest
            && addString && findAttribute && getInteger && deleteIpp && doRequest && startDocument
            && writeData && finishDocument && cancelJob && lastError && lastErrorString;
    }
};

const Cups& Library()
{
    static const Cups cups;
    return cups;
}

// A connection to the print system, given up after kConnectMs or once cancel is set.
http_t* Connect(const Cups& cups, Wait& wait, int* cancel)
{
    http_t* http = cups.connect(
        cups.server(), cups.port(), nullptr, AF_UNSPEC, cups.encryption(), 1, kConnectMs, cancel);
    if (http)
        cups.setTimeout(http, kTimeoutSeconds, GoOn, &wait);
    return http;
}

// Create-Job for the queue on the connection (libcups' own looks the queue up on a connection
// of its own first, which no stop reaches): the job's id, 0 when none was made (cupsLastError
// says why).
int CreateJob(const Cups& cups, http_t* http, const CupsJob& job, int count, cups_option_t* options)
{
    char uri[HTTP_MAX_URI];
    cups.assembleUri(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", cups.port(),
        "/printers/%s", job.printer.c_str());
    ipp_t* request = cups.newRequest(IPP_OP_CREATE_JOB);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    cups.addString(
        request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cups.user());
    cups.addString(
        request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job.title.c_str());
    cups.encodeOptions(request, count, options, IPP_TAG_OPERATION);
    cups.encodeOptions(request, count, options, IPP_TAG_JOB);
    const std::string resource = "/printers/" + job.printer;
    ipp_t* response = cups.doRequest(http, request, resource.c_str()); // takes the request
    ipp_attribute_t* id
        = response ? cups.findAttribute(response, "job-id", IPP_TAG_INTEGER) : nullptr;
    const int number
        = id && cups.lastError() < IPP_STATUS_REDIRECTION_OTHER_SITE ? cups.getInteger(id, 0) : 0;
    if (response)
        cups.deleteIpp(response);
    return number;
}

bool ConnectionLost(int error)
{
    return error == EPIPE || error == ECONNRESET || error == ECONNREFUSED || error == ENOENT
        || error == ENOTCONN || error == ETIMEDOUT;
}

// Cancel-Job on a connection of its own, its answer awaited also after a stop (a few seconds at
// the quit): the print system's answer, or an internal error when there was none.
ipp_status_t Cancel(const Cups& cups, const std::string& printer, int id, const HandOverStop& stop)
{
    Wait wait;
    wait.stop = &stop;
    wait.hold = true;
    http_t* http = Connect(cups, wait, &stop.connectQuit);
    if (!http)
        return IPP_STATUS_ERROR_INTERNAL;
    const ipp_status_t status = cups.cancelJob(http, printer.c_str(), id, 0);
    cups.close(http);
    return status;
}

} // namespace

bool IsLayoutChangingOption(const std::string& name)
{
    static const char* const kNames[] = { "number-up", "number-up-layout", "page-border",
        "fit-to-page", "print-scaling", "scaling", "natural-scaling", "ppi" };
    for (const char* known : kNames)
        if (name == known)
            return true;
    return false;
}

bool CancelCupsJob(const std::string& printer, int id, const HandOverStop& stop)
{
    if (!CupsAvailable() || id <= 0)
        return false;
    const ipp_status_t status = Cancel(Library(), printer, id, stop);
    return status < IPP_STATUS_REDIRECTION_OTHER_SITE || status == IPP_STATUS_ERROR_NOT_FOUND;
}

bool CupsQueueExists(const std::string& printer, const HandOverStop& stop)
{
    if (!CupsAvailable())
        return true;
    const Cups& cups = Library();
    Wait wait;
    wait.stop = &stop;
    http_t* http = Connect(cups, wait, &stop.connectStop);
    if (!http)
        return true;
    char uri[HTTP_MAX_URI];
    cups.assembleUri(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", cups.port(),
        "/printers/%s", printer.c_str());
    ipp_t* request = cups.newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
        "printer-state");
    if (ipp_t* response = cups.doRequest(http, request, "/"))
        cups.deleteIpp(response);
    const bool gone = cups.lastError() == IPP_STATUS_ERROR_NOT_FOUND;
    cups.close(http);
    return !gone;
}

std::string QueueGoneText()
{
    return FailureText("skrivaren finns inte längre i utskriftssystemet.");
}

std::string CupsRefusalText(int status, const std::string& message)
{
    switch (ipp_status_t(status)) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
    case IPP_STATUS_ERROR_PRINTER_IS_DEACTIVATED:
        return FailureText("skrivaren tar inte emot utskrifter just nu.");
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        return FailureText("utskriftssystemet går inte att nå.");
    case IPP_STATUS_ERROR_REQUEST_ENTITY:
    case IPP_STATUS_ERROR_TOO_MANY_JOBS:
    case IPP_STATUS_ERROR_TOO_MANY_DOCUMENTS:
        return FailureText("det finns inte plats för utskriften i utskriftssystemet.");
    case IPP_STATUS_ERROR_NOT_FOUND:
        return QueueGoneText();
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
        return FailureText("utskriftssystemet tillät inte utskriften.");
    default:
        return FailureText("utskriftssystemet tog inte emot utskriften ("
            + (message.empty() ? std::string("?") : message) + ").");
    }
}

bool CupsAvailable()
{
    return gCups.Loaded() && Library().Complete();
}

std::string SendToCups(
    const CupsJob& job, const HandOverStop& stop, bool& stopped, bool* unknown, int* handedOver)
{
    stopped = false;
    if (unknown)
        *unknown = false;
    if (handedOver)
        *handedOver = 0;
    if (!CupsAvailable())
        return FailureText("utskriftssystemets bibliotek (libcups) kunde inte läsas in.");
    const Cups& cups = Library();
    Wait wait;
    wait.stop = &stop;
    http_t* http = Connect(cups, wait, &stop.connectStop);
    if (!http) {
        stopped = stop.Stopped();
        return stopped ? "" : FailureText("utskriftssystemet går inte att nå.");
    }
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [name, value] : job.options)
        count = cups.addOption(name.c_str(), value.c_str(), count, &options);

    std::string failure;
    // A refusal: the status the print system answered, or a connection lost on the way.
    auto refused = [&] {
        if (stop.Stopped()) {
            stopped = true;
            return std::string();
        }
        const ipp_status_t status = cups.lastError();
        // The print system's spool cannot hold the file (or it is larger than it takes).
        if (cups.httpStatus(http) == HTTP_STATUS_REQUEST_TOO_LARGE)
            return CupsRefusalText(IPP_STATUS_ERROR_REQUEST_ENTITY, "");
        if (status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE
            || (status == IPP_STATUS_ERROR_INTERNAL && ConnectionLost(cups.error(http))))
            return FailureText("utskriftssystemet går inte att nå.");
        const char* message = cups.lastErrorString();
        return CupsRefusalText(status, message ? message : "");
    };

    // Once asked for, the job may be made: its answer is waited for even when stopped.
    wait.hold = true;
    const int id = stop.Stopped() ? 0 : CreateJob(cups, http, job, count, options);
    wait.hold = false;
    cups.freeOptions(count, options);
    if (id <= 0) {
        if (unknown && !stop.Stopped() && cups.lastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            *unknown = true;
            cups.close(http);
            return "";
        }
        failure = refused();
        cups.close(http);
        return failure;
    }
    bool sent = cups.startDocument(
                    http, job.printer.c_str(), id, job.title.c_str(), job.format.c_str(), 1)
        == HTTP_STATUS_CONTINUE;
    std::vector<char> buffer(1 << 16);
    off_t offset = 0;
    bool whole = false; // the whole file was written to the print system
    while (sent && !stop.Stopped()) {
        const ssize_t n = pread(job.fd, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failure = FailureText("utskriftsfilen kunde inte läsas.");
            sent = false;
            break;
        }
        if (n == 0) {
            whole = true;
            break;
        }
        offset += n;
        sent = cups.writeData(http, buffer.data(), size_t(n)) == HTTP_STATUS_CONTINUE;
        // Refused on the way (the print system closes the connection): its answer, if any, is
        // read for the reason.
        if (!sent && !stop.Stopped())
            cups.finishDocument(http, job.printer.c_str());
    }
    if (sent && whole && !stop.Stopped()) {
        sent = cups.finishDocument(http, job.printer.c_str()) < IPP_STATUS_REDIRECTION_OTHER_SITE;
        // Stopped while the print system's answer was awaited: it may hold the whole document
        // and print it. The job is the caller's to take back and tell of.
        if (!sent && stop.Stopped() && handedOver) {
            cups.close(http);
            *handedOver = id;
            return "";
        }
    } else if (failure.empty()) {
        sent = false;
    }
    if (sent) {
        cups.close(http);
        if (handedOver)
            *handedOver = id;
        return "";
    }
    if (failure.empty())
        failure = refused();
    cups.close(http);
    // The job made is not to print: it is cancelled, on a connection of its own (the first is in
    // the middle of its request).
    Cancel(cups, job.printer, id, stop);
    return failure;
}

} // namespace platform::print
