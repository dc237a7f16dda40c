// The POSIX side of preferences: folders, file identity, reading, atomic
// replacement and locking.
#include "PreferenceFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace platform {
namespace files {

namespace {

FileIdentity identityOf(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedSeconds = st.st_mtim.tv_sec;
    id.modifiedNanoseconds = st.st_mtim.tv_nsec;
    id.changedSeconds = st.st_ctim.tv_sec;
    id.changedNanoseconds = st.st_ctim.tv_nsec;
    return id;
}

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (isAbsolute(home))
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || !isAbsolute(found->pw_dir))
        return std::string();
    return found->pw_dir;
}

bool usableComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool flockRetrying(int fd, int operation) {
    while (::flock(fd, operation) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

} // namespace

bool FileIdentity::operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modifiedSeconds == o.modifiedSeconds && modifiedNanoseconds == o.modifiedNanoseconds &&
           changedSeconds == o.changedSeconds && changedNanoseconds == o.changedNanoseconds;
}

std::string userPreferencesFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (isAbsolute(config))
        return std::string(config) + "/Preferences";
    std::string home = homeFolder();
    return home.empty() ? home : home + "/.config/Preferences";
}

std::string systemPreferencesFolder() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string list = dirs == nullptr ? "" : dirs;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string entry = list.substr(start, end - start);
        if (isAbsolute(entry.c_str()))
            return entry + "/Preferences";
        start = end + 1;
    }
    return "/etc/xdg/Preferences";
}

std::string hostIdentifier() {
    std::ifstream machineId("/etc/machine-id");
    std::string line;
    if (machineId && std::getline(machineId, line) && usableComponent(line))
        return line;
    char name[256] = {0};
    if (::gethostname(name, sizeof name - 1) == 0 && usableComponent(name))
        return name;
    return std::string();
}

Stat statFile(const std::string& path, FileIdentity& identity) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Stat::Missing : Stat::Failed;
    identity = identityOf(st);
    return Stat::Present;
}

Read readFile(const std::string& path, size_t limit, std::string& bytes, FileIdentity& identity) {
    // No following of a symbolic link planted at the path, and no waiting on
    // a FIFO or device: only a regular file is read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? Read::Missing : Read::Failed;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<unsigned long long>(st.st_size) <= limit;
    if (ok) {
        identity = identityOf(st);
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            ssize_t n = ::read(fd, &bytes[done], bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += ok ? static_cast<size_t>(n) : 0;
        }
        // A file that grew while being read is refused as well.
        char extra;
        ok = ok && ::read(fd, &extra, 1) == 0;
    }
    ::close(fd);
    return ok ? Read::Read : Read::Failed;
}

bool makeFolders(const std::string& folder, mode_t mode) {
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (folder.empty() || folder == "/")
        return false;
    if (!makeFolders(folderOf(folder), mode))
        return false;
    if (::mkdir(folder.c_str(), mode) == 0) {
        // The umask must not narrow (or a restrictive one make unusable) the
        // folder's mode: set it exactly.
        return ::chmod(folder.c_str(), mode) == 0;
    }
    if (errno == EEXIST)
        return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return false;
}

namespace {

// Whether `entry` is a name that replaceFile gives its new files for the
// file called `name`: "." name "." and six characters of mkstemp's alphabet.
bool isTemporaryName(const std::string& entry, const std::string& name) {
    const std::string prefix = "." + name + ".";
    if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < entry.size(); i++) {
        char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Removes new files left behind by writers killed before their rename: with
// the domain's lock held no writer of this layer is between creating and
// renaming its file, so every one found is stale. Only regular files of
// this user are removed; symbolic links and others are left alone.
void removeStaleTemporaries(const std::string& folder, const std::string& name) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return;
    }
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(dir)) {
        struct stat st;
        if (isTemporaryName(entry->d_name, name) &&
            ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            stale.push_back(entry->d_name);
    }
    for (const std::string& entry : stale)
        ::unlinkat(dirFd, entry.c_str(), 0);
    ::closedir(dir); // closes dirFd too
}

} // namespace

bool replaceFile(const std::string& path, const std::string& bytes, mode_t mode,
                 FileIdentity& identity) {
    std::string folder = folderOf(path);
    std::string name = path.substr(folder.size() + 1);
    removeStaleTemporaries(folder, name);
    // mkostemp: an unpredictable name, created with O_EXCL, so nothing that
    // another user planted there (a symbolic link included) is opened.
    std::string temporary = folder + "/." + name + ".XXXXXX";
    int fd = ::mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The identity is taken after the rename, which may change the change time.
    // A failed stat leaves an identity that matches no file.
    identity = FileIdentity();
    statFile(path, identity);
    // The rename itself is durable only once the folder is flushed; the new
    // file is in place either way.
    syncFolder(folder);
    return true;
}

bool FileLock::lockExclusive(const std::string& lockPath, mode_t mode) {
    release();
    // flock needs no write access; O_NONBLOCK keeps a FIFO planted at the
    // path from blocking the open, and the lock file must be a regular file.
    int fd =
        ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode);
    if (fd < 0)
        return false;
    struct stat st;
    bool usable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // A lock file this user made under a umask that narrowed its mode gets
    // the intended one.
    if (usable && st.st_uid == ::geteuid() && (st.st_mode & 07777) != mode)
        ::fchmod(fd, mode);
    if (!usable || !flockRetrying(fd, LOCK_EX)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool FileLock::lockShared(const std::string& lockPath) {
    release();
    int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return true;
    if (!flockRetrying(fd, LOCK_SH)) {
        ::close(fd);
        return true;
    }
    fd_ = fd;
    return true;
}

void FileLock::release() {
    if (fd_ >= 0) {
        ::close(fd_); // closing the only descriptor drops the flock
        fd_ = -1;
    }
}

} // namespace files
} // namespace platform
