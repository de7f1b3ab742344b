#include "lfw/gen/LSDF.h"

namespace _LSDF {

size_t WholeCharacterLength(const char* text, size_t n)
{
    // Walk back over continuation bytes to the last lead byte and keep its sequence only when it
    // is complete.
    size_t i = n;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80)
        --i;
    if (i == 0)
        return 0;
    unsigned char lead = static_cast<unsigned char>(text[i - 1]);
    size_t sequence = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return (i - 1) + sequence <= n ? std::min(n, (i - 1) + sequence) : i - 1;
}

} // namespace _LSDF

// The stream types the container is used with.
template class LSDFWriter<LOutputStreamFile>;
template class LSDFWriter<LOutputStreamByteArray>;
template class LSDFReader<LInputStreamFile>;
template class LSDFReader<LInputStreamBuffer>;
template class LSDFReaderChunk<LInputStreamFile>;
template class LSDFReaderChunk<LInputStreamBuffer>;
template class LSDFReaderChunkIterator<LInputStreamFile>;
template class LSDFReaderChunkIterator<LInputStreamBuffer>;
