// Files on POSIX: references are absolute paths, listings come from
// readdir(3) (getdents64 underneath), FSSpec folder identifiers come from a
// per-process table. Every errno is turned into a result code here, once.
#include "PlatformFiles.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

struct FSIteratorObject {
    DIR* dir;           // open on `folder`; owned
    std::string folder; // absolute path of the listed folder
    bool finished;      // errFSNoMoreItems was returned
};

namespace {

// Folder identifiers of FSSpec records.
constexpr SInt32 kRootParentID = 1; // the root's container, which does not exist
constexpr SInt32 kRootFolderID = 2; // "/"

constexpr std::size_t kMaxSpecName = 63;

// The per-process table of folder identifiers. Identifiers are handed out in
// order and never reused, so an FSSpec stays valid (names the same path) for
// the whole process.
class FolderTable {
public:
    // The identifier of `folder`, registering it when new; 0 when the table
    // is full.
    SInt32 idOf(const std::string& folder) {
        if (folder == "/")
            return kRootFolderID;
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = ids_.find(folder);
        if (found != ids_.end())
            return found->second;
        if (paths_.size() >= static_cast<std::size_t>(std::numeric_limits<SInt32>::max() - 3))
            return 0;
        paths_.push_back(folder);
        SInt32 id = static_cast<SInt32>(paths_.size()) + kRootFolderID;
        ids_.emplace(folder, id);
        return id;
    }

