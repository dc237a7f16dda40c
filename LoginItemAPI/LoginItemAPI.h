// The login item store: reads, appends to and removes from the list of
// applications that start when a user logs in, kept in the preferences
// domain "loginwindow" under the key "AutoLaunchedApplicationDictionary".
//
// Each item is a dictionary with "Path" (string) and "Hide" (boolean), and
// items are addressed by their 0-based position. The user selector must be
// the very reference kCFPreferencesCurrentUser (whose list is stored for any
// host) or kCFPreferencesAnyUser (stored for the current host); with anything
// else every function fails at once without touching the preferences.
//
// Nothing is thrown and no state is kept between calls except the text in
// ReturnCharacterArray. Text crosses in ASCII only: a path with any other
// character can be neither added nor read back. Meant for one thread.
#ifndef LUMORA_LOGIN_ITEM_API_H
#define LUMORA_LOGIN_ITEM_API_H

#include "PlatformPreferences.h"

// The shared result buffer of ReturnLoginItemPropertyAtIndex: 1,024
// characters and the terminating NUL. Its text is valid until the next
// request, made directly or by a print function.
extern char ReturnCharacterArray[1025];

// Appends an item {"Hide": HidetheApplicationOnLaunch == 1, "Path":
// AbsolutePath} to the user's list and synchronises it. True when the list
// was stored. False, writing nothing, for a refused selector, a path that is
// not ASCII, or a stored value that is not a list; false after staging the
// list when synchronising fails.
Boolean AddLoginItemWithPropertiesToUser(CFStringRef WhosPreferencesToChange,
                                         const char* AbsolutePath,
                                         Boolean HidetheApplicationOnLaunch);

// RequestType 1: the item's "Path"; 2: its last non-empty "/"-separated field
// (split in place in ReturnCharacterArray); 3: "true" or "false" after its
// "Hide". Returns a pointer into ReturnCharacterArray, or null for an unknown
// request, a negative index or one at or past the count, an item that is not
// a dictionary, a missing or mistyped field, a path longer than 1,024
// characters or not ASCII, or a path with no field at all (type 2).
char* ReturnLoginItemPropertyAtIndex(CFStringRef WhosPreferencesToList, int RequestType,
                                     int LoginItemIndex);

// The number of items; 0 when none are stored, the stored value is not a
// list, or the selector is refused.
int GetCountOfLoginItems(CFStringRef WhosPreferencesToList);

// Removes the item at LoginItemIndex and synchronises the shortened list.
// False, writing nothing, for an index outside the list or a refused
// selector; false after staging the list when synchronising fails.
Boolean RemoveLoginItemAtIndex(CFStringRef WhosPreferencesToChange, int LoginItemIndex);

// Diagnostics on standard output.
// Prints the item's path, hide flag and executable name on three
// tab-indented lines; false (after the lines already printed) when a request
// fails, or at once for a refused selector or an index outside the list.
Boolean PrintOutLoginItemAtIndex(CFStringRef WhosPreferencesToList, int LoginItemIndex);
// Prints every item under a "LoginItem Index n:" heading, or a line saying
// the list is empty; false when an item cannot be printed.
Boolean PrintOutAllLoginItems(CFStringRef WhosPreferencesToList);
// Prints "The number of LoginItems is: n" without a line feed.
Boolean PrintNumberOfLoginItems(CFStringRef WhosPreferencesToList);

#endif
