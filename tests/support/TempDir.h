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
#include <stdexcept>
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

// A file the repository keeps for the tests (a kept fuzzing input, a sample), read whole;
// a missing one throws, so a row cannot pass on an empty input by mistake.
inline std::string readSourceFile(const std::string& relative) {
    const char* root = std::getenv("KESTROVA_SOURCE_DIR");
    const std::filesystem::path path = std::filesystem::path(root ? root : ".") / relative;
    if (!std::filesystem::is_regular_file(path)) {
        throw std::runtime_error("no test file " + path.string());
    }
    return readFile(path);
}

}  // namespace kestrova::test
