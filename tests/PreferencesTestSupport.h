// Test support for everything that reads or writes preference files: a
// scratch configuration (XDG_CONFIG_HOME and XDG_CONFIG_DIRS pointing into a
// fresh temporary folder), file helpers, and a runner for Python snippets
// (used to check files against Python's plistlib).
#ifndef LUMORA_PREFERENCES_TEST_SUPPORT_H
#define LUMORA_PREFERENCES_TEST_SUPPORT_H

#include "PlatformPreferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace prefs_test {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

inline mode_t modeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

inline std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

// The Python interpreter: LUMORA_TEST_PYTHON when set, else python3 on PATH.
inline std::string pythonProgram() {
    const char* configured = std::getenv("LUMORA_TEST_PYTHON");
    if (configured != nullptr && configured[0] != '\0')
        return configured;
    return "python3";
}

// Runs `python -c script args...`, standard output into `output`. Returns the
// exit status, or -1 when Python cannot be started.
inline int runPython(const std::string& script, const std::vector<std::string>& args,
                     std::string* output = nullptr) {
    std::string program = pythonProgram();
    std::vector<std::string> argv = {program, "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(&a[0]);
    raw.push_back(nullptr);
    char outPath[] = "/tmp/lumora-python-out-XXXXXX";
    int outFd = ::mkstemp(outPath);
    if (outFd < 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    pid_t pid;
    int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    int status = -1;
    if (rc == 0 && ::waitpid(pid, &status, 0) == pid)
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    else
        status = -1;
    if (output != nullptr)
        *output = readFile(outPath);
    ::unlink(outPath);
    return status;
}

// Writes the Python literal `value` (datetime and plistlib are imported) to
// `path` with plistlib, as XML or binary.
inline bool writePlist(const std::string& path, const std::string& value, bool binary) {
    return runPython("import datetime, plistlib, sys\n"
                     "v = eval(sys.argv[2])\n"
                     "with open(sys.argv[1], 'wb') as f:\n"
                     "    plistlib.dump(v, f, fmt=plistlib.FMT_BINARY if sys.argv[3] == 'b' "
                     "else plistlib.FMT_XML, sort_keys=False)\n",
                     {path, value, binary ? "b" : "x"}) == 0;
}

// Whether plistlib reads `path` as a value equal to the Python literal
// `expected`; `seen` receives what it read.
inline bool plistEquals(const std::string& path, const std::string& expected, std::string* seen) {
    return runPython("import datetime, plistlib, sys\n"
                     "v = plistlib.load(open(sys.argv[1], 'rb'))\n"
                     "print(repr(v))\n"
                     "e = eval(sys.argv[2])\n"
                     "sys.exit(0 if v == e and repr(v) == repr(e) else 1)\n",
                     {path, expected}, seen) == 0;
}

inline bool havePython() {
    static int available = runPython("import plistlib", {}) == 0 ? 1 : 0;
    return available == 1;
}

#define SKIP_WITHOUT_PYTHON()                                                                      \
    do {                                                                                           \
        if (!prefs_test::havePython())                                                             \
            GTEST_SKIP() << "python3 with plistlib is not available";                              \
    } while (0)

// A fresh configuration per test: user preferences in <root>/home/Preferences,
// all users' in <root>/system/Preferences. Removes the folder afterwards.
class ScratchPreferences : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumora-prefs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        ::setenv("XDG_CONFIG_HOME", (root + "/home").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", ("relative/ignored:" + root + "/system").c_str(), 1);
        userFolder = root + "/home/Preferences";
        systemFolder = root + "/system/Preferences";
        loginFile = userFolder + "/loginwindow.plist";
    }

    void TearDown() override {
        PlatformPreferencesDropCaches();
        ::nftw(
            root.c_str(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }

    // Creates the user's preferences folder, as another program would.
    void makeUserFolder() {
        ::mkdir((root + "/home").c_str(), 0700);
        ASSERT_EQ(::mkdir(userFolder.c_str(), 0700), 0);
    }

    // The single loginwindow file kept for all users on this host.
    std::string systemByHostLoginFile() {
        for (const std::string& name : listFolder(systemFolder + "/ByHost"))
            if (name.rfind("loginwindow.", 0) == 0 && name.size() > 6 &&
                name.compare(name.size() - 6, 6, ".plist") == 0)
                return systemFolder + "/ByHost/" + name;
        return std::string();
    }

    std::string root, userFolder, systemFolder, loginFile;
};

} // namespace prefs_test

#endif
