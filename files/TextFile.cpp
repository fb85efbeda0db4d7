// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/TextFile.h"

#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstring>

namespace ostrel {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";

// UTF-16 text may hold half of a surrogate pair, which has no UTF-8 form.
void ReplaceLoneSurrogates(QString& text) {
    const qsizetype size = text.size();
    for (qsizetype k = 0; k < size; ++k) {
        const QChar c = text.at(k);
        if (c.isHighSurrogate() && k + 1 < size && text.at(k + 1).isLowSurrogate()) {
            ++k;
        } else if (c.isSurrogate()) {
            text[k] = QChar::ReplacementCharacter;
        }
    }
}

// A mark right after the one that was stripped is text (U+FEFF), and a
// sequence cut short at the end of the file is an error, not pending input.
std::string Decode(std::string_view bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless |
                                         QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    ReplaceLoneSurrogates(text);
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

void CutAtNul(std::string& text) {
    const void* nul = std::memchr(text.data(), 0, text.size());
    if (nul != nullptr) {
        text.resize(std::size_t(static_cast<const char*>(nul) - text.data()));
    }
}

// Replaces the bytes by their text; ASCII text stays where it is.
void DecodeInPlace(std::string& bytes) {
    const std::string_view view(bytes);
    if (view.starts_with(Utf8Mark)) {
        bytes.erase(0, Utf8Mark.size());
        if (!IsAscii(bytes)) {
            bytes = Decode(bytes, QStringConverter::Utf8);
        }
    } else if (view.starts_with(Utf16LeMark)) {
        bytes = Decode(view.substr(Utf16LeMark.size()), QStringConverter::Utf16LE);
    } else if (view.starts_with(Utf16BeMark)) {
        bytes = Decode(view.substr(Utf16BeMark.size()), QStringConverter::Utf16BE);
    } else if (!IsAscii(bytes)) {
        bytes = Decode(bytes, QStringConverter::System);
    }
}

} // namespace

bool IsAscii(std::string_view bytes) {
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    std::size_t k = 0;
    for (; k + 8 <= bytes.size(); k += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + k, sizeof word);
        if ((word & highBits) != 0) {
            return false;
        }
    }
    for (; k < bytes.size(); ++k) {
        if ((static_cast<unsigned char>(bytes[k]) & 0x80U) != 0) {
            return false;
        }
    }
    return true;
}

std::string DecodeText(std::string bytes) {
    DecodeInPlace(bytes);
    CutAtNul(bytes);
    return bytes;
}

std::string ReadTextFile(const std::string& path, std::uint64_t maxBytes) {
    return DecodeText(ReadFileBytes(path, maxBytes));
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(CountLines(text));
    ForEachLine(text, [&lines](std::string_view line) { lines.push_back(line); });
    return lines;
}

std::size_t CountLines(std::string_view text) {
    // Every CR and every LF is a break, but a CR LF is one; a text that does
    // not end in a break has one line more. Plain sums, which vectorise.
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t breaks = 0;
    for (std::size_t k = 0; k < size; ++k) {
        breaks += std::size_t(data[k] == '\r') + std::size_t(data[k] == '\n');
    }
    for (std::size_t k = 1; k < size; ++k) {
        breaks -= std::size_t(data[k - 1] == '\r' && data[k] == '\n');
    }
    const bool endsInBreak = size > 0 && (data[size - 1] == '\r' || data[size - 1] == '\n');
    return breaks + std::size_t(size > 0 && !endsInBreak);
}

} // namespace ostrel
