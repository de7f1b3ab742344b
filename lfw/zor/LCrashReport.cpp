#include "lfw/zor/LCrashReport.h"

#include "lfw/gen/LDateTime.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/ios/LThread.h"
#include "lfw/net/LHTTP.h"
#include "lfw/net/LOnlineHosts.h"
#include "lfw/unix/LDebugSignal.h"
#include "lfw/unix/LHangDetector.h"
#include "lfw/zor/LHelp.h"
#include "lfw/zor/LZORHooks.h"
#include "platform/system/FileRead.h"
#include "platform/system/System.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// Filled by LDebugCrashReportInstall, read by the signal handler: fixed buffers, no locks.
char gLogFolder[kLPathSize] = "";
char gExePath[kLPathSize] = "";
char gIdentifier[kLPathSize] = "";

// ---- Signal-safe text building ----

struct LSafeText {
    char text[2048];
    size_t n = 0;
    void Put(const char* s)
    {
        while (*s && n < sizeof text - 1)
            text[n++] = *s++;
        text[n] = 0;
    }
    void PutNumber(uint64_t v, int width = 0)
    {
        char digits[24];
        int d = 0;
        do {
            digits[d++] = char('0' + v % 10);
            v /= 10;
        } while (v && d < 24);
        while (d < width && d < 24)
            digits[d++] = '0';
        while (d > 0 && n < sizeof text - 1)
            text[n++] = digits[--d];
        text[n] = 0;
    }
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void _LCivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

void _LPutDateTime(LSafeText& t, int64_t seconds, char dateSep, char mid, char timeSep)
{
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t y;
    unsigned m, d;
    _LCivilFromDays(days, y, m, d);
    t.PutNumber(uint64_t(y < 0 ? 0 : y), 4);
    const char sep[2] = { dateSep, 0 };
    t.Put(sep);
    t.PutNumber(m, 2);
    t.Put(sep);
    t.PutNumber(d, 2);
    const char middle[2] = { mid, 0 };
    t.Put(middle);
    const char tsep[2] = { timeSep, 0 };
    t.PutNumber(uint64_t(rest / 3600), 2);
    t.Put(tsep);
    t.PutNumber(uint64_t(rest / 60 % 60), 2);
    t.Put(tsep);
    t.PutNumber(uint64_t(rest % 60), 2);
}

void _LCrashHook(int signal)
{
    LDebugWriteCrashRecord(signal);
}

// ---- Reading records ----

struct LRecordFacts {
    bool process = false, path = false, identifier = false, version = false;
    bool hasDate = false;
    time_t date = 0;
    int signal = 0;
};

LRecordFacts _LReadRecord(const char* path)
{
    LRecordFacts f;
    int fd = platform::system::OpenForReading(path, O_NOFOLLOW);
    if (fd < 0)
        return f;
    flocktimed(fd, LOCK_SH, 1000);
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t r = read(fd, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || text.size() > 65536)
            break;
        text.append(buffer, size_t(r));
    }
    close(fd);
    std::istringstream lines(text);
    std::string line;
    bool dateSeen = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos)
            continue;
        size_t space = line.find(' ', start);
        std::string key
            = line.substr(start, space == std::string::npos ? std::string::npos : space - start);
        std::string value;
        if (space != std::string::npos) {
            size_t v = line.find_first_not_of(' ', space);
            if (v != std::string::npos)
                value = line.substr(v, 259);
        }
        if (key == "Process:")
            f.process = f.process || value.find("Vorantel") != std::string::npos;
        else if (key == "Path:")
            f.path = f.path || value == gExePath;
        else if (key == "Identifier:")
            f.identifier = f.identifier || value == gIdentifier;
        else if (key == "Version:")
            f.version = f.version || value.substr(0, value.find(' ')) == "6.27";
        else if (key == "Signal:")
            f.signal = std::atoi(value.c_str());
        else if (key == "Date/Time:" && !dateSeen) {
            dateSeen = true;
            struct tm tm = {};
            if (std::sscanf(value.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec)
                == 6) {
                tm.tm_year -= 1900;
                tm.tm_mon -= 1;
                f.date = timegm(&tm);
                f.hasDate = true;
            }
        }
    }
    return f;
}

