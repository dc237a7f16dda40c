// The file service on real temporary folders: listing order and batches,
// catalog information, FSSpec records and their folder table, paths.
#include "PlatformFiles.h"

#include "KernelListing.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary folder, removed with everything in it.

void makeFile(const std::string& path) {
    std::ofstream(path) << "x";
}

FSRef refTo(const std::string& path) {
    FSRef ref;
    ref.path = path;
    return ref;
}

std::string pathOf(const FSRef& ref) {
    std::vector<UInt8> buffer(PATH_MAX + 1);
    OSStatus err = FSRefMakePath(&ref, buffer.data(), static_cast<UInt32>(buffer.size()));
    return err == noErr ? std::string(reinterpret_cast<char*>(buffer.data()))
                        : "error " + std::to_string(err);
}

std::string nameOf(const FSSpec& fsSpec) {
    return std::string(reinterpret_cast<const char*>(fsSpec.name + 1), fsSpec.name[0]);
}

FSSpec specOf(const std::string& path) {
    FSSpec fsSpec{};
    FSRef ref = refTo(path);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &fsSpec, nullptr), noErr)
        << path;
    return fsSpec;
}

// Lists the folder in batches of 16 and records every batch's size and code.
struct Listing {
    std::vector<std::string> paths;
    std::vector<std::pair<ItemCount, OSErr>> batches;
};

Listing listInBatches(const std::string& folder) {
    Listing listing;
    FSRef container = refTo(folder);
    FSIterator iterator = nullptr;
    EXPECT_EQ(FSOpenIterator(&container, kFSIterateFlat, &iterator), noErr);
    OSErr err = noErr;
    while (err == noErr) {
        FSRef refs[16];
        ItemCount count = 99;
        err = FSGetCatalogInfoBulk(iterator, 16, &count, nullptr, kFSCatInfoNone, nullptr, refs,
                                   nullptr, nullptr);
        listing.batches.emplace_back(count, err);
        for (ItemCount i = 0; i < count; ++i)
            listing.paths.push_back(pathOf(refs[i]));
    }
    // A finished listing stays finished.
    ItemCount count = 99;
    EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 16, &count, nullptr, kFSCatInfoNone, nullptr, nullptr,
                                   nullptr, nullptr),
              errFSNoMoreItems);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    return listing;
}

TEST(PlatformFiles, BootVolumeRootIsTheRootFolder) {
    FSRef root;
    FSVolumeRefNum volume = 0;
    ASSERT_EQ(FSGetVolumeInfo(kFSInvalidVolumeRefNum, 1, &volume, kFSVolInfoNone, nullptr, nullptr,
                              &root),
              noErr);
    EXPECT_EQ(pathOf(root), "/");
    EXPECT_EQ(volume, kBootVolumeRefNum);
    FSCatalogInfo info{};
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr),
              noErr);
    EXPECT_TRUE(info.nodeFlags & kFSNodeIsDirectoryMask);
    // There is one volume only.
    EXPECT_EQ(FSGetVolumeInfo(kFSInvalidVolumeRefNum, 2, nullptr, kFSVolInfoNone, nullptr, nullptr,
                              &root),
              nsvErr);
    EXPECT_EQ(FSGetVolumeInfo(7, 0, nullptr, kFSVolInfoNone, nullptr, nullptr, &root), nsvErr);
}

