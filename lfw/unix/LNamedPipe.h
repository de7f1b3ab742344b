// Local stream sockets (AF_UNIX) between running instances of the maker's programs.
//
// A channel's socket file is ".spipe.<name>" in the user's runtime folder ($XDG_RUNTIME_DIR when
// it is a folder of this user closed to others, else a 0700 folder of our own under the system's
// temporary folder), so no other user can see, replace or connect to it. The socket file is
// mode 0600 and both ends check that the peer runs as the same user. A path that does not fit
// sun_path is refused, never cut. Descriptors are non-blocking and close-on-exec.
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
// can be had.
bool LNamedPipeGetRuntimeFolder(char* out);

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

// Binds a listening socket at path (mode 0600, backlog 5), replacing a stale socket file that
// nobody answers on. -1 when the path does not fit, a live listener owns it, or the system
// refuses.
int LNamedPipeListen(const char* path);

// Receives one whole record from a connected socket, waiting through the job: 0 with the
// record terminated, 1 stopped, 2 when the peer closed or failed before the record was whole.
LProcessResult ProcessNamedPipeReceiveRecord(LProcessInterface& job, int fd, CopyData& record);
// Sends one record: 0, 1 stopped, 2 failed or no progress within timeoutMs.
LProcessResult ProcessNamedPipeSendRecord(
    LProcessInterface& job, int fd, const CopyData& record, unsigned int timeoutMs);

// Sends arguments whole: as one record when they fit it, else as a continued record. 2 also for
// arguments beyond the limits of a request (nothing is sent then).
LProcessResult ProcessNamedPipeSendRequest(LProcessInterface& job, int fd,
    const std::vector<std::string>& arguments, unsigned int timeoutMs);
// Receives one request, a record or a continued record: 0 with its arguments (a record's count
// clamped to 0..128 and its slots ended), 1 stopped, 2 when the peer closed or failed before it
// was whole or sent one beyond the limits or not well formed.
LProcessResult ProcessNamedPipeReceiveRequest(
    LProcessInterface& job, int fd, std::vector<std::string>& arguments);
