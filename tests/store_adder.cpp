// A second writer for the reliability tests: adds `count` distinct login
// items "/opt/adder/<tag>/<n>" through the store, one call each, and prints
// the number n of every add that the store reported as done, one a line.
// Usage: store_adder <tag> <count>
#include "LoginItemAPI.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const std::string tag = argv[1];
    const int count = std::atoi(argv[2]);
    for (int n = 0; n < count; n++) {
        const std::string path = "/opt/adder/" + tag + "/" + std::to_string(n);
        if (AddLoginItemWithPropertiesToUser(kCFPreferencesCurrentUser, path.c_str(), false))
            std::printf("%d\n", n);
    }
    return 0;
}
