// A small program for the bundle tests: prints, one line each, the folders of
// its own main bundle as "<label> <absolute path>", or "<label> null" when the
// folder does not exist, then "live <n>" with the platform objects still alive.
#include "PlatformBundles.h"

#include <climits>
#include <cstdio>

namespace {

struct Folder {
    const char* label;
    CFURLRef (*copy)(CFBundleRef);
};

const Folder kFolders[] = {
    {"bundle", CFBundleCopyBundleURL},
    {"plugins", CFBundleCopyBuiltInPlugInsURL},
    {"privateframeworks", CFBundleCopyPrivateFrameworksURL},
    {"resources", CFBundleCopyResourcesDirectoryURL},
    {"sharedframeworks", CFBundleCopySharedFrameworksURL},
    {"sharedsupport", CFBundleCopySharedSupportURL},
    {"support", CFBundleCopySupportFilesDirectoryURL},
};

} // namespace

int main() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    for (const Folder& folder : kFolders) {
        CFURLRef url = folder.copy(bundle);
        FSRef ref;
        UInt8 path[PATH_MAX];
        if (url != nullptr && CFURLGetFSRef(url, &ref) &&
            FSRefMakePath(&ref, path, sizeof path) == noErr)
            std::printf("%s %s\n", folder.label, reinterpret_cast<char*>(path));
        else
            std::printf("%s null\n", folder.label);
        CFRelease(url);
    }
    std::printf("live %ld\n", PlatformLiveObjectCount());
    return 0;
}
