// SPDX-License-Identifier: GPL-3.0-or-later
#include "counter/CounterLibrary.h"
#include "sim/TestHooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ostrel {
namespace {

const std::string SimPath = std::string(OSTREL_BIN_DIR) + "/" + CounterLibraryFileName;

std::string IncompletePath(const std::string& missing) {
#ifdef _WIN32
    return std::string(OSTREL_BIN_DIR) + "/testlibs/PexlarWithout" + missing + ".dll";
#else
    return std::string(OSTREL_BIN_DIR) + "/testlibs/libPexlarWithout" + missing + ".so";
#endif
}

const std::vector<std::string> EntryNames{"Find",           "GetInfo", "Connect",
                                          "Disconnect",     "GetData", "GetCoefficient",
                                          "SetCoefficient", "Clear"};

std::vector<TProcAddress> Addresses(const TCounterEntryPoints& e) {
    return {reinterpret_cast<TProcAddress>(e.Find),
            reinterpret_cast<TProcAddress>(e.GetInfo),
            reinterpret_cast<TProcAddress>(e.Connect),
            reinterpret_cast<TProcAddress>(e.Disconnect),
            reinterpret_cast<TProcAddress>(e.GetData),
            reinterpret_cast<TProcAddress>(e.GetCoefficient),
            reinterpret_cast<TProcAddress>(e.SetCoefficient),
            reinterpret_cast<TProcAddress>(e.Clear)};
}

const std::vector<TProcAddress> Unbound(8, nullptr);

// Holds its own reference to a library, so the library's call log outlives
// the loader under test, and reads that log.
class TCallLog {
public:
    explicit TCallLog(const std::string& path) : Library(TDynamicLibrary::Open(path)) {
        Read = reinterpret_cast<sim::TCallLogFn>(Library.Symbol(sim::CallLogName));
        Take();
    }
    bool Ready() const { return Read != nullptr; }
    std::string Take() { return Read != nullptr ? Read() : "(no call log)"; }

private:
    TDynamicLibrary Library;
    sim::TCallLogFn Read = nullptr;
};

// Whether the process still has the library mapped (nobody holds it).
bool StillMapped(const std::string& path) {
#ifdef _WIN32
    return GetModuleHandleA(path.c_str()) != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
#endif
}

TEST(CounterLibraryTest, BindsEachEntryPointToTheFunctionOfItsName) {
    TCounterLibrary library({SimPath});
    ASSERT_TRUE(library.LoadCounterLibrary());
    EXPECT_TRUE(library.IsLoaded());
    const TDynamicLibrary own = TDynamicLibrary::Open(SimPath);
    const std::vector<TProcAddress> bound = Addresses(library.EntryPoints());
    for (std::size_t i = 0; i < EntryNames.size(); ++i) {
        EXPECT_NE(bound[i], nullptr) << EntryNames[i];
        EXPECT_EQ(bound[i], own.Symbol(EntryNames[i].c_str())) << EntryNames[i];
    }
}

TEST(CounterLibraryTest, FilesThatAreNoUsableLibraryFail) {
    const std::vector<std::vector<std::string>> cases{
        {}, {""}, {"/no/such/folder/libPexlar.so"}, {"libNoSuchPexlar.so"}, {__FILE__}};
    for (const auto& candidates : cases) {
        TCounterLibrary library(candidates);
        EXPECT_FALSE(library.LoadCounterLibrary()) << testing::PrintToString(candidates);
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_EQ(Addresses(library.EntryPoints()), Unbound);
    }
}

class MissingEntryPoint : public testing::TestWithParam<std::string> {};

TEST_P(MissingEntryPoint, FailsUnbindsAndCallsOnlyClear) {
    TCallLog calls(IncompletePath(GetParam()));
    ASSERT_TRUE(calls.Ready()) << "build the PexlarIncomplete target";
    TCounterLibrary library({IncompletePath(GetParam())});
    EXPECT_FALSE(library.LoadCounterLibrary());
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(Addresses(library.EntryPoints()), Unbound);
    EXPECT_EQ(calls.Take(), GetParam() == "Clear" ? "" : "Clear");
}

INSTANTIATE_TEST_SUITE_P(EachName, MissingEntryPoint, testing::ValuesIn(EntryNames),
                         [](const auto& info) { return info.param; });

TEST(CounterLibraryTest, FailedLoadLeavesTheLibraryFreed) {
    TCounterLibrary library({IncompletePath("GetData")});
    EXPECT_FALSE(library.LoadCounterLibrary());
    EXPECT_FALSE(StillMapped(IncompletePath("GetData")));
}

TEST(CounterLibraryTest, UnloadCallsClearLastAndForgetsEverything) {
    TCallLog calls(SimPath);
    TCounterLibrary library({SimPath});
    ASSERT_TRUE(library.LoadCounterLibrary());
    EXPECT_EQ(calls.Take(), "");
    EXPECT_EQ(library.EntryPoints().Find(), 1);
    EXPECT_EQ(library.EntryPoints().Find(), 1);
    library.UnloadCounterLibrary();
    EXPECT_EQ(calls.Take(), "Find*2 Clear");
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(Addresses(library.EntryPoints()), Unbound);
    library.UnloadCounterLibrary();
    EXPECT_EQ(calls.Take(), "");
}

TEST(CounterLibraryTest, SecondLoadKeepsTheOneHandle) {
    {
        TCounterLibrary library({SimPath});
        ASSERT_TRUE(library.LoadCounterLibrary());
        const std::vector<TProcAddress> first = Addresses(library.EntryPoints());
        ASSERT_TRUE(library.LoadCounterLibrary());
        EXPECT_EQ(Addresses(library.EntryPoints()), first);
        library.UnloadCounterLibrary();
        EXPECT_FALSE(StillMapped(SimPath));
        ASSERT_TRUE(library.LoadCounterLibrary());
    }
    EXPECT_FALSE(StillMapped(SimPath)); // the destructor unloaded it
}

TEST(CounterLibraryTest, DestructorCallsClear) {
    TCallLog calls(SimPath);
    {
        TCounterLibrary library({SimPath});
        ASSERT_TRUE(library.LoadCounterLibrary());
    }
    EXPECT_EQ(calls.Take(), "Clear");
}

TEST(CounterLibraryTest, LooksBesideTheExecutableThenOnTheLibraryPath) {
    const std::vector<std::string> candidates = DefaultCounterLibraryCandidates();
#ifdef _WIN32
    ASSERT_EQ(candidates.size(), 1u); // from the program's folder only
#else
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[1], CounterLibraryFileName);
#endif
    EXPECT_TRUE(std::filesystem::equivalent(candidates[0], SimPath)) << candidates[0];
    TCounterLibrary library;
    EXPECT_TRUE(library.LoadCounterLibrary());
    // The first file that opens is the one; an incomplete one is not passed over.
    TCounterLibrary incompleteFirst(
        {"/no/such/folder/libPexlar.so", IncompletePath("Find"), SimPath});
    EXPECT_FALSE(incompleteFirst.LoadCounterLibrary());
    TCounterLibrary missingFirst({"/no/such/folder/libPexlar.so", SimPath});
    EXPECT_TRUE(missingFirst.LoadCounterLibrary());
}

