// LumoraBootLoader: makes LumoraDaemon start when the current user logs in.
//
// Finds the item named exactly "LumoraDaemon" in the folder that contains this
// program's bundle, removes every login item of the current user whose
// application name is "LumoraDaemon", and appends one item with the daemon's
// absolute path, not hidden. Reads no input, ignores its arguments and prints
// nothing. Nothing is removed unless the daemon is there and its path can be
// stored. Exit status (the same codes in all three programs, listed in
// README.md): 0 registered; 1 the list's lock could not be taken or the store
// refused a removal or the add; 2 the bundle, its folder or the daemon is
// missing; 3 the daemon's path cannot be made or stored. A file-system failure
// of the folder item aborts the program.
#include "LoginItemAPI.h"
#include "PlatformFiles.h"
#include "PlatformPreferences.h"
#include "aFolderItem.h"
#include "aString.h"

#include <cstdlib>
#include <exception>

namespace {

enum ExitStatus {
    kExitRegistered = 0,
    kExitStoreFailed = 1,
    kExitItemMissing = 2,
    kExitPathUnusable = 3,
};

// Whether the login item store can keep `path` and write it back unchanged:
// the store's text is ASCII, and the preference file cannot hold control
// characters other than tab, line feed and carriage return.
bool isStorablePath(const aString& path) {
    const char* bytes = path.getValue();
    for (unsigned long long i = 0; i < path.getLength(); i++) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte > 0x7F || (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r'))
            return false;
    }
    return true;
}

} // namespace

int main() {
    // An uncaught exception ends the program silently, without a report.
    std::set_terminate(std::abort);

    aFolderItem* fBundle;
    aFolderItem* fContainingFolder;
    aFolderItem* fItem;
    FSRef itemRef;
    char* itemRefPath;
    aString itemRefPathStr;
    char* itemPath;
    char* viewItemPath;
    aString viewItemPathStr;
    int c;
    int x;

    // Find the daemon beside this program's bundle.
    fBundle = aFolderItem::GetBundleFolder();
    if (fBundle == NULL)
        return kExitItemMissing;
    fContainingFolder = fBundle->getParent();
    delete fBundle;
    if (fContainingFolder == NULL)
        return kExitItemMissing;
    fItem = fContainingFolder->getChild(aString("LumoraDaemon"));
    delete fContainingFolder;
    if (fItem == NULL)
        return kExitItemMissing;

    // Make its absolute path, and make sure the store can keep it before any
    // login item is removed.
    itemRef = fItem->getAsFSRef();
    delete fItem;
    itemRefPath = new char[1001];
    OSStatus pathErr = FSRefMakePath(&itemRef, reinterpret_cast<UInt8*>(itemRefPath), 1000);
    if (pathErr == noErr)
        itemRefPathStr = itemRefPath;
    delete[] itemRefPath;
    if (pathErr != noErr || !isStorablePath(itemRefPathStr))
        return kExitPathUnusable;
    itemPath = static_cast<char*>(itemRefPathStr);

    // Hold the lock of the current user's login item list (the store keeps it
    // in the domain "loginwindow" for any host) from the count to the add,
    // so that no other program changes the list in between.
    if (!PlatformPreferencesLockDomain(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                       kCFPreferencesAnyHost)) {
        delete[] itemPath;
        return kExitStoreFailed;
    }

    // Remove the daemon's login items, from the last to the first, so that a
    // removal moves only items already looked at; stop at a refused removal.
    Boolean stored = true;
    c = GetCountOfLoginItems(kCFPreferencesCurrentUser);
    for (x = c - 1; x >= 0 && stored; x--) {
        viewItemPath = ReturnLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, 2, x);
        viewItemPathStr = viewItemPath;
        if (viewItemPathStr == aString("LumoraDaemon"))
            stored = RemoveLoginItemAtIndex(kCFPreferencesCurrentUser, x);
    }

    // Register the daemon at the end of the list, not hidden.
    if (stored)
        stored = AddLoginItemWithPropertiesToUser(kCFPreferencesCurrentUser, itemPath, false);
    PlatformPreferencesUnlockDomain(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                    kCFPreferencesAnyHost);
    delete[] itemPath;
    return stored ? kExitRegistered : kExitStoreFailed;
}
