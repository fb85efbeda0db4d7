// SPDX-License-Identifier: GPL-3.0-or-later
// The word size of a library file read from its header, and the failure of a
// library of the other word size told apart from any other.

#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using TBytes = std::vector<unsigned char>;

// A PE file: the DOS header pointing at "PE\0\0" at peOffset, then the
// optional header's magic number after the 20-byte file header.
TBytes Pe(std::uint32_t peOffset, std::uint16_t magic, std::size_t size = 0x200) {
    TBytes bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) {
        bytes[0x3C + i] = static_cast<unsigned char>(peOffset >> (8 * i));
    }
    if (peOffset + 26 <= size) {
        bytes[peOffset] = 'P';
        bytes[peOffset + 1] = 'E';
        bytes[peOffset + 24] = static_cast<unsigned char>(magic);
        bytes[peOffset + 25] = static_cast<unsigned char>(magic >> 8);
    }
    return bytes;
}

TBytes Elf(unsigned char elfClass, std::size_t size = 64) {
    TBytes bytes(size, 0);
    const unsigned char ident[] = {0x7F, 'E', 'L', 'F', elfClass, 1, 1};
    std::copy(std::begin(ident), std::end(ident), bytes.begin());
    return bytes;
}

std::string FileOf(const std::string& name, const TBytes& bytes) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(DynamicLibraryTest, WordSizeFromTheHeader) {
    TBytes peNotPe = Pe(0x80, 0x10B);
    peNotPe[0x81] = 'X';
    TBytes text(100, 'x');
    const struct {
        const char* Name;
        TBytes Bytes;
        int WordSize;
    } cases[] = {
        {"elf32", Elf(1), 32},
        {"elf64", Elf(2), 64},
        {"elf-class-3", Elf(3), 0},
        {"elf-short", Elf(2, 16), 0},
        {"pe32", Pe(0x80, 0x10B), 32},
        {"pe32plus", Pe(0xF8, 0x20B), 64},
        {"pe-rom", Pe(0x80, 0x107), 0},
        {"pe-offset-past-end", Pe(0x1000, 0x10B), 0},
        {"pe-signature-wrong", peNotPe, 0},
        {"text", text, 0},
        {"empty", {}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LibraryFileWordSize(FileOf(c.Name, c.Bytes)), c.WordSize) << c.Name;
    }
    EXPECT_EQ(LibraryFileWordSize(testing::TempDir() + "no-such-library"), 0);
#ifdef _WIN32
    EXPECT_EQ(LibraryFileWordSize(std::string(OSTREL_BIN_DIR) + "/Pexlar.dll"), ProgramWordSize);
#else
    EXPECT_EQ(LibraryFileWordSize(std::string(OSTREL_BIN_DIR) + "/libPexlar.so"), ProgramWordSize);
#endif
}

#ifndef _WIN32
TEST(DynamicLibraryTest, OnlyALibraryOfTheOtherWordSizeFailsForIt) {
    const struct {
        const char* Name;
        TBytes Bytes;
        TOpenFailure Failure;
    } cases[] = {
        {"other-class.so", Elf(ProgramWordSize == 64 ? 1 : 2), TOpenFailure::OtherWordSize},
        {"own-class-broken.so", Elf(ProgramWordSize == 64 ? 2 : 1), TOpenFailure::Other},
        {"text.so", TBytes(100, 'x'), TOpenFailure::Other},
    };
    for (const auto& c : cases) {
        const TDynamicLibrary library = TDynamicLibrary::Open(FileOf(c.Name, c.Bytes));
        EXPECT_FALSE(library.IsOpen()) << c.Name;
        EXPECT_EQ(library.Failure(), c.Failure) << c.Name;
    }
    EXPECT_EQ(TDynamicLibrary::Open("/no/such/libPexlar.so").Failure(), TOpenFailure::Other);
    EXPECT_EQ(TDynamicLibrary::Open(std::string(OSTREL_BIN_DIR) + "/libPexlar.so").Failure(),
              TOpenFailure::None);
}
#endif

} // namespace
} // namespace ostrel
