// aFolderItem over the platform's file and bundle services.
#include "aFolderItem.h"

#include "PlatformBundles.h"
#include "aException.h"

#include <memory>
#include <utility>

unsigned long long aFolderItem::objectCount = 0;

namespace {

// Children are fetched this many at a time.
constexpr ItemCount kBatchSize = 16;

// Closes a file iterator when the operation that opened it ends, thrown
// exceptions included.
class IteratorCloser {
public:
    explicit IteratorCloser(FSIterator niterator) : iterator(niterator) {}
    ~IteratorCloser() { FSCloseIterator(iterator); }
    IteratorCloser(const IteratorCloser&) = delete;
    IteratorCloser& operator=(const IteratorCloser&) = delete;

private:
    FSIterator iterator;
};

// A new folder item for the main bundle's folder that `copyURL` names, or
// null when that folder does not exist.
aFolderItem* GetMainBundleFolder(CFURLRef (*copyURL)(CFBundleRef)) {
    CFBundleRef myBundle = CFBundleGetMainBundle();
    CFURLRef myBundleURL = copyURL(myBundle);
    FSRef myRef;
    Boolean found = CFURLGetFSRef(myBundleURL, &myRef);
    CFRelease(myBundleURL);
    if (!found)
        return nullptr;
    return new aFolderItem(myRef);
}

} // namespace

aFolderItem::aFolderItem() {
    objectCount++;
    try {
        assign();
    } catch (...) {
        // The destructor will not run for an object that was never made.
        objectCount--;
        throw;
    }
}

aFolderItem::aFolderItem(FSRef src) {
    objectCount++;
    assign(std::move(src));
}

aFolderItem::~aFolderItem() {
    objectCount--;
}

aFolderItem* aFolderItem::GetBundleFolder() {
    return GetMainBundleFolder(CFBundleCopyBundleURL);
}

aFolderItem* aFolderItem::GetBundlePluginsFolder() {
    return GetMainBundleFolder(CFBundleCopyBuiltInPlugInsURL);
}

aFolderItem* aFolderItem::GetBundlePrivateFrameworksFolder() {
    return GetMainBundleFolder(CFBundleCopyPrivateFrameworksURL);
}

aFolderItem* aFolderItem::GetBundleResourcesFolder() {
    return GetMainBundleFolder(CFBundleCopyResourcesDirectoryURL);
}

aFolderItem* aFolderItem::GetBundleSharedFrameworksFolder() {
    return GetMainBundleFolder(CFBundleCopySharedFrameworksURL);
}

aFolderItem* aFolderItem::GetBundleSharedSupportFolder() {
    return GetMainBundleFolder(CFBundleCopySharedSupportURL);
}

aFolderItem* aFolderItem::GetBundleSupportFolder() {
    return GetMainBundleFolder(CFBundleCopySupportFilesDirectoryURL);
}

void aFolderItem::assign() {
    OSErr fileErr = FSGetVolumeInfo(kFSInvalidVolumeRefNum, 1, nullptr, kFSVolInfoNone, nullptr,
                                    nullptr, &value);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.assign(): Finding the boot volume failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
}

void aFolderItem::assign(FSRef src) {
    value = std::move(src);
}

aFolderItem* aFolderItem::getChild(int index) const {
    std::unique_ptr<FSRef[]> fileActualItems(new FSRef[kBatchSize]);
    // Positions and counts compare as unsigned 32-bit numbers, so 0 and every
    // negative index match no position.
    const UInt32 position = static_cast<UInt32>(index);
    UInt32 fileCount = 0;
    aFolderItem* result = nullptr;

    if (!getDirectory())
        throw aException(aString("aFolderItem.getChild(): Creating a file iterator failed."),
                         aString(__FILE__), __LINE__);
    FSIterator fileIterator = nullptr;
    OSErr fileErr = FSOpenIterator(&value, kFSIterateFlat, &fileIterator);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getChild(): Creating a file iterator failed."),
                         aString(__FILE__), __LINE__);
    IteratorCloser closer(fileIterator);

    bool more = true;
    while (more) {
        ItemCount fileActualCount = 0;
        fileErr =
            FSGetCatalogInfoBulk(fileIterator, kBatchSize, &fileActualCount, nullptr,
                                 kFSCatInfoNone, nullptr, fileActualItems.get(), nullptr, nullptr);
        if (fileErr == errFSNoMoreItems)
            more = false;
        else if (fileErr != noErr)
            throw aException(aString("aFolderItem.getChild(): File error."), aString(__FILE__),
                             __LINE__);
        if (fileCount < position && position <= fileCount + fileActualCount) {
            result = new aFolderItem(fileActualItems[position - fileCount - 1]);
            more = false;
        }
        fileCount += fileActualCount;
    }
    return result;
}

