// Byte streams over files and memory, and the line readers.
//
// The four streams the chunk container reads and writes share one small set of operations, so
// that its reader and writer are written once over any of them:
//   input:  size_t Read(void*, size_t); bool Skip(uint64_t); uint64_t Tell(); uint64_t GetSize();
//           bool IsOpen()
//   output: bool Write(const void*, size_t); uint64_t Tell(); bool Patch(offset, const void*,
//           size_t) (rewrites bytes already written, without moving); bool Flush()
// (LOutputStreamPieces, an output stream, also keeps shared bytes by reference: WriteShared.)
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LProcess.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// The size of a stream whose end is not known in advance (a pipe).
inline constexpr uint64_t kLStreamSizeUnknown = UINT64_MAX;

// A descriptor read through an 8192-byte buffer. Reads of 257 bytes or more with an empty buffer
// go straight to the caller's memory.
class LReadFileBuffered {
public:
    static constexpr size_t kBufferSize = 8192;
    static constexpr size_t kDirectReadMinimum = 257;

    LReadFileBuffered() = default;
    // Reads from the descriptor's current offset; the descriptor stays the caller's.
    explicit LReadFileBuffered(int fd) { Attach(fd); }
    LReadFileBuffered(const LReadFileBuffered&) = delete;
    LReadFileBuffered& operator=(const LReadFileBuffered&) = delete;
    virtual ~LReadFileBuffered();

    // Opens a regular file read-only (close-on-exec; platform/system/FileRead.h: a FIFO, device
    // or folder is refused at once, never waited on) and takes a shared lock, trying for about
    // lockTimeoutMs (0: no lock); the file is read whether or not the lock was had. The
    // descriptor belongs to this reader.
    bool Open(const char* path, unsigned int lockTimeoutMs = 0);
    // Reads from a descriptor the caller owns, from its current offset.
    void Attach(int fd);
    // Forgets the descriptor, closing it when this reader opened it.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    int GetDescriptor() const { return m_fd; }

    // Delivers up to n bytes; fewer only at the end of the file or on a read error.
    size_t Read(void* dst, size_t n)
    {
        if (n <= m_fill - m_position && n <= kBufferSize) {
            std::memcpy(dst, m_buffer + m_position, n);
            m_position += n;
            return n;
        }
        return ReadSlow(dst, n);
    }
    // Reads one line ending in LF, CR or CR LF into buf (at most size - 1 bytes kept, the rest
    // of a long line dropped, always NUL-terminated). False at the end of the file with nothing
    // read.
    bool ReadLine(char* buf, size_t size);
    // The logical position: the next byte Read delivers.
    uint64_t Tell64() const { return m_bufferOffset + m_position; }
    // Moves by offset bytes from the logical position (backwards too).
    bool SeekOffset64(int64_t offset)
    {
        if (IsInBuffer(offset)) {
            m_position += static_cast<size_t>(offset);
            return true;
        }
        return SeekSlow(offset);
    }
    // The file's size for a regular file, else kLStreamSizeUnknown.
    uint64_t GetSize64() const;

protected:
    // True when a forward move of offset bytes stays inside the buffered bytes.
    bool IsInBuffer(int64_t offset) const
    {
        return offset >= 0 && static_cast<uint64_t>(offset) <= m_fill - m_position;
    }

private:
    bool Refill();
    size_t ReadSlow(void* dst, size_t n);
    bool SeekSlow(int64_t offset);

    int m_fd = -1;
    bool m_owned = false;
    size_t m_position = 0; // next unread byte in the buffer
    size_t m_fill = 0; // valid bytes in the buffer
    uint64_t m_bufferOffset = 0; // file offset of the buffer's first byte
    unsigned char m_buffer[kBufferSize];
};

// The file input stream of the chunk container reader.
class LInputStreamFile : public LReadFileBuffered {
public:
    LInputStreamFile() = default;
    explicit LInputStreamFile(int fd)
        : LReadFileBuffered(fd)
    {
    }

    // Moves n bytes on; false (without moving) when fewer are left in a regular file.
    bool Skip(uint64_t n)
    {
        if (n <= static_cast<uint64_t>(INT64_MAX) && IsInBuffer(static_cast<int64_t>(n)))
            return SeekOffset64(static_cast<int64_t>(n));
        return SkipSlow(n);
    }
    uint64_t Tell() const { return Tell64(); }
    uint64_t GetSize() const { return GetSize64(); }

private:
    bool SkipSlow(uint64_t n);
};

// A read cursor over bytes in memory that it does not own.
class LInputStreamBuffer {
public:
    LInputStreamBuffer() = default;
    LInputStreamBuffer(const void* data, size_t size) { Set(data, size); }

    void Set(const void* data, size_t size);
    bool IsOpen() const { return m_start != nullptr; }

