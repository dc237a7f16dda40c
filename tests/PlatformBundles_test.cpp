// The bundle service: a test program copied into bundle layouts finds its own
// bundle's folders from its executable's real path.
#include "PlatformBundles.h"
#include "RunProgram.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Copies the probe program to `path`, making the folders on the way.
void installProbe(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(LUMORA_BUNDLE_PROBE, path);
    fs::permissions(path, fs::perms::owner_all);
}

// Runs the probe and reads its "<label> <path>" lines into a map.
std::map<std::string, std::string> probe(const std::string& program) {
    ProgramRun run = runProgram(program);
    EXPECT_EQ(run.status, 0) << program;
    return labelledLines(run.output);
}

TEST(PlatformBundles, ProgramInsideABundleFindsTheBundleFolders) {
    TempFolder top;
    const std::string bundle = top / "My App.app";
    installProbe(bundle + "/Contents/MacOS/probe");
    fs::create_directories(bundle + "/Contents/Resources");
    fs::create_directories(bundle + "/Contents/Frameworks");
    fs::create_directories(bundle + "/Contents/SharedSupport");
    auto folders = probe(bundle + "/Contents/MacOS/probe");
    const std::map<std::string, std::string> expected = {
        {"bundle", bundle},
        {"plugins", "null"}, // no PlugIns folder in this bundle
        {"privateframeworks", bundle + "/Contents/Frameworks"},
        {"resources", bundle + "/Contents/Resources"},
        {"sharedframeworks", "null"},
        {"sharedsupport", bundle + "/Contents/SharedSupport"},
        {"support", bundle + "/Contents"},
        {"live", "0"}, // every URL was released; the main bundle is not counted
    };
    EXPECT_EQ(folders, expected);

    // Started through a link from elsewhere: the real path decides.
    fs::create_symlink(bundle + "/Contents/MacOS/probe", top / "shortcut");
    EXPECT_EQ(probe(top / "shortcut"), expected);
}

TEST(PlatformBundles, BareProgramUsesItsOwnFolder) {
    TempFolder top;
    const std::string folder = top / "bin";
    installProbe(folder + "/probe");
    fs::create_directories(folder + "/PlugIns");
    fs::create_directories(folder + "/SharedFrameworks");
    const std::map<std::string, std::string> expected = {
        {"bundle", folder},
        {"plugins", folder + "/PlugIns"},
        {"privateframeworks", "null"},
        {"resources", folder},
        {"sharedframeworks", folder + "/SharedFrameworks"},
        {"sharedsupport", "null"},
        {"support", folder},
        {"live", "0"},
    };
    EXPECT_EQ(probe(folder + "/probe"), expected);
}

// Layouts that look almost like a bundle are bare programs.
TEST(PlatformBundles, NearMissLayoutsAreBare) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"B/Contents/Tools/probe", "not in MacOS"},
        {"B/Other/MacOS/probe", "MacOS not inside Contents"},
        {"B/Contents/MacOS/deeper/probe", "one folder too deep"},
    };
    for (const auto& [relative, why] : cases) {
        SCOPED_TRACE(why);
        TempFolder top;
        const std::string program = top / relative;
        installProbe(program);
        auto folders = probe(program);
        EXPECT_EQ(folders["bundle"], fs::path(program).parent_path().string());
        EXPECT_EQ(folders["support"], fs::path(program).parent_path().string());
    }
}

TEST(PlatformBundles, NullBundleGivesNoURL) {
    EXPECT_EQ(CFBundleCopyBundleURL(nullptr), nullptr);
    FSRef ref;
    EXPECT_FALSE(CFURLGetFSRef(nullptr, &ref));
}

TEST(PlatformBundles, MainBundleIsTheSameObjectEveryTime) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(CFBundleGetMainBundle(), bundle);
    long before = PlatformLiveObjectCount();
    CFURLRef url = CFBundleCopyBundleURL(bundle);
    EXPECT_EQ(PlatformLiveObjectCount(), before + 1) << "a Copy call makes a new URL";
    CFRelease(url);
    EXPECT_EQ(PlatformLiveObjectCount(), before);
}

} // namespace
