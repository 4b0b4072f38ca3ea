// The private-profile format on a file's bytes: finding a value, and splicing a new one
// in while every other byte is kept.
#include "platform/ini/ProfileText.h"

#include <cstdint>
#include <cwctype>
#include <iterator>
#include <vector>

#include <utf8.h>

namespace kestrova {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class LineKind { Other, Section, Key };

// One line of the file as byte offsets into it, so that a write can splice the file
// without touching anything it does not mean to change.
struct Line {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::size_t valueBegin = 0;  // keys: where the value text starts
    std::size_t textEnd = 0;     // end of the line's text, before "\r\n" or "\n"
    std::size_t end = 0;         // start of the next line
    bool blank = true;
    bool terminated = false;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::u32string foldCase(std::string_view utf8) {
    std::string valid;
    utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid));
    std::u32string folded;
    for (auto it = valid.begin(); it != valid.end();) {
        const auto cp = static_cast<wint_t>(utf8::unchecked::next(it));
        folded.push_back(static_cast<char32_t>(std::towlower(cp)));
    }
    return folded;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && a == b) {
        return true;
    }
    return foldCase(a) == foldCase(b);
}

void classify(std::string_view file, Line& line, std::size_t begin) {
    const std::string_view text = file.substr(begin, line.textEnd - begin);
    const std::string_view trimmed = trim(text);
    line.blank = trimmed.empty();
    if (trimmed.empty() || trimmed.front() == ';') {
        return;
    }
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = trim(trimmed.substr(1, close - 1));
        }
        return;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    line.kind = LineKind::Key;
    line.name = trim(text.substr(0, equals));
    std::size_t valueBegin = begin + equals + 1;
    while (valueBegin < line.textEnd && isBlank(file[valueBegin])) {
        ++valueBegin;
    }
    line.valueBegin = valueBegin;
}

std::vector<Line> scan(std::string_view file) {
    std::vector<Line> lines;
    std::size_t begin = file.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (begin < file.size()) {
        Line line;
        const std::size_t newline = file.find('\n', begin);
        line.terminated = newline != std::string_view::npos;
        line.end = line.terminated ? newline + 1 : file.size();
        line.textEnd = line.terminated ? newline : file.size();
        if (line.textEnd > begin && file[line.textEnd - 1] == '\r') {
            --line.textEnd;
        }
        classify(file, line, begin);
        lines.push_back(line);
        begin = line.end;
    }
    return lines;
}

// Where a section and a key in it were found.
struct Found {
    bool section = false;
    const Line* key = nullptr;
    const Line* lastFilled = nullptr;  // last non-blank line of the section, its header included
};

Found locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found found;
    section = trim(section);
    key = trim(key);
    for (const Line& line : lines) {
        if (line.kind == LineKind::Section) {
            if (found.section) {
                break;
            }
            found.section = sameName(line.name, section);
            if (found.section) {
                found.lastFilled = &line;
            }
            continue;
        }
        if (!found.section) {
            continue;
        }
        if (!line.blank) {
            found.lastFilled = &line;
        }
        if (line.kind == LineKind::Key && found.key == nullptr && sameName(line.name, key)) {
            found.key = &line;
        }
    }
    return found;
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string line(trim(key));
    line += '=';
    line += value;
    line += '\n';
    return line;
}

}  // namespace

std::optional<std::string> findProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key) {
    const std::vector<Line> lines = scan(file);
    const Found found = locate(lines, section, key);
    if (found.key == nullptr) {
        return std::nullopt;
    }
    const Line& line = *found.key;
    return std::string(trim(file.substr(line.valueBegin, line.textEnd - line.valueBegin)));
}

std::string setProfileValue(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view value) {
    const std::vector<Line> lines = scan(file);
    const Found found = locate(lines, section, key);
    std::string out;
    out.reserve(file.size() + section.size() + key.size() + value.size() + 8);

    if (found.key != nullptr) {
        out.append(file.substr(0, found.key->valueBegin));
        out.append(value);
        out.append(file.substr(found.key->textEnd));
        return out;
    }
    if (found.section) {
        const Line& after = *found.lastFilled;
        out.append(file.substr(0, after.end));
        if (!after.terminated) {
            out += '\n';
        }
        out += keyLine(key, value);
        out.append(file.substr(after.end));
        return out;
    }
    out.append(file);
    if (!out.empty() && out.back() != '\n') {
        out += '\n';
    }
    out += '[';
    out.append(trim(section));
    out += "]\n";
    out += keyLine(key, value);
    return out;
}

bool isStorableProfileEntry(std::string_view section, std::string_view key,
                            std::string_view value) {
    const auto hasLineBreak = [](std::string_view text) {
        return text.find_first_of("\r\n") != std::string_view::npos;
    };
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
        return false;
    }
    const std::string_view name = trim(key);
    const bool readsAsOther = !name.empty() && (name.front() == ';' || name.front() == '[');
    return section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           !readsAsOther;
}

std::wstring profileUtf8ToWide(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
    std::wstring wide;
    wide.reserve(valid.size());
    for (auto it = valid.begin(); it != valid.end();) {
        wide.push_back(static_cast<wchar_t>(utf8::unchecked::next(it)));
    }
    return wide;
}

std::string profileWideToUtf8(std::wstring_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    auto sink = std::back_inserter(utf8);
    for (const wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            cp = 0xFFFD;
        }
        sink = utf8::unchecked::append(cp, sink);
    }
    return utf8;
}

}  // namespace kestrova
