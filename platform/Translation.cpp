// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Translation.h"

#include <utility>

namespace ostrel {

namespace {

// Set once at start-up, before any thread that might translate is started.
TTranslator& Installed() {
    static TTranslator translator;
    return translator;
}

} // namespace

void SetTranslator(TTranslator translator) {
    Installed() = std::move(translator);
}

std::string Translate(std::string_view text) {
    const TTranslator& translator = Installed();
    return translator ? translator(std::string(text)) : std::string(text);
}

std::string Translate(std::string_view pattern, std::string_view value) {
    std::string text = Translate(pattern);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

} // namespace ostrel
