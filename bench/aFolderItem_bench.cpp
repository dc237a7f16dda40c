// Folder item lookups in folders of 100 and 1,000 children, and the listing
// they stand on next to the kernel's own directory read.
//
// getChild(aString) counts the folder anew before every candidate and walks
// the listing to each candidate, so its cost grows with the square of the
// position it finds. The per-entry figures of the listing benchmarks
// (items_per_second) show how much of that is the platform layer's listing
// and how much the kernel's directory read.
#include "aFolderItem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

// Folders of N empty files, made once per size and removed at exit.
class Folders {
public:
    ~Folders() {
        std::error_code ignored;
        if (!root_.empty())
            fs::remove_all(root_, ignored);
    }

    const std::string& of(int children) {
        auto found = folders_.find(children);
        if (found != folders_.end())
            return found->second;
        if (root_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "lumora-bench-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr)
                std::abort();
            root_ = pattern;
        }
        std::string folder = root_ + "/" + std::to_string(children);
        fs::create_directory(folder);
        for (int i = 0; i < children; ++i)
            std::ofstream(folder + "/child-" + std::to_string(i));
        return folders_[children] = folder;
    }

private:
    std::string root_;
    std::map<int, std::string> folders_;
};

Folders folders;

aFolderItem folderItem(int children) {
    FSRef ref;
    ref.path = folders.of(children);
    return aFolderItem(ref);
}

// The name of the last child in listing order.
aString lastName(const aFolderItem& folder) {
    std::unique_ptr<aFolderItem> last(folder.getChild(folder.getChildCount()));
    return last->getName();
}

void BM_GetChildCount(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    aFolderItem folder = folderItem(children);
    for (auto _ : state)
        benchmark::DoNotOptimize(folder.getChildCount());
    state.SetItemsProcessed(state.iterations() * children);
}

void BM_GetChildLastByPosition(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    aFolderItem folder = folderItem(children);
    for (auto _ : state) {
        std::unique_ptr<aFolderItem> child(folder.getChild(children));
        benchmark::DoNotOptimize(child.get());
    }
    state.SetItemsProcessed(state.iterations() * children);
}

void BM_GetChildLastByName(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    aFolderItem folder = folderItem(children);
    const aString name = lastName(folder);
    for (auto _ : state) {
        std::unique_ptr<aFolderItem> child(folder.getChild(name));
        if (child == nullptr)
            state.SkipWithError("last child not found");
    }
    // Entries listed per lookup: for every candidate, a full count and a walk
    // to the end of the batch that holds the candidate.
    double listed = 0;
    for (int x = 0; x < children; ++x)
        listed += children + std::min(children, (x / 16 + 1) * 16);
    state.counters["entries_listed"] = listed;
    state.counters["per_listed_entry"] =
        benchmark::Counter(listed * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The platform layer's listing as getChildCount uses it: batches of 16, no
// references.
void BM_PlatformListingCount(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    FSRef ref;
    ref.path = folders.of(children);
    for (auto _ : state) {
        FSIterator iterator = nullptr;
        FSOpenIterator(&ref, kFSIterateFlat, &iterator);
        ItemCount total = 0;
        ItemCount count = 0;
        while (FSGetCatalogInfoBulk(iterator, 16, &count, nullptr, kFSCatInfoNone, nullptr, nullptr,
                                    nullptr, nullptr) == noErr)
            total += count;
        FSCloseIterator(iterator);
        benchmark::DoNotOptimize(total + count);
    }
    state.SetItemsProcessed(state.iterations() * children);
}

// The listing as getChild(int) uses it: batches of 16 references.
void BM_PlatformListingRefs(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    FSRef ref;
    ref.path = folders.of(children);
    std::unique_ptr<FSRef[]> refs(new FSRef[16]);
    for (auto _ : state) {
        FSIterator iterator = nullptr;
        FSOpenIterator(&ref, kFSIterateFlat, &iterator);
        ItemCount count = 0;
        while (FSGetCatalogInfoBulk(iterator, 16, &count, nullptr, kFSCatInfoNone, nullptr,
                                    refs.get(), nullptr, nullptr) == noErr)
            benchmark::DoNotOptimize(refs.get());
        FSCloseIterator(iterator);
    }
    state.SetItemsProcessed(state.iterations() * children);
}

// The kernel's own directory read, for comparison: opendir, readdir to the
// end, closedir.
void BM_KernelReaddir(benchmark::State& state) {
    const int children = static_cast<int>(state.range(0));
    const std::string& path = folders.of(children);
    for (auto _ : state) {
        DIR* dir = ::opendir(path.c_str());
        long entries = 0;
        while (::readdir(dir) != nullptr)
            ++entries;
        ::closedir(dir);
        benchmark::DoNotOptimize(entries);
    }
    state.SetItemsProcessed(state.iterations() * children);
}

} // namespace

BENCHMARK(BM_GetChildCount)->Arg(100)->Arg(1000);
BENCHMARK(BM_GetChildLastByPosition)->Arg(100)->Arg(1000);
BENCHMARK(BM_GetChildLastByName)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlatformListingCount)->Arg(100)->Arg(1000);
BENCHMARK(BM_PlatformListingRefs)->Arg(100)->Arg(1000);
BENCHMARK(BM_KernelReaddir)->Arg(100)->Arg(1000);
