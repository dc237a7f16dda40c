// The preferences layer on real files: where files live, what a write keeps,
// the per-file cache, refusal of lost updates and the domain lock.
#include "PlatformPreferences.h"
#include "PreferencesTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/file.h>

namespace {

using prefs_test::exists;
using prefs_test::plistEquals;
using prefs_test::readFile;
using prefs_test::writeFile;
using prefs_test::writePlist;

CFStringRef text(const char* s) {
    return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8);
}

// The text of a string value, or "<null>" / "<not a string>".
std::string describe(CFTypeRef value) {
    if (value == nullptr)
        return "<null>";
    char buffer[256];
    if (CFGetTypeID(value) != CFStringGetTypeID() ||
        !CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer,
                            kCFStringEncodingUTF8))
        return "<not a string>";
    return buffer;
}

class Preferences : public prefs_test::ScratchPreferences {
protected:
    // Reads key `k` of domain "test" for the current user, any host.
    std::string read(const char* k, CFStringRef user = kCFPreferencesCurrentUser,
                     CFStringRef host = kCFPreferencesAnyHost) {
        CFStringRef key = text(k);
        CFTypeRef value = CFPreferencesCopyValue(key, CFSTR("test"), user, host);
        std::string result = describe(value);
        CFRelease(value);
        CFRelease(key);
        return result;
    }
    // Sets key `k` to the string `v` (null removes it) and synchronises.
    Boolean write(const char* k, const char* v, CFStringRef user = kCFPreferencesCurrentUser,
                  CFStringRef host = kCFPreferencesAnyHost) {
        CFStringRef key = text(k);
        CFStringRef value = v == nullptr ? nullptr : text(v);
        CFPreferencesSetValue(key, value, CFSTR("test"), user, host);
        CFRelease(value);
        CFRelease(key);
        return CFPreferencesSynchronize(CFSTR("test"), user, host);
    }
    std::string file() { return userFolder + "/test.plist"; }
};

std::string hostId() {
    std::ifstream in("/etc/machine-id");
    std::string line;
    if (in && std::getline(in, line) && !line.empty())
        return line;
    char name[256] = {0};
    gethostname(name, sizeof name - 1);
    return name;
}

TEST_F(Preferences, EachUserAndHostHasItsFile) {
    const struct {
        CFStringRef user, host;
        std::string file;
        mode_t mode;
    } cases[] = {
        {kCFPreferencesCurrentUser, kCFPreferencesAnyHost, userFolder + "/test.plist", 0600},
        {kCFPreferencesCurrentUser, kCFPreferencesCurrentHost,
         userFolder + "/ByHost/test." + hostId() + ".plist", 0600},
        {kCFPreferencesAnyUser, kCFPreferencesAnyHost, systemFolder + "/test.plist", 0644},
        {kCFPreferencesAnyUser, kCFPreferencesCurrentHost,
         systemFolder + "/ByHost/test." + hostId() + ".plist", 0644},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string value = "value" + std::to_string(n++);
        ASSERT_TRUE(write("k", value.c_str(), c.user, c.host)) << c.file;
        EXPECT_TRUE(exists(c.file)) << c.file;
        EXPECT_EQ(prefs_test::modeOf(c.file), c.mode) << c.file;
        EXPECT_EQ(read("k", c.user, c.host), value) << c.file;
    }
    EXPECT_EQ(prefs_test::modeOf(userFolder + "/ByHost"), 0700u);
    EXPECT_EQ(prefs_test::modeOf(systemFolder + "/ByHost"), 0755u);
    std::string xml = readFile(file());
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                        "\"-//Apple//DTD PLIST 1.0//EN\"",
                        0),
              0u)
        << xml;
}

TEST_F(Preferences, WithoutXdgConfigHomeTheHomeFolderIsUsed) {
    ::setenv("HOME", root.c_str(), 1);
    for (const char* config : {"", "relative/path"}) {
        ::setenv("XDG_CONFIG_HOME", config, 1);
        ASSERT_TRUE(write("k", config));
        EXPECT_EQ(read("k"), config);
        EXPECT_TRUE(exists(root + "/.config/Preferences/test.plist")) << "'" << config << "'";
    }
}