std::string _LFileName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void _LOpenBugPage(const char* query)
{
    char page[kLPathSize];
    LOnlineGetHost(kLOnlineBugPage, page);
    char url[kLHelpURLSize];
    LStringFormat(url, sizeof url, "%s%s", page, query);
    LOpenWebPage(url);
}

void _LUpload(const char* recordPath, const char* name)
{
    char server[kLPathSize];
    LOnlineGetHost(kLOnlineCrashReportServer, server);
    char url[kLPathSize + 32];
    LStringFormat(url, sizeof url, "http://%s/minidumpupload", server);
    std::string path = recordPath;
    std::string fileName = name;
    std::string target = url;
    LZORRunJob("Ladda upp kraschdumpfil", [&](LProcessInterface& job) {
        job.SetStatus("Ladda upp kraschdumpfil", 0);
        int status = 0;
        return ProcessHTTPPostFileAsFormData(job, target.c_str(), path.c_str(), fileName.c_str(),
            "application/octet-stream", status, 60000);
    });
}

std::string _LReadText(const char* path)
{
    std::string text;
    platform::system::ReadWholeFile(path, text);
    return text;
}

} // namespace

// ---- Installation and the signal-time record ----

bool LDebugGetCrashLogFolder(char* out)
{
    return LFile::GetUserDataFolderAppSubFolder("Logs", out);
}

void LDebugCrashReportInstall()
{
    LDebugGetCrashLogFolder(gLogFolder);
    utf8strlcpy(gExePath, platform::system::ExecutablePath().c_str(), sizeof gExePath);
    utf8strlcpy(gIdentifier, LSettingGetApplicationDomain(), sizeof gIdentifier);
    LDebugSignalSetReportHook(_LCrashHook);
    LHangDetectorSetAbnormalEndHook(LDebugHangDetectorAskAfterAbnormalEnd);
}

