#include "lfw/gen/LSDF.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::string;

Bytes ToBytes(const LSizedArray<unsigned char>& array)
{
    return Bytes(reinterpret_cast<const char*>(array.GetData()), array.GetSize());
}

// 16-bit id, 16-bit type, 64-bit length, all little-endian.
Bytes Header(uint16_t id, uint16_t type, uint64_t length)
{
    Bytes b;
    b += static_cast<char>(id & 0xFF);
    b += static_cast<char>(id >> 8);
    b += static_cast<char>(type & 0xFF);
    b += static_cast<char>(type >> 8);
    for (int i = 0; i < 8; ++i)
        b += static_cast<char>((length >> (8 * i)) & 0xFF);
    return b;
}

Bytes FileHeader(uint32_t type, uint16_t version, uint16_t format = 1, const char* magic = "lsdf")
{
    Bytes b(magic, 4);
    b += static_cast<char>(format & 0xFF);
    b += static_cast<char>(format >> 8);
    for (int i = 0; i < 4; ++i)
        b += static_cast<char>((type >> (8 * i)) & 0xFF);
    b += static_cast<char>(version & 0xFF);
    b += static_cast<char>(version >> 8);
    return b;
}

// A whole stream: header, root of the given payload, trailer.
Bytes Document(uint32_t type, uint16_t version, const Bytes& payload)
{
    return FileHeader(type, version) + Header(0, 0, payload.size()) + payload + Bytes("lsdf", 4);
}

Bytes IntChunk(uint16_t id, int32_t v)
{
    Bytes b = Header(id, 2, 4);
    for (int i = 0; i < 4; ++i)
        b += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    return b;
}

// The sample document: values, a nested list of containers and a blob.
template <class T> bool WriteSample(LSDFWriter<T>& w, T& stream)
{
    bool ok = w.Open(stream, 7, 3);
    ok = w.WriteInt(1, 42) && ok;
    ok = w.WriteString(2, "Hej världen") && ok;
    ok = w.StartContainer(3) && ok;
    for (int i = 0; i < 3; ++i) {
        ok = w.StartContainer(10) && ok;
        ok = w.WriteFloat(11, 1.5f * i) && ok;
        ok = w.WriteBool(12, i % 2 == 1) && ok;
        ok = w.EndContainer(10) && ok;
    }
    ok = w.EndContainer(3) && ok;
    const unsigned char blob[5] = { 0, 1, 2, 254, 255 };
    ok = w.WriteBlob(4, blob, sizeof blob) && ok;
    return w.Close() && ok;
}

struct Sample {
    int32_t number = 0;
    LStringLongTemplate<char> text;
    int items = 0;
    float lastFloat = 0;
    bool lastBool = false;
    Bytes blob;
};

template <class T> bool ReadSample(LSDFReader<T>& reader, T& stream, Sample& out)
{
    if (!reader.Open(stream, 7))
        return false;
    LSDFReaderChunkIterator<T> it(reader);
    while (it.Next()) {
        switch (it->GetId()) {
        case 1:
            it->ReadInt(out.number);
            break;
        case 2:
            it->ReadString(out.text);
            break;
        case 3: {
            LSDFReaderChunkIterator<T> items(reader, *it);
            while (items.Next()) {
                if (items->GetId() != 10)
                    continue;
                ++out.items;
                LSDFReaderChunkIterator<T> fields(reader, *items);
                while (fields.Next()) {
                    if (fields->GetId() == 11)
                        fields->ReadFloat(out.lastFloat);
                    else if (fields->GetId() == 12)
                        fields->ReadBool(out.lastBool);
                }
            }
            break;
        }
        case 4: {
            LSizedArray<unsigned char> data;
            it->ReadData(data);
            out.blob = ToBytes(data);
            break;
        }
        default:
            break; // unknown ids are passed over
        }
    }
    return reader.IsGood();
}

Bytes WriteToMemory(
    const std::function<void(LSDFWriter<LOutputStreamByteArray>&, LOutputStreamByteArray&)>& write)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LSDFWriter<LOutputStreamByteArray> writer;
    write(writer, stream);
    return ToBytes(array);
}

} // namespace

// ---- Byte layout
// ---------------------------------------------------------------------------------

