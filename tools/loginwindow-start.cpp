// loginwindow-start: the login session starter of the platform layer. Run once
// by the desktop at the start of a session (through the freedesktop.org
// autostart entry loginwindow-start.desktop), it starts every login item: the
// current user's list (any host) first, then the list kept for all users of
// this host, each in list order.
//
// Items are started as LaunchApplication starts an application (an
// executable file, or a bundle folder's executable), detached, with an
// argument vector and never through a shell; the same path is started once.
// An item that cannot be started is skipped with its reason and the others
// go on. One line per item goes to standard error, in the journal's form.
//
// Exit status: 0 when every item was started or skipped for a stated reason,
// 1 when a list could not be read (a damaged preference file, or a value that
// is not a list), 2 for a usage error.
#include "PlatformPreferences.h"
#include "ProcessLaunch.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const char kUsage[] = "usage: loginwindow-start [--dry-run]\n"
                      "       loginwindow-start --help\n";

const char kHelp[] = "Starts the login items, as the desktop does once at the start of a session.\n"
                     "\n"
                     "Reads the login items of the current user (any host), then those kept for\n"
                     "all users of this host, and starts each item in list order as a new,\n"
                     "detached process: an executable file directly, a bundle folder X through\n"
                     "X/Contents/MacOS/<executable>. An item whose \"Hide\" is true gets\n"
                     "LOGIN_ITEM_HIDDEN=1 in its environment; the others run without that\n"
                     "variable. A path listed more than once is started once. An item whose\n"
                     "path is missing, not ASCII, not absolute, or not launchable is skipped.\n"
                     "\n"
                     "  --dry-run   print the path of every item that would be started, one per\n"
                     "              line, and start nothing\n"
                     "  --help      print this help\n"
                     "\n"
                     "Every item started or skipped is reported on standard error, one line\n"
                     "each: \"loginwindow-start[PID]: started PATH as process N\", or, when\n"
                     "standard error is the systemd journal, with the journal's priority\n"
                     "prefix instead (\"<6>started ...\"). Bytes of a path outside printable\n"
                     "ASCII, and the backslash, are shown as \\xNN, on standard output too.\n"
                     "\n"
                     "Exit status: 0 when every item was started or skipped for a stated\n"
                     "reason (a missing preference file is an empty list); 1 when a list could\n"
                     "not be read (a damaged or unreadable preference file, or a value that is\n"
                     "not a list), after the other list was still started; 2 for a usage error.\n";

// Priorities of the journal's stream protocol (sd-daemon(3)).
enum Priority { kError = 3, kWarning = 4, kNotice = 5, kInfo = 6 };

