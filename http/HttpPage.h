// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live page: the chart of the last hours in the window's colours, the
// newest minute, the alarm and the counter, in one document with its
// script and style inside, so that it needs nothing from elsewhere.

#include "http/HttpRequests.h"

#include <string>
#include <string_view>

namespace ostrel {

// The page in the language, titled with the station's name.
std::string PageHtml(THttpLanguage language, std::string_view station);

// Text with "&", "<", ">", '"' and "'" as HTML writes them.
std::string HtmlText(std::string_view text);

} // namespace ostrel