TEST(SDFLayout, EmptyProjectContainerIsTwentyEightBytesInMemoryAndInAFile)
{
    const unsigned char expected[28] = {
        'l', 's', 'd', 'f', 1, 0, 7, 0, 0, 0, 3, 0, // magic, format 1, type 7, version 3
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // root: id 0, type 0, length 0
        'l', 's', 'd', 'f', // trailer
    };
    const Bytes want(reinterpret_cast<const char*>(expected), sizeof expected);

    Bytes memory = WriteToMemory([](auto& w, auto& s) {
        ASSERT_TRUE(w.Open(s, 7, 3));
        ASSERT_TRUE(w.Close());
    });
    EXPECT_EQ(memory, want);

    TemporaryFolder folder;
    std::string path = folder / "empty.vtproj";
    {
        LOutputStreamFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        LSDFWriter<LOutputStreamFile> w;
        ASSERT_TRUE(w.Open(file, 7, 3));
        ASSERT_TRUE(w.Close());
        // A second Close writes nothing and reports success.
        EXPECT_TRUE(w.Close());
        ASSERT_TRUE(file.Close());
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(path), want);
}

TEST(SDFLayout, ValueChunksHaveTheirExactBytes)
{
    Bytes doc = WriteToMemory([](auto& w, auto& s) {
        w.Open(s, 9, 3);
        w.WriteInt(2, -1);
        w.WriteString(5, "");
        w.WriteBool(6, true);
        w.WriteFloat(7, 1.0f);
        w.WriteBlob(8, "\x01\x02", 2);
        w.WriteBlob(9, nullptr, 0); // an empty blob needs no pointer
        w.Close();
    });
    Bytes payload = Header(2, 2, 4) + Bytes("\xFF\xFF\xFF\xFF", 4) // WriteInt(2, -1)
        + Header(5, 6, 1) + Bytes("\0", 1) // the empty text is its NUL
        + Header(6, 1, 1) + Bytes("\x01", 1) //
        + Header(7, 4, 4) + Bytes("\x00\x00\x80\x3F", 4) // 1.0f
        + Header(8, 7, 2) + Bytes("\x01\x02", 2) + Header(9, 7, 0);
    EXPECT_EQ(doc, Document(9, 3, payload));
    // The int chunk on its own, as the bytes 02 00 02 00 04 00 00 00 00 00 00 00 FF FF FF FF.
    EXPECT_EQ(doc.substr(24, 16),
        Bytes("\x02\x00\x02\x00\x04\x00\x00\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 16));
}

TEST(SDFLayout, NestedContainerLengthsArePatchedInPlace)
{
    Bytes doc = WriteToMemory([](auto& w, auto& s) {
        w.Open(s, 8, 1);
        w.StartContainer(2);
        w.WriteInt(1, 7);
        w.StartContainer(3);
        EXPECT_TRUE(w.EndContainer(3)); // empty container: length 0
        w.StartChunk(4, 7);
        w.WriteData("abc", 3);
        EXPECT_TRUE(w.EndChunk(4));
        EXPECT_TRUE(w.EndContainer(2));
        EXPECT_TRUE(w.Close());
    });
    Bytes inner = IntChunk(1, 7) + Header(3, 0, 0) + Header(4, 7, 3) + "abc";
    EXPECT_EQ(doc, Document(8, 1, Header(2, 0, inner.size()) + inner));
}

TEST(SDFLayout, FileAndMemoryWritersProduceTheSameBytes)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray memory(array);
    LSDFWriter<LOutputStreamByteArray> mw;
    ASSERT_TRUE(WriteSample(mw, memory));

    TemporaryFolder folder;
    std::string path = folder / "sample.vtproj";
    LOutputStreamFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    LSDFWriter<LOutputStreamFile> fw;
    ASSERT_TRUE(WriteSample(fw, file));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(TemporaryFolder::ReadFile(path), ToBytes(array));
}

// A container larger than the file stream's write buffer: its length field has already gone to
// the file when the container ends and is patched there.
TEST(SDFLayout, LengthPatchedAfterTheHeaderLeftTheWriteBuffer)
{
    TemporaryFolder folder;
    std::string path = folder / "large.vtproj";
    Bytes big(3 * LOutputStreamFile::kBufferSize + 5, 'x');
    {
        LOutputStreamFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        LSDFWriter<LOutputStreamFile> w;
        ASSERT_TRUE(w.Open(file, 7, 3));
        ASSERT_TRUE(w.StartContainer(1));
        ASSERT_TRUE(w.WriteBlob(2, big.data(), big.size()));
        for (int i = 0; i < 10000; ++i)
            ASSERT_TRUE(w.WriteInt(3, i));
        ASSERT_TRUE(w.EndContainer(1));
        ASSERT_TRUE(w.Close());
        ASSERT_TRUE(file.Close());
    }
    Bytes inner = Header(2, 7, big.size()) + big;
    for (int i = 0; i < 10000; ++i)
        inner += IntChunk(3, i);
    EXPECT_EQ(TemporaryFolder::ReadFile(path), Document(7, 3, Header(1, 0, inner.size()) + inner));
}

// Shared blobs: a writer into pieces keeps the large ones by reference (the owner's bytes, not a
// copy), small ones copied; its pieces laid end to end are the bytes the other writers write for
// the same document, containers around the shared blobs patched with the right lengths.
TEST(SDFLayout, PiecesShareLargeBlobsAndAddUpToTheSameBytes)
{
    auto large = std::make_shared<const std::vector<unsigned char>>(
        std::vector<unsigned char>(3 * 65536 + 7, 0xAB));
    auto second = std::make_shared<const std::vector<unsigned char>>(
        std::vector<unsigned char>(5000, 0x11));
    auto small = std::make_shared<const std::vector<unsigned char>>(
        std::vector<unsigned char> { 1, 2, 3 });
    auto write = [&](auto& w, auto& stream) {
        bool ok = w.Open(stream, 7, 3);
        ok = w.StartContainer(1) && ok;
        ok = w.WriteSharedBlob(2, large, large->data(), large->size()) && ok;
        ok = w.WriteSharedBlob(2, second, second->data(), second->size()) && ok; // back to back
        ok = w.StartContainer(3) && ok;
        ok = w.WriteSharedBlob(4, small, small->data(), small->size()) && ok;
        ok = w.WriteInt(5, 9) && ok;
        ok = w.EndContainer(3) && ok;
        ok = w.EndContainer(1) && ok;
        return w.Close() && ok;
    };
    LOutputStreamPieces pieces;
    LSDFWriter<LOutputStreamPieces> pw;
    ASSERT_TRUE(write(pw, pieces));
    Bytes joined;
    int shared = 0;
    for (const LOutputStreamPieces::Piece& piece : pieces.GetPieces()) {
        joined.append(reinterpret_cast<const char*>(piece.data), piece.size);
        shared += piece.data == large->data() || piece.data == second->data();
        EXPECT_NE(piece.data, small->data());
    }
    EXPECT_EQ(shared, 2);
    EXPECT_EQ(joined.size(), pieces.GetSize());
    EXPECT_LT(pieces.GetOwnSize(), 200u);

    LSizedArray<unsigned char> array;
    LOutputStreamByteArray memory(array);
    LSDFWriter<LOutputStreamByteArray> mw;
    ASSERT_TRUE(write(mw, memory));
    EXPECT_EQ(joined, ToBytes(array));
    const Bytes inner3 = Header(4, 7, 3) + Bytes("\x01\x02\x03", 3) + IntChunk(5, 9);
    const Bytes inner1 = Header(2, 7, large->size()) + Bytes(large->size(), char(0xAB))
        + Header(2, 7, second->size()) + Bytes(second->size(), char(0x11))
        + Header(3, 0, inner3.size()) + inner3;
    EXPECT_EQ(joined, Document(7, 3, Header(1, 0, inner1.size()) + inner1));
}

// Patching rewrites the stream's own bytes on either side of a shared piece; bytes of a shared
// piece, or a range reaching into one, are never written.
TEST(SDFLayout, PiecesPatchOnlyTheirOwnBytes)
{
    auto block
        = std::make_shared<const std::vector<unsigned char>>(std::vector<unsigned char>(10, 'S'));
    LOutputStreamPieces s;
    ASSERT_TRUE(s.Write("abcd", 4));
    ASSERT_TRUE(s.WriteShared(block, block->data(), block->size()));
    ASSERT_TRUE(s.Write("efgh", 4));
    ASSERT_EQ(s.Tell(), 18u);
    EXPECT_TRUE(s.Patch(1, "X", 1));
    EXPECT_TRUE(s.Patch(14, "YZ", 2));
    EXPECT_TRUE(s.Patch(16, "W", 1));
    EXPECT_FALSE(s.Patch(4, "!", 1)); // the shared piece's first byte
    EXPECT_FALSE(s.Patch(13, "!!", 2)); // its last byte and the next
    EXPECT_FALSE(s.Patch(3, "!!", 2)); // the last own byte and the shared piece's first
    EXPECT_FALSE(s.Patch(17, "!!", 2)); // past the end
    Bytes joined;
    for (const LOutputStreamPieces::Piece& piece : s.GetPieces())
        joined.append(reinterpret_cast<const char*>(piece.data), piece.size);
    EXPECT_EQ(joined, "aXcdSSSSSSSSSSYZWh");
    EXPECT_EQ(std::count(block->begin(), block->end(), 'S'), 10);
}

// An independent reading of a written file: Python's struct walks the chunk tree.
TEST(SDFLayout, PythonStructReadsTheWrittenTree)
{
    if (std::system("python3 -c 'import struct' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 not available";
    TemporaryFolder folder;
    std::string path = folder / "sample.vtproj";
    {
        LOutputStreamFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        LSDFWriter<LOutputStreamFile> w;
        ASSERT_TRUE(WriteSample(w, file));
    }
    std::string script = folder / "walk.py";
    TemporaryFolder::WriteFile(script, R"(import struct, sys
d = open(sys.argv[1], 'rb').read()
magic, fmt, ftype, ver = struct.unpack_from('<IHIH', d, 0)
out = ['%x %d %d %d' % (magic, fmt, ftype, ver)]
def walk(pos, end, depth):
    while pos < end:
        cid, ctype, length = struct.unpack_from('<HHQ', d, pos)
        pos += 12
        line = '%s%d:%d:%d' % ('  ' * depth, cid, ctype, length)
        if ctype == 2: line += '=%d' % struct.unpack_from('<i', d, pos)
        if ctype == 4: line += '=%g' % struct.unpack_from('<f', d, pos)
        if ctype == 1: line += '=%d' % d[pos]
        if ctype == 6: line += '=' + d[pos:pos + length - 1].decode('utf-8')
        out.append(line)
        if ctype == 0: walk(pos, pos + length, depth + 1)
        pos += length
rid, rtype, rlen = struct.unpack_from('<HHQ', d, 12)
walk(24, 24 + rlen, 0)
out.append('trailer %x' % struct.unpack_from('<I', d, 24 + rlen))
print('\n'.join(out))
)");
    std::string command = "python3 " + script + " " + path + " > " + (folder / "out.txt");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "out.txt"),
        "6664736c 1 7 3\n"
        "1:2:4=42\n"
        "2:6:13=Hej världen\n"
        "3:0:123\n"
        "  10:0:29\n    11:4:4=0\n    12:1:1=0\n"
        "  10:0:29\n    11:4:4=1.5\n    12:1:1=1\n"
        "  10:0:29\n    11:4:4=3\n    12:1:1=0\n"
        "4:7:5\n"
        "trailer 6664736c\n");
}

// ---- Writer failures ---------------------------------------------------------------------------

TEST(SDFWriter, AFailedStreamIsReportedAndLatched)
{
    int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    LOutputStreamFile file(fd);
    LSDFWriter<LOutputStreamFile> w;
    ASSERT_TRUE(w.Open(file, 7, 3)); // still in the write buffer
    Bytes big(LOutputStreamFile::kBufferSize * 2, 'x');
    EXPECT_FALSE(w.WriteBlob(1, big.data(), big.size())); // the buffer goes to the full device
    EXPECT_FALSE(w.IsGood());
    EXPECT_FALSE(w.WriteInt(2, 1)); // latched: nothing more is written
    EXPECT_FALSE(w.EndChunk(0));
    EXPECT_TRUE(w.Close()); // a writer that failed already reports through its writes
}

TEST(SDFWriter, TheFinalFlushFailureIsReportedByClose)
{
    int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    LOutputStreamFile file(fd);
    LSDFWriter<LOutputStreamFile> w;
    ASSERT_TRUE(w.Open(file, 7, 3));
    ASSERT_TRUE(w.WriteInt(1, 1));
    EXPECT_FALSE(w.Close());
}

TEST(SDFWriter, EndChunkWithoutAnOpenChunkFails)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray s(array);
    LSDFWriter<LOutputStreamByteArray> w;
    ASSERT_TRUE(w.Open(s, 7, 3));
    EXPECT_TRUE(w.EndContainer(0)); // the root
    EXPECT_FALSE(w.EndChunk(1));
    EXPECT_FALSE(w.IsGood());
}

