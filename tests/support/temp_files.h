// SPDX-License-Identifier: GPL-3.0-or-later
// Files for the tests and the fuzz target: a folder of its own, removed with everything in it,
// and whole files read and written as bytes. Needs no test framework, so that the fuzz target
// shares it with the suites.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace meshthin::testing {

// A fresh folder under the system's temporary folder, made by mkdtemp so that no two are ever
// the same; removed with its content (unreadable parts included) when the object goes.
class TempDir {
public:
    TempDir() {
        std::string name =
            (std::filesystem::temp_directory_path() / "meshthin-test-XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) {
            std::abort();  // no temporary folder: nothing can be tested
        }
        root = name;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path(const std::string& name) const { return root / name; }
    const std::filesystem::path& folder() const { return root; }

private:
    std::filesystem::path root;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace meshthin::testing
