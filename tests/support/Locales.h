// Runs a test under a chosen character type (LC_CTYPE). A locale the machine lacks is
// compiled with localedef into a private folder and loaded from there, so tests need
// neither root nor a change to the system's locale archive.
#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/Process.h"

namespace kestrova::test {

class ScopedCtype {
public:
    // source and charmap are localedef's -i and -f, e.g. "en_US" and "ISO-8859-1".
    ScopedCtype(std::string name, std::string source = "", std::string charmap = "")
        : m_old(std::setlocale(LC_CTYPE, nullptr)) {
        m_active = std::setlocale(LC_CTYPE, name.c_str()) != nullptr ||
                   (!source.empty() && loadGenerated(name, source, charmap));
    }
    ~ScopedCtype() { std::setlocale(LC_CTYPE, m_old.c_str()); }
    ScopedCtype(const ScopedCtype&) = delete;
    ScopedCtype& operator=(const ScopedCtype&) = delete;

    bool active() const { return m_active; }

private:
    static bool loadGenerated(const std::string& name, const std::string& source,
                              const std::string& charmap) {
        std::string folder = std::filesystem::temp_directory_path() / "kestrova-locale-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) {
            return false;
        }
        runCommand("localedef -i " + source + " -f " + charmap + " " + folder + "/" + name +
                   " 2>&1");
        // The locale data is mapped while LOCPATH is set and stays loaded afterwards.
        setenv("LOCPATH", folder.c_str(), 1);
        const bool loaded = std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
        unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return loaded;
    }

    std::string m_old;
    bool m_active = false;
};

}  // namespace kestrova::test
