// The SDF chunk container: the binary format of projects, label layouts and the overlay
// clipboard.
//
// A tree of typed, length-prefixed chunks with 16-bit ids under a small file header. Every
// multi-byte field is little-endian; there is no padding.
//
//   offset  size  field
//        0     4  magic "lsdf" (u32 0x6664736C)
//        4     2  format version, always 1
//        6     4  file type (7 project, 8 label layout, 9 overlay clipboard)
//       10     2  file version, chosen by the document
//       12    12  root chunk header: id 0, type 0 (container), length L
//       24     L  the document's top-level chunks
//   24 + L     4  trailer: the magic again
//
// A chunk is {id u16, type u16, length u64} followed by length payload bytes. Types: 0
// container (children back to back), 1 bool (1 byte), 2 int (4 bytes), 4 float (4 bytes), 6
// string (UTF-8 and one NUL), 7 blob. Ids are unique only within their container, and a
// container may hold several chunks with the same id (lists).
//
// Writer and reader are templates over a stream (see LStream.h): the writer over
// LOutputStreamFile or LOutputStreamByteArray, the reader over LInputStreamFile or
// LInputStreamBuffer. The writer streams the document: each chunk header is written with length 0
// and patched when the chunk ends, so nothing but the open-chunk stack is held in memory.
//
// The reader never trusts a length: a child that runs past its container or past the end of the
// stream is an error (the reader stops being good), so no allocation is larger than the bytes
// that are really there, and the iterator always moves to the end of the previous child, however
// much of it was read.
//
//     LSDFReader<LInputStreamFile> reader;
//     if (!reader.Open(stream, 7)) ...                     // not a project file
//     LSDFReaderChunkIterator<LInputStreamFile> it(reader);
//     while (it.Next()) {
//         switch (it->GetId()) { case 1: it->ReadInt(value); break; ... }   // unknown: ignore
//     }
//     if (!reader.IsGood()) ...                            // truncated or damaged
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LStream.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LVector.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

inline constexpr uint32_t kLSDFMagic = 0x6664736Cu;
inline constexpr uint16_t kLSDFFormatVersion = 1;
inline constexpr size_t kLSDFFileHeaderSize = 12;
inline constexpr size_t kLSDFChunkHeaderSize = 12;

enum LSDFChunkType : uint16_t {
    kLSDFTypeContainer = 0,
    kLSDFTypeBool = 1,
    kLSDFTypeInt = 2,
    kLSDFTypeFloat = 4,
    kLSDFTypeString = 6,
    kLSDFTypeBlob = 7,
};

// A chunk that a loader did not understand, kept so that a writer can put it back at its old
// place among its container's children (ordinal: its position there, from 0).
struct LSDFUnknownChunk : public LListable<LSDFUnknownChunk> {
    uint16_t id = 0;
    uint16_t type = 0;
    LSizedArray<unsigned char> data; // length = data.GetSize()
    int32_t ordinal = -1;

    uint64_t GetLength() const { return data.GetSize(); }
};

namespace _LSDF {

inline void Put16(unsigned char* p, uint16_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 2);
    } else {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
    }
}
inline void Put32(unsigned char* p, uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 4);
    } else {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}
inline void Put64(unsigned char* p, uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 8);
    } else {
        for (int i = 0; i < 8; ++i)
            p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}
inline uint16_t Get16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const unsigned char* p)
{
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void PutHeader(unsigned char* p, uint16_t id, uint16_t type, uint64_t length)
{
    Put16(p, id);
    Put16(p + 2, type);
    Put64(p + 4, length);
}
// The length of a UTF-8 text of n bytes without a character cut at its end.
size_t WholeCharacterLength(const char* text, size_t n);

} // namespace _LSDF

// ================================================================================================
// Writer
// ================================================================================================