// ---- Unknown chunks put back -------------------------------------------------------------------

TEST(SDFWriter, UnknownChunksReturnToTheirPlaces)
{
    // A document from a newer program: ids 1 and 3 are known, 50 and 60 are not.
    Bytes inner = IntChunk(1, 5) + IntChunk(50, 9) + IntChunk(3, 6) + Header(60, 7, 2) + "zz";
    Bytes original = Document(7, 3, inner);

    LInputStreamBuffer in(original.data(), original.size());
    LSDFReader<LInputStreamBuffer> reader;
    ASSERT_TRUE(reader.Open(in, 7));
    LList<LSDFUnknownChunk> unknown;
    int32_t one = 0, three = 0;
    LSDFReaderChunkIterator<LInputStreamBuffer> it(reader);
    while (it.Next()) {
        if (it->GetId() == 1) {
            it->ReadInt(one);
        } else if (it->GetId() == 3) {
            it->ReadInt(three);
        } else {
            auto* chunk = new LSDFUnknownChunk;
            ASSERT_TRUE(it->ReadUnknownChunk(*chunk));
            unknown.AddTail(chunk);
        }
    }
    ASSERT_TRUE(reader.IsGood());
    EXPECT_EQ(unknown.GetCount(), 2u);

    // Writing the known chunks again with their ordinals puts the others back between them.
    Bytes rewritten = WriteToMemory([&](auto& w, auto& s) {
        w.Open(s, 7, 3, &unknown);
        w.WriteInt(1, one, 0);
        w.WriteInt(3, three, 2);
        w.Close();
    });
    EXPECT_EQ(rewritten, original);
}

