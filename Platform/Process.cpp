// Processes on Linux: LaunchApplication over posix_spawn(3), and the two
// internal calls (ProcessLaunch.h) it shares with the login session starter.
//
// The item is found through the file service (FSpMakeFSRef, FSRefMakePath),
// a bundle's executable through its Info.plist (the property-list reader of
// the preferences service), and the process is made by posix_spawn with a
// new session, stdin on /dev/null and every other inherited descriptor above
// stderr closed. glibc's posix_spawn waits until the child has called execve
// and returns the exec error, so a launch that fails is reported here and not
// by a child that dies at once.
#include "PlatformCollections.h"
#include "PlatformProcess.h"
#include "PlatformStrings.h"
#include "ProcessLaunch.h"
#include "PropertyList.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Converts an errno value of the kernel into the platform's result code once,
// here at the boundary.
OSErr resultFromErrno(int error) {
    switch (error) {
    case 0:
        return noErr;
    case ENOENT:
    case ENOTDIR:
        return fnfErr;
    case EACCES:
    case EPERM:
        return permErr;
    case ENOMEM:
    case EAGAIN:
        return memFullErr;
    default:
        return ioErr;
    }
}

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int nfd) : fd(nfd) {}
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    const int fd;
};

// The absolute path of the item `fsSpec` names. Fails with FSpMakeFSRef's code
// (fnfErr when the item is gone), or ioErr for a path longer than the kernel
// takes (PATH_MAX).
OSErr pathOfSpec(const FSSpec& fsSpec, std::string& path) {
    FSRef ref;
    OSErr err = FSpMakeFSRef(&fsSpec, &ref);
    if (err != noErr)
        return err;
    std::vector<UInt8> buffer(PATH_MAX);
    OSStatus status = FSRefMakePath(&ref, buffer.data(), static_cast<UInt32>(buffer.size()));
    if (status != noErr)
        return status == fnfErr ? fnfErr : ioErr;
    path = reinterpret_cast<const char*>(buffer.data());
    return noErr;
}

// The whole content of the regular file at `path`, at most the property-list
// reader's limit; nothing when the file is missing (`missing` set) or cannot
// be read.
std::optional<std::string> readSmallFile(const std::string& path, bool& missing) {
    missing = false;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.fd < 0) {
        missing = (errno == ENOENT);
        return std::nullopt;
    }
    struct stat info;
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > platform::kMaxFileBytes)
        return std::nullopt;
    std::string bytes;
    char chunk[16384];
    for (;;) {
        ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
        if (bytes.size() > platform::kMaxFileBytes)
            return std::nullopt;
    }
    return bytes;
}

// A name usable as one path component inside Contents/MacOS.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The executable of the bundle folder `bundle`: Contents/MacOS/ followed by
// the CFBundleExecutable of Contents/Info.plist when that file holds the key,
// otherwise by the folder's name without a trailing ".app". fnfErr when the
// Info.plist exists but is unreadable or names no plain file name.
OSErr bundleExecutable(const std::string& bundle, std::string& executable) {
    std::string folderName = bundle.substr(bundle.find_last_of('/') + 1);
    std::string name = folderName;
    const std::string suffix = ".app";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.erase(name.size() - suffix.size());

    bool missing = false;
    std::optional<std::string> bytes = readSmallFile(bundle + "/Contents/Info.plist", missing);
    if (!bytes && !missing)
        return fnfErr;
    if (bytes) {
        CFTypeRef root = platform::parsePropertyList(*bytes);
        if (root == nullptr || CFGetTypeID(root) != CFDictionaryGetTypeID()) {
            CFRelease(root);
            return fnfErr;
        }
        const void* value =
            CFDictionaryGetValue(static_cast<CFDictionaryRef>(root), CFSTR("CFBundleExecutable"));
        if (value != nullptr) {
            char buffer[NAME_MAX + 1];
            bool usable = CFGetTypeID(value) == CFStringGetTypeID() &&
                          CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer,
                                             kCFStringEncodingUTF8) &&
                          isPlainFileName(buffer);
            if (!usable) {
                CFRelease(root);
                return fnfErr;
            }
            name = buffer;
        }
        CFRelease(root);
    }
    executable = bundle + "/Contents/MacOS/" + name;
    return noErr;
}

// Frees the spawn attributes and file actions when it goes out of scope.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    int error = 0;

    SpawnSetup() {
        error = posix_spawnattr_init(&attributes);
        if (error != 0)
            return;
        error = posix_spawn_file_actions_init(&actions);
        if (error != 0) {
            posix_spawnattr_destroy(&attributes);
            return;
        }
        ready = true;
    }
    ~SpawnSetup() {
        if (ready) {
            posix_spawn_file_actions_destroy(&actions);
            posix_spawnattr_destroy(&attributes);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

private:
    bool ready = false;
};

// Starts `executable` as a new session leader with a clean signal state,
// stdin on /dev/null and no inherited descriptor above stderr. Returns the
// errno of the failure (the exec error included), 0 on success.
int spawnDetached(const std::string& executable, char* const environment[], pid_t& pid) {
    SpawnSetup setup;
    if (setup.error != 0)
        return setup.error;

    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    int error = posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (error == 0)
        error = posix_spawnattr_setsigmask(&setup.attributes, &none);
    if (error == 0)
        error = posix_spawnattr_setsigdefault(&setup.attributes, &all);
    if (error == 0)
        error = posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null",
                                                 O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (error == 0)
        error = posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
#endif
    if (error != 0)
        return error;

    std::vector<char> argv0(executable.begin(), executable.end());
    argv0.push_back('\0');
    char* argv[] = {argv0.data(), nullptr};
    return posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv,
                       environment);
}

} // namespace

namespace platform {

OSErr launchableExecutable(const std::string& path, std::string& executable) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return resultFromErrno(errno);
    executable = path;
    if (S_ISDIR(info.st_mode)) {
        OSErr err = bundleExecutable(path, executable);
        if (err != noErr)
            return err;
        if (::stat(executable.c_str(), &info) != 0)
            return resultFromErrno(errno);
    }
    if (!S_ISREG(info.st_mode) || ::access(executable.c_str(), X_OK) != 0)
        return permErr;
    return noErr;
}

OSErr startDetached(const std::string& executable, char* const environment[], pid_t& pid) {
    return resultFromErrno(spawnDetached(executable, environment, pid));
}

} // namespace platform

OSErr LaunchApplication(LaunchParamBlockRec* LaunchParams) {
    if (LaunchParams == nullptr || LaunchParams->launchBlockID != extendedBlock ||
        LaunchParams->launchEPBLength != extendedBlockLen ||
        LaunchParams->launchAppSpec == nullptr || LaunchParams->launchAppParameters != nullptr)
        return paramErr;

    std::string path;
    OSErr err = pathOfSpec(*LaunchParams->launchAppSpec, path);
    if (err != noErr)
        return err;
    std::string executable;
    err = platform::launchableExecutable(path, executable);
    if (err != noErr)
        return err;
    pid_t pid = 0;
    err = platform::startDetached(executable, environ, pid);
    if (err != noErr)
        return err;

    LaunchParams->launchProcessSN.highLongOfPSN = 0;
    LaunchParams->launchProcessSN.lowLongOfPSN = static_cast<UInt32>(pid);
    LaunchParams->launchPreferredSize = 0;
    LaunchParams->launchMinimumSize = 0;
    LaunchParams->launchAvailableSize = 0;
    return noErr;
}