template <class T> class LSDFWriter {
public:
    LSDFWriter() = default;
    LSDFWriter(const LSDFWriter&) = delete;
    LSDFWriter& operator=(const LSDFWriter&) = delete;

    bool Open(T& stream, uint32_t fileType, uint16_t fileVersion)
    {
        return Open(stream, fileType, fileVersion, nullptr);
    }
    // Writes the file header and starts the root container, putting back unknownChunks (may be
    // null) at their places among the top-level chunks.
    bool Open(
        T& stream, uint32_t fileType, uint16_t fileVersion, LList<LSDFUnknownChunk>* unknownChunks)
    {
        m_stream = &stream;
        m_stack.SetSize(0);
        m_good = true;
        m_fileVersion = fileVersion;
        unsigned char header[kLSDFFileHeaderSize];
        _LSDF::Put32(header, kLSDFMagic);
        _LSDF::Put16(header + 4, kLSDFFormatVersion);
        _LSDF::Put32(header + 6, fileType);
        _LSDF::Put16(header + 10, fileVersion);
        if (!m_stream->Write(header, sizeof header))
            return Fail();
        return StartContainer(0, unknownChunks, -1);
    }

    // Starts a container; the leading unknown chunks (ordinals 0, 1, 2, ... without a gap) are
    // written at once, the others before the children of higher ordinal or at its end.
    bool StartContainer(
        uint16_t id, LList<LSDFUnknownChunk>* unknownChunks = nullptr, int32_t ordinal = -1)
    {
        if (!StartChunk(id, kLSDFTypeContainer, ordinal))
            return false;
        // By index: writing a chunk pushes onto the stack, which may move its entries.
        const size_t top = m_stack.GetCount() - 1;
        m_stack[top].pending = unknownChunks ? unknownChunks->GetHead() : nullptr;
        for (int32_t next = 0;
             m_good && m_stack[top].pending && m_stack[top].pending->ordinal == next; ++next) {
            const LSDFUnknownChunk* chunk = m_stack[top].pending;
            m_stack[top].pending = LList<LSDFUnknownChunk>::GetNext(chunk);
            WriteUnknownChunk(*chunk);
        }
        return m_good;
    }

    // Writes a chunk header with length 0 and opens the chunk. With an ordinal, the open
    // container's unknown chunks of lower ordinal are written first.
    bool StartChunk(uint16_t id, uint16_t type, int32_t ordinal = -1)
    {
        if (!m_good)
            return false;
        if (ordinal != -1 && !WritePendingBelow(ordinal))
            return false;
        unsigned char* header = m_stream->Reserve(kLSDFChunkHeaderSize);
        if (!header)
            return Fail();
        _LSDF::PutHeader(header, id, type, 0);
        m_stream->Advance(kLSDFChunkHeaderSize);
        size_t n = m_stack.GetCount();
        m_stack.SetSize(n + 1);
        m_stack[n] = Entry { id, type, m_stream->Tell(), nullptr };
        return true;
    }

    // Closes the innermost open chunk and patches its length (the id is not compared).
    bool EndChunk(uint16_t id)
    {
        (void)id;
        if (!m_good)
            return false;
        size_t n = m_stack.GetCount();
        if (n == 0)
            return Fail();
        // Only the start is read back: the entry was stored field by field a moment ago.
        const uint64_t dataStart = m_stack[n - 1].dataStart;
        m_stack.SetSize(n - 1);
        uint64_t end = m_stream->Tell();
        unsigned char length[8];
        _LSDF::Put64(length, end - dataStart);
        if (!m_stream->Patch(dataStart - 8, length, sizeof length))
            return Fail();
        return true;
    }

    // Writes the container's remaining unknown chunks, then closes it.
    bool EndContainer(uint16_t id)
    {
        if (!m_good)
            return false;
        size_t n = m_stack.GetCount();
        if (n == 0)
            return Fail();
        while (m_good && m_stack[n - 1].pending) {
            const LSDFUnknownChunk* chunk = m_stack[n - 1].pending;
            m_stack[n - 1].pending = LList<LSDFUnknownChunk>::GetNext(chunk);
            WriteUnknownChunk(*chunk);
        }
        return EndChunk(id);
    }

    bool WriteBool(uint16_t id, bool value, int32_t ordinal = -1)
    {
        return WriteFixed<1>(
            id, kLSDFTypeBool, ordinal, [value](unsigned char* p) { *p = value ? 1 : 0; });
    }
    bool WriteInt(uint16_t id, int32_t value, int32_t ordinal = -1)
    {
        return WriteFixed<4>(id, kLSDFTypeInt, ordinal,
            [value](unsigned char* p) { _LSDF::Put32(p, static_cast<uint32_t>(value)); });
    }
    bool WriteFloat(uint16_t id, float value, int32_t ordinal = -1)
    {
        return WriteFixed<4>(id, kLSDFTypeFloat, ordinal,
            [value](unsigned char* p) { _LSDF::Put32(p, std::bit_cast<uint32_t>(value)); });
    }
    // The text and its NUL (a null text is written as "").
    bool WriteString(uint16_t id, const char* text, int32_t ordinal = -1)
    {
        if (!text)
            text = "";
        return WriteValue(id, kLSDFTypeString, text, std::strlen(text) + 1, ordinal);
    }
    bool WriteBlob(uint16_t id, const void* data, uint64_t length, int32_t ordinal = -1)
    {
        return WriteValue(id, kLSDFTypeBlob, data, length, ordinal);
    }
    // A blob of immutable bytes that the owner keeps alive: a stream that keeps shared bytes
    // (LOutputStreamPieces) takes large ones by reference, other streams get a copy. The file's
    // bytes are the same either way.
    bool WriteSharedBlob(uint16_t id, std::shared_ptr<const void> owner, const void* data,
        uint64_t length, int32_t ordinal = -1)
    {
        if constexpr (requires(T & s) { s.WriteShared(owner, data, size_t(length)); }) {
            if (length >= kSharedBlobMinimum && length <= SIZE_MAX) {
                if (!StartChunk(id, kLSDFTypeBlob, ordinal))
                    return false;
                if (!m_stream->WriteShared(std::move(owner), data, size_t(length)))
                    return Fail();
                return EndChunk(id);
            }
        }
        return WriteBlob(id, data, length, ordinal);
    }
    // Raw bytes into the open chunk.
    bool WriteData(const void* data, size_t length)
    {
        if (!m_good)
            return false;
        if (length && !m_stream->Write(data, length))
            return Fail();
        return true;
    }
    // A kept unknown chunk at its old place; a chunk of length 0 is not written.
    bool WriteUnknownChunk(const LSDFUnknownChunk& chunk)
    {
        if (!m_good)
            return false;
        if (chunk.GetLength() == 0)
            return true;
        if (!StartChunk(chunk.id, chunk.type, chunk.ordinal))
            return false;
        if (!WriteData(chunk.data.GetData(), chunk.data.GetSize()))
            return false;
        return EndChunk(chunk.id);
    }

    // Ends every open chunk and the root, writes the trailer and hands everything to the stream.
    // True when all of it was written; on a writer that is not good (a failure, or a previous
    // Close) nothing is written and the result is true: failures are reported by the results of
    // the writes and of EndChunk/EndContainer.
    bool Close()
    {
        if (!m_good)
            return true;
        while (m_good && m_stack.GetCount() > 0) {
            const Entry top = m_stack[m_stack.GetCount() - 1];
            if (top.type == kLSDFTypeContainer)
                EndContainer(top.id);
            else
                EndChunk(top.id);
        }
        unsigned char trailer[4];
        _LSDF::Put32(trailer, kLSDFMagic);
        bool ok = m_good && m_stream->Write(trailer, sizeof trailer) && m_stream->Flush();
        m_good = false;
        m_stack.SetSize(0);
        return ok;
    }

    bool IsGood() const { return m_good; }
    uint16_t GetFileVersion() const { return m_fileVersion; }
    // The number of open chunks, the root included.
    size_t GetDepth() const { return m_stack.GetCount(); }

private:
    // Smaller shared blobs are copied: a piece of its own costs more than their bytes.
    static constexpr uint64_t kSharedBlobMinimum = 4096;

    struct Entry {
        uint16_t id = 0;
        uint16_t type = 0;
        uint64_t dataStart = 0; // stream offset just after the chunk's header
        const LSDFUnknownChunk* pending = nullptr; // the container's unknown chunks still to write
    };

    bool Fail()
    {
        m_good = false;
        return false;
    }

    bool WritePendingBelow(int32_t ordinal)
    {
        size_t n = m_stack.GetCount();
        if (n == 0)
            return true;
        while (m_good && m_stack[n - 1].pending && m_stack[n - 1].pending->ordinal < ordinal) {
            const LSDFUnknownChunk* chunk = m_stack[n - 1].pending;
            m_stack[n - 1].pending = LList<LSDFUnknownChunk>::GetNext(chunk);
            WriteUnknownChunk(*chunk);
        }
        return m_good;
    }

    // A value chunk of a fixed size, built straight in the stream's buffer.
    template <size_t N, class Fill>
    bool WriteFixed(uint16_t id, uint16_t type, int32_t ordinal, Fill fill)
    {
        if (!m_good)
            return false;
        if (ordinal != -1 && !WritePendingBelow(ordinal))
            return false;
        unsigned char* p = m_stream->Reserve(kLSDFChunkHeaderSize + N);
        if (!p)
            return Fail();
        _LSDF::PutHeader(p, id, type, N);
        fill(p + kLSDFChunkHeaderSize);
        m_stream->Advance(kLSDFChunkHeaderSize + N);
        return true;
    }

    // A value chunk: its length is known, so the header is written final and nothing is patched.
    bool WriteValue(
        uint16_t id, uint16_t type, const void* payload, uint64_t length, int32_t ordinal)
    {
        if (!m_good)
            return false;
        if (ordinal != -1 && !WritePendingBelow(ordinal))
            return false;
        if (length <= 16) {
            // Small values are put together in the stream's buffer itself: assembled on the
            // stack and copied, they cost a stalled reload of bytes just stored.
            const size_t total = kLSDFChunkHeaderSize + static_cast<size_t>(length);
            unsigned char* bytes = m_stream->Reserve(total);
            if (!bytes)
                return Fail();
            _LSDF::PutHeader(bytes, id, type, length);
            if (length) // an empty blob may come without a pointer
                std::memcpy(bytes + kLSDFChunkHeaderSize, payload, static_cast<size_t>(length));
            m_stream->Advance(total);
            return true;
        }
        unsigned char header[kLSDFChunkHeaderSize];
        _LSDF::PutHeader(header, id, type, length);
        if (length > SIZE_MAX || !m_stream->Write(header, sizeof header)
            || !m_stream->Write(payload, static_cast<size_t>(length)))
            return Fail();
        return true;
    }

    T* m_stream = nullptr;
    bool m_good = false;
    uint16_t m_fileVersion = 0;
    LVector<Entry> m_stack;
};