bool LDebugWriteCrashRecord(int signal)
{
    if (!gLogFolder[0])
        return false;
    struct timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    pid_t pid = getpid();
    pid_t tid = pid_t(syscall(SYS_gettid));

    LSafeText path;
    path.Put(gLogFolder);
    path.Put("/Vorantel_");
    _LPutDateTime(path, now.tv_sec, '-', '_', '-');
    path.Put("_");
    path.PutNumber(uint64_t(pid));
    path.Put(".crash");
    if (path.n >= kLPathSize)
        return false;
    int fd = open(path.text, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;

    LSafeText t;
    t.Put("Process: Vorantel [");
    t.PutNumber(uint64_t(pid));
    t.Put("]\nPath: ");
    t.Put(gExePath);
    t.Put("\nIdentifier: ");
    t.Put(gIdentifier);
    t.Put("\nVersion: 6.27\nDate/Time: ");
    _LPutDateTime(t, now.tv_sec, '-', ' ', ':');
    t.Put(" +0000\nSignal: ");
    t.PutNumber(uint64_t(signal < 0 ? 0 : signal));
    t.Put("\nThread: ");
    char name[32] = "";
    for (size_t i = 0; i < kLThreadNameTableSize; ++i) {
        pid_t id = 0;
        char entry[32];
        if (LThreadNameTableEntry(i, &id, entry, sizeof entry) && id == tid) {
            std::memcpy(name, entry, sizeof name);
            break;
        }
    }
    t.Put(name[0] ? name : "Unknown");
    t.Put("\nCommand: ");
    t.PutNumber(gwDebugCurrentCommand);
    t.Put("\n");
    const char* p = t.text;
    size_t left = t.n;
    while (left > 0) {
        ssize_t w = write(fd, p, left);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            break;
        p += w;
        left -= size_t(w);
    }
    close(fd);
    return left == 0;
}

// ---- Finding and offering records ----

bool LMacGetLatestCrashReport(char* out)
{
    out[0] = 0;
    char folder[kLPathSize];
    if (!LDebugGetCrashLogFolder(folder))
        return false;
    if (!gExePath[0])
        utf8strlcpy(gExePath, platform::system::ExecutablePath().c_str(), sizeof gExePath);
    if (!gIdentifier[0])
        utf8strlcpy(gIdentifier, LSettingGetApplicationDomain(), sizeof gIdentifier);
    // The newest date of every record with a date decides; only a record of this program and
    // version at that date is taken (a newer record of another version hides older ones).
    std::map<time_t, std::string> candidates;
    time_t newest = 0;
    bool any = false;
    LFile::FolderIterator it;
    size_t index = 0;
    for (bool ok = it.Open(folder, "Vorantel*"); ok && index < 1000; ok = it.Next(), ++index) {
        char path[kLPathSize];
        if (it.IsFolder() || !it.GetPath(path))
            continue;
        LRecordFacts f = _LReadRecord(path);
        if (!f.hasDate)
            continue;
        if (!any || f.date > newest)
            newest = f.date;
        any = true;
        if (f.process && f.path && f.identifier && f.version)
            candidates[f.date] = path;
    }
    auto found = candidates.find(newest);
    if (!any || found == candidates.end() || found->second.empty())
        return false;
    utf8strlcpy(out, found->second.c_str(), kLPathSize);
    return true;
}

bool LDebugCrashReportOfferAtStart()
{
    char path[kLPathSize];
    if (!LMacGetLatestCrashReport(path))
        return false;
    std::string name = _LFileName(path);
    char offered[kLPathSize] = "";
    _LUserSettingGetString("Software", "CrashReportOffered", "", offered);
    if (name == offered)
        return false;
    LUserSettingSetString("Software", "CrashReportOffered", name.c_str());
    int signal = _LReadRecord(path).signal;
    char code[32];
    LStringFormat(code, sizeof code, "SIGNAL%d", signal);
    char text[1024];
    LStringFormat(text, sizeof text,
        "Vorantel, Program för skivetiketter har kraschat med ett onormalt undantag.\r\n\r\n"
        "Skulle du vilja att fylla i en ZOR Software Bugg rapport så att våra programmerare kan "
        "försöka fixa detta? Om så är fallet klickar du på Rapportera och ange sedan i fältet "
        "exakt vad du gjorde och att du fick undantagskoden \"%s\".",
        code);
    const char* buttons[] = { "Rapport", "Rapportera inte" };
    if (LZORAlert(LZORAlertError, "Onormal signalkrasch", text, buttons, 2) == 0)
        LDebugCrashReportSend(path, signal);
    return true;
}

void LDebugCrashReportSend(const char* recordPath, int signal)
{
    char code[16];
    LStringFormat(code, sizeof code, "%d", signal);
    char xi[kLPathSize];
    LDebugGenerateXIString(xi, code, "UnknownModule");
    char iid[kLPathSize] = "";
    _LUserSettingGetString("Software", "IID", "", iid);
    char xiEncoded[kLPathSize * 3];
    char iidEncoded[kLPathSize * 3];
    LURIEncode(xiEncoded, sizeof xiEncoded, xi);
    LURIEncode(iidEncoded, sizeof iidEncoded, iid);
    if (recordPath && recordPath[0]) {
        char name[kLPathSize];
        LDebugMakeCrashReportName(name);
        _LUpload(recordPath, name);
    }
    char query[kLHelpURLSize];
    LStringFormat(query, sizeof query, "?software=Vorantel&version=6.27&lang=sv&xi=GUI-%s&iid=%s",
        xiEncoded, iidEncoded);
    _LOpenBugPage(query);
}

void LDebugHangDetectorAskAfterAbnormalEnd()
{
    const char* title = "Onormalt avslut upptäckt";
    const char* first[] = { "Det kraschade", "Något annat" };
    if (LZORAlert(LZORAlertWarning, title,
            "Hände sig Vorantel eller kraschade vid sista körningen?\r\n\r\nKlicka på Den "
            "kraschade om Vorantel misslyckades. Klicka på 'Något annat' om det var på grund av "
            "något annat (en hård utloggning till exempel) eller om du inte märkte något fel eller "
            "inte kommer ihåg.",
            first, 2)
        != 0)
        return;
    struct timespec pause = { 0, 600000000 };
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) { }
    const char* second[] = { "Rapportera fel", "Nej" };
    if (LZORAlert(LZORAlertWarning, title,
            "Oj! Vorantel hade ett onormalt avslut. Hjälp oss att åtgärda detta problem genom att "
            "klicka på Rapportera fel nedan och skriv en felrapport till våra utvecklare.\r\n\r\n"
            "Vi uppskattar din hjälp!",
            second, 2)
        == 0)
        LDebugHangDetectorBugReport(true);
}

