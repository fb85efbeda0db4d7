// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BigUInt.h"

#include <algorithm>

namespace ostrel {

TBigUInt TBigUInt::FromDecimal(std::string_view digits) {
    TBigUInt n;
    std::size_t i = 0;
    while (i < digits.size()) {
        const std::size_t chunk = std::min<std::size_t>(9, digits.size() - i);
        std::uint32_t value = 0;
        std::uint32_t scale = 1;
        for (std::size_t k = 0; k < chunk; ++k) {
            value = value * 10 + static_cast<std::uint32_t>(digits[i + k] - '0');
            scale *= 10;
        }
        n.MulAdd(scale, value);
        i += chunk;
    }
    return n;
}

TBigUInt TBigUInt::FromWords(std::uint64_t high, std::uint64_t low) {
    TBigUInt n;
    n.Limbs = {static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(low >> 32),
               static_cast<std::uint32_t>(high), static_cast<std::uint32_t>(high >> 32)};
    n.Trim();
    return n;
}

TBigUInt TBigUInt::Times(const TBigUInt& other) const {
    TBigUInt product;
    product.Limbs.assign(Limbs.size() + other.Limbs.size(), 0u);
    for (std::size_t i = 0; i < Limbs.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < other.Limbs.size(); ++j) {
            // At most (2^32 - 1)^2 + 2 (2^32 - 1): it fits.
            const std::uint64_t sum = static_cast<std::uint64_t>(Limbs[i]) * other.Limbs[j] +
                                      product.Limbs[i + j] + carry;
            product.Limbs[i + j] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        product.Limbs[i + other.Limbs.size()] = static_cast<std::uint32_t>(carry);
    }
    product.Trim();
    return product;
}

void TBigUInt::MulAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (auto& limb : Limbs) {
        const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
        limb = static_cast<std::uint32_t>(product);
        carry = product >> 32;
    }
    if (carry != 0) {
        Limbs.push_back(static_cast<std::uint32_t>(carry));
    }
}

void TBigUInt::MulPow10(int exponent) {
    for (; exponent >= 9; exponent -= 9) {
        MulAdd(1'000'000'000u, 0);
    }
    static constexpr std::uint32_t Small[] = {1,       10,        100,        1000,       10'000,
                                              100'000, 1'000'000, 10'000'000, 100'000'000};
    MulAdd(Small[exponent], 0);
}

void TBigUInt::ShiftLeft(int bits) {
    const auto limbShift = static_cast<std::size_t>(bits / 32);
    const int bitShift = bits % 32;
    if (bitShift != 0) {
        std::uint32_t carry = 0;
        for (auto& limb : Limbs) {
            const std::uint32_t next = limb >> (32 - bitShift);
            limb = (limb << bitShift) | carry;
            carry = next;
        }
        if (carry != 0) {
            Limbs.push_back(carry);
        }
    }
    Limbs.insert(Limbs.begin(), limbShift, 0u);
}

void TBigUInt::ShiftRightOne() {
    for (std::size_t k = 0; k < Limbs.size(); ++k) {
        const std::uint32_t high = k + 1 < Limbs.size() ? Limbs[k + 1] << 31 : 0u;
        Limbs[k] = (Limbs[k] >> 1) | high;
    }
    Trim();
}

void TBigUInt::Subtract(const TBigUInt& other) {
    std::int64_t borrow = 0;
    for (std::size_t k = 0; k < Limbs.size(); ++k) {
        std::int64_t difference = static_cast<std::int64_t>(Limbs[k]) - borrow -
                                  (k < other.Limbs.size() ? other.Limbs[k] : 0);
        borrow = difference < 0 ? 1 : 0;
        if (difference < 0) {
            difference += std::int64_t{1} << 32;
        }
        Limbs[k] = static_cast<std::uint32_t>(difference);
    }
    Trim();
}

int TBigUInt::BitLength() const {
    if (Limbs.empty()) {
        return 0;
    }
    int length = static_cast<int>(Limbs.size() - 1) * 32;
    for (std::uint32_t top = Limbs.back(); top != 0; top >>= 1) {
        ++length;
    }
    return length;
}

bool TBigUInt::Bit(int position) const {
    const auto limb = static_cast<std::size_t>(position / 32);
    return limb < Limbs.size() && ((Limbs[limb] >> (position % 32)) & 1u) != 0;
}

std::uint64_t TBigUInt::Bits64(int from) const {
    std::uint64_t value = 0;
    for (int k = 63; k >= 0; --k) {
        value = (value << 1) | (Bit(from + k) ? 1u : 0u);
    }
    return value;
}

bool TBigUInt::AnyBitBelow(int position) const {
    for (int k = 0; k < position; ++k) {
        if (Bit(k)) {
            return true;
        }
    }
    return false;
}

bool TBigUInt::LessThan(const TBigUInt& other) const {
    if (Limbs.size() != other.Limbs.size()) {
        return Limbs.size() < other.Limbs.size();
    }
    for (std::size_t k = Limbs.size(); k-- > 0;) {
        if (Limbs[k] != other.Limbs[k]) {
            return Limbs[k] < other.Limbs[k];
        }
    }
    return false;
}

void TBigUInt::Trim() {
    while (!Limbs.empty() && Limbs.back() == 0) {
        Limbs.pop_back();
    }
}

} // namespace ostrel
