// Settings files: any file, with any storable key written into it, reads the key back, and
// keeps every other byte and the value of every other key.
//
// Input: SECTION "\n" KEY "\n" VALUE "\n" FILE.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/ini/ProfileText.h"

namespace {

using kestrova::findProfileValue;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Section and key names as a rough reading of the file finds them; the property checked
// with them holds for any pair, so the reading need not match the reader's.
std::vector<std::pair<std::string, std::string>> namesIn(std::string_view file) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    while (!file.empty()) {
        std::string_view line = file.substr(0, file.find('\n'));
        file.remove_prefix(std::min(file.size(), line.size() + 1));
        line = trimmed(line.substr(0, line.find('\r')));
        if (line.starts_with('[')) {
            section = trimmed(line.substr(1, line.find(']') - 1));
        } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, trimmed(line.substr(0, equals)));
        }
    }
    return names;
}

// Whether the reader takes section and key for the entry that was written.
bool namesWritten(const std::string& section, const std::string& key,
                  std::string_view writtenSection, std::string_view writtenKey) {
    if (section.find(']') != std::string::npos || key.find('=') != std::string::npos) {
        return false;
    }
    return findProfileValue("[" + section + "]\n" + key + "=x\n", writtenSection, writtenKey) ==
           "x";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = kestrova::fuzz::fields(kestrova::fuzz::text(data, size), 4);
    const std::string_view section = parts[0], key = parts[1], value = parts[2], file = parts[3];
    if (!kestrova::isStorableProfileEntry(section, key, value)) {
        return 0;
    }
    const std::string written = kestrova::setProfileValue(file, section, key, value);
    FUZZ_CHECK(findProfileValue(written, section, key) == std::string(trimmed(value)));

    // One splice: what was taken out lies within one line, so no line is lost.
    std::size_t head = 0, tail = 0;
    while (head < file.size() && head < written.size() && file[head] == written[head]) {
        ++head;
    }
    while (tail < file.size() - head && tail < written.size() - head &&
           file[file.size() - 1 - tail] == written[written.size() - 1 - tail]) {
        ++tail;
    }
    FUZZ_CHECK(file.substr(head, file.size() - head - tail).find('\n') == std::string_view::npos);

    for (const auto& [otherSection, otherKey] : namesIn(file)) {
        if (!namesWritten(otherSection, otherKey, section, key)) {
            FUZZ_CHECK(findProfileValue(written, otherSection, otherKey) ==
                       findProfileValue(file, otherSection, otherKey));
        }
    }
    return 0;
}