void LDebugHangDetectorBugReport(bool withCrashReport)
{
    char iid[kLPathSize] = "";
    _LUserSettingGetString("Software", "IID", "", iid);
    uint64_t freeHeap = LMemoryGetFreeHeapSize();
    uint64_t largest = LMemoryGetLargestFreeRegionSize();
    char path[kLPathSize] = "";
    char name[kLPathSize] = "";
    if (withCrashReport && LMacGetLatestCrashReport(path))
        LDebugMakeCrashReportName(name);
    char data[kLDebugDataSize];
    LDebugGetMachineDataForCrashReport(data, name,
        int(freeHeap >> 20 > 0x7FFFFFFF ? 0x7FFFFFFF : freeHeap >> 20),
        int(largest >> 20 > 0x7FFFFFFF ? 0x7FFFFFFF : largest >> 20));
    char iidEncoded[kLPathSize * 3];
    LURIEncode(iidEncoded, sizeof iidEncoded, iid);
    int major = 0, minor = 0;
    LGetOSVersion(major, minor);
    char query[kLHelpURLSize];
    LStringFormat(query, sizeof query,
        "?software=Vorantel&version=6.27&lang=sv&xi=AbTermOrHang-Linux%d%02d&iid=%s&data=%s", major,
        minor, iidEncoded, data);
    _LOpenBugPage(query);
    if (name[0])
        _LUpload(path, name);
}

void LDebugMakeCrashReportName(char* out)
{
    time_t now = time(nullptr);
    struct tm tm;
    gmtime_r(&now, &tm);
    randomize();
    LStringFormat(out, kLPathSize, "Mac_%s_%.4d-%.2d-%.2d-%.2d-%.2d-%.2d-%04d.crash", "Vorantel",
        tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
        rand() % 10000);
}

// ---- Failure locations ----

void LDebugThreadDataStartThread(const char* name)
{
    if (name && *name) {
        char four[5] = {};
        std::strncpy(four, name, 4);
        LThreadSetName(four);
    } else {
        char id[8];
        LStringFormat(id, sizeof id, "%.4d", int(LThreadGetKernelId() % 10000));
        LThreadSetName(id);
    }
}

void LDebugThreadSetName(const char* name)
{
    char current[32];
    if (LThreadGetName(LThreadGetKernelId(), current, sizeof current))
        LDebugThreadDataStartThread(name);
}

void LDebugGenerateXIString(char* out, const char* code, const char* module)
{
    int major = 0, minor = 0;
    LGetOSVersion(major, minor);
    char platform[64];
    LStringFormat(platform, sizeof platform, "Linux%s%d%02d", "Intel", major, minor);
    char thread[64] = "";
    char name[32];
    if (!LThreadGetName(LThreadGetKernelId(), name, sizeof name))
        std::strcpy(name, "Unknown");
    else if (name[0] >= '0' && name[0] <= '9')
        name[0] = 0;
    std::strcpy(thread, name);
    if (LThreadIsMainThread()) {
        char phase[32];
        switch (gwDebugCurrentCommand) {
        case 0:
            LStringFormat(phase, sizeof phase, "Ukn0(LstCmd%d)", gwDebugLastCommand);
            break;
        case 1:
            std::strcpy(phase, "GloIni1");
            break;
        case 2:
            std::strcpy(phase, "GuiIni2");
            break;
        case 3:
            std::strcpy(phase, "GuiDes3");
            break;
        case 4:
            std::strcpy(phase, "GloDes4");
            break;
        default:
            LStringFormat(phase, sizeof phase, "(Cmd%d)", gwDebugCurrentCommand);
        }
        std::strncat(thread, phase, sizeof thread - std::strlen(thread) - 1);
    }
    LStringFormat(out, kLPathSize, "%s-%s-%s-%s", code, platform, module, thread);
}

// ---- Machine data ----

namespace {

std::string _LMeminfoValue(const std::string& text, const char* key)
{
    size_t p = text.find(key);
    if (p == std::string::npos)
        return "";
    p += std::strlen(key);
    size_t e = text.find('\n', p);
    std::string v = text.substr(p, e == std::string::npos ? std::string::npos : e - p);
    size_t s = v.find_first_not_of(" \t:");
    return s == std::string::npos ? "" : v.substr(s);
}

uint64_t _LMeminfoBytes(const char* key)
{
    std::string v = _LMeminfoValue(_LReadText("/proc/meminfo"), key);
    return uint64_t(std::strtoull(v.c_str(), nullptr, 10)) * 1024u;
}

} // namespace

