// Bundles: the running program's main bundle and the file URLs of its folders.
//
// The main bundle is found from the real path of the program's executable
// (/proc/self/exe). When the executable lies at B/Contents/MacOS/<name>, the
// bundle folder is B, and its folders are B/Contents/Resources,
// B/Contents/PlugIns, B/Contents/Frameworks, B/Contents/SharedFrameworks,
// B/Contents/SharedSupport and B/Contents (support files). Otherwise the
// bundle folder is the executable's own folder D: resources and support files
// are D itself, the others D/PlugIns, D/Frameworks, D/SharedFrameworks and
// D/SharedSupport.
//
// URLs and bundles are reference-counted platform objects (PlatformObjects.h).
// The main bundle is made once per process and never destroyed: the caller of
// CFBundleGetMainBundle does not release it. The Copy calls return a new URL,
// which the caller releases with CFRelease. A URL names a folder whether or
// not it exists; CFURLGetFSRef tells.
#ifndef LUMORA_PLATFORM_BUNDLES_H
#define LUMORA_PLATFORM_BUNDLES_H

#include "PlatformFiles.h"
#include "PlatformObjects.h"

// A file URL: an absolute path.
typedef const struct CFURLObject* CFURLRef;
typedef struct CFBundleObject* CFBundleRef;

// The running program's main bundle, not to be released; null when the
// executable's path cannot be read.
CFBundleRef CFBundleGetMainBundle();

// The URL of one folder of `bundle`, new, to be released by the caller; null
// for a null bundle or when memory is refused.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFURLRef CFBundleCopyBuiltInPlugInsURL(CFBundleRef bundle);
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CFURLRef CFBundleCopySharedFrameworksURL(CFBundleRef bundle);
CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle);
CFURLRef CFBundleCopySupportFilesDirectoryURL(CFBundleRef bundle);

// Fills `fsRef` with the item that `url` names and returns true when that
// item exists (stat(2), following links); returns false, leaving `fsRef` as it
// was, for a null URL or a missing item.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);

#endif