    // Copies up to n bytes; fewer when the buffer ends (the cursor moves over what was there).
    size_t Read(void* dst, size_t n);
    // Moves the cursor n bytes on, never beyond the end; false when fewer than n were left.
    bool Skip(uint64_t n);
    uint64_t Tell() const { return static_cast<uint64_t>(m_current - m_start); }
    uint64_t GetSize() const { return m_size; }
    size_t GetRemaining() const { return m_remaining; }
    const unsigned char* GetCurrent() const { return m_current; }

private:
    const unsigned char* m_start = nullptr;
    const unsigned char* m_current = nullptr;
    size_t m_size = 0;
    size_t m_remaining = 0;
};

// A descriptor written through a bounded buffer (64 KiB): small writes cost a memory copy, not a
// system call. Bytes already written can be rewritten in place with Patch (in the buffer when
// they are still there, else with pwrite). A failed write latches: later writes do nothing and
// report failure. The descriptor belongs to the stream and is closed by Close or the destructor.
class LOutputStreamFile {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    LOutputStreamFile() = default;
    explicit LOutputStreamFile(int fd) { Attach(fd); }
    LOutputStreamFile(const LOutputStreamFile&) = delete;
    LOutputStreamFile& operator=(const LOutputStreamFile&) = delete;
    // Writes what is buffered and closes the descriptor.
    virtual ~LOutputStreamFile();

    // Creates or truncates a file for writing (mode 0666 less the user's umask, close-on-exec).
    bool Open(const char* path);
    // Takes a descriptor open for writing; writing continues at its current offset.
    void Attach(int fd);
    // Writes what is buffered and hands the descriptor back without closing it (-1 when none).
    int Detach();
    // Writes what is buffered and closes the descriptor. False when any write failed or the
    // close reported an error.
    bool Close();

    bool IsOpen() const { return m_fd >= 0; }
    int GetDescriptor() const { return m_fd; }
    bool IsGood() const { return m_fd >= 0 && !m_failed; }
    // The errno of the first write or close that failed (0 when none has).
    int GetErrorNumber() const { return m_errno; }

    bool Write(const void* data, size_t n)
    {
        if (m_buffer && n <= kBufferSize - m_buffered && !m_failed) {
            std::memcpy(m_buffer + m_buffered, data, n);
            m_buffered += n;
            return true;
        }
        return WriteSlow(data, n);
    }
    // Room for n bytes (at most kBufferSize) at the end of the buffer, flushing first when
    // needed; null after a failure. The bytes count as written once Advance(n) is called.
    unsigned char* Reserve(size_t n)
    {
        if (m_buffer && n <= kBufferSize - m_buffered && !m_failed)
            return m_buffer + m_buffered;
        return ReserveSlow(n);
    }
    void Advance(size_t n) { m_buffered += n; }
    // Writes in steps of at most 8192 bytes, reporting progress (1 - remaining / n) and testing
    // for a stop request after each: 0 written, 1 stopped, 2 not open or a write failed.
    LProcessResult Write(LProcessInterface& process, const void* data, size_t n);
    // The offset the next byte will be written at.
    uint64_t Tell() const { return m_flushedEnd + m_buffered; }
    // Rewrites n bytes at an offset below Tell(); the position does not move.
    bool Patch(uint64_t offset, const void* data, size_t n)
    {
        if (m_buffer && offset >= m_flushedEnd && offset <= Tell() && n <= Tell() - offset
            && !m_failed) {
            std::memcpy(m_buffer + (offset - m_flushedEnd), data, n);
            return true;
        }
        return PatchSlow(offset, data, n);
    }
    // Hands the buffered bytes to the file.
    bool Flush();

private:
    bool WriteSlow(const void* data, size_t n);
    bool PatchSlow(uint64_t offset, const void* data, size_t n);
    unsigned char* ReserveSlow(size_t n);
    bool WriteAll(const void* data, size_t n);

    void Failed(int error);

    int m_fd = -1;
    bool m_failed = false;
    int m_errno = 0;
    unsigned char* m_buffer = nullptr; // kBufferSize bytes, made on first use
    size_t m_buffered = 0;
    uint64_t m_flushedEnd = 0; // file offset just after the last byte handed to the file
};

// Writes into a caller's byte array (not owned), from its start: the array's size becomes the
// number of bytes written (the highest position reached). The storage grows to
// max(1.5 x capacity, needed) without throwing; a failed allocation latches a failure.
class LOutputStreamByteArray {
public:
    explicit LOutputStreamByteArray(LSizedArray<unsigned char>& array);
    LOutputStreamByteArray(const LOutputStreamByteArray&) = delete;
    LOutputStreamByteArray& operator=(const LOutputStreamByteArray&) = delete;
    // Only forgets the array.
    virtual ~LOutputStreamByteArray() = default;