// Listing sizes around the batch size: every batch but the last is full and
// noErr; errFSNoMoreItems comes with the last batch, empty when the count is a
// multiple of 16.
TEST(PlatformFiles, ListsInKernelOrderInBatches) {
    struct Case {
        int children;
        std::vector<std::pair<ItemCount, OSErr>> batches;
        const char* why;
    };
    const std::vector<Case> cases = {
        {0, {{0, errFSNoMoreItems}}, "empty folder: one empty last batch"},
        {1, {{1, errFSNoMoreItems}}, "a single child comes with the end"},
        {16, {{16, noErr}, {0, errFSNoMoreItems}}, "a full batch cannot know it is the last"},
        {20, {{16, noErr}, {4, errFSNoMoreItems}}, "second batch partly filled"},
        {33, {{16, noErr}, {16, noErr}, {1, errFSNoMoreItems}}, "three batches"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TempFolder folder;
        for (int i = 0; i < c.children; ++i)
            makeFile(folder / ("child" + std::to_string(i)));
        Listing listing = listInBatches(folder.path());
        EXPECT_EQ(listing.batches, c.batches);
        std::vector<std::string> expected;
        for (const std::string& name : kernelOrder(folder.path()))
            expected.push_back(folder / name);
        EXPECT_EQ(listing.paths, expected) << "the kernel's order, without . and ..";
    }
}

TEST(PlatformFiles, NodeFlagsTellFoldersFromFiles) {
    TempFolder folder;
    fs::create_directory(folder / "dir");
    makeFile(folder / "file");
    fs::create_directory_symlink(folder / "dir", folder / "link-to-dir");
    fs::create_symlink(folder / "missing", folder / "dangling");
    const std::vector<std::pair<std::string, bool>> expected = {
        {"dir", true},
        {"file", false},
        {"link-to-dir", true}, // links are followed, as opening the folder does
        {"dangling", false},   // a link to nothing is still an item, a file
    };
    for (const auto& [name, isFolder] : expected) {
        FSRef ref = refTo(folder / name);
        FSCatalogInfo info{0xFFFF};
        ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr),
                  noErr)
            << name;
        EXPECT_EQ((info.nodeFlags & kFSNodeIsDirectoryMask) != 0, isFolder) << name;
    }
    // The bulk listing gives the same flags.
    FSRef container = refTo(folder.path());
    FSIterator iterator = nullptr;
    ASSERT_EQ(FSOpenIterator(&container, kFSIterateFlat, &iterator), noErr);
    FSCatalogInfo infos[16];
    FSRef refs[16];
    ItemCount count = 0;
    EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 16, &count, nullptr, kFSCatInfoNodeFlags, infos, refs,
                                   nullptr, nullptr),
              errFSNoMoreItems);
    ASSERT_EQ(count, expected.size());
    for (ItemCount i = 0; i < count; ++i) {
        std::string name = fs::path(pathOf(refs[i])).filename();
        bool isFolder = name == "dir" || name == "link-to-dir";
        EXPECT_EQ((infos[i].nodeFlags & kFSNodeIsDirectoryMask) != 0, isFolder) << name;
    }
    FSCloseIterator(iterator);
}

TEST(PlatformFiles, IteratorRefusesFilesAndMissingItems) {
    TempFolder folder;
    makeFile(folder / "file");
    const std::vector<std::pair<std::string, OSErr>> cases = {
        {folder / "file", errFSNotAFolder},
        {folder / "missing", fnfErr},
        {folder / "file/below", dirNFErr},
    };
    for (const auto& [path, expected] : cases) {
        FSRef ref = refTo(path);
        FSIterator iterator = nullptr;
        EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), expected) << path;
    }
}

// Items removed after their reference was made are reported, never read.
TEST(PlatformFiles, RemovedItemsFailWithFileNotFound) {
    TempFolder folder;
    fs::create_directory(folder / "gone");
    FSRef ref = refTo(folder / "gone");
    fs::remove(folder / "gone");
    FSCatalogInfo info{};
    FSSpec fsSpec{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr),
              fnfErr);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &fsSpec, nullptr), fnfErr);
    FSIterator iterator = nullptr;
    EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), fnfErr);
    UInt8 path[256];
    EXPECT_EQ(FSRefMakePath(&ref, path, sizeof path), fnfErr);
}