// ---- Reader ------------------------------------------------------------------------------------

TEST(SDFReader, ReadsWhatWasWrittenFromMemoryAndFromAFile)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray memory(array);
    LSDFWriter<LOutputStreamByteArray> w;
    ASSERT_TRUE(WriteSample(w, memory));

    LInputStreamBuffer buffer(array.GetData(), array.GetSize());
    LSDFReader<LInputStreamBuffer> br;
    Sample fromMemory;
    ASSERT_TRUE(ReadSample(br, buffer, fromMemory));
    EXPECT_EQ(br.GetFileVersion(), 3);
    EXPECT_EQ(fromMemory.number, 42);
    EXPECT_STREQ(fromMemory.text.GetString(), "Hej världen");
    EXPECT_EQ(fromMemory.items, 3);
    EXPECT_EQ(fromMemory.lastFloat, 3.0f);
    EXPECT_FALSE(fromMemory.lastBool);
    EXPECT_EQ(fromMemory.blob, Bytes("\x00\x01\x02\xFE\xFF", 5));

    TemporaryFolder folder;
    std::string path = folder / "sample.vtproj";
    TemporaryFolder::WriteFile(path, ToBytes(array));
    LInputStreamFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 3000));
    LSDFReader<LInputStreamFile> fr;
    Sample fromFile;
    ASSERT_TRUE(ReadSample(fr, file, fromFile));
    EXPECT_EQ(fromFile.number, 42);
    EXPECT_STREQ(fromFile.text.GetString(), "Hej världen");
    EXPECT_EQ(fromFile.items, 3);
    EXPECT_EQ(fromFile.blob, fromMemory.blob);
}

