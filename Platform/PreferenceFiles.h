// Internal to the platform layer: the POSIX side of preferences. Where the
// files live, how they are read, locked and replaced. Every system call of the
// preferences service is made here; errors become plain results.
#ifndef LUMORA_PLATFORM_PREFERENCE_FILES_H
#define LUMORA_PLATFORM_PREFERENCE_FILES_H

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {
namespace files {

// What identifies one version of a file: a file replaced by rename has a new
// inode; one changed in place has new times (and usually size).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedSeconds = 0, modifiedNanoseconds = 0;
    long long changedSeconds = 0, changedNanoseconds = 0;
    bool operator==(const FileIdentity& other) const;
};

// $XDG_CONFIG_HOME/Preferences when XDG_CONFIG_HOME is absolute, else
// $HOME/.config/Preferences ($HOME when absolute, else the password
// database's home folder). Empty when no home folder can be found.
std::string userPreferencesFolder();
// <first absolute entry of $XDG_CONFIG_DIRS>/Preferences, by default
// /etc/xdg/Preferences.
std::string systemPreferencesFolder();
// The first line of /etc/machine-id, else the host name. Empty when neither
// gives a usable single path component.
std::string hostIdentifier();

enum class Stat { Missing, Present, Failed };
// Reads the identity of the item at `path` itself: a symbolic link there is
// not followed (and is then refused by readFile).
Stat statFile(const std::string& path, FileIdentity& identity);

enum class Read { Missing, Read, Failed };
// Reads the whole regular file at `path` into `bytes` with its identity at
// the time of reading. Failed when it cannot be opened or read, is not a
// regular file (a symbolic link, FIFO or device is never followed or
// opened for reading), or is larger than `limit` bytes.
Read readFile(const std::string& path, size_t limit, std::string& bytes, FileIdentity& identity);

// Creates `folder` and its missing parents with `mode`. False on failure or
// when something other than a folder is in the way.
bool makeFolders(const std::string& folder, mode_t mode);

// Replaces the file at `path` by one holding `bytes` with permissions `mode`:
// writes a new file in the same folder, flushes it, renames it over `path`
// and flushes the folder. On failure the old file is left untouched and the
// new one removed. Returns the identity of the new file in `identity`. The
// caller holds the file's exclusive lock: new files that writers killed
// before their rename left behind are removed first.
bool replaceFile(const std::string& path, const std::string& bytes, mode_t mode,
                 FileIdentity& identity);

// A lock taken with flock(2) on a lock file; released when destroyed.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Exclusive lock; creates the lock file with `mode`. Waits for other
    // holders. False when the file cannot be opened or locked.
    bool lockExclusive(const std::string& lockPath, mode_t mode);
    // Shared lock on an existing lock file; waits while a writer holds it.
    // True without locking when the lock file does not exist or cannot be
    // opened (no writer of this layer can hold it then).
    bool lockShared(const std::string& lockPath);
    void release();

private:
    int fd_ = -1; // open lock file while locked, else -1
};

} // namespace files
} // namespace platform

#endif
