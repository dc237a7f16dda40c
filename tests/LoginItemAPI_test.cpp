// The login item store against real preference files in a scratch
// configuration. Every store call is made through a wrapper that checks that
// the call left no platform object alive (the preferences layer's own caches
// are dropped first, so a leaked reference to a cached list shows too).
#include "LoginItemAPI.h"
#include "PreferencesTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using prefs_test::plistEquals;
using prefs_test::readFile;
using prefs_test::writePlist;

const std::string kKey = "AutoLaunchedApplicationDictionary";

class LoginItemStore : public prefs_test::ScratchPreferences {
protected:
    // Runs one store call and checks that it released everything it created.
    template <class Call> auto counted(Call call) {
        PlatformPreferencesDropCaches();
        long before = PlatformLiveObjectCount();
        auto result = call();
        PlatformPreferencesDropCaches();
        EXPECT_EQ(PlatformLiveObjectCount(), before) << "a store call left objects alive";
        return result;
    }

    Boolean add(const std::string& path, Boolean hide = 0,
                CFStringRef user = kCFPreferencesCurrentUser) {
        return counted([&] { return AddLoginItemWithPropertiesToUser(user, path.c_str(), hide); });
    }
    int count(CFStringRef user = kCFPreferencesCurrentUser) {
        return counted([&] { return GetCountOfLoginItems(user); });
    }
    char* request(int type, int index, CFStringRef user = kCFPreferencesCurrentUser) {
        return counted([&] { return ReturnLoginItemPropertyAtIndex(user, type, index); });
    }
    // The text of a request, or nullopt for null.
    std::optional<std::string> text(int type, int index,
                                    CFStringRef user = kCFPreferencesCurrentUser) {
        char* result = request(type, index, user);
        return result == nullptr ? std::nullopt : std::optional<std::string>(result);
    }
    Boolean remove(int index, CFStringRef user = kCFPreferencesCurrentUser) {
        return counted([&] { return RemoveLoginItemAtIndex(user, index); });
    }
    // Standard output of one print call and its result.
    template <class Call> std::pair<std::string, Boolean> printed(Call call) {
        testing::internal::CaptureStdout();
        Boolean result = counted(call);
        return {testing::internal::GetCapturedStdout(), result};
    }

    // Writes the user's loginwindow file with plistlib.
    void storeWithPython(const std::string& value, bool binary = false) {
        makeUserFolder();
        ASSERT_TRUE(writePlist(loginFile, value, binary));
    }
    void clearUserFolder() {
        for (const std::string& name : prefs_test::listFolder(userFolder))
            ::remove((userFolder + "/" + name).c_str());
        ::rmdir(userFolder.c_str());
    }
    void expectFile(const std::string& expected) {
        std::string seen;
        EXPECT_TRUE(plistEquals(loginFile, expected, &seen)) << "plistlib read: " << seen;
    }
};

TEST_F(LoginItemStore, AddingToNoListStartsAListOfExactlyTheNewItem) {
    SKIP_WITHOUT_PYTHON();
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(prefs_test::exists(loginFile));
    ASSERT_TRUE(add("/Applications/Tools/Foo.app", 0));
    EXPECT_EQ(count(), 1);
    expectFile("{'" + kKey + "': [{'Hide': False, 'Path': '/Applications/Tools/Foo.app'}]}");
    EXPECT_EQ(text(1, 0), "/Applications/Tools/Foo.app");
    EXPECT_EQ(text(2, 0), "Foo.app");
    EXPECT_EQ(text(3, 0), "false");
    EXPECT_EQ(prefs_test::modeOf(loginFile), 0600u);
    EXPECT_EQ(prefs_test::modeOf(userFolder), 0700u);
}

