// aFolderItem on real temporary folders: positions and batches, lookups by
// name, the exceptions of files, removed and unreadable items, parents, and
// the bundle folders of a program run from a bundle layout and bare.
#include "AlertRecorder.h"
#include "RunProgram.h"
#include "TestProbe.h"
#include "aException.h"
#include "aFolderItem.h"

#include "KernelListing.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/capability.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void makeFile(const std::string& path) {
    std::ofstream(path) << "x";
}

std::unique_ptr<aFolderItem> itemAt(const std::string& path) {
    FSRef ref;
    ref.path = path;
    return std::make_unique<aFolderItem>(ref);
}

std::string pathOf(const aFolderItem& item) {
    FSRef ref = item.getAsFSRef();
    UInt8 buffer[PATH_MAX];
    if (FSRefMakePath(&ref, buffer, sizeof buffer) != noErr)
        return "(no path)";
    return reinterpret_cast<char*>(buffer);
}

std::string text(const aString& s) {
    return std::string(s.getValue(), s.getLength());
}

// What an operation threw: its description and condition, or "no exception".
template <class Operation> std::pair<std::string, std::string> thrown(Operation operation) {
    try {
        operation();
    } catch (aException& e) {
        return {text(e.getDescription()), text(e.getCondition())};
    }
    return {"no exception", ""};
}

// Makes file permissions bind this process even when it runs as the
// superuser: the two capabilities that override them are taken out of the
// effective set, and put back at the end.
class PermissionsEnforced {
public:
    PermissionsEnforced() {
        header.version = _LINUX_CAPABILITY_VERSION_3;
        header.pid = 0;
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        changed = ::syscall(SYS_capset, &header, lowered) == 0;
    }
    ~PermissionsEnforced() {
        if (changed)
            ::syscall(SYS_capset, &header, saved);
    }
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

private:
    __user_cap_header_struct header{};
    __user_cap_data_struct saved[2]{};
    bool changed = false;
};

const std::string kNoCondition;
const std::string kFileErr = "fileErr != noErr";

class aFolderItemTest : public ::testing::Test {
protected:
    void SetUp() override { items = aTestProbe::count<aFolderItem>(); }
    void TearDown() override {
        EXPECT_EQ(aTestProbe::count<aFolderItem>(), items) << "every folder item was released";
    }
    unsigned long long items = 0;
};

TEST_F(aFolderItemTest, PositionsAreOneBasedInListingOrder) {
    TempFolder folder;
    for (int i = 0; i < 20; ++i)
        makeFile(folder / ("child-" + std::to_string(i)));
    const std::vector<std::string> order = kernelOrder(folder.path());
    auto item = itemAt(folder.path());
    EXPECT_EQ(item->getChildCount(), 20);
    const std::vector<std::pair<int, const char*>> cases = {
        {1, "first child of the listing"},
        {16, "last of the first batch"},
        {17, "first of the second batch"},
        {20, "last child"},
        {21, "one past the end: null"},
        {0, "positions start at 1: null"},
        {-1, "negative: null, never an entry before the first"},
        {INT_MIN, "most negative: null"},
    };
    for (const auto& [index, why] : cases) {
        std::unique_ptr<aFolderItem> child(item->getChild(index));
        if (index >= 1 && index <= 20) {
            ASSERT_NE(child, nullptr) << why;
            EXPECT_EQ(pathOf(*child), folder / order[static_cast<std::size_t>(index) - 1]) << why;
        } else {
            EXPECT_EQ(child, nullptr) << why;
        }
    }
}

// Counts around the batch size of 16.
TEST_F(aFolderItemTest, CountsChildren) {
    for (int children : {0, 1, 15, 16, 17, 32, 40}) {
        TempFolder folder;
        for (int i = 0; i < children; ++i)
            makeFile(folder / std::to_string(i));
        if (children > 0)
            fs::create_directory(folder / "sub"); // folders count like files
        int expected = children > 0 ? children + 1 : 0;
        EXPECT_EQ(itemAt(folder.path())->getChildCount(), expected) << children;
        std::unique_ptr<aFolderItem> last(itemAt(folder.path())->getChild(expected));
        EXPECT_EQ(last != nullptr, expected > 0) << children;
    }
}

