// LaunchApplication on real temporary files: what it starts (an executable, a
// bundle folder's executable), how (own session, stdin on /dev/null, the
// caller's environment, no inherited descriptors, no shell), that it returns
// while the application still runs, and what it refuses.
#include "PlatformProcess.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary folder, removed with everything in it.

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* nname, const std::string& value) : name(nname) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(name); }

private:
    const char* name;
};

// The descriptor number that the launching process holds open without
// close-on-exec; the application must not inherit it.
constexpr int kLeakProbeFd = 77;

// The probe application. It waits for $LUMORA_PROBE_WAIT to exist (when set,
// at most ten seconds), then writes to $LUMORA_PROBE_OUT, line by line: its
// /proc stat line, what its stdin is, whether it holds kLeakProbeFd, and $0.
std::string probeScript() {
    return "#!/bin/sh\n"
           "i=0\n"
           "while [ -n \"$LUMORA_PROBE_WAIT\" ] && [ ! -e \"$LUMORA_PROBE_WAIT\" ] && "
           "[ $i -lt 500 ]; do i=$((i+1)); sleep 0.02; done\n"
           "read -r stat < /proc/$$/stat\n"
           "{ echo \"$stat\"; readlink /proc/$$/fd/0;\n"
           "  if [ -e /proc/$$/fd/" +
           std::to_string(kLeakProbeFd) +
           " ]; then echo leaked; else echo closed; fi\n"
           "  echo \"$0\"; } > \"$LUMORA_PROBE_OUT.part\"\n"
           "mv \"$LUMORA_PROBE_OUT.part\" \"$LUMORA_PROBE_OUT\"\n";
}

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    ::chmod(path.c_str(), mode);
}

void writeProbe(const std::string& path) {
    writeFile(path, probeScript(), 0755);
}

std::string infoPlist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>" +
           body + "</dict></plist>\n";
}

// The FSSpec of an existing item, as the folder item hands it to the launcher.
FSSpec specOf(const std::string& path) {
    FSRef ref;
    ref.path = path;
    FSSpec fsSpec{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &fsSpec, nullptr), noErr)
        << path;
    return fsSpec;
}

// A request filled as the launcher fills it.
LaunchParamBlockRec requestFor(FSSpec* fsSpec) {
    LaunchParamBlockRec params{};
    params.launchBlockID = extendedBlock;
    params.launchEPBLength = extendedBlockLen;
    params.launchControlFlags = launchContinue | launchNoFileFlags | launchUseMinimum;
    params.launchAppSpec = fsSpec;
    params.launchAppParameters = nullptr;
    return params;
}