TEST_F(LoginItemStore, HideIsTrueOnlyForOne) {
    const struct {
        Boolean hide;
        const char* stored;
        const char* why;
    } cases[] = {
        {0, "false", "zero"},
        {1, "true", "the only value meaning true"},
        {2, "false", "another non-zero value is not true"},
        {255, "false", "nor is the largest"},
    };
    int index = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(add("/Applications/App" + std::to_string(index) + ".app", c.hide)) << c.why;
        EXPECT_EQ(text(3, index), c.stored) << c.why;
        ++index;
    }
}

TEST_F(LoginItemStore, PathRequestsFollowTheStoredPath) {
    const std::string longest(1024, 'a');
    const std::string tooLong = "/" + longest;
    const struct {
        std::string path;
        std::optional<std::string> whole, name;
        const char* why;
    } cases[] = {
        {"/Applications/Tools/Foo.app", "/Applications/Tools/Foo.app", "Foo.app", "plain path"},
        {"/Applications/Tools/Foo.app/", "/Applications/Tools/Foo.app/", "Foo.app",
         "a trailing slash makes no empty field"},
        {"Foo.app", "Foo.app", "Foo.app", "no slash at all"},
        {"//Applications///Foo.app//", "//Applications///Foo.app//", "Foo.app",
         "runs of slashes count as one"},
        {"/", "/", std::nullopt, "only a slash: no field"},
        {"", "", std::nullopt, "empty path: no field"},
        {longest, longest, longest, "1,024 characters fill the buffer exactly"},
        {tooLong, std::nullopt, std::nullopt, "1,025 characters do not fit"},
    };
    int index = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(add(c.path, 1)) << c.why;
        EXPECT_EQ(text(1, index), c.whole) << c.why;
        EXPECT_EQ(text(2, index), c.name) << c.why;
        EXPECT_EQ(text(3, index), "true") << c.why << ": the hide flag still reads";
        ++index;
    }
    EXPECT_EQ(count(), index);
}

TEST_F(LoginItemStore, AddingTheSamePathTwiceGivesTwoItems) {
    ASSERT_TRUE(add("/Applications/Foo.app"));
    ASSERT_TRUE(add("/Applications/Foo.app"));
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(text(1, 1), "/Applications/Foo.app");
}

