// aFolderItem: one item of the file system, a folder or a file.
//
// The item is held as the platform's file reference (FSRef) and nothing else.
// A folder item does not follow its item: every operation asks the platform
// afresh, so an item renamed, moved or removed in between shows in the next
// operation's result or exception.
//
// Children are numbered from 1 in the platform's listing order (the order in
// which the folder's entries are read, not a sorted one). Lookups that find
// nothing return null; failures of the platform's file calls are thrown as
// aException. Folder items returned by pointer are new and belong to the
// caller, who releases them with delete. Folder items are never copied or
// assigned.
#ifndef LUMORA_AFOLDERITEM_H
#define LUMORA_AFOLDERITEM_H

#include "PlatformFiles.h"
#include "aObject.h"
#include "aString.h"

class aFolderItem : public virtual aObject {
public:
    // The root folder of the boot volume; throws as assign() does.
    aFolderItem();
    // The item `src`; never fails.
    aFolderItem(FSRef src);
    ~aFolderItem();
    aFolderItem(const aFolderItem&) = delete;
    aFolderItem& operator=(const aFolderItem&) = delete;

    // Folders of the running program's main bundle: new folder items, or null
    // when the bundle has no such folder.
    static aFolderItem* GetBundleFolder();
    static aFolderItem* GetBundlePluginsFolder();
    static aFolderItem* GetBundlePrivateFrameworksFolder();
    static aFolderItem* GetBundleResourcesFolder();
    static aFolderItem* GetBundleSharedFrameworksFolder();
    static aFolderItem* GetBundleSharedSupportFolder();
    static aFolderItem* GetBundleSupportFolder();

    // The root folder of the boot volume.
    void assign();
    void assign(FSRef src);

    // The child at 1-based position `index`, or null when there is none (0
    // and negative positions included).
    aFolderItem* getChild(int index) const;
    // The first child, in listing order, whose name equals `child` byte for
    // byte, or null. Counts the children anew before each candidate.
    aFolderItem* getChild(aString child) const;
    int getChildCount() const;
    // True when the item is a folder; false also when its flags cannot be
    // read.
    bool getDirectory() const;
    // The name as an FSSpec carries it: at most 63 bytes.
    aString getName() const;
    // The folder that contains the item; throws for the root folder.
    aFolderItem* getParent() const;
    FSRef getAsFSRef() const;
    FSSpec getAsFSSpec() const;

private:
    friend class aTestProbe;

    FSRef value; // the item; set by the constructors and assign only

    static unsigned long long objectCount;
};

#endif
