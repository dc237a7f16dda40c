// Processes: starting an application as a new, independent process.
//
// LaunchApplication starts the item that the request's FSSpec names and
// returns as soon as the new process exists (or could not be made); it never
// waits for the application. The new process runs in a session of its own
// (so it outlives the caller and the caller's terminal), with standard input
// from /dev/null, the caller's standard output and error, environment and
// working folder, default signal handling and an empty signal mask, and no
// other file descriptor of the caller. No shell runs: the executable's path
// goes to the kernel as it is, whatever characters it holds.
//
// What is started:
// - a regular executable file is run directly, with its path as argv[0];
// - a folder X is run as a bundle: X/Contents/MacOS/<exe>, where <exe> is the
//   "CFBundleExecutable" string of X/Contents/Info.plist when the file holds
//   that key, otherwise X's name without a trailing ".app". A
//   CFBundleExecutable that is not a single file name ("", ".", "..", or a
//   name holding "/") is refused, so a bundle cannot point outside itself.
//
// Reaping: the new process is the caller's child until the caller exits, as
// with any spawn. The kit's launcher ends right after launching, so the
// application is then adopted and reaped by the system. A long-lived caller
// reaps it with waitpid(2) on the process id that LaunchApplication leaves in
// launchProcessSN.lowLongOfPSN, or ignores SIGCHLD.
#ifndef LUMORA_PLATFORM_PROCESS_H
#define LUMORA_PLATFORM_PROCESS_H

#include "PlatformFiles.h"
#include "PlatformTypes.h"

// Control flags of a launch request.
typedef UInt16 LaunchFlags;

enum : LaunchFlags {
    // The caller goes on running after the launch. This layer never ends the
    // caller, so the flag is implied.
    launchContinue = 0x4000,
    // Take the file flags from the application, not from launchFileFlags.
    // This layer reads no file flags either way.
    launchNoFileFlags = 0x0800,
    // Accept less than the preferred memory size. The kernel decides memory
    // here; the flag has no effect.
    launchUseMinimum = 0x0400,
    // Leave the caller frontmost. Which window comes to the front is up to
    // the desktop and the application; the flag has no effect.
    launchDontSwitch = 0x0200,
};

// The marker and length of the extended form of the request, the only form
// accepted: launchBlockID holds 'LC' and launchEPBLength the length of the
// record past launchEPBLength, as the record was published.
enum : UInt16 { extendedBlock = 0x4C43 };
enum : UInt32 { extendedBlockLen = 32 };

// Identifies a launched process: highLongOfPSN is 0 and lowLongOfPSN the
// process id.
struct ProcessSerialNumber {
    UInt32 highLongOfPSN;
    UInt32 lowLongOfPSN;
};

// A first event to hand to the application. This layer delivers none, so the
// type is never completed; requests must carry null.
struct AppParameters;

// A launch request. Fields marked "in" are read, "out" are written on
// success; the others are left untouched.
struct LaunchParamBlockRec {
    UInt32 reserved1;
    UInt16 reserved2;
    UInt16 launchBlockID;                // in: extendedBlock
    UInt32 launchEPBLength;              // in: extendedBlockLen
    UInt16 launchFileFlags;              // not read
    LaunchFlags launchControlFlags;      // in: any of the flags above
    FSSpec* launchAppSpec;               // in: the application; never null
    ProcessSerialNumber launchProcessSN; // out: the new process
    UInt32 launchPreferredSize;          // out: 0, sizes are not known here
    UInt32 launchMinimumSize;            // out: 0
    UInt32 launchAvailableSize;          // out: 0
    AppParameters* launchAppParameters;  // in: must be null
};

// Starts the application that LaunchParams->launchAppSpec names (see above)
// and returns without waiting for it. Relies on FSpMakeFSRef and
// FSRefMakePath to find the item and on posix_spawn(3), whose glibc version
// reports the kernel's exec error, to start it.
// Returns noErr once the process runs the application's executable.
// Failures, with nothing started:
// - paramErr: a null request, a launchBlockID other than extendedBlock, a
//   launchEPBLength other than extendedBlockLen, a null launchAppSpec, or a
//   non-null launchAppParameters;
// - fnfErr: nothing at the FSSpec, a bundle without its executable, or a
//   bundle whose Info.plist cannot be read or names no usable executable;
// - permErr: the executable may not be run (no execute permission, or not a
//   regular file);
// - memFullErr: the system refused the process;
// - ioErr: anything else the kernel refused, such as a file in no
//   executable format or a path longer than PATH_MAX;
// - any other code of FSpMakeFSRef for an FSSpec that names no item.
OSErr LaunchApplication(LaunchParamBlockRec* LaunchParams);

#endif
