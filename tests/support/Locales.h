// Runs a test under a chosen character type (LC_CTYPE). Locales the machine lacks are
// compiled with localedef into a private folder and loaded from there, so tests need
// neither root nor a change to the system's locale archive.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

extern char** environ;

namespace kestrova::test {

class ScopedCtype {
public:
    // name: e.g. "en_US.ISO-8859-1"; source and charmap: localedef's -i and -f, used only
    // when the locale is not installed.
    ScopedCtype(const std::string& name, const std::string& source, const std::string& charmap)
        : m_old(std::setlocale(LC_CTYPE, nullptr)) {
        m_active = std::setlocale(LC_CTYPE, name.c_str()) != nullptr ||
                   loadGenerated(name, source, charmap);
    }
    explicit ScopedCtype(const std::string& installedName)
        : m_old(std::setlocale(LC_CTYPE, nullptr)) {
        m_active = std::setlocale(LC_CTYPE, installedName.c_str()) != nullptr;
    }
    ~ScopedCtype() { std::setlocale(LC_CTYPE, m_old.c_str()); }
    ScopedCtype(const ScopedCtype&) = delete;
    ScopedCtype& operator=(const ScopedCtype&) = delete;

    bool active() const { return m_active; }

private:
    static std::filesystem::path privateFolder() {
        static const std::filesystem::path folder = [] {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "kestrova-locales-XXXXXX");
            return std::filesystem::path(mkdtemp(pattern.data()) ? pattern : "");
        }();
        static const struct Remover {
            ~Remover() {
                std::error_code ignored;
                std::filesystem::remove_all(folder, ignored);
            }
        } remover;
        return folder;
    }

    static bool compile(const std::filesystem::path& target, const std::string& source,
                        const std::string& charmap) {
        std::string out = target.string();
        std::string program = "localedef";
        std::string inputFlag = "-i", charmapFlag = "-f";
        std::string src = source, map = charmap;
        char* argv[] = {program.data(), inputFlag.data(), src.data(), charmapFlag.data(),
                        map.data(),     out.data(),       nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "localedef", nullptr, nullptr, argv, environ) != 0) {
            return false;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        // localedef warns (exit 1) about charmaps that lack some of the source's characters
        // but still writes a usable locale.
        return WIFEXITED(status) && WEXITSTATUS(status) <= 1 &&
               std::filesystem::exists(target / "LC_CTYPE");
    }

    static bool loadGenerated(const std::string& name, const std::string& source,
                              const std::string& charmap) {
        const std::filesystem::path folder = privateFolder();
        if (folder.empty()) {
            return false;
        }
        static std::map<std::string, bool> compiled;
        auto [it, fresh] = compiled.try_emplace(name, false);
        if (fresh) {
            it->second = compile(folder / name, source, charmap);
        }
        if (!it->second) {
            return false;
        }
        // The locale data is read while LOCPATH is set and stays loaded after it is unset.
        setenv("LOCPATH", folder.c_str(), 1);
        const bool loaded = std::setlocale(LC_CTYPE, name.c_str()) != nullptr;
        unsetenv("LOCPATH");
        return loaded;
    }

    std::string m_old;
    bool m_active = false;
};

}  // namespace kestrova::test
