// Internal to the platform layer: starting the item at a path as an
// application. LaunchApplication and the login session starter
// (tools/loginwindow-start.cpp) both start items through these two calls, so
// an item is started the same way whichever of them asks.
//
// An item is launchable when it is a regular file the caller may execute, or
// a bundle folder X whose executable X/Contents/MacOS/<exe> is one (<exe> is
// the "CFBundleExecutable" of X/Contents/Info.plist when present, otherwise
// X's name without a trailing ".app"). The started process runs in a session
// of its own with standard input from /dev/null, the caller's standard output
// and error, the given environment, default signal handling, an empty signal
// mask and no other descriptor of the caller. No shell ever runs.
#ifndef LUMORA_PLATFORM_PROCESS_LAUNCH_H
#define LUMORA_PLATFORM_PROCESS_LAUNCH_H

#include "PlatformTypes.h"

#include <sys/types.h>

#include <string>

namespace platform {

// Works out the executable that starting the item at the absolute `path`
// runs, without starting anything. Relies on stat(2), access(2) and the
// property-list reader for a bundle's Info.plist.
// Returns noErr with `executable` set, or:
// - fnfErr: nothing at `path`, a bundle without its executable, or a bundle
//   whose Info.plist cannot be read or names no plain file name;
// - permErr: the executable is not a regular file or may not be executed;
// - ioErr: anything else the kernel refused (a path longer than PATH_MAX).
OSErr launchableExecutable(const std::string& path, std::string& executable);

// Starts `executable` (as launchableExecutable gives it) as a detached
// process with `environment` (a null-terminated vector of NAME=value strings)
// and returns at once with the process id in `pid`. Relies on posix_spawn(3),
// whose glibc version reports the kernel's exec error.
// Returns noErr once the process runs the executable; otherwise fnfErr,
// permErr, memFullErr (the system refused the process) or ioErr (anything
// else, such as a file in no executable format), with nothing started.
OSErr startDetached(const std::string& executable, char* const environment[], pid_t& pid);

} // namespace platform

#endif
