// The walk the registration programs make: count the login items, then ask
// for every item's application name. An unchanged file is parsed once, so the
// walk grows linearly with the list.
#include "LoginItemAPI.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ftw.h>
#include <string>
#include <unistd.h>

namespace {

// A scratch configuration holding a list of `items` login items.
class ScratchList {
public:
    explicit ScratchList(int items) {
        char pattern[] = "/tmp/lumora-bench-XXXXXX";
        root_ = ::mkdtemp(pattern) != nullptr ? pattern : "";
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        CFMutableArrayRef list = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
        for (int i = 0; i < items; ++i) {
            std::string path = "/Applications/Tools/Item" + std::to_string(i) + ".app";
            CFStringRef value =
                CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingASCII);
            CFMutableDictionaryRef item = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
            CFDictionaryAddValue(item, CFSTR("Hide"), kCFBooleanFalse);
            CFDictionaryAddValue(item, CFSTR("Path"), value);
            CFArrayAppendValue(list, item);
            CFRelease(item);
            CFRelease(value);
        }
        CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), list,
                              CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                              kCFPreferencesAnyHost);
        CFRelease(list);
        ok_ = CFPreferencesSynchronize(CFSTR("loginwindow"), kCFPreferencesCurrentUser,
                                       kCFPreferencesAnyHost) &&
              GetCountOfLoginItems(kCFPreferencesCurrentUser) == items;
    }
    ~ScratchList() {
        PlatformPreferencesDropCaches();
        ::nftw(
            root_.c_str(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    bool ok() const { return ok_; }

private:
    std::string root_;
    bool ok_ = false;
};

// Returns the number of names read.
int walk() {
    int count = GetCountOfLoginItems(kCFPreferencesCurrentUser);
    int names = 0;
    for (int index = 0; index < count; ++index)
        names += ReturnLoginItemPropertyAtIndex(kCFPreferencesCurrentUser, 2, index) != nullptr;
    return names;
}

void BM_CountAndNameEveryItem(benchmark::State& state) {
    ScratchList list(static_cast<int>(state.range(0)));
    if (!list.ok()) {
        state.SkipWithError("could not store the list");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(walk());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CountAndNameEveryItem)->Arg(10)->Arg(100)->Arg(1000)->Complexity();

// The same walk when the file must be parsed again for the first request
// (another program has just changed it).
void BM_CountAndNameEveryItemAfterAChange(benchmark::State& state) {
    ScratchList list(static_cast<int>(state.range(0)));
    if (!list.ok()) {
        state.SkipWithError("could not store the list");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        PlatformPreferencesDropCaches();
        state.ResumeTiming();
        benchmark::DoNotOptimize(walk());
    }
}
BENCHMARK(BM_CountAndNameEveryItemAfterAChange)->Arg(10)->Arg(100)->Arg(1000);

} // namespace
