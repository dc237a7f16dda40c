// loginitems: prints the login item list of the current user (or of all
// users) as the login item store sees it. For support and diagnosis.
#include "LoginItemAPI.h"

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "usage: loginitems [--count] [--all-users]\n"
                      "       loginitems --help\n";

const char kHelp[] = "Prints the login items: the applications started when a user logs in.\n"
                     "\n"
                     "  (no option)   print every item of the current user's list\n"
                     "  --count       print only the number of items\n"
                     "  --all-users   use the list kept for all users of this host\n"
                     "  --help        print this help\n"
                     "\n"
                     "Exit status: 0 when the list was printed, 1 when an item could not be\n"
                     "printed, 2 for a usage error.\n";

} // namespace

int main(int argc, char** argv) {
    bool countOnly = false;
    CFStringRef user = kCFPreferencesCurrentUser;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0) {
            countOnly = true;
        } else if (std::strcmp(argv[i], "--all-users") == 0) {
            user = kCFPreferencesAnyUser;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "loginitems: unknown argument '%s'\n", argv[i]);
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (countOnly) {
        Boolean printed = PrintNumberOfLoginItems(user);
        std::fputs("\n", stdout);
        return printed ? 0 : 1;
    }
    return PrintOutAllLoginItems(user) ? 0 : 1;
}