aFolderItem* aFolderItem::getChild(aString child) const {
    int x = 0;
    while (x < getChildCount()) {
        std::unique_ptr<aFolderItem> candidate(getChild(x + 1));
        if (candidate == nullptr)
            return nullptr;
        if (candidate->getName() == child)
            return candidate.release();
        x++;
    }
    return nullptr;
}

int aFolderItem::getChildCount() const {
    if (!getDirectory())
        throw aException(aString("aFolderItem.getChildCount(): Creating a file iterator failed."),
                         aString(__FILE__), __LINE__);
    FSIterator fileIterator = nullptr;
    OSErr fileErr = FSOpenIterator(&value, kFSIterateFlat, &fileIterator);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getChildCount(): Creating a file iterator failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    IteratorCloser closer(fileIterator);

    unsigned int count = 0;
    for (;;) {
        // Counting asks for no references and no information at all.
        ItemCount fileActualCount = 0;
        fileErr = FSGetCatalogInfoBulk(fileIterator, kBatchSize, &fileActualCount, nullptr,
                                       kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr);
        if (fileErr != noErr && fileErr != errFSNoMoreItems)
            throw aException(aString("aFolderItem.getChildCount(): File error."), aString(__FILE__),
                             __LINE__);
        count += fileActualCount;
        if (fileErr == errFSNoMoreItems)
            break;
    }
    return static_cast<int>(count);
}

bool aFolderItem::getDirectory() const {
    // The result code is not examined: flags that cannot be read stay clear,
    // and the item is then not a folder.
    FSCatalogInfo fileInfo{};
    FSGetCatalogInfo(&value, kFSCatInfoNodeFlags, &fileInfo, nullptr, nullptr, nullptr);
    return (fileInfo.nodeFlags & kFSNodeIsDirectoryMask) != 0;
}

aString aFolderItem::getName() const {
    FSSpec fileSpec;
    OSErr fileErr = FSGetCatalogInfo(&value, kFSCatInfoNone, nullptr, nullptr, &fileSpec, nullptr);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getName(): Getting base FSSpec failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    return aString(static_cast<const unsigned char*>(fileSpec.name));
}

aFolderItem* aFolderItem::getParent() const {
    FSSpec base;
    OSErr fileErr = FSGetCatalogInfo(&value, kFSCatInfoNone, nullptr, nullptr, &base, nullptr);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getName(): Getting base FSSpec failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    FSSpec par;
    fileErr = FSMakeFSSpec(base.vRefNum, base.parID, nullptr, &par);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getName(): Getting parent FSSpec failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    FSRef parRef;
    fileErr = FSpMakeFSRef(&par, &parRef);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getName(): Getting parent FSRef failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    return new aFolderItem(parRef);
}

FSRef aFolderItem::getAsFSRef() const {
    return value;
}

FSSpec aFolderItem::getAsFSSpec() const {
    FSSpec fileSpec;
    OSErr fileErr = FSGetCatalogInfo(&value, kFSCatInfoNone, nullptr, nullptr, &fileSpec, nullptr);
    if (fileErr != noErr)
        throw aException(aString("aFolderItem.getName(): Getting base FSSpec failed."),
                         aString("fileErr != noErr"), aString(__FILE__), __LINE__);
    return fileSpec;
}