TEST_F(Preferences, RefusedArgumentsReadAndWriteNothing) {
    const struct {
        CFStringRef domain, user, host;
        const char* why;
    } cases[] = {
        {CFSTR(""), kCFPreferencesCurrentUser, kCFPreferencesAnyHost, "empty domain"},
        {CFSTR(".."), kCFPreferencesCurrentUser, kCFPreferencesAnyHost, "parent folder"},
        {CFSTR("a/../../b"), kCFPreferencesCurrentUser, kCFPreferencesAnyHost, "slash"},
        {CFSTR("test"), CFSTR("kCFPreferencesCurrentUser"), kCFPreferencesAnyHost,
         "user of the same text but another reference"},
        {CFSTR("test"), kCFPreferencesAnyHost, kCFPreferencesAnyHost, "host as user"},
        {CFSTR("test"), kCFPreferencesCurrentUser, kCFPreferencesCurrentUser, "user as host"},
        {nullptr, kCFPreferencesCurrentUser, kCFPreferencesAnyHost, "no domain"},
    };
    for (const auto& c : cases) {
        CFPreferencesSetValue(CFSTR("k"), CFSTR("v"), c.domain, c.user, c.host);
        EXPECT_FALSE(CFPreferencesSynchronize(c.domain, c.user, c.host)) << c.why;
        EXPECT_EQ(CFPreferencesCopyValue(CFSTR("k"), c.domain, c.user, c.host), nullptr) << c.why;
        EXPECT_FALSE(PlatformPreferencesLockDomain(c.domain, c.user, c.host)) << c.why;
        EXPECT_FALSE(PlatformPreferencesDomainReadable(c.domain, c.user, c.host)) << c.why;
    }
    EXPECT_FALSE(exists(root + "/home")) << "no folder was created";
    EXPECT_FALSE(exists(root + "/system"));
}

TEST_F(Preferences, ADamagedFileIsToldApartFromAMissingOne) {
    SKIP_WITHOUT_PYTHON();
    makeUserFolder();
    const struct {
        const char* bytes; // null: no file; "plist:<literal>": written by plistlib
        bool readable;
        const char* why;
    } cases[] = {
        {nullptr, true, "a missing file is an empty domain"},
        {"plist:{'k': 'v'}", true, "a dictionary"},
        {"not a property list", false, "bytes no reader accepts"},
        {"plist:['k']", false, "a root that is not a dictionary"},
        {"", false, "an empty file"},
        {"plist:{}", true, "repaired in place: the cached verdict is not kept"},
    };
    for (const auto& c : cases) {
        ::unlink(file().c_str());
        if (c.bytes != nullptr && std::string(c.bytes).rfind("plist:", 0) == 0)
            ASSERT_TRUE(writePlist(file(), c.bytes + 6, false)) << c.why;
        else if (c.bytes != nullptr)
            writeFile(file(), c.bytes);
        EXPECT_EQ(PlatformPreferencesDomainReadable(CFSTR("test"), kCFPreferencesCurrentUser,
                                                    kCFPreferencesAnyHost) != 0,
                  c.readable)
            << c.why;
    }
}

TEST_F(Preferences, WritingKeepsOtherKeysAndRemovesWithNull) {
    SKIP_WITHOUT_PYTHON();
    makeUserFolder();
    ASSERT_TRUE(writePlist(file(), "{'z': 1, 'k': 'old', 'a': [1.5, True]}", true));
    EXPECT_EQ(read("k"), "old");
    ASSERT_TRUE(write("k", "new"));
    ASSERT_TRUE(write("n", "added"));
    std::string seen;
    EXPECT_TRUE(plistEquals(file(), "{'z': 1, 'k': 'new', 'a': [1.5, True], 'n': 'added'}", &seen))
        << seen;
    ASSERT_TRUE(write("z", nullptr));
    EXPECT_TRUE(plistEquals(file(), "{'k': 'new', 'a': [1.5, True], 'n': 'added'}", &seen)) << seen;
    EXPECT_EQ(prefs_test::listFolder(userFolder).size(), 2u) << "the file and its lock only";
}

TEST_F(Preferences, CarriageReturnsFromBinaryFilesSurviveTheXmlWrite) {
    SKIP_WITHOUT_PYTHON();
    makeUserFolder();
    ASSERT_TRUE(writePlist(file(), "{'text': 'a\\rb\\r\\nc', 'k': 'old'}", true));
    ASSERT_TRUE(write("k", "new"));
    std::string seen;
    EXPECT_TRUE(plistEquals(file(), "{'text': 'a\\rb\\r\\nc', 'k': 'new'}", &seen)) << seen;
}

