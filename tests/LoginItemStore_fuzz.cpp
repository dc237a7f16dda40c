// libFuzzer harness for the login item store's reads (built by scripts/fuzz).
//
// Each input becomes the current user's loginwindow.plist in a scratch
// configuration; the store then counts the items and asks for every request
// type of every item (and a few indices past the end). Any file must be read
// or refused without a crash, a leak or undefined behaviour; reads never
// change the file; a text result is NUL-terminated within the result buffer.
#include "LoginItemAPI.h"
#include "PlatformObjects.h"
#include "PlatformPreferences.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string scratchRoot, loginFile;

// Removes the scratch configuration when the fuzzer exits.
void removeScratch() {
    ::unlink(loginFile.c_str());
    ::unlink((loginFile + ".lock").c_str());
    ::rmdir((scratchRoot + "/Preferences").c_str());
    ::rmdir(scratchRoot.c_str());
}

bool writeAll(const std::string& path, const unsigned char* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, data, size) == static_cast<ssize_t>(size);
    return ::close(fd) == 0 && ok;
}

std::string readAll(const std::string& path) {
    std::string bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[65536];
    ssize_t n;
    while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(n));
    if (fd >= 0)
        ::close(fd);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/lumora-store-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        std::abort();
    scratchRoot = pattern;
    ::setenv("XDG_CONFIG_HOME", scratchRoot.c_str(), 1);
    ::mkdir((scratchRoot + "/Preferences").c_str(), 0700);
    loginFile = scratchRoot + "/Preferences/loginwindow.plist";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    // Every input is a new file: forget what was parsed for the last one.
    PlatformPreferencesDropCaches();
    if (!writeAll(loginFile, data, size))
        std::abort();
    const long before = PlatformLiveObjectCount();
    int count = GetCountOfLoginItems(kCFPreferencesCurrentUser);
    if (count < 0)
        std::abort();
    // Inputs may hold up to a million values; a few hundred items show all
    // the store does per item.
    int last = count < 256 ? count + 2 : 256;
    for (int index = -1; index < last; index++)
        for (int type = 0; type <= 4; type++) {
            char* text = ReturnLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, type, index);
            if (text == nullptr)
                continue;
            if (text < ReturnCharacterArray ||
                text >= ReturnCharacterArray + sizeof ReturnCharacterArray ||
                std::memchr(text, '\0',
                            ReturnCharacterArray + sizeof ReturnCharacterArray - text) == nullptr)
                std::abort();
        }
    PlatformPreferencesDropCaches();
    if (PlatformLiveObjectCount() != before)
        std::abort(); // a store call kept a platform object alive
    if (readAll(loginFile) != std::string(reinterpret_cast<const char*>(data), size))
        std::abort(); // a read changed the file
    return 0;
}
