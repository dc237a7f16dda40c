// A small program for the bundle tests: prints, one line each, the folders of
// its own main bundle as "<label> <absolute path>", or "<label> null" when the
// folder does not exist.
//
// Without arguments it asks the platform layer and ends with "live <n>", the
// platform objects still alive. With the argument "folderitem" it asks
// aFolderItem, adds "daemon <path>" for the item named LumoraDaemon beside
// the bundle, and ends with "items <n>", the folder items still alive.
#include "PlatformBundles.h"
#include "TestProbe.h"
#include "aFolderItem.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

struct Folder {
    const char* label;
    CFURLRef (*copy)(CFBundleRef);
    aFolderItem* (*find)();
};

const Folder kFolders[] = {
    {"bundle", CFBundleCopyBundleURL, aFolderItem::GetBundleFolder},
    {"plugins", CFBundleCopyBuiltInPlugInsURL, aFolderItem::GetBundlePluginsFolder},
    {"privateframeworks", CFBundleCopyPrivateFrameworksURL,
     aFolderItem::GetBundlePrivateFrameworksFolder},
    {"resources", CFBundleCopyResourcesDirectoryURL, aFolderItem::GetBundleResourcesFolder},
    {"sharedframeworks", CFBundleCopySharedFrameworksURL,
     aFolderItem::GetBundleSharedFrameworksFolder},
    {"sharedsupport", CFBundleCopySharedSupportURL, aFolderItem::GetBundleSharedSupportFolder},
    {"support", CFBundleCopySupportFilesDirectoryURL, aFolderItem::GetBundleSupportFolder},
};

void printRef(const char* label, const FSRef* ref) {
    UInt8 path[PATH_MAX];
    if (ref != nullptr && FSRefMakePath(ref, path, sizeof path) == noErr)
        std::printf("%s %s\n", label, reinterpret_cast<char*>(path));
    else
        std::printf("%s null\n", label);
}

void printItem(const char* label, aFolderItem* item) {
    if (item == nullptr) {
        printRef(label, nullptr);
        return;
    }
    FSRef ref = item->getAsFSRef();
    printRef(label, &ref);
    delete item;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "folderitem") == 0) {
        for (const Folder& folder : kFolders)
            printItem(folder.label, folder.find());
        aFolderItem* bundle = aFolderItem::GetBundleFolder();
        aFolderItem* parent = bundle->getParent();
        printItem("daemon", parent->getChild(aString("LumoraDaemon")));
        delete parent;
        delete bundle;
        std::printf("items %llu\n", aTestProbe::count<aFolderItem>());
        return 0;
    }
    CFBundleRef bundle = CFBundleGetMainBundle();
    for (const Folder& folder : kFolders) {
        CFURLRef url = folder.copy(bundle);
        FSRef ref;
        printRef(folder.label, url != nullptr && CFURLGetFSRef(url, &ref) ? &ref : nullptr);
        CFRelease(url);
    }
    std::printf("live %ld\n", PlatformLiveObjectCount());
    return 0;
}