TEST_F(LoginItemStore, RequestsOutsideTheListOrOfUnknownTypeGiveNull) {
    ASSERT_TRUE(add("/Applications/Foo.app", 1));
    const struct {
        int type, index;
        const char* why;
    } cases[] = {
        {0, 0, "type below the known ones"},
        {4, 0, "type above the known ones"},
        {-1, 0, "negative type"},
        {1, -1, "negative index"},
        {3, -2147483647 - 1, "most negative index"},
        {1, 1, "index equal to the count"},
        {2, 1000, "index far past the count"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request(c.type, c.index), nullptr) << c.why;
    EXPECT_EQ(text(1, 0), "/Applications/Foo.app");
}

TEST_F(LoginItemStore, ResultsShareOneBufferThatTypeTwoCutsInPlace) {
    ASSERT_TRUE(add("/Applications/Tools/Foo.app", 0));
    char* whole = request(1, 0);
    ASSERT_EQ(whole, ReturnCharacterArray);
    char* name = request(2, 0);
    EXPECT_STREQ(name, "Foo.app");
    EXPECT_EQ(name, ReturnCharacterArray + std::string("/Applications/Tools/").size());
    // The buffer now holds the fields cut apart by NULs.
    EXPECT_EQ(std::string(ReturnCharacterArray, 28),
              std::string("/Applications\0Tools\0Foo.app\0", 28));
    EXPECT_STREQ(whole, "/Applications") << "the first result shows the second text";
    EXPECT_EQ(request(3, 0), ReturnCharacterArray);
    EXPECT_STREQ(ReturnCharacterArray, "false");
    EXPECT_EQ(text(1, 0), "/Applications/Tools/Foo.app") << "type 1 fills the buffer again";
}

TEST_F(LoginItemStore, RemoveTakesOutOneItemAndKeepsTheOrder) {
    ASSERT_TRUE(add("/A.app"));
    ASSERT_TRUE(add("/B.app", 1));
    ASSERT_TRUE(add("/C.app"));
    std::string before = readFile(loginFile);
    const struct {
        int index;
        const char* why;
    } refused[] = {
        {3, "index equal to the count"},
        {-1, "negative index"},
        {1000, "far past the end"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(remove(c.index)) << c.why;
        EXPECT_EQ(readFile(loginFile), before) << c.why << ": the file is untouched";
    }
    ASSERT_TRUE(remove(2));
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(text(1, 1), "/B.app");
    ASSERT_TRUE(remove(0));
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(text(1, 0), "/B.app");
    EXPECT_EQ(text(3, 0), "true");
    ASSERT_TRUE(remove(0));
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(remove(0)) << "nothing left to remove";
}

TEST_F(LoginItemStore, NonAsciiPathsAreNeitherAddedNorRead) {
    SKIP_WITHOUT_PYTHON();
    EXPECT_FALSE(add("/Applications/Caf\xc3\xa9.app"));
    EXPECT_FALSE(add("/Applications/\xff.app")) << "not even valid UTF-8";
    EXPECT_FALSE(prefs_test::exists(loginFile)) << "nothing was written";
    storeWithPython("{'" + kKey + "': [{'Hide': True, 'Path': '/Applications/Caf\\u00e9.app'}]}");
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(request(1, 0), nullptr);
    EXPECT_EQ(request(2, 0), nullptr);
    EXPECT_EQ(text(3, 0), "true");
}

TEST_F(LoginItemStore, SelectorsOtherThanTheTwoUsersDoNothing) {
    ASSERT_TRUE(add("/Applications/Foo.app"));
    std::string before = readFile(loginFile);
    const struct {
        CFStringRef user;
        const char* why;
    } cases[] = {
        {CFSTR("kCFPreferencesCurrentUser"), "same text, another reference"},
        {kCFPreferencesAnyHost, "a host selector"},
        {kCFPreferencesCurrentHost, "the other host selector"},
        {nullptr, "null"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(count(c.user), 0) << c.why;
        EXPECT_EQ(request(1, 0, c.user), nullptr) << c.why;
        EXPECT_FALSE(add("/Applications/Bar.app", 0, c.user)) << c.why;
        EXPECT_FALSE(remove(0, c.user)) << c.why;
        for (auto print : {+[](CFStringRef u) { return PrintOutAllLoginItems(u); },
                           +[](CFStringRef u) { return PrintNumberOfLoginItems(u); },
                           +[](CFStringRef u) { return PrintOutLoginItemAtIndex(u, 0); }}) {
            auto out = printed([&] { return print(c.user); });
            EXPECT_EQ(out, std::make_pair(std::string(), Boolean(0))) << c.why;
        }
    }
    EXPECT_EQ(readFile(loginFile), before);
    EXPECT_TRUE(prefs_test::listFolder(systemFolder).empty() || !prefs_test::exists(systemFolder));
}

TEST_F(LoginItemStore, EachUserSelectorHasItsOwnList) {
    SKIP_WITHOUT_PYTHON();
    ASSERT_TRUE(add("/Users/me/Mine.app", 0, kCFPreferencesCurrentUser));
    ASSERT_TRUE(add("/Applications/Everyone.app", 1, kCFPreferencesAnyUser));
    ASSERT_TRUE(add("/Applications/Second.app", 0, kCFPreferencesAnyUser));
    EXPECT_EQ(count(kCFPreferencesCurrentUser), 1);
    EXPECT_EQ(count(kCFPreferencesAnyUser), 2);
    EXPECT_EQ(text(2, 0, kCFPreferencesAnyUser), "Everyone.app");
    // All users' list is kept per host, the current user's for any host.
    std::string systemFile = systemByHostLoginFile();
    ASSERT_FALSE(systemFile.empty());
    EXPECT_EQ(prefs_test::modeOf(systemFile), 0644u);
    EXPECT_FALSE(prefs_test::exists(systemFolder + "/loginwindow.plist"));
    EXPECT_FALSE(prefs_test::exists(userFolder + "/ByHost"));
    std::string seen;
    EXPECT_TRUE(plistEquals(systemFile,
                            "{'" + kKey +
                                "': [{'Hide': True, 'Path': '/Applications/Everyone.app'}, "
                                "{'Hide': False, 'Path': '/Applications/Second.app'}]}",
                            &seen))
        << seen;
    ASSERT_TRUE(remove(0, kCFPreferencesAnyUser));
    EXPECT_EQ(count(kCFPreferencesAnyUser), 1);
    EXPECT_EQ(count(kCFPreferencesCurrentUser), 1);
}

TEST_F(LoginItemStore, PrintsTheListInItsFormats) {
    auto empty = printed([] { return PrintOutAllLoginItems(kCFPreferencesCurrentUser); });
    EXPECT_EQ(empty.first, "LoginItems are Empty (i.e. there are no LoginItems)\n");
    EXPECT_TRUE(empty.second);
    ASSERT_TRUE(add("/Applications/Tools/Foo.app", 1));
    ASSERT_TRUE(add("/Bar.app/", 0));
    auto all = printed([] { return PrintOutAllLoginItems(kCFPreferencesCurrentUser); });
    EXPECT_EQ(all.first, "LoginItem Index 0:\n"
                         "\tFull path to App: /Applications/Tools/Foo.app\n"
                         "\tHide Info:        true\n"
                         "\tExecutable Name:  Foo.app\n"
                         "LoginItem Index 1:\n"
                         "\tFull path to App: /Bar.app/\n"
                         "\tHide Info:        false\n"
                         "\tExecutable Name:  Bar.app\n");
    EXPECT_TRUE(all.second);
    auto number = printed([] { return PrintNumberOfLoginItems(kCFPreferencesCurrentUser); });
    EXPECT_EQ(number, std::make_pair(std::string("The number of LoginItems is: 2"), Boolean(1)));
    for (int index : {2, -1}) {
        auto past =
            printed([&] { return PrintOutLoginItemAtIndex(kCFPreferencesCurrentUser, index); });
        EXPECT_EQ(past, std::make_pair(std::string(), Boolean(0))) << index;
    }
}

TEST_F(LoginItemStore, PrintingStopsAtAnItemWithoutHide) {
    SKIP_WITHOUT_PYTHON();
    storeWithPython("{'" + kKey +
                    "': [{'Path': '/NoHide.app'}, {'Hide': False, 'Path': '/Later.app'}]}");
    auto one = printed([] { return PrintOutLoginItemAtIndex(kCFPreferencesCurrentUser, 0); });
    EXPECT_EQ(one, std::make_pair(std::string("\tFull path to App: /NoHide.app\n"), Boolean(0)));
    auto all = printed([] { return PrintOutAllLoginItems(kCFPreferencesCurrentUser); });
    EXPECT_EQ(all.first, "LoginItem Index 0:\n\tFull path to App: /NoHide.app\n");
    EXPECT_FALSE(all.second);
}

TEST_F(LoginItemStore, ValuesOfOtherTypesReadAsNothing) {
    SKIP_WITHOUT_PYTHON();
    storeWithPython("{'" + kKey +
                    "': ['/NotADict.app', {'Path': 42, 'Hide': 'true'}, "
                    "{'Path': b'/Data.app', 'Hide': 1}, {'Hide': True, 'Path': '/Good.app'}]}");
    EXPECT_EQ(count(), 4);
    const struct {
        int type, index;
        const char* why;
    } cases[] = {
        {1, 0, "an element that is a string"}, {3, 0, "an element that is a string"},
        {1, 1, "a Path that is an integer"},   {2, 1, "a Path that is an integer"},
        {3, 1, "a Hide that is a string"},     {1, 2, "a Path that is data"},
        {3, 2, "a Hide that is an integer"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request(c.type, c.index), nullptr) << c.why;
    EXPECT_EQ(text(2, 3), "Good.app");
    EXPECT_EQ(text(3, 3), "true");
}

TEST_F(LoginItemStore, AStoredValueThatIsNotAListIsNeverReplaced) {
    SKIP_WITHOUT_PYTHON();
    const struct {
        const char* value;
        const char* why;
    } cases[] = {
        {"{'Path': '/A.app', 'Hide': True}", "a single item instead of a list"},
        {"'/A.app'", "a string"},
        {"0", "an integer"},
    };
    for (const auto& c : cases) {
        storeWithPython("{'" + kKey + "': " + c.value + ", 'Other': 1}");
        std::string before = readFile(loginFile);
        EXPECT_EQ(count(), 0) << c.why;
        EXPECT_EQ(request(1, 0), nullptr) << c.why;
        EXPECT_FALSE(add("/B.app")) << c.why;
        EXPECT_FALSE(remove(0)) << c.why;
        EXPECT_EQ(readFile(loginFile), before) << c.why;
        auto all = printed([] { return PrintOutAllLoginItems(kCFPreferencesCurrentUser); });
        EXPECT_EQ(all.first, "LoginItems are Empty (i.e. there are no LoginItems)\n") << c.why;
        clearUserFolder();
    }
}

// Files that plistlib wrote, holding every property-list type, keep every
// value through an add and a remove made by the store.
TEST_F(LoginItemStore, OtherSoftwaresValuesSurviveAddAndRemove) {
    SKIP_WITHOUT_PYTHON();
    const std::string others =
        "'Count': 7, 'Negative': -9223372036854775808, 'Huge': 18446744073709551615, "
        "'Ratio': 0.1, 'Tiny': 5e-324, 'When': datetime.datetime(1999, 12, 31, 23, 59, 58), "
        "'Blob': b'\\x00\\xff\\x10 bytes', 'Empty': b'', 'Nested': {'List': [1, 2.5, 'three', "
        "[True, False], {}], 'Text': ' spaced\\nlines\\t\\u00e9\\U0001F600 '}";
    const std::string item =
        "{'Hide': True, 'Path': '/Other.app', 'Extra': {'Since': datetime.datetime(2024, 2, 29, "
        "12, 0, 0), 'Level': 3}}";
    const std::string added = "{'Hide': False, 'Path': '/Applications/Foo.app'}";
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary file" : "XML file");
        std::string original = "{" + others + ", '" + kKey + "': [" + item + "]}";
        storeWithPython(original, binary);
        ASSERT_TRUE(add("/Applications/Foo.app", 0));
        expectFile("{" + others + ", '" + kKey + "': [" + item + ", " + added + "]}");
        ASSERT_TRUE(remove(1));
        expectFile(original);
        clearUserFolder();
    }
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; i++)
        all += text;
    return all;
}

TEST_F(LoginItemStore, FilesThatCannotBeReadAreNeverOverwritten) {
    const std::string valid = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                              "<dict><key>" +
                              kKey +
                              "</key><array><dict><key>Hide</key><true/><key>Path</key>"
                              "<string>/A.app</string></dict></array></dict></plist>\n";
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        {valid.substr(0, valid.size() / 2), "truncated XML"},
        {"\x89PNG\r\n\x1a\n garbage", "not a property list at all"},
        {"", "an empty file"},
        {"<plist version=\"1.0\"><array><string>/A.app</string></array></plist>",
         "a root that is not a dictionary"},
        {"bplist00\xd1\x01\x02", "truncated binary list"},
        {valid.substr(0, valid.find("/A.app")) + "/\xc3(.app" +
             valid.substr(valid.find("/A.app") + 6),
         "a string that is not UTF-8"},
        {valid.substr(0, valid.find("<array>")) + std::string(16 * 1024 * 1024, ' ') +
             valid.substr(valid.find("<array>")),
         "a valid list made larger than 16 MiB"},
        {valid.substr(0, valid.find("<array>")) + repeated("<array>", 70) +
             repeated("</array>", 70) + valid.substr(valid.find("</array>") + 8),
         "arrays nested deeper than 64 levels"},
    };
    for (const auto& c : cases) {
        makeUserFolder();
        prefs_test::writeFile(loginFile, c.bytes);
        EXPECT_EQ(count(), 0) << c.why;
        EXPECT_EQ(request(3, 0), nullptr) << c.why;
        EXPECT_FALSE(add("/B.app")) << c.why;
        EXPECT_FALSE(remove(0)) << c.why;
        EXPECT_EQ(readFile(loginFile), c.bytes) << c.why;
        EXPECT_EQ(prefs_test::listFolder(userFolder).size(), 2u)
            << c.why << ": only the file and its lock, no temporary left";
        clearUserFolder();
    }
    makeUserFolder();
    prefs_test::writeFile(loginFile, valid);
    EXPECT_EQ(text(1, 0), "/A.app") << "the valid file the cases were cut from reads";
}

// What sits at the file's path when it is not a regular file: never
// followed, opened for reading (a FIFO would hang the program), written
// through or replaced.
TEST_F(LoginItemStore, ItemsAtTheFilePathThatAreNotFilesAreNeverUsed) {
    const std::string valid = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                              "<dict><key>" +
                              kKey +
                              "</key><array><dict><key>Hide</key><true/><key>Path</key>"
                              "<string>/A.app</string></dict></array></dict></plist>\n";
    enum Kind { LinkToValid, DanglingLink, Fifo, Folder };
    const struct {
        Kind kind;
        const char* why;
    } cases[] = {
        {LinkToValid, "a symbolic link to a valid list: another user's file"},
        {DanglingLink, "a dangling symbolic link: a write would create its target"},
        {Fifo, "a FIFO: opening it for reading would wait for a writer"},
        {Folder, "a folder"},
    };
    const std::string target = root + "/target.plist";
    for (const auto& c : cases) {
        makeUserFolder();
        ::unlink(target.c_str());
        if (c.kind == LinkToValid) {
            prefs_test::writeFile(target, valid);
        }
        if (c.kind == LinkToValid || c.kind == DanglingLink) {
            ASSERT_EQ(::symlink(target.c_str(), loginFile.c_str()), 0);
        }
        if (c.kind == Fifo) {
            ASSERT_EQ(::mkfifo(loginFile.c_str(), 0600), 0);
        }
        if (c.kind == Folder) {
            ASSERT_EQ(::mkdir(loginFile.c_str(), 0700), 0);
        }
        struct stat before;
        ASSERT_EQ(::lstat(loginFile.c_str(), &before), 0);
        EXPECT_EQ(count(), 0) << c.why;
        EXPECT_EQ(request(1, 0), nullptr) << c.why;
        EXPECT_FALSE(add("/B.app")) << c.why;
        EXPECT_FALSE(remove(0)) << c.why;
        struct stat after;
        ASSERT_EQ(::lstat(loginFile.c_str(), &after), 0) << c.why;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.why << ": replaced";
        EXPECT_EQ(after.st_mode, before.st_mode) << c.why;
        if (c.kind == LinkToValid) {
            EXPECT_EQ(readFile(target), valid) << c.why << ": written through";
        }
        if (c.kind == DanglingLink) {
            EXPECT_FALSE(prefs_test::exists(target)) << c.why << ": target created";
        }
        ::rmdir(loginFile.c_str());
        clearUserFolder();
    }
}

} // namespace
