// Pipe-based events that can be waited on with poll, together with other descriptors.
//
// An LSignalObject is signalled while its pipe holds at least one byte. Signal() writes one byte;
// the object stays signalled (manual reset) until Reset() empties the pipe, however many waiters
// saw it. A time-out of LSIGNAL_WAIT_FOREVER (0xFFFFFFFF ms) means no limit.
#pragma once

#include <cstdint>
#include <poll.h>

inline constexpr unsigned int LSIGNAL_WAIT_FOREVER = 0xFFFFFFFFu;

// The poll time-out for a wait of ms milliseconds: -1 for no limit, else at most INT_MAX.
int LSignalPollTimeout(unsigned int ms);

// poll() that resumes with the remaining time when a signal handler interrupts it. Returns what
// poll returns (the number of ready entries, 0 on time-out, -1 on another error).
int LSignalPoll(struct pollfd* fds, unsigned long count, unsigned int ms);

// A non-owning copy of a signal object's two descriptors, passed by value to waits.
class LSignalObjectRef {
public:
    LSignalObjectRef() = default;
    LSignalObjectRef(int32_t readEnd, int32_t writeEnd)
        : fRead(readEnd)
        , fWrite(writeEnd)
    {
    }

    int32_t GetReadFd() const { return fRead; }
    int32_t GetWriteFd() const { return fWrite; }

    // Writes one byte: the object becomes signalled for every waiter until reset.
    void Signal() const;
    // True when the read end became readable within ms milliseconds.
    bool WaitSignal(unsigned int ms) const;
    bool IsSignaled() const { return WaitSignal(0); }
    // Reads and discards bytes until the pipe is empty.
    void Reset() const;

private:
    int32_t fRead = -1;
    int32_t fWrite = -1;
};

// Owns a non-blocking, close-on-exec pipe. Descriptors are -1 when the pipe could not be made;
// waits on such an object report a time-out.
class LSignalObject {
public:
    LSignalObject();
    ~LSignalObject();
    LSignalObject(const LSignalObject&) = delete;
    LSignalObject& operator=(const LSignalObject&) = delete;

    LSignalObjectRef GetRef() const { return LSignalObjectRef(fRead, fWrite); }
    operator LSignalObjectRef() const { return GetRef(); }

    int32_t GetReadFd() const { return fRead; }
    int32_t GetWriteFd() const { return fWrite; }

    void Signal() const { GetRef().Signal(); }
    bool WaitSignal(unsigned int ms) const { return GetRef().WaitSignal(ms); }
    bool IsSignaled() const { return GetRef().IsSignaled(); }
    void Reset() const { GetRef().Reset(); }
    // Closes both ends; later waits report a time-out.
    void Close();

private:
    int32_t fRead = -1;
    int32_t fWrite = -1;
};

// A fixed set of up to 256 read ends polled together.
class LSignalObjectGroup {
public:
    static constexpr unsigned long kMaxEntries = 256;

    LSignalObjectGroup() = default;

    // Appends the signal's read end; false when the group is full.
    bool Add(LSignalObjectRef ref);
    bool Add(const LSignalObject& signal) { return Add(signal.GetRef()); }
    void Clear() { fCount = 0; }

    unsigned long GetCount() const { return static_cast<unsigned long>(fCount); }
    bool IsEmpty() const { return fCount == 0; }
    const struct pollfd* GetEntries() const { return fEntries; }
    struct pollfd* GetEntries() { return fEntries; }

    // Polls every entry for at most ms milliseconds. Returns the index of the first readable
    // entry, or -1 when the time passed (at once for an empty group).
    long Wait(unsigned int ms);

private:
    struct pollfd fEntries[kMaxEntries] = {};
    uint64_t fCount = 0;
};