TEST_F(Preferences, AValueXmlCannotHoldIsNeverWrittenAltered) {
    SKIP_WITHOUT_PYTHON();
    makeUserFolder();
    ASSERT_TRUE(writePlist(file(), "{'text': 'nul\\x00inside', 'k': 'old'}", true));
    std::string before = readFile(file());
    EXPECT_EQ(read("k"), "old");
    EXPECT_FALSE(write("k", "new"));
    EXPECT_EQ(readFile(file()), before);
    EXPECT_EQ(read("k"), "old") << "a refused write drops what was staged";
}

TEST_F(Preferences, ReadsSeeEveryChangeOnDisk) {
    SKIP_WITHOUT_PYTHON();
    ASSERT_TRUE(write("k", "one"));
    EXPECT_EQ(read("k"), "one");
    // Replaced by rename (a new inode), as other property-list writers do.
    ASSERT_TRUE(writePlist(file() + ".new", "{'k': 'two'}", false));
    ASSERT_EQ(::rename((file() + ".new").c_str(), file().c_str()), 0);
    EXPECT_EQ(read("k"), "two");
    // Rewritten in place (same inode, new size).
    ASSERT_TRUE(writePlist(file(), "{'k': 'three!'}", true));
    EXPECT_EQ(read("k"), "three!");
    ASSERT_EQ(::unlink(file().c_str()), 0);
    EXPECT_EQ(read("k"), "<null>") << "a removed file reads as absent";
    writeFile(file(), "garbage");
    EXPECT_EQ(read("k"), "<null>") << "an unreadable file reads as absent";
}