bool waitForFile(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void reap(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// What the probe reported about itself.
struct ProbeReport {
    long pid = -1;
    long session = -1;
    std::string stdinTarget;
    std::string inherited;
    std::string argv0;
};

ProbeReport readReport(const std::string& path) {
    ProbeReport report;
    std::ifstream in(path);
    std::string stat;
    std::getline(in, stat);
    std::getline(in, report.stdinTarget);
    std::getline(in, report.inherited);
    std::getline(in, report.argv0);
    // "pid (comm) state ppid pgrp session ...": comm may hold anything, so
    // the fields are counted from its closing parenthesis.
    report.pid = std::atol(stat.c_str());
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::string state;
    long ppid = 0, group = 0;
    rest >> state >> ppid >> group >> report.session;
    return report;
}

// Launches the item at `path` as the launcher does, waits for the probe's
// report and reaps the probe.
struct LaunchRun {
    OSErr err = 1;
    pid_t pid = 0;
    ProbeReport report;
    bool reported = false;
};

LaunchRun launchAndWait(const std::string& path, const std::string& out) {
    ScopedEnv target("LUMORA_PROBE_OUT", out);
    FSSpec fsSpec = specOf(path);
    LaunchParamBlockRec params = requestFor(&fsSpec);
    LaunchRun run;
    run.err = LaunchApplication(&params);
    if (run.err != noErr)
        return run;
    run.pid = static_cast<pid_t>(params.launchProcessSN.lowLongOfPSN);
    run.reported = waitForFile(out);
    reap(run.pid);
    if (run.reported)
        run.report = readReport(out);
    return run;
}

TEST(LaunchApplication, StartsAnExecutableAsADetachedProcess) {
    TempFolder dir;
    writeProbe(dir / "app");
    // A descriptor the launching process leaves open across exec.
    int leak = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leak, 0);
    ASSERT_EQ(::dup2(leak, kLeakProbeFd), kLeakProbeFd);
    ::close(leak);

    LaunchRun run = launchAndWait(dir / "app", dir / "report");
    ::close(kLeakProbeFd);

    ASSERT_EQ(run.err, noErr);
    ASSERT_TRUE(run.reported) << "the application never ran";
    EXPECT_EQ(run.report.pid, run.pid) << "launchProcessSN names the new process";
    EXPECT_EQ(run.report.session, run.pid) << "the application leads a session of its own";
    EXPECT_EQ(run.report.stdinTarget, "/dev/null");
    EXPECT_EQ(run.report.inherited, "closed") << "no descriptor of the caller is inherited";
    EXPECT_EQ(run.report.argv0, dir / "app");
}

TEST(LaunchApplication, ReturnsWhileTheApplicationStillRuns) {
    TempFolder dir;
    writeProbe(dir / "app");
    ScopedEnv release("LUMORA_PROBE_WAIT", dir / "release");
    ScopedEnv target("LUMORA_PROBE_OUT", dir / "report");
    FSSpec fsSpec = specOf(dir / "app");
    LaunchParamBlockRec params = requestFor(&fsSpec);

    ASSERT_EQ(LaunchApplication(&params), noErr);
    pid_t pid = static_cast<pid_t>(params.launchProcessSN.lowLongOfPSN);
    EXPECT_FALSE(fs::exists(dir / "report")) << "the launch waited for the application";
    EXPECT_EQ(::kill(pid, 0), 0) << "the application is still running";

    writeFile(dir / "release", "");
    EXPECT_TRUE(waitForFile(dir / "report"));
    reap(pid);
}

// Bundle folders: which executable inside the bundle runs.
struct BundleCase {
    const char* reason;
    const char* bundle;   // folder name
    const char* plist;    // Info.plist body, or null for none
    const char* expected; // executable under Contents/MacOS that must run
    const char* decoy;    // another executable there that must not run, or null
};

const BundleCase kBundleCases[] = {
    {"no Info.plist: the folder's name without .app", "Tool.app", nullptr, "Tool", nullptr},
    {"a folder without .app is taken by its whole name", "Tool", nullptr, "Tool", nullptr},
    {"only one trailing .app is dropped", "Tool.app.app", nullptr, "Tool.app", "Tool"},
    {"CFBundleExecutable wins over the folder's name", "Tool.app",
     "<key>CFBundleExecutable</key><string>Real Tool</string>", "Real Tool", "Tool"},
    {"an Info.plist without the key falls back to the name", "Tool.app",
     "<key>CFBundleName</key><string>Other</string>", "Tool", "Other"},
    {"spaces and shell characters in the bundle's name", "My App; rm -rf $HOME `x` 'q\".app",
     nullptr, "My App; rm -rf $HOME `x` 'q\"", nullptr},
};

TEST(LaunchApplication, RunsTheExecutableOfABundleFolder) {
    for (const BundleCase& c : kBundleCases) {
        SCOPED_TRACE(c.reason);
        TempFolder dir;
        std::string bundle = dir / c.bundle;
        std::string macos = bundle + "/Contents/MacOS/";
        writeProbe(macos + c.expected);
        if (c.decoy != nullptr)
            writeFile(macos + c.decoy, "#!/bin/sh\ntouch \"$LUMORA_PROBE_OUT.decoy\"\n", 0755);
        if (c.plist != nullptr)
            writeFile(bundle + "/Contents/Info.plist", infoPlist(c.plist));

        LaunchRun run = launchAndWait(bundle, dir / "report");
        ASSERT_EQ(run.err, noErr);
        ASSERT_TRUE(run.reported);
        EXPECT_EQ(run.report.argv0, macos + c.expected);
        EXPECT_FALSE(fs::exists(dir / "report.decoy"));
    }
}

TEST(LaunchApplication, PassesPathsWithShellCharactersToTheKernelAsTheyAre) {
    TempFolder dir;
    // Any shell between the layer and the kernel would split or expand these.
    std::string folder = dir / "dir with spaces;touch pwned&|<>$(touch pwned2)*?";
    std::string app = folder + "/run me `touch pwned3` 'it''s' \"x\" \\ ~ #";
    writeProbe(app);
    LaunchRun run = launchAndWait(app, dir / "report");
    ASSERT_EQ(run.err, noErr);
    ASSERT_TRUE(run.reported);
    EXPECT_EQ(run.report.argv0, app);
    for (const char* name : {"pwned", "pwned2", "pwned3"}) {
        EXPECT_FALSE(fs::exists(dir / name)) << name;
        EXPECT_FALSE(fs::exists(name)) << name;
    }
}

// Items that cannot be launched: the result, and nothing started.
struct FailureCase {
    const char* reason;
    OSErr expected;
    // Lays out the item under `dir` and returns its path; `fsSpec` is taken
    // from that path before `after` runs.
    std::string (*prepare)(const TempFolder& dir);
    void (*after)(const std::string& path);
};

const FailureCase kFailureCases[] = {
    {"the item was removed after its FSSpec was made", fnfErr,
     [](const TempFolder& dir) {
         writeProbe(dir / "app");
         return dir / "app";
     },
     [](const std::string& path) { fs::remove(path); }},
    {"a file without execute permission", permErr,
     [](const TempFolder& dir) {
         writeFile(dir / "app", probeScript(), 0644);
         return dir / "app";
     },
     nullptr},
    {"an executable file in no executable format", ioErr,
     [](const TempFolder& dir) {
         writeFile(dir / "app", "just some text\n", 0755);
         return dir / "app";
     },
     nullptr},
    {"a FIFO is no executable", permErr,
     [](const TempFolder& dir) {
         ::mkfifo((dir / "app").c_str(), 0755);
         return dir / "app";
     },
     nullptr},
    {"a bundle folder without its executable", fnfErr,
     [](const TempFolder& dir) {
         fs::create_directories(dir / "Tool.app/Contents/MacOS");
         writeProbe(dir / "Tool.app/Contents/MacOS/Other");
         return dir / "Tool.app";
     },
     nullptr},
    {"a plain folder", fnfErr,
     [](const TempFolder& dir) {
         fs::create_directories(dir / "folder");
         return dir / "folder";
     },
     nullptr},
    {"a bundle executable that is a folder", permErr,
     [](const TempFolder& dir) {
         fs::create_directories(dir / "Tool.app/Contents/MacOS/Tool");
         return dir / "Tool.app";
     },
     nullptr},
    {"CFBundleExecutable may not leave the bundle", fnfErr,
     [](const TempFolder& dir) {
         writeProbe(dir / "outside");
         writeFile(dir / "Tool.app/Contents/Info.plist",
                   infoPlist("<key>CFBundleExecutable</key><string>../../../outside</string>"));
         writeProbe(dir / "Tool.app/Contents/MacOS/Tool");
         return dir / "Tool.app";
     },
     nullptr},
    {"CFBundleExecutable that is not a string", fnfErr,
     [](const TempFolder& dir) {
         writeFile(dir / "Tool.app/Contents/Info.plist",
                   infoPlist("<key>CFBundleExecutable</key><integer>7</integer>"));
         writeProbe(dir / "Tool.app/Contents/MacOS/Tool");
         return dir / "Tool.app";
     },
     nullptr},
    {"an Info.plist that cannot be parsed", fnfErr,
     [](const TempFolder& dir) {
         writeFile(dir / "Tool.app/Contents/Info.plist", "<plist><dict><key>");
         writeProbe(dir / "Tool.app/Contents/MacOS/Tool");
         return dir / "Tool.app";
     },
     nullptr},
};

TEST(LaunchApplication, ReportsItemsThatCannotBeLaunched) {
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(c.reason);
        TempFolder dir;
        ScopedEnv target("LUMORA_PROBE_OUT", dir / "report");
        std::string path = c.prepare(dir);
        FSSpec fsSpec = specOf(path);
        if (c.after != nullptr)
            c.after(path);
        LaunchParamBlockRec params = requestFor(&fsSpec);
        params.launchProcessSN = {0xAAAA, 0xBBBB};
        EXPECT_EQ(LaunchApplication(&params), c.expected);
        EXPECT_EQ(params.launchProcessSN.lowLongOfPSN, 0xBBBBu) << "no process was reported";
        // Anything started by mistake would write its report quickly.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(fs::exists(dir / "report"));
    }
}