    bool IsGood() const { return !m_failed; }
    bool Write(const void* data, size_t n)
    {
        if (n <= m_capacity - m_position && m_capacity && !m_failed) {
            std::memcpy(m_array->GetData() + m_position, data, n);
            m_position += n;
            if (m_position > m_array->GetSize())
                m_array->SetSize(m_position);
            return true;
        }
        return WriteSlow(data, n);
    }
    // Room for n bytes at the write position (the storage grows as for Write); null after a
    // failure. The bytes count as written once Advance(n) is called.
    unsigned char* Reserve(size_t n)
    {
        if (n <= m_capacity - m_position && m_capacity && !m_failed)
            return m_array->GetData() + m_position;
        return ReserveSlow(n);
    }
    void Advance(size_t n)
    {
        m_position += n;
        if (m_position > m_array->GetSize())
            m_array->SetSize(m_position);
    }
    uint64_t Tell() const { return m_position; }
    bool Patch(uint64_t offset, const void* data, size_t n)
    {
        if (m_failed || offset > m_position || n > m_position - offset)
            return false;
        if (n)
            std::memcpy(m_array->GetData() + offset, data, n);
        return true;
    }
    bool Flush() { return !m_failed; }

private:
    bool Grow(size_t needed);
    bool WriteSlow(const void* data, size_t n);
    unsigned char* ReserveSlow(size_t n);

    LSizedArray<unsigned char>* m_array;
    size_t m_capacity;
    size_t m_position = 0;
    bool m_failed = false;
};

// Writes into memory in pieces: the bytes written are copied into blocks of the stream's own
// (of 1 MiB, or larger for a larger reservation; a block is never moved or copied, so the bytes
// cost one copy however many there are), and bytes handed over with WriteShared are kept by
// reference (their owner shared, nothing copied). A document whose large parts are immutable
// shared buffers (a project's pictures) is so written at the cost of its small parts, and written
// out later, on any thread, piece by piece. Patch rewrites copied bytes only. A failed allocation
// latches a failure.
class LOutputStreamPieces {
public:
    struct Piece {
        const unsigned char* data;
        size_t size;
    };

    LOutputStreamPieces() = default;
    LOutputStreamPieces(const LOutputStreamPieces&) = delete;
    LOutputStreamPieces& operator=(const LOutputStreamPieces&) = delete;

    bool IsGood() const { return !m_failed; }
    bool Write(const void* data, size_t n)
    {
        if (!m_failed && n <= size_t(m_end - m_at)) {
            if (n)
                std::memcpy(m_at, data, n);
            m_at += n;
            m_ownSize += n;
            return true;
        }
        return WriteSlow(data, n);
    }
    unsigned char* Reserve(size_t n)
    {
        if (!m_failed && n && n <= size_t(m_end - m_at))
            return m_at;
        return ReserveSlow(n);
    }
    void Advance(size_t n)
    {
        m_at += n;
        m_ownSize += n;
    }
    uint64_t Tell() const { return m_ownSize + m_sharedSize; }
    bool Patch(uint64_t offset, const void* data, size_t n);
    bool Flush() { return IsGood(); }
    // Takes n bytes at data by reference: the owner keeps them alive, and they must not change
    // while the stream lives.
    bool WriteShared(std::shared_ptr<const void> owner, const void* data, size_t n);

    // The bytes written, in order: valid while the stream lives and nothing more is written.
    std::vector<Piece> GetPieces() const;
    // The number of bytes written (own and shared).
    uint64_t GetSize() const { return Tell(); }
    // The bytes copied into the stream's own blocks.
    uint64_t GetOwnSize() const { return m_ownSize; }

private:
    static constexpr size_t kBlockSize = size_t(1) << 20;
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        uint64_t start; // the own bytes written before it
        size_t used; // its bytes in use (the last block's: see m_at)
    };
    struct Shared {
        uint64_t ownBefore; // the own bytes written before it
        uint64_t offset; // its offset in the whole
        std::shared_ptr<const void> owner;
        const unsigned char* data;
        size_t size;
    };
    bool WriteSlow(const void* data, size_t n);
    unsigned char* ReserveSlow(size_t n);
    // Starts a block of at least n bytes after the last one.
    bool NewBlock(size_t n);
    size_t Used(size_t block) const;
    // Appends the own bytes from `from` to `to` (own offsets) to the pieces, block by block.
    void AddOwn(std::vector<Piece>& pieces, uint64_t from, uint64_t to) const;
    std::vector<Block> m_blocks;
    unsigned char* m_at = nullptr; // the next free byte of the last block
    unsigned char* m_end = nullptr; // the end of the last block
    uint64_t m_ownSize = 0;
    std::vector<Shared> m_shared;
    uint64_t m_sharedSize = 0;
    bool m_failed = false;
};

// Line reading over a descriptor the caller owns, one byte at a time: after CR or LF one more
// byte is read, and the other half of a CR LF or LF CR pair is consumed, any other byte given
// back. Nothing is read ahead, so the descriptor's offset is exact after each line.
class LReadFileRef {
public:
    explicit LReadFileRef(int fd = -1)
        : m_fd(fd)
    {
    }
    void SetDescriptor(int fd) { m_fd = fd; }
    int GetDescriptor() const { return m_fd; }
    bool ReadLine(char* buf, size_t size);

private:
    int m_fd;
};

// Text writing over a descriptor the caller owns.
class LWriteFileRef {
public:
    explicit LWriteFileRef(int fd = -1)
        : m_fd(fd)
    {
    }
    void SetDescriptor(int fd) { m_fd = fd; }
    int GetDescriptor() const { return m_fd; }
    // True when all of the text was written (with no descriptor only for an empty text).
    bool WriteString(const char* text);

private:
    int m_fd;
};