TEST_F(aFolderItemTest, FindsChildrenByExactName) {
    TempFolder folder;
    makeFile(folder / "LumoraDaemon");
    makeFile(folder / "Lumora");
    makeFile(folder / "lumora daemon");
    fs::create_directory(folder / "Lumora.app");
    auto item = itemAt(folder.path());
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"LumoraDaemon", "LumoraDaemon"},
        {"Lumora", "Lumora"}, // not the longer names that start with it
        {"Lumora.app", "Lumora.app"},
        {"lumoradaemon", nullptr},  // case differs
        {"LUMORA", nullptr},        // case differs
        {"LumoraDaemon ", nullptr}, // nothing is trimmed
        {"Lumor", nullptr},         // a prefix is not the name
        {"", nullptr},
    };
    for (const auto& [name, expected] : cases) {
        std::unique_ptr<aFolderItem> child(item->getChild(aString(name)));
        if (expected == nullptr) {
            EXPECT_EQ(child, nullptr) << name;
        } else {
            ASSERT_NE(child, nullptr) << name;
            EXPECT_EQ(pathOf(*child), folder / expected);
        }
    }
    std::unique_ptr<aFolderItem> none(itemAt((folder / "Lumora.app"))->getChild(aString("x")));
    EXPECT_EQ(none, nullptr) << "an empty folder has no child of any name";
}

// A name lookup keeps nothing it does not return.
TEST_F(aFolderItemTest, NameLookupReleasesEveryCandidate) {
    TempFolder folder;
    for (int i = 0; i < 40; ++i)
        makeFile(folder / ("f" + std::to_string(i)));
    auto item = itemAt(folder.path());
    const std::string last = kernelOrder(folder.path()).back();
    std::unique_ptr<aFolderItem> found(item->getChild(aString(last.c_str())));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(aTestProbe::count<aFolderItem>(), items + 2) << "the folder and the result only";
}

TEST_F(aFolderItemTest, FileHasNoChildren) {
    TempFolder folder;
    makeFile(folder / "file");
    auto file = itemAt(folder / "file");
    EXPECT_FALSE(file->getDirectory());
    using Expected = std::pair<std::string, std::string>;
    EXPECT_EQ(thrown([&] { file->getChild(1); }),
              Expected("aFolderItem.getChild(): Creating a file iterator failed.", kNoCondition));
    EXPECT_EQ(
        thrown([&] { file->getChildCount(); }),
        Expected("aFolderItem.getChildCount(): Creating a file iterator failed.", kNoCondition));
    EXPECT_EQ(
        thrown([&] { file->getChild(aString("x")); }),
        Expected("aFolderItem.getChildCount(): Creating a file iterator failed.", kNoCondition));
}

// An item removed after it was found: every operation that reads it fails
// with its own exception, and nothing crashes.
TEST_F(aFolderItemTest, RemovedItemFailsWithTheOperationsExceptions) {
    TempFolder folder;
    fs::create_directory(folder / "gone");
    auto item = itemAt(folder / "gone");
    ASSERT_TRUE(item->getDirectory());
    fs::remove(folder / "gone");
    using Expected = std::pair<std::string, std::string>;
    const Expected baseSpec("aFolderItem.getName(): Getting base FSSpec failed.", kFileErr);
    EXPECT_FALSE(item->getDirectory()) << "flags that cannot be read: not a folder";
    EXPECT_EQ(
        thrown([&] { item->getChildCount(); }),
        Expected("aFolderItem.getChildCount(): Creating a file iterator failed.", kNoCondition));
    EXPECT_EQ(thrown([&] { item->getChild(1); }),
              Expected("aFolderItem.getChild(): Creating a file iterator failed.", kNoCondition));
    EXPECT_EQ(thrown([&] { item->getName(); }), baseSpec);
    EXPECT_EQ(thrown([&] { item->getParent(); }), baseSpec);
    EXPECT_EQ(thrown([&] { item->getAsFSSpec(); }), baseSpec);
    EXPECT_EQ(pathOf(*item), "(no path)");
}