TEST_F(Preferences, ValuesHandedOutCannotChangeTheStoredOnes) {
    CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(list, CFSTR("first"));
    CFPreferencesSetValue(CFSTR("list"), list, CFSTR("test"), kCFPreferencesCurrentUser,
                          kCFPreferencesAnyHost);
    CFArrayAppendValue(list, CFSTR("after set"));
    ASSERT_TRUE(
        CFPreferencesSynchronize(CFSTR("test"), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    CFRelease(list);
    for (int round = 0; round < 2; ++round) {
        CFTypeRef stored = CFPreferencesCopyValue(CFSTR("list"), CFSTR("test"),
                                                  kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
        ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(stored)), 1) << round;
        // A caller that casts the constness away still cannot change it.
        CFArrayAppendValue(const_cast<CFMutableArrayRef>(static_cast<CFArrayRef>(stored)),
                           CFSTR("x"));
        CFArrayRemoveValueAtIndex(const_cast<CFMutableArrayRef>(static_cast<CFArrayRef>(stored)),
                                  0);
        CFRelease(stored);
    }
}

TEST_F(Preferences, ALostUpdateIsRefused) {
    SKIP_WITHOUT_PYTHON();
    ASSERT_TRUE(write("k", "mine"));
    EXPECT_EQ(read("k"), "mine");
    // Another program changes the key after this process read it...
    ASSERT_TRUE(writePlist(file(), "{'k': 'theirs', 'other': 'theirs too'}", false));
    EXPECT_FALSE(write("k", "overwrite")) << "...so writing it would lose their change";
    std::string seen;
    EXPECT_TRUE(plistEquals(file(), "{'k': 'theirs', 'other': 'theirs too'}", &seen)) << seen;
    // Once read again, the key can be written; a key changed by another
    // program but never read here is kept.
    EXPECT_EQ(read("k"), "theirs");
    ASSERT_TRUE(writePlist(file(), "{'k': 'theirs', 'other': 'changed again'}", false));
    EXPECT_TRUE(write("k", "after reading"));
    EXPECT_TRUE(plistEquals(file(), "{'k': 'after reading', 'other': 'changed again'}", &seen))
        << seen;
}

// Whether another process could take the lock file's exclusive lock now.
bool lockIsFreeForOthers(const std::string& lockFile) {
    pid_t child = fork();
    if (child == 0) {
        int fd = ::open(lockFile.c_str(), O_RDWR);
        _exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(Preferences, TheDomainLockNestsAndIsHeldAgainstOtherProcesses) {
    CFStringRef domain = CFSTR("test");
    ASSERT_TRUE(
        PlatformPreferencesLockDomain(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    ASSERT_TRUE(
        PlatformPreferencesLockDomain(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    const std::string lockFile = file() + ".lock";
    EXPECT_FALSE(lockIsFreeForOthers(lockFile));
    // The layer's own locking does not wait on the lock this process holds.
    EXPECT_TRUE(write("k", "under the lock"));
    EXPECT_EQ(read("k"), "under the lock");
    ASSERT_TRUE(
        PlatformPreferencesUnlockDomain(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    EXPECT_FALSE(lockIsFreeForOthers(lockFile)) << "still held once";
    ASSERT_TRUE(
        PlatformPreferencesUnlockDomain(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    EXPECT_TRUE(lockIsFreeForOthers(lockFile));
    EXPECT_FALSE(
        PlatformPreferencesUnlockDomain(domain, kCFPreferencesCurrentUser, kCFPreferencesAnyHost))
        << "no lock left to undo";
}

TEST_F(Preferences, AWriterWaitsForAnotherProcessHoldingTheLock) {
    ASSERT_TRUE(write("k", "first"));
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    pid_t child = fork();
    if (child == 0) {
        // Holds the lock while it changes the key, then lets go.
        bool ok = PlatformPreferencesLockDomain(CFSTR("test"), kCFPreferencesCurrentUser,
                                                kCFPreferencesAnyHost);
        char byte = ok ? 1 : 0;
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(go[0], &byte, 1);
        ok = ok && read("k") == "first" && write("k", "child");
        _exit(ok ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    (void)!::write(go[1], &byte, 1);
    // The child holds the lock: this read waits until it has written and let
    // go, so it sees the child's value.
    EXPECT_EQ(read("k"), "child");
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
    EXPECT_TRUE(write("k", "parent")) << "the parent last read the child's value";
}

// Folders, files and the lock file get their modes whatever the umask: a
// permissive one must not widen them, a restrictive one must not make the
// folder unusable.
TEST_F(Preferences, ModesHoldWhateverTheUmask) {
    for (mode_t mask : {mode_t(0), mode_t(0277)}) {
        const std::string base = root + "/umask" + std::to_string(mask);
        ::setenv("XDG_CONFIG_HOME", (base + "/home").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (base + "/system").c_str(), 1);
        mode_t old = ::umask(mask);
        Boolean userWritten = write("k", "v");
        Boolean systemWritten = write("k", "v", kCFPreferencesAnyUser);
        ::umask(old);
        ASSERT_TRUE(userWritten) << "umask " << mask;
        ASSERT_TRUE(systemWritten) << "umask " << mask;
        const struct {
            std::string path;
            mode_t mode;
        } expected[] = {
            {base + "/home/Preferences", 0700},
            {base + "/home/Preferences/test.plist", 0600},
            {base + "/home/Preferences/test.plist.lock", 0600},
            {base + "/system/Preferences", 0755},
            {base + "/system/Preferences/test.plist", 0644},
            {base + "/system/Preferences/test.plist.lock", 0644},
        };
        for (const auto& e : expected)
            EXPECT_EQ(prefs_test::modeOf(e.path), e.mode) << e.path << " with umask " << mask;
    }
}

// A writer killed between making its new file and renaming it leaves that
// file behind; the next writer (holding the lock) removes such leftovers, so
// repeated kills cannot pile them up. Anything not of that form is kept.
TEST_F(Preferences, NewFilesOfKilledWritersAreRemovedByTheNextWrite) {
    ASSERT_TRUE(write("k", "first"));
    const struct {
        std::string name;
        bool stale;
        const char* why;
    } entries[] = {
        {".test.plist.a1B2c3", true, "a killed writer's new file"},
        {".test.plist.ZZZZZZ", true, "another one"},
        {".test.plist.abc", false, "too short for the pattern"},
        {".test.plist.a1B2c3d", false, "too long for the pattern"},
        {".test.plist.a-b_c.", false, "characters mkstemp never uses"},
        {".other.plist.a1B2c3", false, "another domain's"},
        {"test.plist.a1B2c3", false, "no leading dot"},
    };
    for (const auto& e : entries)
        writeFile(userFolder + "/" + e.name, "<plist");
    // A symbolic link of the pattern's form is not a new file of ours.
    ASSERT_EQ(::symlink("/nonexistent", (userFolder + "/.test.plist.LiNk00").c_str()), 0);
    ASSERT_TRUE(write("k", "second"));
    EXPECT_EQ(read("k"), "second");
    for (const auto& e : entries)
        EXPECT_EQ(exists(userFolder + "/" + e.name), !e.stale) << e.why;
    struct stat st;
    EXPECT_EQ(::lstat((userFolder + "/.test.plist.LiNk00").c_str(), &st), 0);
}

} // namespace
