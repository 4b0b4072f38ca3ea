// A private temporary folder removed with its contents at the end of a test, and whole-file
// reads and writes. The folder is open to every user (0755) so that a test can run a program
// as another user on it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrova::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "kestrova-test-XXXXXX";
        EXPECT_NE(mkdtemp(pattern.data()), nullptr) << pattern;
        ::chmod(pattern.c_str(), 0755);
        m_path = pattern;
    }
    ~TempDir() {
        // Tests take write rights away from folders; give them back so that everything goes.
        std::error_code ignored;
        std::filesystem::recursive_directory_iterator it(m_path, ignored), end;
        for (; !ignored && it != end; it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                ::chmod(it->path().c_str(), 0755);
            }
        }
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

}  // namespace kestrova::test
