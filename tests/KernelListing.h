// kernelOrder: a folder's entry names in the order the kernel's directory
// reading returns them, without "." and "..": the order the platform layer's
// listing must reproduce. An unreadable folder gives no names.
#ifndef LUMORA_TEST_KERNEL_LISTING_H
#define LUMORA_TEST_KERNEL_LISTING_H

#include <dirent.h>
#include <string>
#include <vector>

inline std::vector<std::string> kernelOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

#endif