// A folder that exists but cannot be read: the iterator itself fails, and
// the two operations report it with their own texts and conditions.
TEST_F(aFolderItemTest, UnreadableFolderFailsToOpenItsIterator) {
    TempFolder folder;
    fs::create_directory(folder / "locked");
    makeFile(folder / "locked/inside");
    auto item = itemAt(folder / "locked");
    std::pair<std::string, std::string> count, child;
    {
        PermissionsEnforced enforced;
        fs::permissions(folder / "locked", fs::perms::none);
        DIR* probe = ::opendir((folder / "locked").c_str());
        if (probe != nullptr) {
            ::closedir(probe);
            GTEST_SKIP() << "this process reads folders whatever their permissions";
        }
        EXPECT_TRUE(item->getDirectory()) << "flags need no read permission";
        count = thrown([&] { item->getChildCount(); });
        child = thrown([&] { item->getChild(1); });
        fs::permissions(folder / "locked", fs::perms::owner_all);
    }
    using Expected = std::pair<std::string, std::string>;
    EXPECT_EQ(count,
              Expected("aFolderItem.getChildCount(): Creating a file iterator failed.", kFileErr));
    EXPECT_EQ(child,
              Expected("aFolderItem.getChild(): Creating a file iterator failed.", kNoCondition));
    EXPECT_EQ(item->getChildCount(), 1) << "readable again";
}

TEST_F(aFolderItemTest, ParentIsTheContainingFolder) {
    TempFolder folder;
    fs::create_directory(folder / "F");
    makeFile(folder / "F/child");
    auto child = itemAt(folder / "F/child");
    std::unique_ptr<aFolderItem> parent(child->getParent());
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(pathOf(*parent), folder / "F");
    EXPECT_EQ(text(parent->getName()), "F");
    std::unique_ptr<aFolderItem> grandparent(parent->getParent());
    EXPECT_EQ(pathOf(*grandparent), folder.path());
}

TEST_F(aFolderItemTest, RootFolderIsTheDefaultAndHasNoParent) {
    aFolderItem root;
    EXPECT_EQ(pathOf(root), "/");
    EXPECT_TRUE(root.getDirectory());
    EXPECT_EQ(text(root.getName()), "/");
    EXPECT_EQ(thrown([&] { root.getParent(); }),
              std::make_pair(std::string("aFolderItem.getName(): Getting parent FSSpec failed."),
                             kFileErr));
    // A folder right under the root has the root as its parent.
    const fs::path temp = fs::temp_directory_path();
    const std::string top = "/" + (++temp.begin())->string();
    std::unique_ptr<aFolderItem> parent(itemAt(top)->getParent());
    EXPECT_EQ(pathOf(*parent), "/");

    TempFolder folder;
    makeFile(folder / "x");
    root.assign(itemAt(folder / "x")->getAsFSRef());
    EXPECT_EQ(pathOf(root), folder / "x");
    root.assign();
    EXPECT_EQ(pathOf(root), "/");
}

// The throw site travels with the exception: this class's source file as the
// build names it, and the line of the throw.
TEST_F(aFolderItemTest, ExceptionNamesItsThrowSite) {
    AlertRecorder::reset();
    aFolderItem root;
    try {
        root.getParent();
        FAIL() << "the root folder has no parent";
    } catch (aException& e) {
        e.showDialogBox();
    }
    ASSERT_EQ(AlertRecorder::calls.size(), 1u);
    const std::string detail = AlertRecorder::calls[0].explanation.value;
    AlertRecorder::reset();
    const std::string fileTag = "\rFile: ", lineTag = "\rLine: ";
    std::size_t file = detail.find(fileTag), line = detail.find(lineTag);
    ASSERT_NE(file, std::string::npos) << detail;
    ASSERT_NE(line, std::string::npos) << detail;
    const std::string source = detail.substr(file + fileTag.size(), line - file - fileTag.size());
    EXPECT_EQ(fs::path(source).filename(), "aFolderItem.cpp");
    EXPECT_EQ(fs::path(source).parent_path().filename(), "File");
    const int lineNumber = std::stoi(detail.substr(line + lineTag.size()));

    // The reported line is the throw of this very exception.
    std::ifstream in(source);
    std::vector<std::string> lines;
    for (std::string text; std::getline(in, text);)
        lines.push_back(text);
    ASSERT_GE(lines.size(), static_cast<std::size_t>(lineNumber)) << source;
    std::string around;
    for (int i = std::max(1, lineNumber - 2); i <= lineNumber; ++i)
        around += lines[static_cast<std::size_t>(i) - 1];
    EXPECT_NE(around.find("Getting parent FSSpec failed."), std::string::npos) << around;
    EXPECT_NE(around.find("__LINE__"), std::string::npos) << around;
}