#ifdef _WIN32
// A Pexlar.dll planted in the current folder (or on PATH) is never taken
// for the program's: a name that is not a full path loads nothing.
TEST(CounterLibraryTest, NoBareOrRelativeNamesOnWindows) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(OSTREL_BIN_DIR);
    for (const char* name : {"Pexlar.dll", "Pexlar", ".\\Pexlar.dll", "testlibs/../Pexlar.dll"}) {
        EXPECT_FALSE(TDynamicLibrary::Open(name).IsOpen()) << name;
        TCounterLibrary library({name});
        EXPECT_FALSE(library.LoadCounterLibrary()) << name;
    }
    EXPECT_TRUE(TDynamicLibrary::Open(SimPath).IsOpen());
    std::filesystem::current_path(before);
}

TEST(CounterLibraryTest, ANameStandsForTheInstalledLibraryThenTheBuildFolders) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Expected; // none: no such counter
    };
#ifdef _WIN32
    const TCase cases[] = {
        {"sim", {"C:/Ostrel/Pexlar.dll"}},
        {"gmc", {"C:/Ostrel/adapters\\PexlarGmc.dll"}},
        {"radpro", {"C:/Ostrel/adapters\\PexlarRadPro.dll"}},
        {"D:\\vendor\\Pexlar.dll", {"D:\\vendor\\Pexlar.dll"}},
        {"GMC", {}},
        {"Pexlar.dll", {}},
    };
    const std::string folder = "C:/Ostrel";
#else
    const TCase cases[] = {
        {"sim", {"/usr/bin/../lib/ostrel/libPexlar.so", "/usr/bin/libPexlar.so"}},
        {"gmc",
         {"/usr/bin/../lib/ostrel/adapters/libPexlarGmc.so", "/usr/bin/adapters/libPexlarGmc.so"}},
        {"serial-line",
         {"/usr/bin/../lib/ostrel/adapters/libPexlarSerialLine.so",
          "/usr/bin/adapters/libPexlarSerialLine.so"}},
        {"radpro",
         {"/usr/bin/../lib/ostrel/adapters/libPexlarRadPro.so",
          "/usr/bin/adapters/libPexlarRadPro.so"}},
        {"./vendor/libPexlar.so", {"./vendor/libPexlar.so"}},
        {"GMC", {}},
        {"libPexlar.so", {}},
        {"", {}},
    };
    const std::string folder = "/usr/bin";
#endif
    for (const TCase& c : cases) {
        const auto got = NamedCounterLibraryCandidates(c.Name, folder, "../lib/ostrel");
        EXPECT_EQ(got.value_or(std::vector<std::string>{}), c.Expected) << c.Name;
        EXPECT_EQ(got.has_value(), !c.Expected.empty()) << c.Name;
    }
}