TEST(LaunchApplication, RefusesRequestsNotInTheExtendedForm) {
    TempFolder dir;
    writeProbe(dir / "app");
    ScopedEnv target("LUMORA_PROBE_OUT", dir / "report");
    FSSpec fsSpec = specOf(dir / "app");
    int firstEvent = 0;

    struct Case {
        const char* reason;
        void (*spoil)(LaunchParamBlockRec& params, void* event);
    };
    const Case cases[] = {
        {"the short form's block id", [](LaunchParamBlockRec& p, void*) { p.launchBlockID = 0; }},
        {"a block id with the bytes swapped",
         [](LaunchParamBlockRec& p, void*) { p.launchBlockID = 0x434C; }},
        {"the whole record's length instead of the extension's",
         [](LaunchParamBlockRec& p, void*) { p.launchEPBLength = 44; }},
        {"no length", [](LaunchParamBlockRec& p, void*) { p.launchEPBLength = 0; }},
        {"no application", [](LaunchParamBlockRec& p, void*) { p.launchAppSpec = nullptr; }},
        {"a first event, which cannot be delivered",
         [](LaunchParamBlockRec& p, void* event) {
             p.launchAppParameters = static_cast<AppParameters*>(event);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        LaunchParamBlockRec params = requestFor(&fsSpec);
        params.launchProcessSN = {0xAAAA, 0xBBBB};
        c.spoil(params, &firstEvent);
        EXPECT_EQ(LaunchApplication(&params), paramErr);
        EXPECT_EQ(params.launchProcessSN.lowLongOfPSN, 0xBBBBu);
    }
    EXPECT_EQ(LaunchApplication(nullptr), paramErr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(dir / "report")) << "a refused request started something";
}

} // namespace
