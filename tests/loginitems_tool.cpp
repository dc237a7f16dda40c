// The loginitems tool: its output on real lists and its command line.
#include "LoginItemAPI.h"
#include "PreferencesTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

// Runs loginitems with `args`, in this process's environment.
ToolRun runTool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {LOGINITEMS_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(&a[0]);
    raw.push_back(nullptr);
    char outPath[] = "/tmp/lumora-tool-out-XXXXXX";
    char errPath[] = "/tmp/lumora-tool-err-XXXXXX";
    int outFd = ::mkstemp(outPath), errFd = ::mkstemp(errPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid;
    ToolRun run{-1, "", ""};
    if (::posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    run.out = prefs_test::readFile(outPath);
    run.err = prefs_test::readFile(errPath);
    ::unlink(outPath);
    ::unlink(errPath);
    return run;
}

using LoginItemsTool = prefs_test::ScratchPreferences;

TEST_F(LoginItemsTool, PrintsTheListOfEitherUser) {
    ToolRun empty = runTool({});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "LoginItems are Empty (i.e. there are no LoginItems)\n");
    ASSERT_TRUE(AddLoginItemWithPropertiesToUser(kCFPreferencesCurrentUser,
                                                 "/Applications/Tools/Foo.app", 1));
    ASSERT_TRUE(AddLoginItemWithPropertiesToUser(kCFPreferencesAnyUser, "/opt/A.app", 0));
    ASSERT_TRUE(AddLoginItemWithPropertiesToUser(kCFPreferencesAnyUser, "/opt/B.app", 0));
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{},
         "LoginItem Index 0:\n\tFull path to App: /Applications/Tools/Foo.app\n"
         "\tHide Info:        true\n\tExecutable Name:  Foo.app\n"},
        {{"--count"}, "The number of LoginItems is: 1\n"},
        {{"--all-users", "--count"}, "The number of LoginItems is: 2\n"},
        {{"--count", "--all-users"}, "The number of LoginItems is: 2\n"},
        {{"--all-users"},
         "LoginItem Index 0:\n\tFull path to App: /opt/A.app\n\tHide Info:        false\n"
         "\tExecutable Name:  A.app\nLoginItem Index 1:\n\tFull path to App: /opt/B.app\n"
         "\tHide Info:        false\n\tExecutable Name:  B.app\n"},
    };
    for (const auto& c : cases) {
        ToolRun run = runTool(c.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(LoginItemsTool, ExplainsItselfAndRefusesUnknownArguments) {
    ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: loginitems"), std::string::npos);
    EXPECT_NE(help.out.find("--all-users"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"--count", "extra"}, {"-c"}, {""}}) {
        ToolRun run = runTool(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_NE(run.err.find("usage: loginitems"), std::string::npos) << args.back();
    }
    EXPECT_FALSE(prefs_test::exists(loginFile)) << "nothing was written";
}

} // namespace