// ================================================================================================
// Reader
// ================================================================================================

template <class T> struct LSDFChunkInfo {
    uint16_t id = 0;
    uint16_t type = 0;
    uint64_t dataStart = 0; // stream offset of the payload
    uint64_t length = 0;

    uint16_t GetId() const { return id; }
    uint16_t GetType() const { return type; }
    uint64_t GetLength() const { return length; }
    bool IsContainer() const { return type == kLSDFTypeContainer; }
    uint64_t GetDataEnd() const { return dataStart + length; }
};

template <class T> class LSDFReader {
public:
    LSDFReader() = default;
    LSDFReader(const LSDFReader&) = delete;
    LSDFReader& operator=(const LSDFReader&) = delete;

    // Reads and checks the file header (magic, format version 1, the given file type) and the
    // root chunk header (id 0, a container). False when the stream is not such a file.
    bool Open(T& stream, uint32_t fileType)
    {
        m_stream = &stream;
        m_good = true;
        m_headerAccepted = false;
        m_startsAsType = false;
        m_fileVersion = 0;
        m_root = LSDFChunkInfo<T>();
        if (!stream.IsOpen())
            return Fail();
        m_size = stream.GetSize();
        unsigned char header[kLSDFFileHeaderSize];
        const size_t got = stream.Read(header, sizeof header);
        // The magic, the format version and the file type, as far as the file has bytes.
        unsigned char expected[10];
        _LSDF::Put32(expected, kLSDFMagic);
        _LSDF::Put16(expected + 4, kLSDFFormatVersion);
        _LSDF::Put32(expected + 6, fileType);
        m_startsAsType = got >= 4 && std::memcmp(header, expected, got < 10 ? got : 10) == 0;
        if (got != sizeof header)
            return Fail();
        if (_LSDF::Get32(header) != kLSDFMagic || _LSDF::Get16(header + 4) != kLSDFFormatVersion
            || _LSDF::Get32(header + 6) != fileType)
            return Fail();
        m_fileVersion = _LSDF::Get16(header + 10);
        if (!StartNextChunk(m_root))
            return false;
        if (m_root.id != 0 || m_root.type != kLSDFTypeContainer)
            return Fail();
        m_headerAccepted = true;
        return true;
    }

    // Reads a 12-byte chunk header at the current position. A short read ends the reader.
    bool StartNextChunk(LSDFChunkInfo<T>& info)
    {
        if (!m_good)
            return false;
        unsigned char header[kLSDFChunkHeaderSize];
        if (m_stream->Read(header, sizeof header) != sizeof header)
            return Fail();
        info.id = _LSDF::Get16(header);
        info.type = _LSDF::Get16(header + 2);
        info.length = _LSDF::Get64(header + 4);
        info.dataStart = m_stream->Tell();
        return true;
    }

    bool IsGood() const { return m_good; }
    bool IsHeaderAccepted() const { return m_headerAccepted; }
    // True when the file begins as a file of the type Open asked for (its magic, format version
    // and type, as far as it has bytes): one that fails after that is damaged, not foreign.
    bool StartsAsFileType() const { return m_startsAsType; }
    uint16_t GetFileVersion() const { return m_fileVersion; }
    const LSDFChunkInfo<T>& GetRootChunk() const { return m_root; }
    T& GetStream() { return *m_stream; }
    // The stream's size (kLStreamSizeUnknown when it is not known in advance).
    uint64_t GetStreamSize() const { return m_size; }
    // Marks the stream as damaged: every later read fails.
    bool Fail()
    {
        m_good = false;
        return false;
    }

private:
    T* m_stream = nullptr;
    bool m_good = false;
    bool m_headerAccepted = false;
    bool m_startsAsType = false;
    uint16_t m_fileVersion = 0;
    uint64_t m_size = 0;
    LSDFChunkInfo<T> m_root;
};