TEST(SDFReader, SkipsUnknownIdsWithoutReadingThem)
{
    // An unknown container with children and an unknown blob sit between the known ints.
    Bytes unknownChildren = IntChunk(1, 111) + Header(2, 7, 3) + "abc";
    Bytes payload = IntChunk(1, 5) + Header(77, 0, unknownChildren.size()) + unknownChildren
        + Header(78, 7, 4) + "wxyz" + IntChunk(2, 6);
    Bytes doc = Document(7, 3, payload);
    LInputStreamBuffer in(doc.data(), doc.size());
    LSDFReader<LInputStreamBuffer> r;
    ASSERT_TRUE(r.Open(in, 7));
    LSDFReaderChunkIterator<LInputStreamBuffer> it(r);
    std::vector<int> seen;
    int32_t v = 0;
    while (it.Next()) {
        seen.push_back(it->GetId());
        if ((it->GetId() == 1 || it->GetId() == 2) && it->ReadInt(v))
            seen.push_back(v);
    }
    EXPECT_TRUE(r.IsGood());
    EXPECT_EQ(seen, (std::vector<int> { 1, 5, 77, 78, 2, 6 }));
}

TEST(SDFReader, RefusesWrongHeaders)
{
    struct Case {
        const char* what;
        Bytes bytes;
        uint32_t expectType;
    } cases[] = {
        { "wrong magic", FileHeader(7, 3, 1, "lsdg") + Header(0, 0, 0) + "lsdf", 7 },
        { "format version 2", FileHeader(7, 3, 2) + Header(0, 0, 0) + "lsdf", 7 },
        { "other file type", Document(8, 1, ""), 7 },
        { "root of type 7", FileHeader(7, 3) + Header(0, 7, 0) + "lsdf", 7 },
        { "root id 1", FileHeader(7, 3) + Header(1, 0, 0) + "lsdf", 7 },
        { "cut header", FileHeader(7, 3).substr(0, 11), 7 },
        { "cut root header", FileHeader(7, 3) + Header(0, 0, 0).substr(0, 5), 7 },
    };
    for (const Case& c : cases) {
        LInputStreamBuffer in(c.bytes.data(), c.bytes.size());
        LSDFReader<LInputStreamBuffer> r;
        EXPECT_FALSE(r.Open(in, c.expectType)) << c.what;
        EXPECT_FALSE(r.IsGood()) << c.what;
        EXPECT_FALSE(r.IsHeaderAccepted()) << c.what;
        LSDFReaderChunkIterator<LInputStreamBuffer> it(r);
        EXPECT_FALSE(it.Next()) << c.what;
    }
    // A null buffer is not an open stream.
    LInputStreamBuffer none;
    LSDFReader<LInputStreamBuffer> r;
    EXPECT_FALSE(r.Open(none, 7));
    // A file reader without a descriptor neither.
    LInputStreamFile closed;
    LSDFReader<LInputStreamFile> fr;
    EXPECT_FALSE(fr.Open(closed, 7));
}

