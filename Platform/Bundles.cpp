// Bundles from the executable's real path; URLs as reference-counted paths.
#include "PlatformBundles.h"

#include "ObjectBase.h"

#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <sys/stat.h>

struct CFURLObject : platform::Object {
    explicit CFURLObject(std::string npath)
        : platform::Object(platform::kTypeURL), path(std::move(npath)) {}
    const std::string path; // absolute, no trailing "/" except for "/" itself
};

// The main bundle's folders, fixed when the bundle is made.
struct CFBundleObject : platform::Object {
    CFBundleObject() : platform::Object(platform::kTypeBundle, true) {}
    std::string bundle;
    std::string plugIns;
    std::string privateFrameworks;
    std::string resources;
    std::string sharedFrameworks;
    std::string sharedSupport;
    std::string supportFiles;
};

namespace {

std::string parentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    return path == "/" ? path : path.substr(path.rfind('/') + 1);
}

std::string join(const std::string& folder, const char* name) {
    return folder == "/" ? folder + name : folder + "/" + name;
}

// Reads the executable's real path and lays out the bundle around it; null
// when the path cannot be read.
CFBundleObject* makeMainBundle() {
    char* real = ::realpath("/proc/self/exe", nullptr);
    if (real == nullptr)
        return nullptr;
    std::string executable(real);
    std::free(real);
    auto* bundle = new (std::nothrow) CFBundleObject();
    if (bundle == nullptr)
        return nullptr;
    std::string folder = parentOf(executable);
    std::string contents = parentOf(folder);
    if (folder != "/" && baseNameOf(folder) == "MacOS" && contents != "/" &&
        baseNameOf(contents) == "Contents") {
        bundle->bundle = parentOf(contents);
        bundle->resources = join(contents, "Resources");
        bundle->supportFiles = contents;
        folder = contents;
    } else {
        bundle->bundle = folder;
        bundle->resources = folder;
        bundle->supportFiles = folder;
    }
    bundle->plugIns = join(folder, "PlugIns");
    bundle->privateFrameworks = join(folder, "Frameworks");
    bundle->sharedFrameworks = join(folder, "SharedFrameworks");
    bundle->sharedSupport = join(folder, "SharedSupport");
    return bundle;
}

CFURLRef copyURL(CFBundleRef bundle, std::string CFBundleObject::*folder) {
    if (bundle == nullptr)
        return nullptr;
    return new (std::nothrow) CFURLObject(bundle->*folder);
}

} // namespace

CFBundleRef CFBundleGetMainBundle() {
    static CFBundleObject* const mainBundle = makeMainBundle();
    return mainBundle;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::bundle);
}

CFURLRef CFBundleCopyBuiltInPlugInsURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::plugIns);
}

CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::privateFrameworks);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::resources);
}

CFURLRef CFBundleCopySharedFrameworksURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::sharedFrameworks);
}

CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::sharedSupport);
}

CFURLRef CFBundleCopySupportFilesDirectoryURL(CFBundleRef bundle) {
    return copyURL(bundle, &CFBundleObject::supportFiles);
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
    if (url == nullptr || fsRef == nullptr)
        return false;
    struct stat info;
    if (::stat(url->path.c_str(), &info) != 0)
        return false;
    fsRef->path = url->path;
    return true;
}