// The launcher's route: an FSSpec that carries a name resolves to
// parent-folder/name, and the parent's own FSSpec resolves to the folder.
TEST(PlatformFiles, FSSpecRoundTripsThroughTheFolderTable) {
    TempFolder folder;
    fs::create_directory(folder / "app folder");
    makeFile(folder / "app folder/Lumora");
    FSSpec fsSpec = specOf(folder / "app folder/Lumora");
    EXPECT_EQ(fsSpec.vRefNum, kBootVolumeRefNum);
    EXPECT_EQ(nameOf(fsSpec), "Lumora");
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&fsSpec, &ref), noErr);
    EXPECT_EQ(pathOf(ref), folder / "app folder/Lumora");

    // The containing folder, from the identifier alone.
    FSSpec parent{};
    ASSERT_EQ(FSMakeFSSpec(fsSpec.vRefNum, fsSpec.parID, nullptr, &parent), noErr);
    EXPECT_EQ(nameOf(parent), "app folder");
    EXPECT_EQ(parent.parID, specOf(folder / "app folder").parID);
    ASSERT_EQ(FSpMakeFSRef(&parent, &ref), noErr);
    EXPECT_EQ(pathOf(ref), folder / "app folder");

    // Identifiers are stable: the same folder always gets the same one.
    EXPECT_EQ(specOf(folder / "app folder/Lumora").parID, fsSpec.parID);
    EXPECT_NE(specOf(folder / "app folder").parID, fsSpec.parID);

    // A name given to FSMakeFSSpec: filled either way, fnfErr when missing.
    FSSpec named{};
    const unsigned char lumora[] = "\x06Lumora";
    EXPECT_EQ(FSMakeFSSpec(fsSpec.vRefNum, fsSpec.parID, lumora, &named), noErr);
    EXPECT_EQ(nameOf(named), "Lumora");
    EXPECT_EQ(named.parID, fsSpec.parID);
    const unsigned char missing[] = "\x07missing";
    EXPECT_EQ(FSMakeFSSpec(fsSpec.vRefNum, fsSpec.parID, missing, &named), fnfErr);
    EXPECT_EQ(nameOf(named), "missing");
    EXPECT_EQ(FSpMakeFSRef(&named, &ref), fnfErr);
}

TEST(PlatformFiles, RootFolderHasNoContainer) {
    FSSpec root = specOf("/");
    FSSpec parent{};
    EXPECT_NE(FSMakeFSSpec(root.vRefNum, root.parID, nullptr, &parent), noErr)
        << "the root's container does not exist";
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&root, &ref), noErr);
    EXPECT_EQ(pathOf(ref), "/");
    FSRef rootRef = refTo("/");
    EXPECT_EQ(FSGetCatalogInfo(&rootRef, kFSCatInfoNone, nullptr, nullptr, nullptr, &ref), fnfErr);

    // A folder directly under the root has the root as its container.
    FSSpec tmp = specOf(fs::temp_directory_path().string());
    ASSERT_EQ(FSMakeFSSpec(tmp.vRefNum, tmp.parID, nullptr, &parent), noErr);
    ASSERT_EQ(FSpMakeFSRef(&parent, &ref), noErr);
    EXPECT_EQ(pathOf(ref), fs::path(fs::temp_directory_path()).parent_path().string());
}

