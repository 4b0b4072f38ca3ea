// A fresh folder under /tmp, removed with everything in it at the end of the scope. It is
// open to every user (0755) so that a test can run a program as an unprivileged user on it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace kestrova::test {

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/kestrova-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr || ::chmod(pattern, 0755) != 0) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        m_strPath = pattern;
    }
    ~TempFolder() {
        // Tests take write rights away from folders; give them back so everything goes.
        std::error_code ignored;
        std::filesystem::recursive_directory_iterator it(m_strPath, ignored), end;
        for (; !ignored && it != end; it.increment(ignored)) {
            if (it->is_directory(ignored)) {
                ::chmod(it->path().c_str(), 0755);
            }
        }
        std::filesystem::remove_all(m_strPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_strPath; }

private:
    std::string m_strPath;
};

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}

}  // namespace kestrova::test
