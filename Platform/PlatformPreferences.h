// Platform preferences: per-(domain, user, host) key-value stores kept in
// property-list files.
//
// Files: <U>/<domain>.plist (current user, any host),
// <U>/ByHost/<domain>.<host-id>.plist (current user, current host), and the
// same under <S> for any user. U is $XDG_CONFIG_HOME/Preferences (when
// absolute), else $HOME/.config/Preferences; S is the first absolute entry of
// $XDG_CONFIG_DIRS plus /Preferences, by default /etc/xdg/Preferences. The
// host id is the first line of /etc/machine-id, else the host name. Paths are
// worked out on every call, so a change of environment takes effect at once.
//
// Guarantees:
// - Reads see the file as it is now. Parsed files are reused only while the
//   file's device, inode, size, modification and change times are unchanged.
// - Values handed out are immutable: a caller cannot change the stored value
//   through them.
// - A file that cannot be parsed, is too large or too deep, or whose root is
//   not a dictionary is read as empty and never overwritten. Neither is
//   anything but a regular file at the file's path: a symbolic link there is
//   never followed, written through or replaced, a FIFO never opened.
// - Synchronising writes a complete new file (unpredictable name, created
//   exclusively) and renames it into place under the domain's lock, keeping
//   every key it did not stage; new files that killed writers left behind are
//   removed then. Folders, files and lock files get their modes exactly,
//   whatever the umask.
// - No lost update: synchronising refuses when a key it would write changed
//   on disk since this process last read it.
//
// The user must be kCFPreferencesCurrentUser or kCFPreferencesAnyUser and the
// host kCFPreferencesAnyHost or kCFPreferencesCurrentHost (compared by
// identity); anything else makes every call fail. Domains are names of one
// path component: empty names, "." , "..", and names with "/" or U+0000 are
// refused. Not safe for concurrent use by several threads.
#ifndef LUMORA_PLATFORM_PREFERENCES_H
#define LUMORA_PLATFORM_PREFERENCES_H

#include "PlatformCollections.h"

extern const CFStringRef kCFPreferencesCurrentUser;
extern const CFStringRef kCFPreferencesAnyUser;
extern const CFStringRef kCFPreferencesCurrentHost;
extern const CFStringRef kCFPreferencesAnyHost;

// A new reference to the value of `key`: the staged value when one was set
// and not yet synchronised, otherwise the value in the domain's file (waiting
// while another process holds the domain's lock). Records the value read as
// the one this process last saw for the key. Returns null when the key is
// absent, the file is missing or unreadable, or an argument is refused.
CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID,
                                         CFStringRef userName, CFStringRef hostName);

// Stages `value` (an immutable deep copy of it) as the key's new value in this
// process; null stages removal of the key. Nothing is written until
// CFPreferencesSynchronize. Ignored when an argument is refused or value is
// not a property list.
void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID,
                           CFStringRef userName, CFStringRef hostName);

// Writes the staged keys of the domain to its file: under the domain's lock,
// re-reads the file, applies the staged keys over it, writes a new file in the
// same folder, flushes it and renames it over the old one. Missing folders are
// created (0700 for the user, 0755 for all users); files are 0600 / 0644.
// Returns true when nothing was staged or the file was written. Returns false
// and writes nothing when an argument is refused, the lock cannot be taken,
// the existing file cannot be parsed, a staged key changed on disk since this
// process last read it, a value cannot be written as XML unchanged (strings
// with characters XML forbids, dates outside years 1-9999 or with fractions
// of a second), or any file operation fails. The staged keys are dropped on
// failure, so later reads show the file again.
Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName,
                                 CFStringRef hostName);

// Takes the domain's exclusive lock for this process and keeps it until the
// matching unlock, so that a read-change-write sequence of several calls
// cannot interleave with another process's. Re-entrant: the calls nest, and
// the layer's own locking inside this process does not wait on it. Creates
// the folder and the lock file (<file>.lock) when missing. Blocks while
// another process holds the lock. Returns false when an argument is refused
// or the lock file cannot be opened or locked.
Boolean PlatformPreferencesLockDomain(CFStringRef applicationID, CFStringRef userName,
                                      CFStringRef hostName);
// Undoes one PlatformPreferencesLockDomain; the lock is released when the
// outermost one is undone. Returns false when the domain is not locked by
// this process.
Boolean PlatformPreferencesUnlockDomain(CFStringRef applicationID, CFStringRef userName,
                                        CFStringRef hostName);

// Whether the domain's file can be read: true when it is missing (an empty
// domain) or holds a dictionary; false when it exists but cannot be read or
// parsed, is too large or too deep, or its root is not a dictionary (reads
// from it then give "absent"), or when an argument is refused. Lets a reader
// tell an empty domain from a damaged one. Waits while another process holds
// the domain's lock.
Boolean PlatformPreferencesDomainReadable(CFStringRef applicationID, CFStringRef userName,
                                          CFStringRef hostName);

// Test-only: forgets everything this process holds for every domain (parsed
// files, values last read, staged values) except held locks, releasing the
// objects it kept, so that PlatformLiveObjectCount shows only what callers
// still hold.
void PlatformPreferencesDropCaches();

#endif
