// SHA-1 message digests (FIPS 180-1).
#pragma once

#include <cstddef>
#include <cstdint>

class LSha1 {
public:
    LSha1();

    // Adds length bytes of the message. Adding after the digest was taken, or a message longer
    // than 2^64 - 1 bits, corrupts the state: no digest is given afterwards.
    void Update(const void* data, size_t length);

    // Writes the five state words H0..H4 into out (20 bytes) in the machine's byte order; the
    // standard digest is each word as four big-endian bytes. Pads the message the first time.
    // Nothing is written on a corrupted state (result false). The size argument is not used.
    bool GetDigest(uint32_t* out, size_t size = 20);

    // The standard padding and the 80-round block function over the held block.
    void PadMessage();
    void ProcessMessageBlock();

private:
    uint32_t mState[5];
    uint32_t mLengthLow; // message length in bits, low word
    uint32_t mLengthHigh; // and high word
    uint8_t mBlock[64];
    uint32_t mBlockIndex;
    bool mComputed;
    bool mCorrupted;
};

// Processes whole 64-byte blocks into the five state words; uses the processor's SHA
// instructions when it has them.
void _LSha1ProcessBlocks(uint32_t state[5], const uint8_t* data, size_t blocks);

// Chooses the portable block function even on processors with SHA instructions (false), or
// lets the processor decide again (true). For tests and measurements.
void _LSha1UseHardware(bool use);