// Names longer than an FSSpec carries come back cut to 63 bytes at a
// character boundary, and a lookup by name compares with that cut name.
TEST_F(aFolderItemTest, LongNamesAreCutAndFoundByTheirCutName) {
    TempFolder folder;
    const std::string name = std::string(62, 'a') + "\xC3\xA9" + "-tail"; // é across byte 63
    const std::string cut = std::string(62, 'a');
    makeFile(folder / name);
    auto item = itemAt(folder.path());
    std::unique_ptr<aFolderItem> child(item->getChild(1));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(text(child->getName()), cut);
    std::unique_ptr<aFolderItem> byCut(item->getChild(aString(cut.c_str())));
    ASSERT_NE(byCut, nullptr);
    EXPECT_EQ(pathOf(*byCut), folder / name);
    std::unique_ptr<aFolderItem> byFull(item->getChild(aString(name.c_str())));
    EXPECT_EQ(byFull, nullptr) << "the full name is longer than any name getName gives";
}

// The launcher's route: an item's FSSpec leads back to the item's path.
TEST_F(aFolderItemTest, FSSpecLeadsBackToTheItem) {
    TempFolder folder;
    fs::create_directory(folder / "Resources");
    makeFile(folder / "Resources/Lumora");
    auto resources = itemAt(folder / "Resources");
    std::unique_ptr<aFolderItem> app(resources->getChild(aString("Lumora")));
    ASSERT_NE(app, nullptr);
    FSSpec fsSpec = app->getAsFSSpec();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fsSpec.name + 1), fsSpec.name[0]), "Lumora");
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&fsSpec, &ref), noErr);
    UInt8 path[PATH_MAX];
    ASSERT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), folder / "Resources/Lumora");
}

// The bundle folders, as a program run from a bundle layout and bare finds
// them through aFolderItem.
std::map<std::string, std::string> probe(const std::string& program) {
    ProgramRun run = runProgram(program, {"folderitem"});
    EXPECT_EQ(run.status, 0) << program;
    return labelledLines(run.output);
}

void installProbe(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(LUMORA_BUNDLE_PROBE, path);
    fs::permissions(path, fs::perms::owner_all);
}

TEST_F(aFolderItemTest, BundleFoldersOfAProgramInABundle) {
    TempFolder top;
    const std::string bundle = top / "LumoraBootLoader.app";
    installProbe(bundle + "/Contents/MacOS/LumoraBootLoader");
    fs::create_directories(bundle + "/Contents/Resources");
    fs::create_directories(bundle + "/Contents/SharedFrameworks");
    makeFile(top / "LumoraDaemon");
    const std::map<std::string, std::string> expected = {
        {"bundle", bundle},
        {"plugins", "null"}, // a missing plug-ins folder gives null
        {"privateframeworks", "null"},
        {"resources", bundle + "/Contents/Resources"},
        {"sharedframeworks", bundle + "/Contents/SharedFrameworks"},
        {"sharedsupport", "null"},
        {"support", bundle + "/Contents"},
        {"daemon", top / "LumoraDaemon"}, // beside the bundle, as the login tool finds it
        {"items", "0"},
    };
    EXPECT_EQ(probe(bundle + "/Contents/MacOS/LumoraBootLoader"), expected);
}

TEST_F(aFolderItemTest, BundleFoldersOfABareProgram) {
    TempFolder top;
    const std::string folder = top / "bin";
    installProbe(folder + "/LumoraBootLoader");
    fs::create_directories(folder + "/PlugIns");
    const std::map<std::string, std::string> expected = {
        {"bundle", folder},
        {"plugins", folder + "/PlugIns"},
        {"privateframeworks", "null"},
        {"resources", folder},
        {"sharedframeworks", "null"},
        {"sharedsupport", "null"},
        {"support", folder},
        {"daemon", "null"}, // no daemon beside the folder
        {"items", "0"},
    };
    EXPECT_EQ(probe(folder + "/LumoraBootLoader"), expected);
}

} // namespace