// The Pexlar.dll of the other word size that test-windows.sh names; empty
// where none is named.
std::string OtherWordSizePexlar() {
    const char* other = std::getenv("OSTREL_TEST_OTHER_WORD_SIZE_PEXLAR");
    return other != nullptr ? other : "";
}

// A 64-bit program cannot load a 32-bit Pexlar.dll, nor the other way
// round: without the device host of the other word size the load fails as
// for a missing library, and nothing is bound.
TEST(CounterLibraryTest, LibraryOfTheOtherWordSizeIsNotLoadedWithoutTheHost) {
    const std::string other = OtherWordSizePexlar();
    if (other.empty()) {
        GTEST_SKIP() << "OSTREL_TEST_OTHER_WORD_SIZE_PEXLAR names no such library";
    }
    ASSERT_TRUE(std::filesystem::exists(other)) << other;
    const TDynamicLibrary direct = TDynamicLibrary::Open(other);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(direct.Failure(), TOpenFailure::OtherWordSize);
    TCounterLibrary withoutHost({other}, TDeviceHostFiles{});
    EXPECT_FALSE(withoutHost.LoadCounterLibrary());
    EXPECT_FALSE(withoutHost.IsLoaded());
    EXPECT_EQ(Addresses(withoutHost.EntryPoints()), Unbound);
}

// With the host beside the test (where test-windows.sh puts it when Wine runs
// programs of the other word size), the library runs there.
TEST(CounterLibraryTest, LibraryOfTheOtherWordSizeRunsInTheHost) {
    const std::string other = OtherWordSizePexlar();
    const TDeviceHostFiles hosts = DefaultDeviceHostFiles();
    if (other.empty() || !std::filesystem::exists(hosts.OtherWordSize)) {
        GTEST_SKIP() << "no library of the other word size, or no device host at "
                     << hosts.OtherWordSize;
    }
    TCounterLibrary library({other}, hosts);
    ASSERT_TRUE(library.LoadCounterLibrary());
    EXPECT_TRUE(library.IsHosted());
    const TCounterEntryPoints& e = library.EntryPoints();
    ASSERT_EQ(e.Find(), 1);
    TDeviceInfo info{};
    EXPECT_EQ(e.GetInfo(&info), 1);
    EXPECT_EQ(info.Id, 0x4F53544Cu);
    EXPECT_EQ(e.Connect(info.Id), 1);
    EXPECT_EQ(e.Disconnect(info.Id), 1);
    TCounterSample sample{};
    sample.Time.Year = 2024;
    EXPECT_EQ(e.GetData(&sample), 1); // the end of the connection
    EXPECT_EQ(sample.Time.Year, 0);
    library.UnloadCounterLibrary();
    EXPECT_FALSE(library.IsLoaded());
}
#endif

TEST(CounterLibraryTest, BindsByPlainNameElseByStdcallName) {
    const std::vector<std::string> stdcall{
        "_Find@0",    "_GetInfo@4",         "_Connect@4",         "_Disconnect@4",
        "_GetData@4", "_GetCoefficient@12", "_SetCoefficient@12", "_Clear@0"};
    std::vector<std::string> both = EntryNames;
    both.insert(both.end(), stdcall.begin(), stdcall.end());
    std::vector<std::string> gap = stdcall;
    gap[2] = ""; // no Connect under either name
    struct TCase {
        std::vector<std::string> Exported;
        std::vector<std::string> Bound; // by entry point; "" for none
        bool Complete;
    };
    for (const TCase& c : {TCase{EntryNames, EntryNames, true}, TCase{stdcall, stdcall, true},
                           TCase{both, EntryNames, true}, TCase{gap, gap, false}}) {
        std::map<std::string, TProcAddress> exports;
        for (const std::string& name : c.Exported) {
            exports[name] = reinterpret_cast<TProcAddress>(std::uintptr_t{0x1000} + exports.size());
        }
        exports[""] = nullptr;
        std::vector<std::string> asked;
        TCounterEntryPoints entries;
        const bool complete = BindCounterEntryPoints(
            [&](const char* name) {
                asked.emplace_back(name);
                return exports.count(name) != 0 ? exports[name] : nullptr;
            },
            entries);
        EXPECT_EQ(complete, c.Complete);
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_EQ(Addresses(entries)[i], exports[c.Bound[i]]) << EntryNames[i];
        }
        if (!c.Complete) { // every name is asked for, the plain one first
            std::vector<std::string> order;
            for (std::size_t i = 0; i < 8; ++i) {
                order.insert(order.end(), {EntryNames[i], stdcall[i]});
            }
            EXPECT_EQ(asked, order);
        }
    }
}

TEST(CounterLibraryTest, MovedLibraryKeepsItsHandleOnce) {
    TDynamicLibrary first = TDynamicLibrary::Open(SimPath);
    ASSERT_TRUE(first.IsOpen());
    TDynamicLibrary second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(first.Symbol("Find"), nullptr);
    EXPECT_NE(second.Symbol("Find"), nullptr);
    first = std::move(second);
    EXPECT_NE(first.Symbol("Find"), nullptr);
    first.Close();
    EXPECT_FALSE(StillMapped(SimPath));
}

} // namespace
} // namespace ostrel
