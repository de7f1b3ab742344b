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

// The single-instance record: an argument count (at most 128) and 128 slots of 260 bytes.
struct CopyData {
    static constexpr int kMaxArguments = 128;
    static constexpr size_t kSlotSize = 260;
    int32_t count = 0;
    char arguments[kMaxArguments][kSlotSize] = {};

    // Fills the record from an argument vector (at most 128, each cut to 259 bytes on a
    // character boundary).
    void SetArguments(int argc, const char* const* argv);
    // Ends every slot with a NUL and clamps the count to 0..128: a received record is always
    // safe to read.
    void Terminate();
};
static_assert(sizeof(CopyData) == 33284);

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