TEST(SDFReader, EmptyContainerIteratesNothing)
{
    Bytes doc = Document(7, 3, Header(5, 0, 0) + IntChunk(6, 1));
    LInputStreamBuffer in(doc.data(), doc.size());
    LSDFReader<LInputStreamBuffer> r;
    ASSERT_TRUE(r.Open(in, 7));
    LSDFReaderChunkIterator<LInputStreamBuffer> it(r);
    ASSERT_TRUE(it.Next());
    LSDFReaderChunkIterator<LInputStreamBuffer> inner(r, *it);
    EXPECT_FALSE(inner.Next());
    ASSERT_TRUE(it.Next());
    EXPECT_EQ(it->GetId(), 6);
    EXPECT_EQ(it->GetOrdinal(), 1);
    // A value chunk is no container: iterating it gives nothing.
    LSDFReaderChunkIterator<LInputStreamBuffer> notContainer(r, *it);
    EXPECT_FALSE(notContainer.Next());
    EXPECT_FALSE(it.Next());
    EXPECT_TRUE(r.IsGood());
}

// Every cut of a written file, read from memory and from a file: the reader stops cleanly and
// says whether it saw the whole document.
TEST(SDFReader, StopsCleanlyOnEveryCutOfAFile)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray memory(array);
    LSDFWriter<LOutputStreamByteArray> w;
    ASSERT_TRUE(WriteSample(w, memory));
    const Bytes whole = ToBytes(array);
    const size_t payloadEnd = whole.size() - 4; // the trailer is not checked

    TemporaryFolder folder;
    std::string path = folder / "cut.vtproj";
    for (size_t n = 0; n < whole.size(); ++n) {
        Bytes cut = whole.substr(0, n);
        LInputStreamBuffer in(cut.data(), cut.size());
        LSDFReader<LInputStreamBuffer> r;
        Sample s;
        bool ok = ReadSample(r, in, s);
        EXPECT_EQ(ok, n >= payloadEnd) << "cut at " << n;
        EXPECT_EQ(r.IsHeaderAccepted(), n >= 24) << "cut at " << n;

        TemporaryFolder::WriteFile(path, cut);
        LInputStreamFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        LSDFReader<LInputStreamFile> fr;
        Sample fs;
        EXPECT_EQ(ReadSample(fr, file, fs), ok) << "cut at " << n;
        EXPECT_EQ(fs.items, s.items) << "cut at " << n;
    }
}

// ---- Lengths that lie --------------------------------------------------------------------------

template <class Check> void ForBothStreams(const Bytes& doc, Check check)
{
    {
        LInputStreamBuffer in(doc.data(), doc.size());
        LSDFReader<LInputStreamBuffer> r;
        check(r, in);
    }
    TemporaryFolder folder;
    std::string path = folder / "doc.vtproj";
    TemporaryFolder::WriteFile(path, doc);
    LInputStreamFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    LSDFReader<LInputStreamFile> r;
    check(r, file);
}

TEST(SDFReaderHostile, AChildLongerThanItsContainerIsAnError)
{
    // Container 3 claims 16 bytes, but its child claims 100.
    Bytes child = Header(1, 7, 100) + Bytes(4, 'a');
    Bytes doc = Document(7, 3, Header(3, 0, child.size()) + child + IntChunk(9, 1));
    ForBothStreams(doc, [](auto& r, auto& s) {
        ASSERT_TRUE(r.Open(s, 7));
        using T = std::remove_reference_t<decltype(s)>;
        LSDFReaderChunkIterator<T> it(r);
        ASSERT_TRUE(it.Next());
        LSDFReaderChunkIterator<T> inner(r, *it);
        EXPECT_FALSE(inner.Next());
        EXPECT_FALSE(r.IsGood());
        EXPECT_FALSE(it.Next());
    });
}

TEST(SDFReaderHostile, AChildLongerThanTheFileIsRefusedBeforeAnyAllocation)
{
    // The root and the blob claim far more than there is; reading must not try to allocate it.
    for (uint64_t claimed : { uint64_t(1) << 40, ~uint64_t(0) - 4, uint64_t(50) }) {
        Bytes doc
            = FileHeader(7, 3) + Header(0, 0, ~uint64_t(0) / 2) + Header(4, 7, claimed) + "abcdef";
        ForBothStreams(doc, [](auto& r, auto& s) {
            ASSERT_TRUE(r.Open(s, 7));
            using T = std::remove_reference_t<decltype(s)>;
            LSDFReaderChunkIterator<T> it(r);
            EXPECT_FALSE(it.Next());
            EXPECT_FALSE(r.IsGood());
        });
    }
}

