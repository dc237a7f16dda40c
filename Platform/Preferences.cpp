// Preferences: staged values, a per-file cache of parsed contents, the
// record of values last read (for refusing lost updates) and the domain lock.
// File system work is in PreferenceFiles.cpp, parsing and writing in the
// PropertyList*.cpp files.
#include "PlatformPreferences.h"
#include "PreferenceFiles.h"
#include "PropertyList.h"

#include <map>
#include <memory>
#include <string>

using platform::Object;
using platform::objectOf;
namespace files = platform::files;

namespace {
const PlatformStringObject currentUser("kCFPreferencesCurrentUser", true);
const PlatformStringObject anyUser("kCFPreferencesAnyUser", true);
const PlatformStringObject currentHost("kCFPreferencesCurrentHost", true);
const PlatformStringObject anyHost("kCFPreferencesAnyHost", true);
} // namespace

const CFStringRef kCFPreferencesCurrentUser = &currentUser;
const CFStringRef kCFPreferencesAnyUser = &anyUser;
const CFStringRef kCFPreferencesCurrentHost = &currentHost;
const CFStringRef kCFPreferencesAnyHost = &anyHost;

namespace {

// One reference to a platform object (or null), released when dropped.
class Held {
public:
    Held() = default;
    // Takes over a reference the caller owns.
    static Held adopt(CFTypeRef ref) {
        Held h;
        h.ref_ = ref;
        return h;
    }
    static Held retain(CFTypeRef ref) { return adopt(ref == nullptr ? nullptr : CFRetain(ref)); }
    Held(const Held& o) : ref_(o.ref_ == nullptr ? nullptr : CFRetain(o.ref_)) {}
    Held& operator=(Held o) {
        std::swap(ref_, o.ref_);
        return *this;
    }
    ~Held() { CFRelease(ref_); }
    CFTypeRef get() const { return ref_; }

private:
    CFTypeRef ref_ = nullptr;
};

// Where one (domain, user, host) lives on disk.
struct Location {
    std::string folder;
    std::string file;
    mode_t folderMode;
    mode_t fileMode;
    std::string lockFile() const { return file + ".lock"; }
};

// What this process knows of one preference file.
struct DomainState {
    // Cache of the last parse, valid while the file keeps `identity`.
    bool cached = false;
    files::FileIdentity identity;
    bool unreadable = false; // the file exists but cannot be used
    Held root;               // immutable dictionary; null when missing or unreadable

    std::map<std::string, Held> staged;   // key -> value to write; null removes
    std::map<std::string, Held> lastRead; // key -> value last read here; null: absent

    int lockDepth = 0; // nested PlatformPreferencesLockDomain calls
    files::FileLock lock;
};

// States by file path, so that a change of environment gives fresh state.
std::map<std::string, std::unique_ptr<DomainState>>& states() {
    static auto* all = new std::map<std::string, std::unique_ptr<DomainState>>();
    return *all;
}

// Works out the file of (domain, user, host); false when an argument is
// refused or no folder can be found.
bool locate(CFStringRef applicationID, CFStringRef userName, CFStringRef hostName,
            Location& where) {
    const PlatformStringObject* domain = platform::asString(applicationID);
    if (domain == nullptr)
        return false;
    const std::string& name = domain->utf8;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return false;
    bool user = userName == kCFPreferencesCurrentUser;
    if (!user && userName != kCFPreferencesAnyUser)
        return false;
    bool byHost = hostName == kCFPreferencesCurrentHost;
    if (!byHost && hostName != kCFPreferencesAnyHost)
        return false;
    std::string base = user ? files::userPreferencesFolder() : files::systemPreferencesFolder();
    if (base.empty())
        return false;
    where.folderMode = user ? 0700 : 0755;
    where.fileMode = user ? 0600 : 0644;
    if (!byHost) {
        where.folder = base;
        where.file = base + "/" + name + ".plist";
        return true;
    }
    std::string host = files::hostIdentifier();
    if (host.empty())
        return false;
    where.folder = base + "/ByHost";
    where.file = where.folder + "/" + name + "." + host + ".plist";
    return true;
}

DomainState& stateOf(const Location& where) {
    auto& slot = states()[where.file];
    if (!slot)
        slot = std::make_unique<DomainState>();
    return *slot;
}

// Brings the cached root up to date with the file on disk: re-parses only
// when the file's identity changed. Returns false when the file exists but
// cannot be used (unreadable, too large, not a property list, root not a
// dictionary).
bool refresh(DomainState& state, const Location& where) {
    files::FileIdentity now;
    files::Stat seen = files::statFile(where.file, now);
    if (seen == files::Stat::Present && state.cached && state.identity == now)
        return !state.unreadable;
    state.cached = false;
    state.root = Held();
    state.unreadable = false;
    if (seen == files::Stat::Missing)
        return true;
    std::string bytes;
    files::FileIdentity identity;
    files::Read result = files::readFile(where.file, platform::kMaxFileBytes, bytes, identity);
    if (result == files::Read::Missing)
        return true;
    Held parsed;
    if (result == files::Read::Read)
        parsed = Held::adopt(platform::parsePropertyList(bytes));
    state.unreadable = platform::asDictionary(parsed.get()) == nullptr;
    if (!state.unreadable)
        state.root = parsed;
    state.cached = true;
    state.identity = identity;
    return !state.unreadable;
}

CFTypeRef valueIn(const Held& root, const std::string& key) {
    const PlatformDictionaryObject* dict = platform::asDictionary(root.get());
    if (dict == nullptr)
        return nullptr;
    long at = dict->find(key);
    return at < 0 ? nullptr : dict->entries[static_cast<size_t>(at)].value;
}

bool lockDomain(DomainState& state, const Location& where) {
    if (state.lockDepth > 0) {
        ++state.lockDepth;
        return true;
    }
    if (!files::makeFolders(where.folder, where.folderMode) ||
        !state.lock.lockExclusive(where.lockFile(), where.fileMode))
        return false;
    state.lockDepth = 1;
    return true;
}

void unlockDomain(DomainState& state) {
    if (state.lockDepth > 0 && --state.lockDepth == 0)
        state.lock.release();
}

// Whether every staged key still has on disk the value this process last
// read for it (keys never read here are written blindly).
bool noLostUpdate(const DomainState& state) {
    for (const auto& entry : state.staged) {
        auto seen = state.lastRead.find(entry.first);
        if (seen != state.lastRead.end() &&
            !platform::propertyListsEqual(seen->second.get(), valueIn(state.root, entry.first)))
            return false;
    }
    return true;
}

// The file's root with the staged keys applied over it, as a new immutable
// dictionary: every key keeps its place, removed keys go, new keys are added
// at the end.
Held mergedRoot(const DomainState& state) {
    auto* merged = new PlatformDictionaryObject(false, 0);
    if (const PlatformDictionaryObject* old = platform::asDictionary(state.root.get()))
        for (const auto& entry : old->entries) {
            auto staged = state.staged.find(entry.key->utf8);
            CFTypeRef value = staged == state.staged.end() ? entry.value : staged->second.get();
            if (value != nullptr)
                merged->adopt(platform::asString(CFRetain(entry.key)), objectOf(CFRetain(value)));
        }
    for (const auto& entry : state.staged)
        if (entry.second.get() != nullptr && merged->find(entry.first) < 0)
            merged->adopt(platform::makeString(entry.first),
                          objectOf(CFRetain(entry.second.get())));
    return Held::adopt(merged);
}

// Writes the staged keys; the caller holds the domain's lock.
bool writeStaged(DomainState& state, const Location& where) {
    if (!refresh(state, where) || !noLostUpdate(state))
        return false;
    Held merged = mergedRoot(state);
    std::string text;
    files::FileIdentity identity;
    if (!platform::writeXmlPropertyList(merged.get(), text) ||
        !files::replaceFile(where.file, text, where.fileMode, identity))
        return false;
    state.root = merged;
    state.identity = identity;
    state.cached = true;
    state.unreadable = false;
    for (const auto& entry : state.staged)
        state.lastRead[entry.first] = entry.second;
    return true;
}

} // namespace

CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef applicationID,
                                         CFStringRef userName, CFStringRef hostName) {
    Location where;
    const PlatformStringObject* k = platform::asString(key);
    if (k == nullptr || !locate(applicationID, userName, hostName, where))
        return nullptr;
    DomainState& state = stateOf(where);
    auto staged = state.staged.find(k->utf8);
    if (staged != state.staged.end())
        return staged->second.get() == nullptr ? nullptr : CFRetain(staged->second.get());
    files::FileLock shared;
    if (state.lockDepth == 0)
        shared.lockShared(where.lockFile());
    refresh(state, where);
    CFTypeRef value = valueIn(state.root, k->utf8);
    state.lastRead[k->utf8] = Held::retain(value);
    return value == nullptr ? nullptr : CFRetain(value);
}

void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID,
                           CFStringRef userName, CFStringRef hostName) {
    Location where;
    const PlatformStringObject* k = platform::asString(key);
    if (k == nullptr || !locate(applicationID, userName, hostName, where))
        return;
    Held copy;
    if (value != nullptr) {
        copy = Held::adopt(platform::copyImmutablePropertyList(value));
        if (copy.get() == nullptr)
            return;
    }
    stateOf(where).staged[k->utf8] = copy;
}

Boolean CFPreferencesSynchronize(CFStringRef applicationID, CFStringRef userName,
                                 CFStringRef hostName) {
    Location where;
    if (!locate(applicationID, userName, hostName, where))
        return false;
    DomainState& state = stateOf(where);
    if (state.staged.empty())
        return true;
    bool written = false;
    if (lockDomain(state, where)) {
        written = writeStaged(state, where);
        unlockDomain(state);
    }
    state.staged.clear();
    return written;
}

Boolean PlatformPreferencesLockDomain(CFStringRef applicationID, CFStringRef userName,
                                      CFStringRef hostName) {
    Location where;
    return locate(applicationID, userName, hostName, where) && lockDomain(stateOf(where), where);
}

Boolean PlatformPreferencesUnlockDomain(CFStringRef applicationID, CFStringRef userName,
                                        CFStringRef hostName) {
    Location where;
    if (!locate(applicationID, userName, hostName, where))
        return false;
    DomainState& state = stateOf(where);
    if (state.lockDepth == 0)
        return false;
    unlockDomain(state);
    return true;
}

Boolean PlatformPreferencesDomainReadable(CFStringRef applicationID, CFStringRef userName,
                                          CFStringRef hostName) {
    Location where;
    if (!locate(applicationID, userName, hostName, where))
        return false;
    DomainState& state = stateOf(where);
    files::FileLock shared;
    if (state.lockDepth == 0)
        shared.lockShared(where.lockFile());
    return refresh(state, where);
}

void PlatformPreferencesDropCaches() {
    for (auto& entry : states()) {
        DomainState& state = *entry.second;
        state.cached = false;
        state.unreadable = false;
        state.root = Held();
        state.staged.clear();
        state.lastRead.clear();
    }
}