    // The folder with identifier `id`; false when no such identifier was
    // handed out (the root's container included).
    bool pathOf(SInt32 id, std::string& folder) {
        if (id == kRootFolderID) {
            folder = "/";
            return true;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (id <= kRootFolderID || static_cast<std::size_t>(id - kRootFolderID) > paths_.size())
            return false;
        folder = paths_[static_cast<std::size_t>(id - kRootFolderID) - 1];
        return true;
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, SInt32> ids_;
    std::vector<std::string> paths_; // identifier kRootFolderID + 1 + index
};

FolderTable& folderTable() {
    static FolderTable table;
    return table;
}

OSErr errorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return fnfErr;
    case ENOTDIR:
        return dirNFErr;
    case EACCES:
    case EPERM:
        return permErr;
    case ENAMETOOLONG:
        return bdNamErr;
    case ENOMEM:
        return memFullErr;
    default:
        return ioErr;
    }
}

bool validRef(const FSRef* ref) {
    return ref != nullptr && !ref->path.empty() && ref->path[0] == '/';
}

std::string parentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string joinPath(const std::string& folder, const char* name, std::size_t length) {
    std::string path;
    path.reserve(folder.size() + 1 + length);
    path = folder;
    if (path.size() != 1)
        path += '/';
    path.append(name, length);
    return path;
}

// How many bytes of `name` an FSSpec keeps: all of a name of up to 63 bytes;
// otherwise 63, moved back to the start of a UTF-8 character when byte 63
// continues one. A name that is not UTF-8 there is cut at 63.
std::size_t specNameLength(const char* name, std::size_t length) {
    if (length <= kMaxSpecName)
        return length;
    auto continues = [name](std::size_t i) {
        return (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80;
    };
    std::size_t cut = kMaxSpecName;
    while (cut > kMaxSpecName - 3 && continues(cut))
        --cut;
    if (!continues(cut))
        return cut;
    return kMaxSpecName;
}

void setSpecName(FSSpec* fsSpec, const char* name, std::size_t length) {
    std::size_t kept = specNameLength(name, length);
    fsSpec->name[0] = static_cast<unsigned char>(kept);
    std::memcpy(fsSpec->name + 1, name, kept);
}

// The FSSpec of the item at `path` (which the caller has found to exist).
OSErr specOfPath(const std::string& path, FSSpec* fsSpec) {
    fsSpec->vRefNum = kBootVolumeRefNum;
    if (path == "/") {
        fsSpec->parID = kRootParentID;
        setSpecName(fsSpec, "/", 1);
        return noErr;
    }
    SInt32 id = folderTable().idOf(parentOf(path));
    if (id == 0)
        return memFullErr;
    fsSpec->parID = id;
    std::size_t slash = path.rfind('/');
    setSpecName(fsSpec, path.c_str() + slash + 1, path.size() - slash - 1);
    return noErr;
}

// stat(2) of the item, following links; a dangling link still exists as
// itself. Returns 0 or the errno.
int statItem(const std::string& path, struct stat& info) {
    if (::stat(path.c_str(), &info) == 0)
        return 0;
    int error = errno;
    if (error == ENOENT && ::lstat(path.c_str(), &info) == 0)
        return 0;
    return error;
}

UInt16 nodeFlagsOf(const struct stat& info) {
    return S_ISDIR(info.st_mode) ? kFSNodeIsDirectoryMask : 0;
}

// Checks a name of an FSSpec or of FSMakeFSSpec: at most 63 bytes, one path
// component.
bool validSpecName(const unsigned char* name) {
    std::size_t length = name[0];
    if (length > kMaxSpecName)
        return false;
    const char* text = reinterpret_cast<const char*>(name + 1);
    if (std::memchr(text, '/', length) != nullptr || std::memchr(text, '\0', length) != nullptr)
        return false;
    return !(length == 1 && text[0] == '.') && !(length == 2 && text[0] == '.' && text[1] == '.');
}

// The folder `dirID` of volume `vRefNum`, or the error that says why there is
// none.
OSErr folderOf(SInt16 vRefNum, SInt32 dirID, std::string& folder) {
    if (vRefNum != kBootVolumeRefNum && vRefNum != kFSInvalidVolumeRefNum)
        return nsvErr;
    if (!folderTable().pathOf(dirID, folder))
        return dirNFErr;
    return noErr;
}

// Finds, in listing order, the first entry of `folder` longer than an FSSpec
// can carry whose cut name is `name`.
bool findByCutName(const std::string& folder, const std::string& name, std::string& path) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    bool found = false;
    while (struct dirent* entry = ::readdir(dir)) {
        std::size_t length = std::strlen(entry->d_name);
        if (length > kMaxSpecName && specNameLength(entry->d_name, length) == name.size() &&
            std::memcmp(entry->d_name, name.data(), name.size()) == 0) {
            path = joinPath(folder, entry->d_name, length);
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

OSErr FSGetVolumeInfo(FSVolumeRefNum volume, ItemCount volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap whichInfo, FSVolumeInfo* info, HFSUniStr255* volumeName,
                      FSRef* rootDirectory) {
    if (whichInfo != kFSVolInfoNone || info != nullptr || volumeName != nullptr)
        return paramErr;
    if (volume == kFSInvalidVolumeRefNum) {
        if (volumeIndex != 1)
            return nsvErr;
    } else if (volume != kBootVolumeRefNum) {
        return nsvErr;
    }
    if (actualVolume != nullptr)
        *actualVolume = kBootVolumeRefNum;
    if (rootDirectory != nullptr)
        rootDirectory->path = "/";
    return noErr;
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
    if (!validRef(ref) || outName != nullptr || (whichInfo & ~kFSCatInfoNodeFlags) != 0 ||
        (whichInfo != kFSCatInfoNone && catalogInfo == nullptr))
        return paramErr;
    struct stat info;
    if (int error = statItem(ref->path, info))
        return errorFromErrno(error);
    if (whichInfo & kFSCatInfoNodeFlags)
        catalogInfo->nodeFlags = nodeFlagsOf(info);
    if (parentRef != nullptr && ref->path == "/")
        return fnfErr;
    if (fsSpec != nullptr) {
        if (OSErr err = specOfPath(ref->path, fsSpec))
            return err;
    }
    if (parentRef != nullptr)
        parentRef->path = parentOf(ref->path);
    return noErr;
}

OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags iteratorFlags, FSIterator* iterator) {
    if (!validRef(container) || iteratorFlags != kFSIterateFlat || iterator == nullptr)
        return paramErr;
    int fd = ::open(container->path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // ENOTDIR names either the item itself or a folder on its path.
        struct stat info;
        if (errno != ENOTDIR)
            return errorFromErrno(errno);
        if (int error = statItem(container->path, info))
            return errorFromErrno(error);
        return errFSNotAFolder;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        int error = errno;
        ::close(fd);
        return errorFromErrno(error);
    }
    auto* object = new (std::nothrow) FSIteratorObject{dir, container->path, false};
    if (object == nullptr) {
        ::closedir(dir);
        return memFullErr;
    }
    *iterator = object;
    return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names) {
    if (iterator == nullptr || actualObjects == nullptr || names != nullptr ||
        (whichInfo & ~kFSCatInfoNodeFlags) != 0 ||
        (whichInfo != kFSCatInfoNone && catalogInfos == nullptr))
        return paramErr;
    *actualObjects = 0;
    if (containerChanged != nullptr)
        *containerChanged = false;
    if (iterator->finished)
        return errFSNoMoreItems;
    ItemCount delivered = 0;
    while (delivered < maximumObjects) {
        errno = 0;
        struct dirent* entry = ::readdir(iterator->dir);
        if (entry == nullptr) {
            *actualObjects = delivered;
            if (errno != 0)
                return errorFromErrno(errno);
            iterator->finished = true;
            return errFSNoMoreItems;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (whichInfo & kFSCatInfoNodeFlags) {
            UInt16 flags = 0;
            if (entry->d_type == DT_DIR) {
                flags = kFSNodeIsDirectoryMask;
            } else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                // The entry's type is not known or is a link: ask for what it
                // names, as FSGetCatalogInfo does.
                struct stat info;
                if (::fstatat(::dirfd(iterator->dir), name, &info, 0) == 0)
                    flags = nodeFlagsOf(info);
            }
            catalogInfos[delivered].nodeFlags = flags;
        }
        if (refs != nullptr || specs != nullptr) {
            std::string path = joinPath(iterator->folder, name, std::strlen(name));
            if (specs != nullptr) {
                if (OSErr err = specOfPath(path, &specs[delivered])) {
                    *actualObjects = delivered;
                    return err;
                }
            }
            if (refs != nullptr)
                refs[delivered].path = std::move(path);
        }
        ++delivered;
    }
    *actualObjects = delivered;
    return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
    if (iterator == nullptr)
        return paramErr;
    ::closedir(iterator->dir);
    delete iterator;
    return noErr;
}

OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* fsSpec) {
    if (fsSpec == nullptr)
        return paramErr;
    bool named = fileName != nullptr && fileName[0] != 0;
    if (dirID == kRootParentID && named && (vRefNum == kBootVolumeRefNum || vRefNum == 0)) {
        // The root folder, named "/", is the only item of its container.
        if (fileName[0] != 1 || fileName[1] != '/')
            return fnfErr;
        return specOfPath("/", fsSpec);
    }
    if (named && !validSpecName(fileName))
        return bdNamErr;
    std::string folder;
    if (OSErr err = folderOf(vRefNum, dirID, folder))
        return err;
    struct stat info;
    if (int error = statItem(folder, info))
        return error == ENOENT ? OSErr(dirNFErr) : errorFromErrno(error);
    if (!S_ISDIR(info.st_mode))
        return dirNFErr;
    if (!named)
        return specOfPath(folder, fsSpec);
    fsSpec->vRefNum = kBootVolumeRefNum;
    fsSpec->parID = dirID;
    std::memcpy(fsSpec->name, fileName, static_cast<std::size_t>(fileName[0]) + 1);
    std::string path = joinPath(folder, reinterpret_cast<const char*>(fileName + 1), fileName[0]);
    if (int error = statItem(path, info))
        return errorFromErrno(error);
    return noErr;
}

OSErr FSpMakeFSRef(const FSSpec* fsSpec, FSRef* newRef) {
    if (fsSpec == nullptr || newRef == nullptr)
        return paramErr;
    std::size_t length = fsSpec->name[0];
    if (fsSpec->parID == kRootParentID && length != 0 &&
        (fsSpec->vRefNum == kBootVolumeRefNum || fsSpec->vRefNum == 0)) {
        if (length != 1 || fsSpec->name[1] != '/')
            return fnfErr;
        newRef->path = "/";
        return noErr;
    }
    if (length != 0 && !validSpecName(fsSpec->name))
        return bdNamErr;
    std::string folder;
    if (OSErr err = folderOf(fsSpec->vRefNum, fsSpec->parID, folder))
        return err;
    struct stat info;
    if (length == 0) {
        if (int error = statItem(folder, info))
            return error == ENOENT ? OSErr(dirNFErr) : errorFromErrno(error);
        newRef->path = folder;
        return noErr;
    }
    const char* name = reinterpret_cast<const char*>(fsSpec->name + 1);
    std::string path = joinPath(folder, name, length);
    if (int error = statItem(path, info)) {
        // A name of 60 bytes or more may have been cut from a longer one.
        if (error != ENOENT || length + 3 < kMaxSpecName ||
            !findByCutName(folder, std::string(name, length), path)) {
            if (error == ENOENT && statItem(folder, info) != 0)
                return dirNFErr;
            return errorFromErrno(error);
        }
    }
    newRef->path = std::move(path);
    return noErr;
}

OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
    if (path == nullptr)
        return paramErr;
    if (maxPathSize > 0)
        path[0] = 0;
    if (!validRef(ref))
        return paramErr;
    struct stat info;
    if (int error = statItem(ref->path, info))
        return errorFromErrno(error);
    if (ref->path.size() + 1 > maxPathSize)
        return paramErr;
    std::memcpy(path, ref->path.c_str(), ref->path.size() + 1);
    return noErr;
}
