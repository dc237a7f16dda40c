// LumoraLoader: starts the application Lumora from this program's bundle.
//
// Finds the item named exactly "Lumora" in the bundle's Resources folder and
// asks the platform to launch it as an application, without waiting for it.
// Reads no input, ignores its arguments and prints nothing. Exit status (the
// same codes in all three programs, listed in README.md): 0 launched; 2 the
// Resources folder or the application is missing; 4 the launch failed. A
// file-system failure of the folder item aborts the program.
#include "PlatformProcess.h"
#include "aFolderItem.h"
#include "aString.h"

#include <cstdlib>
#include <exception>

namespace {

enum ExitStatus {
    kExitLaunched = 0,
    kExitItemMissing = 2,
    kExitLaunchFailed = 4,
};

} // namespace

int main() {
    // An uncaught exception ends the program silently, without a report.
    std::set_terminate(std::abort);

    aFolderItem* fContainingFolder;
    aFolderItem* fItem;
    FSSpec launchspec;
    LaunchParamBlockRec launchparams = {};
    OSErr launchErr;

    // Find the application in the bundle's Resources folder.
    fContainingFolder = aFolderItem::GetBundleResourcesFolder();
    if (fContainingFolder == NULL)
        return kExitItemMissing;
    fItem = fContainingFolder->getChild(aString("Lumora"));
    delete fContainingFolder;
    if (fItem == NULL)
        return kExitItemMissing;
    launchspec = fItem->getAsFSSpec();
    delete fItem;

    // Launch it and go on: the application takes its file flags from itself,
    // may start with its minimum memory size, and comes to the front.
    launchparams.launchBlockID = extendedBlock;
    launchparams.launchEPBLength = extendedBlockLen;
    launchparams.launchControlFlags = launchContinue | launchNoFileFlags | launchUseMinimum;
    launchparams.launchAppSpec = &launchspec;
    launchparams.launchAppParameters = NULL;
    launchErr = LaunchApplication(&launchparams);
    return launchErr == noErr ? kExitLaunched : kExitLaunchFailed;
}