TEST(SDFReaderHostile, AHeaderCutByItsContainerIsAnError)
{
    // Container 3 is 6 bytes long: too short for a child header.
    Bytes doc = Document(7, 3, Header(3, 0, 6) + "123456" + IntChunk(1, 1));
    ForBothStreams(doc, [](auto& r, auto& s) {
        ASSERT_TRUE(r.Open(s, 7));
        using T = std::remove_reference_t<decltype(s)>;
        LSDFReaderChunkIterator<T> it(r);
        ASSERT_TRUE(it.Next());
        LSDFReaderChunkIterator<T> inner(r, *it);
        EXPECT_FALSE(inner.Next());
        EXPECT_FALSE(r.IsGood());
    });
}

TEST(SDFReaderHostile, ValueChunksOfTheWrongSizeDoNotDerailTheWalk)
{
    // An int of 2 bytes is refused; an int of 8 bytes gives its first 4; a bool of 0 bytes is
    // refused; the walk finds every following chunk at its place.
    Bytes payload = Header(1, 2, 2) + Bytes("\x05\x00", 2) + Header(2, 2, 8)
        + Bytes("\x07\x00\x00\x00\x09\x09\x09\x09", 8) + Header(3, 1, 0) + Header(4, 4, 3) + "abc"
        + IntChunk(5, 99);
    Bytes doc = Document(7, 3, payload);
    ForBothStreams(doc, [](auto& r, auto& s) {
        ASSERT_TRUE(r.Open(s, 7));
        using T = std::remove_reference_t<decltype(s)>;
        LSDFReaderChunkIterator<T> it(r);
        int32_t v = -1;
        bool b = false;
        float f = 0;
        ASSERT_TRUE(it.Next());
        EXPECT_FALSE(it->ReadInt(v));
        ASSERT_TRUE(it.Next());
        EXPECT_TRUE(it->ReadInt(v));
        EXPECT_EQ(v, 7);
        ASSERT_TRUE(it.Next());
        EXPECT_FALSE(it->ReadBool(b));
        ASSERT_TRUE(it.Next());
        EXPECT_FALSE(it->ReadFloat(f));
        ASSERT_TRUE(it.Next());
        EXPECT_EQ(it->GetId(), 5);
        EXPECT_TRUE(it->ReadInt(v));
        EXPECT_EQ(v, 99);
        EXPECT_FALSE(it.Next());
        EXPECT_TRUE(r.IsGood());
    });
}

TEST(SDFReaderHostile, StringsIntoFixedBuffersAreTerminatedAndCut)
{
    // A 3000-byte text, a text without its NUL, and a text whose cut falls inside "ö".
    Bytes longText(3000, 'q');
    Bytes split = Bytes(8, 'a') + "\xC3\xB6" + "z";
    Bytes payload = Header(1, 6, longText.size() + 1) + longText + Bytes("\0", 1) + Header(2, 6, 3)
        + "abc" + Header(3, 6, split.size() + 1) + split + Bytes("\0", 1) + Header(4, 6, 0);
    Bytes doc = Document(7, 3, payload);
    ForBothStreams(doc, [&](auto& r, auto& s) {
        ASSERT_TRUE(r.Open(s, 7));
        using T = std::remove_reference_t<decltype(s)>;
        LSDFReaderChunkIterator<T> it(r);
        char big[LSDFReaderChunk<T>::kStringBufferSize];
        std::memset(big, 'X', sizeof big);
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(big));
        EXPECT_EQ(std::strlen(big), sizeof big - 1);
        EXPECT_EQ(Bytes(big), longText.substr(0, sizeof big - 1));

        char small[6];
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(small, sizeof small));
        EXPECT_STREQ(small, "abc"); // the missing NUL is supplied

        char nine[10]; // 9 bytes of room: "aaaaaaaa" and the first byte of "ö"
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(nine, sizeof nine));
        EXPECT_STREQ(nine, "aaaaaaaa");

        LStringLongTemplate<char> empty("x");
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(empty));
        EXPECT_STREQ(empty.GetString(), "");
        EXPECT_FALSE(it.Next());
        EXPECT_TRUE(r.IsGood());
    });
}

