// Local stream sockets (AF_UNIX) between running instances of the maker's programs.
//
// A channel's socket file is ".spipe.<name>" in the user's runtime folder ($XDG_RUNTIME_DIR when
// it is a folder of this user closed to others, else a 0700 folder of our own in the user's own
// cache folder, "vorantel/run-<host>" under $XDG_CACHE_HOME or ~/.cache, which no other user can
// make first), so no other user can see, replace or connect to it. The socket file is mode 0600
// and both ends check that the peer runs as the same user. A path that does not fit sun_path is
// refused, never cut. Descriptors are non-blocking and close-on-exec.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"

#include <cstdint>
#include <string>
#include <vector>

// The single-instance record: an argument count (at most 128) and 128 slots of 260 bytes.
//
// Arguments that do not fit it (more than 128, or one longer than 259 bytes) are never cut: they
// go as a continued record, the record with the count kContinued and empty slots, followed by
// the number of arguments and the number of bytes that follow (32 bits each, in the machine's
// byte order, like the count) and then the arguments, each ended by a NUL.
struct CopyData {
    static constexpr int kMaxArguments = 128;
    static constexpr size_t kSlotSize = 260;
    static constexpr int32_t kContinued = -0x56544152; // the arguments follow the record
    int32_t count = 0;
    char arguments[kMaxArguments][kSlotSize] = {};

    // Whether the arguments fit a record whole: at most 128, none longer than 259 bytes.
    static bool Fits(int argc, const char* const* argv);
    // Fills the record from an argument vector that fits; one that does not leaves the record
    // empty (count 0) and answers false: nothing is cut.
    bool SetArguments(int argc, const char* const* argv);
    // Ends every slot with a NUL and clamps the count to 0..128: a received record is always
    // safe to read.
    void Terminate();
};
static_assert(sizeof(CopyData) == 33284);

// The most a request may hold as a continued record: arguments and bytes after the record.
inline constexpr uint32_t kLNamedPipeMaxRequestArguments = 1u << 18;
inline constexpr uint32_t kLNamedPipeMaxRequestBytes = 16u << 20;
// Whether arguments can go as one request (within the limits above).
bool LNamedPipeRequestFits(const std::vector<std::string>& arguments);

// The per-user runtime folder (260 bytes), made when missing; false when none that is safe
// can be had (then, with why, the folder tried and what was wrong with it, in Swedish).
bool LNamedPipeGetRuntimeFolder(char* out, std::string* why = nullptr);

class LNamedPipeRef {
public:
    LNamedPipeRef() = default;
    ~LNamedPipeRef() { Close(); }
    LNamedPipeRef(const LNamedPipeRef&) = delete;
    LNamedPipeRef& operator=(const LNamedPipeRef&) = delete;

    // The socket path of a channel; false when it cannot be had or does not fit sun_path.
    static bool MakeFilePath(char* pathOut, const char* name, const char* unused = nullptr);
    // Connects to a channel; the descriptor is -1 when nobody listens there (or the listener
    // runs as another user).
    int _Open(const char* name, const char* unused = nullptr);
    void Close();
    int GetDescriptor() const { return fFd; }
    // Hands the descriptor over.
    int Detach();

private:
    int fFd = -1;
};

// True when the peer of a connected local socket runs as this process's user.
bool LNamedPipePeerIsSameUser(int fd);

// Binds a listening socket at path (mode 0600, backlog 64), replacing a stale socket file that
// nobody answers on. -1 when the path does not fit, a live listener owns it, or the system
// refuses.
int LNamedPipeListen(const char* path);

// Receives one whole record from a connected socket, waiting through the job: 0 with the
// record terminated, 1 stopped, 2 when the peer closed or failed before the record was whole.
LProcessResult ProcessNamedPipeReceiveRecord(LProcessInterface& job, int fd, CopyData& record);
// Sends one record: 0, 1 stopped, 2 failed or no progress within timeoutMs.
LProcessResult ProcessNamedPipeSendRecord(
    LProcessInterface& job, int fd, const CopyData& record, unsigned int timeoutMs);

// What the sender of a request understands of the answers beyond the first ones, as a short
// text in the record's last slot after this mark. Records of fewer than 128 arguments and
// continued records leave that slot empty, and receivers that do not know the mark never read
// it, so the record stays as every receiver reads it.
inline constexpr char kLNamedPipeFeaturesMark[] = "\x01"
                                                  "features:";

// Reads one request as its bytes come, a record or a continued record with what follows it,
// never taking a byte past the request's end. Space gives where the next bytes go (at most the
// size it answers), Commit takes that many of them in.
class LNamedPipeRequestReader {
public:
    enum State { kReading, kDone, kBad };

    LNamedPipeRequestReader();
    ~LNamedPipeRequestReader();
    LNamedPipeRequestReader(const LNamedPipeRequestReader&) = delete;
    LNamedPipeRequestReader& operator=(const LNamedPipeRequestReader&) = delete;

    // Room for the next bytes of the request (n 0 once it is done or refused).
    char* Space(size_t& n);
    State Commit(size_t n);
    // Copies bytes in as they come (as many as belong to the request); answers how many it took.
    size_t Take(const void* data, size_t n);
    State GetState() const { return fState; }
    // Bytes taken so far.
    uint64_t Taken() const { return fTaken; }
    // The request once done: its arguments (a record's count clamped to 0..128 and its slots
    // ended) and the sender's features ("" without the mark).
    std::vector<std::string>& Arguments() { return fArguments; }
    const std::string& Features() const { return fFeatures; }

private:
    void RecordDone();
    void ContinuationDone();
    void BytesDone();
    struct Parts;
    Parts* fParts = nullptr; // the record and what follows it, made on the first bytes
    State fState = kReading;
    int fPhase = 0; // 0 record, 1 counts, 2 arguments' bytes
    size_t fHave = 0; // bytes of the current phase
    uint64_t fTaken = 0;
    std::vector<std::string> fArguments;
    std::string fFeatures;
};

// Sends arguments whole: as one record when they fit it, else as a continued record; features,
// when given, go after the mark in the record's last slot (a record that needs that slot for an
// argument goes as a continued record). 2 also for arguments beyond the limits of a request
// (nothing is sent then).
LProcessResult ProcessNamedPipeSendRequest(LProcessInterface& job, int fd,
    const std::vector<std::string>& arguments, unsigned int timeoutMs,
    const std::string& features = "");
// Receives one request, a record or a continued record: 0 with its arguments (a record's count
// clamped to 0..128 and its slots ended) and the sender's features, 1 stopped, 2 when the peer
// closed or failed before it was whole or sent one beyond the limits or not well formed. Nothing
// after the request is read.
LProcessResult ProcessNamedPipeReceiveRequest(LProcessInterface& job, int fd,
    std::vector<std::string>& arguments, std::string* features = nullptr);
