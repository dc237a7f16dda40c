// LumoraBootUnloader: stops LumoraDaemon from starting when the current user
// logs in.
//
// Removes every login item of the current user whose application name (the
// last component of its path) is exactly "LumoraDaemon", and does nothing
// else. Reads no input, ignores its arguments and prints nothing. Exit status
// (the same codes in all three programs, listed in README.md): 0 no such item
// is left; 1 the list's lock could not be taken, the list's file exists but
// cannot be read, or the store refused a removal, which leaves that item and
// the ones before it in the list.
#include "LoginItemAPI.h"
#include "PlatformPreferences.h"
#include "aString.h"

#include <cstdlib>
#include <exception>

namespace {

enum ExitStatus {
    kExitRemoved = 0,
    kExitStoreFailed = 1,
};

} // namespace

int main() {
    // An uncaught exception ends the program silently, without a report.
    std::set_terminate(std::abort);

    char* viewItemPath;
    aString viewItemPathStr;
    int c;
    int x;

    // Hold the lock of the current user's login item list (the store keeps it
    // in the domain "loginwindow" for any host) across the walk, so that no
    // other program changes the list in between.
    if (!PlatformPreferencesLockDomain(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                       kCFPreferencesAnyHost))
        return kExitStoreFailed;

    // A list that exists but cannot be read may hold the daemon's items: say
    // so rather than report that none is left.
    if (!PlatformPreferencesDomainReadable(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                           kCFPreferencesAnyHost)) {
        PlatformPreferencesUnlockDomain(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                        kCFPreferencesAnyHost);
        return kExitStoreFailed;
    }

    // Remove the daemon's login items, from the last to the first, so that a
    // removal moves only items already looked at; stop at a refused removal.
    Boolean removed = true;
    c = GetCountOfLoginItems(kCFPreferencesCurrentUser);
    for (x = c - 1; x >= 0 && removed; x--) {
        viewItemPath = ReturnLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, 2, x);
        viewItemPathStr = viewItemPath;
        if (viewItemPathStr == aString("LumoraDaemon"))
            removed = RemoveLoginItemAtIndex(kCFPreferencesCurrentUser, x);
    }
    PlatformPreferencesUnlockDomain(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                    kCFPreferencesAnyHost);
    return removed ? kExitRemoved : kExitStoreFailed;
}