// A chunk met by an iterator; its payload is read through it. Every read stays inside the
// payload.
template <class T> class LSDFReaderChunk : public LSDFChunkInfo<T> {
public:
    static constexpr size_t kStringBufferSize = 1560;

    int32_t GetOrdinal() const { return m_ordinal; }

    bool ReadBool(bool& value)
    {
        unsigned char byte;
        if (!ReadValue(&byte, 1))
            return false;
        value = byte != 0;
        return true;
    }
    bool ReadInt(int32_t& value)
    {
        unsigned char bytes[4];
        if (!ReadValue(bytes, 4))
            return false;
        value = static_cast<int32_t>(_LSDF::Get32(bytes));
        return true;
    }
    bool ReadFloat(float& value)
    {
        unsigned char bytes[4];
        if (!ReadValue(bytes, 4))
            return false;
        uint32_t bits = _LSDF::Get32(bytes);
        std::memcpy(&value, &bits, 4);
        return true;
    }

    // The whole payload as text: up to the first NUL or the payload's last byte (which is the
    // NUL a writer puts there). An empty payload gives "".
    bool ReadString(LStringLongTemplate<char>& text)
    {
        text.Clear();
        if (!Begin())
            return false;
        if (this->length == 0)
            return true;
        if (this->length > kSafeAllocation && !KnownToBeThere(this->length))
            return ReadStringInSteps(text);
        size_t n = static_cast<size_t>(this->length);
        text.GrowToSize(n);
        char* buffer = text.GetBuffer();
        if (Stream().Read(buffer, n) != n) {
            buffer[0] = '\0';
            return m_reader->Fail();
        }
        buffer[n - 1] = '\0';
        text.SetLength(std::strlen(buffer));
        return true;
    }

    // The payload as text into a fixed buffer of size bytes: always NUL-terminated, cut to
    // size - 1 bytes at a character boundary; the rest of the payload is passed over.
    bool ReadString(char* buffer, size_t size = kStringBufferSize)
    {
        if (size == 0)
            return false;
        buffer[0] = '\0';
        if (!Begin())
            return false;
        size_t keep = static_cast<size_t>(std::min<uint64_t>(this->length, size - 1));
        if (Stream().Read(buffer, keep) != keep) {
            buffer[0] = '\0';
            return m_reader->Fail();
        }
        buffer[keep] = '\0';
        if (keep < this->length) {
            size_t text = std::strlen(buffer);
            if (text == keep) // cut inside the text, not after its NUL
                buffer[_LSDF::WholeCharacterLength(buffer, keep)] = '\0';
        }
        return true;
    }

    // The payload as bytes. An empty payload empties the array. On failure the array is empty.
    bool ReadData(LSizedArray<unsigned char>& data)
    {
        data.Free();
        if (!Begin())
            return false;
        if (this->length == 0)
            return true;
        if (this->length > kSafeAllocation && !KnownToBeThere(this->length))
            return ReadDataInSteps(data);
        size_t n = static_cast<size_t>(this->length);
        if (!data.SetArrayCapacityLarge(n))
            return false;
        if (Stream().Read(data.GetData(), n) != n) {
            data.Free();
            return m_reader->Fail();
        }
        data.SetSize(n);
        return true;
    }

    // Keeps this chunk for writing it back unchanged (id, type, payload, ordinal).
    bool ReadUnknownChunk(LSDFUnknownChunk& chunk)
    {
        chunk.id = this->id;
        chunk.type = this->type;
        chunk.ordinal = m_ordinal;
        return ReadData(chunk.data);
    }

    // Moves past the payload (the iterator does this too before the next chunk).
    bool Skip()
    {
        if (!m_reader || !m_reader->IsGood())
            return false;
        uint64_t here = Stream().Tell();
        uint64_t end = this->GetDataEnd();
        if (here < end && !Stream().Skip(end - here))
            return m_reader->Fail();
        return true;
    }

private:
    template <class> friend class LSDFReaderChunkIterator;

    // Larger payloads of a stream of unknown size are read in steps, so that memory only grows
    // with the bytes that really arrive.
    static constexpr uint64_t kSafeAllocation = 1u << 20;

    T& Stream() { return m_reader->GetStream(); }

    bool KnownToBeThere(uint64_t n) const
    {
        return m_reader->GetStreamSize() != kLStreamSizeUnknown && n <= m_reader->GetStreamSize();
    }

    // Positions the stream at the start of the payload (a read after another read of the same
    // chunk starts again only when the stream can go back; the readers here never need it).
    bool Begin()
    {
        if (!m_reader || !m_reader->IsGood())
            return false;
        return Stream().Tell() == this->dataStart;
    }

    // A value of n bytes: a payload shorter than that is refused (and later skipped).
    bool ReadValue(unsigned char* bytes, size_t n)
    {
        if (this->length < n || !Begin())
            return false;
        if (Stream().Read(bytes, n) != n)
            return m_reader->Fail();
        return true;
    }

    bool ReadStringInSteps(LStringLongTemplate<char>& text)
    {
        uint64_t left = this->length;
        char piece[8192];
        bool ended = false;
        while (left) {
            size_t step = static_cast<size_t>(std::min<uint64_t>(left, sizeof piece));
            if (Stream().Read(piece, step) != step) {
                text.Clear();
                return m_reader->Fail();
            }
            left -= step;
            if (!ended) {
                size_t n = left ? step : step - 1;
                size_t upTo = strnlen(piece, n);
                text.Append(piece, upTo);
                ended = upTo < n;
            }
        }
        return true;
    }

    bool ReadDataInSteps(LSizedArray<unsigned char>& data)
    {
        uint64_t left = this->length;
        size_t used = 0;
        while (left) {
            size_t step = static_cast<size_t>(std::min<uint64_t>(left, kSafeAllocation));
            if (used + step > data.GetCapacity()) {
                LSizedArray<unsigned char> grown;
                size_t capacity = std::max(used + step, data.GetCapacity() * 2);
                capacity = static_cast<size_t>(std::min<uint64_t>(capacity, this->length));
                if (!grown.SetArrayCapacityLarge(capacity)) {
                    data.Free();
                    return false;
                }
                if (used)
                    std::memcpy(grown.GetData(), data.GetData(), used);
                data = std::move(grown);
            }
            if (Stream().Read(data.GetData() + used, step) != step) {
                data.Free();
                return m_reader->Fail();
            }
            used += step;
            left -= step;
            data.SetSize(used);
        }
        return true;
    }

    LSDFReader<T>* m_reader = nullptr;
    int32_t m_ordinal = -1;
};