uint64_t LMemoryGetLargestFreeRegionSize()
{
    return _LMeminfoBytes("MemFree:");
}

uint64_t LMemoryGetAvailableVirtualMemorySize()
{
    return _LMeminfoBytes("MemAvailable:");
}

void LMachineGetGPUDescriptions(LStringListTemplate<char>& list)
{
    DIR* dir = opendir("/sys/bus/pci/devices");
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        std::string base = std::string("/sys/bus/pci/devices/") + e->d_name + "/";
        std::string cls = _LReadText((base + "class").c_str());
        if (cls.compare(0, 4, "0x03") != 0)
            continue;
        auto trim = [](std::string s) {
            while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
                s.pop_back();
            return s;
        };
        std::string text = "PCI " + trim(_LReadText((base + "vendor").c_str())) + ":"
            + trim(_LReadText((base + "device").c_str()));
        char item[kLPathSize];
        utf8strlcpy(item, text.c_str(), sizeof item);
        list.Add(item);
    }
    closedir(dir);
}

void LDebugGetMachineDataForBugReport(LFixedLengthStringWriterTemplate<char>& w)
{
    std::string cpuinfo = _LReadText("/proc/cpuinfo");
    std::string model = _LMeminfoValue(cpuinfo, "model name");
    unsigned cpus = std::thread::hardware_concurrency();
    char cpu[kLPathSize];
    LStringFormat(cpu, sizeof cpu, "%s (%d CPUs)", model.c_str(), int(cpus));
    LStringListTemplate<char> gpus;
    LMachineGetGPUDescriptions(gpus);
    std::string disp;
    for (size_t i = 0; i < gpus.GetCount(); ++i) {
        char one[kLPathSize + 16];
        LStringFormat(one, sizeof one, "GPU%zu:%s", i, gpus[i]);
        disp += one;
    }
    tplprintf(w, "&memphys=%lu&cpu=%s&disp=%s",
        static_cast<unsigned long>(_LMeminfoBytes("MemTotal:") >> 20), cpu, disp.c_str());
}

void LDebugGetMachineDataForCrashReport(LFixedLengthStringWriterTemplate<char>& w,
    const char* dumpName, int freeHeapMB, int largestFreeMB)
{
    if (dumpName && dumpName[0])
        tplprintf(w, "dump=%s&", dumpName);
    tplprintf(w, "memfrhp=%d&memfrlg=%d", freeHeapMB, largestFreeMB);
    tplstrcpy(w, "&");
    LDebugGetMachineDataForBugReport(w);
}

void LDebugGetMachineDataForBugReport(char* out)
{
    char raw[kLDebugDataSize];
    LFixedLengthStringWriterTemplate<char> w(raw, sizeof raw - 1);
    LDebugGetMachineDataForBugReport(w);
    w.Terminate();
    LURIEncode(out, kLDebugDataSize, raw);
}

void LDebugGetMachineDataForCrashReport(
    char* out, const char* dumpName, int freeHeapMB, int largestFreeMB)
{
    char raw[kLDebugDataSize];
    LFixedLengthStringWriterTemplate<char> w(raw, sizeof raw - 1);
    LDebugGetMachineDataForCrashReport(w, dumpName, freeHeapMB, largestFreeMB);
    w.Terminate();
    LURIEncode(out, kLDebugDataSize, raw);
}

void LRDFaultGetLatest(char* out)
{
    out[0] = 0;
    if (LUserSettingGet<int>("RDF", "Time", 0) == 0)
        return;
    char id[kLPathSize] = "", thread[kLPathSize] = "";
    _LUserSettingGetString("RDF", "ID", "", id);
    _LUserSettingGetString("RDF", "Thread", "", thread);
    char idEnc[kLPathSize], threadEnc[kLPathSize];
    LURIEncode(idEnc, sizeof idEnc, id);
    LURIEncode(threadEnc, sizeof threadEnc, thread);
    char raw[kLPathSize];
    LStringFormat(raw, sizeof raw, "id=%s&th=%s&cs=", idEnc, threadEnc);
    LURIEncode(out, kLPathSize, raw);
}
