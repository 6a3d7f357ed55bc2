#pragma once
// What the capture-time reader reads: a file's bytes at an offset, and the file's size. The caller
// hands over the file it has open already (no second open); the source counts what is read, so that
// a benchmark can tell the bytes read per file.

#include <cstddef>
#include <cstdint>
#include <span>

namespace media {

class ByteSource {
public:
    explicit ByteSource(std::uint64_t Size) : FSize(Size) {}
    virtual ~ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    std::uint64_t Size() const { return FSize; }

    // Fills Into with the bytes at Offset; false when they are not all inside the file or the read fails.
    bool Read(std::uint64_t Offset, std::span<std::uint8_t> Into);

    std::uint64_t BytesRead() const { return FBytesRead; }
    std::uint32_t ReadCount() const { return FReadCount; }

protected:
    // Reads exactly Length bytes at Offset; Read has checked that they lie inside Size().
    virtual bool ReadAt(std::uint64_t Offset, std::uint8_t* Into, std::size_t Length) = 0;

private:
    std::uint64_t FSize;
    std::uint64_t FBytesRead = 0;
    std::uint32_t FReadCount = 0;
};

// Bytes in memory as a source: for tests and the fuzzer.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> Bytes) : ByteSource(Bytes.size()), FBytes(Bytes) {}

protected:
    bool ReadAt(std::uint64_t Offset, std::uint8_t* Into, std::size_t Length) override;

private:
    std::span<const std::uint8_t> FBytes;
};

}  // namespace media
