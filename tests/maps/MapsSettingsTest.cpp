// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace ostrel;

namespace {

struct TSectionCase {
    const char* File;
    const char* Read; // what was read, as the test prints it; "off" for none
    const char* Diagnostics;
};

std::string Printed(const std::optional<TRadmonSettings>& s) {
    return s ? s->User + "|" + s->Password + "|" + s->Url + "|" + std::to_string(s->Interval)
             : "off";
}

std::string Printed(const std::optional<TGmcmapSettings>& s) {
    return s ? s->AccountId + "|" + s->GeigerId + "|" + s->Url + "|" + std::to_string(s->Interval)
             : "off";
}

std::string Printed(const std::optional<TSafecastSettings>& s) {
    std::ostringstream text;
    text.precision(15);
    if (s) {
        text << s->ApiKey << "|" << s->Latitude << "|" << s->Longitude << "|" << s->DeviceId << "|"
             << s->LocationName << "|" << s->Url;
    }
    return s ? text.str() : "off";
}

template <typename TRead>
void Check(const char* name, const std::vector<TSectionCase>& cases, TRead read) {
    // Each case runs as a process of its own, side by side with the others:
    // each writes a file of its own.
    const std::filesystem::path file = std::filesystem::path(::testing::TempDir()) /
                                       ("ostrel-maps-settings-" + std::string(name) + ".ini");
    for (const TSectionCase& c : cases) {
        std::ofstream(file, std::ios::binary) << c.File;
        std::ostringstream diagnostics;
        EXPECT_EQ(Printed(read(TSettingsSection(file, name), diagnostics)), c.Read) << c.File;
        EXPECT_EQ(diagnostics.str(), c.Diagnostics) << c.File;
    }
    std::filesystem::remove(file);
}

} // namespace

TEST(MapsSettingsTest, RadmonNeedsAUserAndAPassword) {
    Check("Radmon",
          {
              {"", "off", ""},
              {"[Radmon]\n", "off", ""},
              {"[radmon]\nuser= me \nPASSWORD=p w\n", "me|p w|https://radmon.org|1", ""},
              {"[Radmon]\nUser=me\nPassword=x\nURL=http://127.0.0.1:81//\nInterval=5\n",
               "me|x|http://127.0.0.1:81|5", ""},
              {"[Radmon]\nUser=me\n", "off",
               "ostrel: [Radmon] Password= is missing; nothing is sent to radmon.org\n"},
              {"[Radmon]\nInterval=2\n", "off",
               "ostrel: [Radmon] User= is missing; nothing is sent to radmon.org\n"
               "ostrel: [Radmon] Password= is missing; nothing is sent to radmon.org\n"},
              {"[Radmon]\nUser=me\nPassword=x\nURL=ftp://me:x@radmon.org/?p=x\nInterval=0\n",
               "me|x|https://radmon.org|1",
               "ostrel: [Radmon] URL=ftp://radmon.org/ is not usable; https://radmon.org is used "
               "instead\n"
               "ostrel: [Radmon] Interval=0 is not usable; 1 is used instead\n"},
              {"[Radmon]\nUser=me\nPassword=x\nURL=https://\nInterval=1441\n",
               "me|x|https://radmon.org|1",
               "ostrel: [Radmon] URL=https:// is not usable; https://radmon.org is used instead\n"
               "ostrel: [Radmon] Interval=1441 is not usable; 1 is used instead\n"},
          },
          ReadRadmonSettings);
}

TEST(MapsSettingsTest, GmcmapNeedsAnAccountAndACounter) {
    Check("GMCmap",
          {
              {"[Radmon]\nUser=me\n", "off", ""},
              {"[GMCmap]\nAccountID=0123\nGeigerID=456\n", "0123|456|https://www.gmcmap.com|1", ""},
              {"[GMCmap]\nAccountID=1\nGeigerID=2\nURL=HTTP://h:1/x/\nInterval=1440\n",
               "1|2|HTTP://h:1/x|1440", ""},
              {"[GMCmap]\nAccountID=1\nURL=https://h\n", "off",
               "ostrel: [GMCmap] GeigerID= is missing; nothing is sent to gmcmap.com\n"},
              {"[GMCmap]\nAccountID=1\nGeigerID=2\nURL=https://h/a b\nInterval=five\n",
               "1|2|https://www.gmcmap.com|1",
               "ostrel: [GMCmap] URL=https://h/a b is not usable; https://www.gmcmap.com is used "
               "instead\n"
               "ostrel: [GMCmap] Interval=five is not usable; 1 is used instead\n"},
          },
          ReadGmcmapSettings);
}

TEST(MapsSettingsTest, SafecastNeedsAKeyAndAPlace) {
    Check("Safecast",
          {
              {"[Safecast]\n", "off", ""},
              {"[Safecast]\nAPIKey=k\nLatitude=35.6812\nLongitude=139.7671\n",
               "k|35.6812|139.7671|||https://api.safecast.org", ""},
              {"[Safecast]\nAPIKey=k\nLatitude=-90\nLongitude=180\nDeviceID=47\n"
               "LocationName=Desk, 2F\nURL=http://127.0.0.1:5/\n",
               "k|-90|180|47|Desk, 2F|http://127.0.0.1:5", ""},
              {"[Safecast]\nAPIKey=k\nLatitude=35\nLongitude=139\nDeviceID=bGeigie\n",
               "k|35|139|||https://api.safecast.org",
               "ostrel: [Safecast] DeviceID=bGeigie is not usable; none is used instead\n"},
              {"[Safecast]\nLatitude=35,68\nLongitude=181\n", "off",
               "ostrel: [Safecast] APIKey= is missing; nothing is sent to Safecast\n"
               "ostrel: [Safecast] Latitude= 35,68 is not a number from -90 to 90; nothing is "
               "sent to Safecast\n"
               "ostrel: [Safecast] Longitude= 181 is not a number from -180 to 180; nothing is "
               "sent to Safecast\n"},
              {"[Safecast]\nAPIKey=k\nLongitude=1\n", "off",
               "ostrel: [Safecast] Latitude= is missing; nothing is sent to Safecast\n"},
          },
          ReadSafecastSettings);
}