// Walks the children of a container: `while (it.Next()) { ... it->... }`. Before each child the
// stream is moved to the end of the previous one, whatever was read of it. A child whose header
// or payload runs past its container or past the end of the stream makes the reader not good
// and ends the walk.
template <class T> class LSDFReaderChunkIterator {
public:
    // The children of the root.
    explicit LSDFReaderChunkIterator(LSDFReader<T>& reader)
        : LSDFReaderChunkIterator(reader, reader.GetRootChunk())
    {
    }
    // The children of a chunk; empty when it is not a container or the reader is not good.
    LSDFReaderChunkIterator(LSDFReader<T>& reader, const LSDFChunkInfo<T>& container)
        : m_reader(reader)
    {
        m_chunk.m_reader = &reader;
        m_start = container.dataStart;
        m_end = container.GetDataEnd() < container.dataStart ? UINT64_MAX : container.GetDataEnd();
        m_next = m_start;
        m_valid = reader.IsGood() && container.IsContainer();
    }

    // Moves to the next child; false at the end of the container or when the stream is damaged.
    bool Next()
    {
        if (!m_valid)
            return false;
        if (!m_reader.IsGood()) {
            m_valid = false;
            return false;
        }
        m_valid = StartNextChunk();
        return m_valid;
    }

    bool StartNextChunk()
    {
        if (!m_reader.IsGood())
            return false;
        if (m_next >= m_end)
            return false;
        T& stream = m_reader.GetStream();
        uint64_t here = stream.Tell();
        if (here > m_next)
            return m_reader.Fail(); // read past the previous child: cannot happen through the chunk
        if (here < m_next && !stream.Skip(m_next - here))
            return m_reader.Fail();
        uint64_t room = m_end - m_next;
        if (room < kLSDFChunkHeaderSize)
            return m_reader.Fail(); // a header cut by its container's end
        if (!m_reader.StartNextChunk(m_chunk))
            return false;
        uint64_t left = m_end - m_chunk.dataStart;
        uint64_t size = m_reader.GetStreamSize();
        if (m_chunk.length > left
            || (size != kLStreamSizeUnknown
                && (m_chunk.dataStart > size || m_chunk.length > size - m_chunk.dataStart)))
            return m_reader.Fail(); // runs past its container or the end of the stream
        ++m_chunk.m_ordinal;
        m_next = m_chunk.GetDataEnd();
        return true;
    }

    bool IsValid() const { return m_valid; }
    LSDFReaderChunk<T>& GetChunk() { return m_chunk; }
    LSDFReaderChunk<T>* operator->() { return &m_chunk; }
    LSDFReaderChunk<T>& operator*() { return m_chunk; }

private:
    LSDFReader<T>& m_reader;
    LSDFReaderChunk<T> m_chunk;
    uint64_t m_start = 0;
    uint64_t m_end = 0;
    uint64_t m_next = 0;
    bool m_valid = false;
};
