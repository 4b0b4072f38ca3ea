// A private scratch folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kestrova::test {

class TestFolder {
public:
    TestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-server-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a scratch folder";
        }
        m_path = pattern;
    }
    ~TestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(const std::string& name, std::string_view bytes) const {
        std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return file;
    }

private:
    std::filesystem::path m_path;
};

// Enough of a PNG for the server, which judges pictures by their signature only.
inline std::string fakePng(std::string_view tail = "picture") {
    return std::string("\x89PNG\r\n\x1a\n", 8) + std::string(tail);
}

}  // namespace kestrova::test
