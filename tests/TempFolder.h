// TempFolder: a real, empty folder for one test, removed with everything in it
// when the test ends. Its path is canonical (no links), so tests can compare
// it with the absolute paths the platform layer gives back.
#ifndef LUMORA_TEST_TEMP_FOLDER_H
#define LUMORA_TEST_TEMP_FOLDER_H

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = std::filesystem::canonical(pattern).string();
    }
    ~TempFolder() {
        std::error_code ignored;
        // A test may have taken the owner's rights away to make it unreadable.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

#endif
