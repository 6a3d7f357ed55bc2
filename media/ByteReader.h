#pragma once
// A cursor over bytes in memory that cannot read past its end: every read checks what is left and
// answers "nothing" instead, so the parsers never do offset arithmetic of their own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace media {

enum class ByteOrder { BigEndian, LittleEndian };

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> Bytes, ByteOrder Order = ByteOrder::BigEndian)
        : FBytes(Bytes), FOrder(Order) {}

    std::size_t Size() const { return FBytes.size(); }
    std::size_t Position() const { return FPosition; }
    std::size_t Remaining() const { return FBytes.size() - FPosition; }
    ByteOrder Order() const { return FOrder; }
    void SetOrder(ByteOrder Order) { FOrder = Order; }

    bool Seek(std::size_t Position) {
        if (Position > FBytes.size()) return false;
        FPosition = Position;
        return true;
    }
    bool Skip(std::size_t Count) {
        if (Count > Remaining()) return false;
        FPosition += Count;
        return true;
    }

    std::optional<std::span<const std::uint8_t>> Take(std::size_t Count) {
        if (Count > Remaining()) return std::nullopt;
        const auto taken = FBytes.subspan(FPosition, Count);
        FPosition += Count;
        return taken;
    }
    // The next Count bytes as a reader of their own, in the same byte order.
    std::optional<ByteReader> TakeReader(std::size_t Count) {
        const auto taken = Take(Count);
        if (!taken) return std::nullopt;
        return ByteReader(*taken, FOrder);
    }

    std::optional<std::uint8_t> U8() { return Unsigned<std::uint8_t>(1); }
    std::optional<std::uint16_t> U16() { return Unsigned<std::uint16_t>(2); }
    std::optional<std::uint32_t> U32() { return Unsigned<std::uint32_t>(4); }
    std::optional<std::uint64_t> U64() { return Unsigned<std::uint64_t>(8); }
    // An unsigned number of Width bytes (0, 1, 2, 4 or 8; 0 reads nothing and gives 0).
    std::optional<std::uint64_t> UnsignedOfWidth(unsigned Width) {
        switch (Width) {
            case 0: return 0;
            case 1: return Unsigned<std::uint64_t>(1);
            case 2: return Unsigned<std::uint64_t>(2);
            case 4: return Unsigned<std::uint64_t>(4);
            case 8: return Unsigned<std::uint64_t>(8);
            default: return std::nullopt;
        }
    }

    // Whether the next bytes are Text; they are consumed only when they are.
    bool SkipIf(std::string_view Text) {
        if (Text.size() > Remaining()) return false;
        for (std::size_t i = 0; i < Text.size(); ++i)
            if (FBytes[FPosition + i] != static_cast<std::uint8_t>(Text[i])) return false;
        FPosition += Text.size();
        return true;
    }

private:
    template <typename Number>
    std::optional<Number> Unsigned(std::size_t Width) {
        if (Width > Remaining()) return std::nullopt;
        Number value = 0;
        for (std::size_t i = 0; i < Width; ++i) {
            const std::size_t index = FOrder == ByteOrder::BigEndian ? i : Width - 1 - i;
            value = static_cast<Number>((value << 8) | FBytes[FPosition + index]);
        }
        FPosition += Width;
        return value;
    }

    std::span<const std::uint8_t> FBytes;
    std::size_t FPosition = 0;
    ByteOrder FOrder;
};

}  // namespace media