TEST(PlatformFiles, FSSpecCallsRejectBadRequests) {
    TempFolder folder;
    makeFile(folder / "file");
    FSSpec fsSpec = specOf(folder / "file");
    FSSpec out{};
    const unsigned char slash[] = "\x03"
                                  "a/b";
    const unsigned char dotdot[] = "\x02..";
    struct Case {
        SInt16 volume;
        SInt32 folderId;
        const unsigned char* name;
        OSErr expected;
        const char* why;
    };
    const std::vector<Case> cases = {
        {3, fsSpec.parID, nullptr, nsvErr, "only the boot volume exists"},
        {kBootVolumeRefNum, 0x7FFFFF00, nullptr, dirNFErr, "identifier never handed out"},
        {kBootVolumeRefNum, 1, nullptr, dirNFErr, "the root's container is no folder"},
        {kBootVolumeRefNum, fsSpec.parID, slash, bdNamErr, "a name is one path component"},
        {kBootVolumeRefNum, fsSpec.parID, dotdot, bdNamErr, "no way out of the folder"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FSMakeFSSpec(c.volume, c.folderId, c.name, &out), c.expected) << c.why;

    // The folder behind an identifier vanishes.
    FSSpec inner = specOf(folder.path());
    fs::create_directory(folder / "sub");
    makeFile(folder / "sub/x");
    FSSpec child = specOf(folder / "sub/x");
    fs::remove_all(folder / "sub");
    FSRef ref;
    EXPECT_EQ(FSMakeFSSpec(child.vRefNum, child.parID, nullptr, &out), dirNFErr);
    EXPECT_EQ(FSpMakeFSRef(&child, &ref), dirNFErr);
    EXPECT_EQ(FSpMakeFSRef(&inner, &ref), noErr);
}

// Names longer than an FSSpec holds are cut to 63 bytes or fewer, never in the
// middle of a UTF-8 character, and the cut name still finds the item.
TEST(PlatformFiles, LongNamesAreCutAtCharacterBoundaries) {
    const std::string a60(60, 'a');
    struct Case {
        std::string name;
        std::string kept;
        const char* why;
    };
    const std::vector<Case> cases = {
        {a60 + "bcd", a60 + "bcd", "63 bytes fit whole"},
        {a60 + "bcde", a60 + "bcd", "64 ASCII bytes lose the last"},
        {a60 + "bc\xC3\xA9", a60 + "bc", "two-byte character across byte 63"},
        {a60 + "b\xE2\x82\xAC"
               "z",
         a60 + "b", "three-byte character across byte 63"},
        {a60 + "\xF0\x9F\x98\x80"
               "z",
         a60, "four-byte character across byte 63"},
        {a60 + "\x80\x80\x80\x80\x80", a60 + "\x80\x80\x80", "not UTF-8 there: plain cut at 63"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TempFolder folder;
        makeFile(folder / c.name);
        FSSpec fsSpec = specOf(folder / c.name);
        EXPECT_EQ(nameOf(fsSpec), c.kept);
        FSRef ref;
        ASSERT_EQ(FSpMakeFSRef(&fsSpec, &ref), noErr);
        EXPECT_EQ(pathOf(ref), folder / c.name);
    }
}

// Two long names that cut to the same FSSpec name: the first in listing order
// wins, as a lookup by name does.
TEST(PlatformFiles, CutNameResolvesToFirstInListingOrder) {
    TempFolder folder;
    const std::string stem(63, 'n');
    makeFile(folder / (stem + "-one"));
    makeFile(folder / (stem + "-two"));
    FSSpec fsSpec = specOf(folder / (stem + "-two"));
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&fsSpec, &ref), noErr);
    EXPECT_EQ(pathOf(ref), folder / kernelOrder(folder.path()).front());
}

TEST(PlatformFiles, MakePathFitsOrWritesNothing) {
    TempFolder folder;
    makeFile(folder / "file");
    FSRef ref = refTo(folder / "file");
    const std::string expected = folder / "file";
    const UInt32 exact = static_cast<UInt32>(expected.size() + 1);
    std::vector<UInt8> buffer(exact + 8, 'Z');
    ASSERT_EQ(FSRefMakePath(&ref, buffer.data(), exact), noErr) << "path and NUL fit exactly";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data())), expected);

    std::fill(buffer.begin(), buffer.end(), 'Z');
    EXPECT_NE(FSRefMakePath(&ref, buffer.data(), exact - 1), noErr) << "no room for the NUL";
    EXPECT_EQ(buffer[0], 0) << "no half path is left behind";
    EXPECT_EQ(buffer[exact - 1], 'Z') << "nothing written past the limit";
    EXPECT_NE(FSRefMakePath(&ref, buffer.data(), 0), noErr);
}

} // namespace