// Whether standard error is the journal's stream: JOURNAL_STREAM holds the
// device and inode of that stream ("<dev>:<ino>") when systemd connected it.
bool stderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr)
        return false;
    unsigned long long device = 0, inode = 0;
    char end = 0;
    if (std::sscanf(stream, "%llu:%llu%c", &device, &inode, &end) != 2)
        return false;
    struct stat info;
    return ::fstat(STDERR_FILENO, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

// Writes one report line to standard error.
void report(Priority priority, const std::string& text) {
    static const bool journal = stderrIsJournal();
    if (journal)
        std::fprintf(stderr, "<%d>%s\n", static_cast<int>(priority), text.c_str());
    else
        std::fprintf(stderr, "loginwindow-start[%ld]: %s\n", static_cast<long>(::getpid()),
                     text.c_str());
}

// A path made safe for one line of text: bytes outside printable ASCII and
// the backslash become \xNN.
std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// One reference to a platform object (or null), released when dropped.
class Owned {
public:
    explicit Owned(CFTypeRef nref) : ref(nref) {}
    ~Owned() { CFRelease(ref); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    const CFTypeRef ref;
};

// One of the two lists, with the words its report lines use.
struct LoginItemList {
    CFStringRef user;
    CFStringRef host;
    const char* name;
};

// The environments of started items: the caller's without LOGIN_ITEM_HIDDEN,
// and the same with LOGIN_ITEM_HIDDEN=1 for hidden items.
class Environments {
public:
    Environments() {
        const char kName[] = "LOGIN_ITEM_HIDDEN=";
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (std::strncmp(*entry, kName, sizeof kName - 1) != 0)
                shown.push_back(*entry);
        hidden = shown;
        hidden.push_back(hiddenEntry);
        shown.push_back(nullptr);
        hidden.push_back(nullptr);
    }
    char* const* forItem(bool hide) const { return hide ? hidden.data() : shown.data(); }

private:
    char hiddenEntry[20] = "LOGIN_ITEM_HIDDEN=1";
    std::vector<char*> shown, hidden;
};

// What an item's "Path" gives: the path, or why there is none usable.
bool pathOfItem(CFDictionaryRef item, std::string& path, std::string& why) {
    const void* value = CFDictionaryGetValue(item, CFSTR("Path"));
    if (value == nullptr) {
        why = "no \"Path\"";
        return false;
    }
    if (CFGetTypeID(value) != CFStringGetTypeID()) {
        why = "\"Path\" is not a string";
        return false;
    }
    CFStringRef text = static_cast<CFStringRef>(value);
    std::vector<char> buffer(PATH_MAX);
    if (CFStringGetCString(text, buffer.data(), PATH_MAX, kCFStringEncodingASCII)) {
        path = buffer.data();
        if (path.empty() || path[0] != '/') {
            why = "path is not absolute";
            return false;
        }
        return true;
    }
    // Tell the three refusals of the ASCII conversion apart through UTF-8: a
    // character outside ASCII, a path longer than the kernel takes, U+0000.
    std::vector<char> whole(static_cast<size_t>(CFStringGetLength(text)) * 3 + 1);
    if (!CFStringGetCString(text, whole.data(), static_cast<CFIndex>(whole.size()),
                            kCFStringEncodingUTF8)) {
        why = "path holds a NUL character";
        return false;
    }
    path = whole.data();
    bool ascii = true;
    for (unsigned char c : path)
        ascii = ascii && c < 0x80;
    why = ascii ? "path is longer than " + std::to_string(PATH_MAX - 1) + " bytes"
                : "path is not ASCII";
    return false;
}

// Why an item could not be started, after the platform's result code.
std::string launchFailure(OSErr err) {
    switch (err) {
    case fnfErr:
        return "not found (nothing at the path, or a bundle without its executable)";
    case permErr:
        return "not launchable (not an executable file)";
    case memFullErr:
        return "cannot be started: the system refused a new process";
    default:
        return "cannot be started (error " + std::to_string(err) + ")";
    }
}

class Starter {
public:
    explicit Starter(bool ndryRun) : dryRun(ndryRun) {}

    // Starts the items of `list`; false when the list could not be read.
    bool startList(const LoginItemList& list) {
        Owned value(CFPreferencesCopyValue(CFSTR("AutoLaunchedApplicationDictionary"),
                                           CFSTR("loginwindow"), list.user, list.host));
        if (value.ref == nullptr) {
            if (PlatformPreferencesDomainReadable(CFSTR("loginwindow"), list.user, list.host))
                return true;
            report(kError, std::string("cannot read ") + list.name +
                               ": the loginwindow preference file is damaged or unreadable");
            return false;
        }
        if (CFGetTypeID(value.ref) != CFArrayGetTypeID()) {
            report(kError, std::string("cannot read ") + list.name +
                               ": \"AutoLaunchedApplicationDictionary\" is not a list");
            return false;
        }
        CFArrayRef items = static_cast<CFArrayRef>(value.ref);
        CFIndex count = CFArrayGetCount(items);
        for (CFIndex index = 0; index < count; ++index)
            startItem(list, index, CFArrayGetValueAtIndex(items, index));
        return true;
    }

private:
    void startItem(const LoginItemList& list, CFIndex index, const void* item) {
        std::string where = "item " + std::to_string(index) + " of " + list.name;
        if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID()) {
            report(kWarning, "skipped " + where + ": not a login item record");
            return;
        }
        CFDictionaryRef record = static_cast<CFDictionaryRef>(item);
        std::string path, why;
        if (!pathOfItem(record, path, why)) {
            std::string shown = path.empty() ? where : printable(path) + " (" + where + ")";
            report(kWarning, "skipped " + shown + ": " + why);
            return;
        }
        if (!seen.insert(path).second) {
            report(kNotice, "skipped " + printable(path) + " (" + where +
                                "): listed before, started at most once");
            return;
        }
        std::string executable;
        OSErr err = platform::launchableExecutable(path, executable);
        if (err != noErr) {
            report(kWarning,
                   "skipped " + printable(path) + " (" + where + "): " + launchFailure(err));
            return;
        }
        const void* hideValue = CFDictionaryGetValue(record, CFSTR("Hide"));
        bool hide = hideValue == kCFBooleanTrue;
        if (dryRun) {
            std::printf("%s\n", printable(path).c_str());
            return;
        }
        pid_t pid = 0;
        err = platform::startDetached(executable, environments.forItem(hide), pid);
        if (err != noErr) {
            report(kWarning,
                   "skipped " + printable(path) + " (" + where + "): " + launchFailure(err));
            return;
        }
        report(kInfo, "started " + printable(path) + " as process " +
                          std::to_string(static_cast<long>(pid)) + (hide ? ", hidden" : ""));
    }

    const bool dryRun;
    const Environments environments;
    std::set<std::string> seen; // paths already started or skipped as launchable
};

} // namespace

int main(int argc, char** argv) {
    bool dryRun = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dry-run") == 0) {
            dryRun = true;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "loginwindow-start: unknown argument '%s'\n",
                         printable(argv[i]).c_str());
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    const LoginItemList lists[] = {
        {kCFPreferencesCurrentUser, kCFPreferencesAnyHost, "the current user's login items"},
        {kCFPreferencesAnyUser, kCFPreferencesCurrentHost,
         "the login items of all users on this host"},
    };
    Starter starter(dryRun);
    bool everyListRead = true;
    for (const LoginItemList& list : lists)
        everyListRead = starter.startList(list) && everyListRead;
    std::fflush(stdout);
    return everyListRead ? 0 : 1;
}
