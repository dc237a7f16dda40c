// Files: references to file-system items, catalog information, flat folder
// listing, FSSpec records and absolute paths.
//
// The whole name space under "/" is one volume, the boot volume, with the
// reference number kBootVolumeRefNum. An FSRef names one item by its absolute
// path; it does not follow the item, so an item renamed, moved or deleted
// after the reference was made shows in the next call's result code.
//
// An FSSpec names an item by the folder that contains it (parID) and its name.
// Folder identifiers are handed out by a per-process table that maps each
// identifier back to the folder's absolute path; the root folder "/" has the
// identifier 2, and 1 stands for the root's own (non-existent) container:
// the root's FSSpec is (kBootVolumeRefNum, 1, "/").
// Identifiers are valid only inside the process that made them.
//
// Names are the bytes of the file name. An FSSpec holds at most 63 of them:
// a longer name is cut to 63 bytes or fewer, at a UTF-8 character boundary.
// FSpMakeFSRef resolves such a cut name to the first item in listing order
// whose name cuts to it.
//
// Listing order is the order in which the kernel's directory reading returns
// entries, without "." and "..".
//
// Every call returns noErr (0) on success and one of the classic result
// codes of PlatformTypes.h otherwise; outputs are then not to be used.
#ifndef LUMORA_PLATFORM_FILES_H
#define LUMORA_PLATFORM_FILES_H

#include "PlatformTypes.h"

#include <string>

typedef SInt16 FSVolumeRefNum;
typedef UInt32 ItemCount;
typedef UInt32 FSCatalogInfoBitmap;
typedef UInt32 FSVolumeInfoBitmap;
typedef UInt32 FSIteratorFlags;

// A reference to one file-system item, by value.
// Invariant: `path` is empty (a reference to nothing) or absolute, without a
// trailing "/" except for the root folder itself, and without "." or ".."
// components. Layer-private: callers treat FSRef as opaque and ask
// FSRefMakePath for the path.
struct FSRef {
    std::string path;
};

// An item named by its volume, its containing folder and its name.
struct FSSpec {
    SInt16 vRefNum; // kBootVolumeRefNum for every item of this layer
    SInt32 parID;   // identifier of the containing folder (see above)
    Str63 name;     // Pascal string: count byte, then at most 63 bytes
};

// Catalog information; only the fields named in the bitmap are filled.
struct FSCatalogInfo {
    UInt16 nodeFlags; // kFSNodeIsDirectoryMask set for a folder
};

// Outputs this layer never produces. They are declared only so that the
// calls keep their published shape; callers pass null for them.
struct FSVolumeInfo;
struct HFSUniStr255;

// An open flat listing of one folder; released with FSCloseIterator.
typedef struct FSIteratorObject* FSIterator;

enum : FSVolumeRefNum {
    kFSInvalidVolumeRefNum = 0,
    kBootVolumeRefNum = -1,
};

enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0,
    kFSCatInfoNodeFlags = 2,
};

enum : FSVolumeInfoBitmap {
    kFSVolInfoNone = 0,
};

enum : UInt16 {
    kFSNodeIsDirectoryMask = 0x0010,
};

enum : FSIteratorFlags {
    kFSIterateFlat = 0,
};

// Gives the root folder of a volume. `volume` is kFSInvalidVolumeRefNum to
// pick the volume by `volumeIndex` (1 is the boot volume, the only one), or
// kBootVolumeRefNum. `whichInfo` must be kFSVolInfoNone and `info` and
// `volumeName` null. Fills `actualVolume` and `rootDirectory` when given.
// Fails with nsvErr for any other volume or index, paramErr for requested
// information.
OSErr FSGetVolumeInfo(FSVolumeRefNum volume, ItemCount volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap whichInfo, FSVolumeInfo* info, HFSUniStr255* volumeName,
                      FSRef* rootDirectory);

// Reads what `whichInfo` asks for (kFSCatInfoNone or kFSCatInfoNodeFlags)
// of the item `ref` into `catalogInfo`, and fills `fsSpec` (the item's FSSpec)
// and `parentRef` (its folder) when given. `outName` must be null. Relies on
// stat(2), which follows symbolic links; a dangling link is a file. Fails
// with fnfErr when the item is gone, permErr when it cannot be reached,
// paramErr for a null or empty reference or unsupported information; the
// root folder has no parent, so asking for its parentRef gives fnfErr.
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);

// Opens a flat listing (kFSIterateFlat) of the folder `container`. Fails with
// errFSNotAFolder for a file, fnfErr when it is gone, permErr when it cannot
// be read, paramErr for other flags.
OSErr FSOpenIterator(const FSRef* container, FSIteratorFlags iteratorFlags, FSIterator* iterator);

// Delivers the next entries of the listing, at most `maximumObjects`: their
// count in `actualObjects`, and, for each given array, their node flags
// (when `whichInfo` is kFSCatInfoNodeFlags), references or FSSpecs. Reads
// entries with readdir(3); stats an entry only when its node flags are asked
// for and the directory entry does not carry its type. `containerChanged`
// is set to false when given; `names` must be null. Returns noErr while more
// entries may follow and errFSNoMoreItems with the last, possibly empty,
// batch (and on every later call); any other code on failure, with
// `actualObjects` the entries delivered before it.
OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names);

// Releases the iterator. paramErr for null.
OSErr FSCloseIterator(FSIterator iterator);

// Makes the FSSpec of `fileName` inside the folder `dirID` of volume
// `vRefNum` (kBootVolumeRefNum or 0). With a null or empty name it makes the
// FSSpec of the folder `dirID` itself, which fails with dirNFErr for the
// root's container (1). With a name, `fsSpec` is filled whether or not the item
// exists, and the result is noErr when it does and fnfErr when it does not.
// Fails with nsvErr for another volume, dirNFErr for an unknown or vanished
// folder, bdNamErr for a name longer than 63 bytes or holding "/" or being
// "." or "..".
OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* fsSpec);

// Turns `fsSpec` into a reference to the existing item it names (its folder
// itself when the name is empty). Fails with fnfErr when no such item exists,
// and as FSMakeFSSpec for the volume, folder and name.
OSErr FSpMakeFSRef(const FSSpec* fsSpec, FSRef* newRef);

// Writes the absolute path of the existing item `ref` into `path`, UTF-8 and
// NUL-terminated, using at most `maxPathSize` bytes. Fails with paramErr when
// the path and its NUL do not fit (then `path`, when it has room, holds the
// empty string), fnfErr when the item is gone.
OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);

#endif
