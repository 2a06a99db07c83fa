#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace kelo {

class TempDir {
public:
    // `prefix` names the folder ("kelo-progress" gives kelo-progress-XXXXXX).
    explicit TempDir(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a folder in " << pattern;
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace kelo
