// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An unsigned integer of any size, just what exact decimal reading and the
// portable extended arithmetic need.

#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrel {

class TBigUInt {
public:
    // digits: decimal digits only.
    static TBigUInt FromDecimal(std::string_view digits);
    // high * 2^64 + low.
    static TBigUInt FromWords(std::uint64_t high, std::uint64_t low);

    TBigUInt Times(const TBigUInt& other) const;
    void MulAdd(std::uint32_t factor, std::uint32_t addend);
    // exponent >= 0.
    void MulPow10(int exponent);
    void ShiftLeft(int bits);
    void ShiftRightOne();
    // *this -= other, where other <= *this.
    void Subtract(const TBigUInt& other);

    bool IsZero() const { return Limbs.empty(); }
    int BitLength() const;
    bool Bit(int position) const;
    // Bits [from, from + 64) as an integer.
    std::uint64_t Bits64(int from) const;
    bool AnyBitBelow(int position) const;
    bool LessThan(const TBigUInt& other) const;

private:
    void Trim();

    std::vector<std::uint32_t> Limbs; // little-endian, no zero limb at the top
};

} // namespace ostrel