TEST(SDFReaderHostile, AStringWithoutItsNulLosesTheLastByteAsWritten)
{
    Bytes doc = Document(7, 3, Header(1, 6, 3) + "abc" + Header(2, 6, 4) + Bytes("a\0bc", 4));
    ForBothStreams(doc, [](auto& r, auto& s) {
        ASSERT_TRUE(r.Open(s, 7));
        using T = std::remove_reference_t<decltype(s)>;
        LSDFReaderChunkIterator<T> it(r);
        LStringLongTemplate<char> text;
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(text));
        EXPECT_STREQ(text.GetString(), "ab");
        ASSERT_TRUE(it.Next());
        ASSERT_TRUE(it->ReadString(text));
        EXPECT_STREQ(text.GetString(), "a");
        EXPECT_EQ(text.GetLength(), 1u); // nothing hides behind an inner NUL
    });
}

// A stream whose size is not known in advance (a pipe): large payloads are read in steps, so a
// lying length costs no more memory than the bytes that really come.
TEST(SDFReaderHostile, LargePayloadsFromAPipeAreReadInSteps)
{
    Bytes big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 + (i >> 12));
    Bytes text(2 << 20, 't');
    for (bool lying : { false, true }) {
        Bytes payload = Header(1, 7, big.size()) + big + Header(2, 6, text.size() + 1) + text
            + Bytes("\0", 1);
        if (lying)
            payload = Header(1, 7, uint64_t(1) << 40) + big; // claims a terabyte, brings 3 MB
        // The lying document's root claims as much as its child, so only the stream's end can
        // tell.
        Bytes doc = lying ? FileHeader(7, 3) + Header(0, 0, (uint64_t(1) << 40) + 12) + payload
                          : Document(7, 3, payload);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            size_t at = 0;
            while (at < doc.size()) {
                ssize_t n = ::write(fds[1], doc.data() + at, doc.size() - at);
                if (n <= 0)
                    break;
                at += static_cast<size_t>(n);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        {
            LInputStreamFile in(fds[0]);
            EXPECT_EQ(in.GetSize(), kLStreamSizeUnknown);
            LSDFReader<LInputStreamFile> r;
            ASSERT_TRUE(r.Open(in, 7));
            LSDFReaderChunkIterator<LInputStreamFile> it(r);
            ASSERT_TRUE(it.Next());
            LSizedArray<unsigned char> data;
            if (lying) {
                EXPECT_FALSE(it->ReadData(data));
                EXPECT_EQ(data.GetSize(), 0u);
                EXPECT_FALSE(r.IsGood());
            } else {
                ASSERT_TRUE(it->ReadData(data));
                EXPECT_EQ(ToBytes(data), big);
                ASSERT_TRUE(it.Next());
                LStringLongTemplate<char> s;
                ASSERT_TRUE(it->ReadString(s));
                EXPECT_EQ(s.GetLength(), text.size());
                EXPECT_FALSE(it.Next());
                EXPECT_TRUE(r.IsGood());
            }
        }
        ::close(fds[0]);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

TEST(SDFWriter, LeadingUnknownChunksInNestedContainers)
{
    // Unknown chunks at the first places of the root and of a nested container, and one after
    // the last known child: the stack grows while they are written.
    auto makeChunk = [](uint16_t id, int32_t ordinal, const Bytes& payload) {
        auto* chunk = new LSDFUnknownChunk;
        chunk->id = id;
        chunk->type = kLSDFTypeBlob;
        chunk->ordinal = ordinal;
        chunk->data.Assign(reinterpret_cast<const unsigned char*>(payload.data()), payload.size());
        return chunk;
    };
    LList<LSDFUnknownChunk> root, inner;
    root.AddTail(makeChunk(90, 0, "r0"));
    root.AddTail(makeChunk(91, 1, "r1"));
    inner.AddTail(makeChunk(80, 0, "i0"));
    inner.AddTail(makeChunk(81, 1, "i1"));
    inner.AddTail(makeChunk(82, 3, "i3"));
    inner.AddTail(makeChunk(83, 9, "i9"));
    Bytes doc = WriteToMemory([&](auto& w, auto& s) {
        ASSERT_TRUE(w.Open(s, 7, 3, &root));
        ASSERT_TRUE(w.StartContainer(5, &inner, 2));
        ASSERT_TRUE(w.WriteInt(1, 1, 2));
        ASSERT_TRUE(w.WriteInt(2, 2, 4));
        ASSERT_TRUE(w.EndContainer(5));
        ASSERT_TRUE(w.Close());
    });
    Bytes innerBytes = Header(80, 7, 2) + "i0" + Header(81, 7, 2) + "i1" + IntChunk(1, 1)
        + Header(82, 7, 2) + "i3" + IntChunk(2, 2) + Header(83, 7, 2) + "i9";
    Bytes expected = Header(90, 7, 2) + "r0" + Header(91, 7, 2) + "r1"
        + Header(5, 0, innerBytes.size()) + innerBytes;
    EXPECT_EQ(doc, Document(7, 3, expected));
}
