// Wide text as the window code handles it, and the name-or-number argument of the
// resource calls.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/UIDefs.h"

// A wide string with the handful of operations the window code uses. It converts to a
// plain pointer so it can be handed to any call that takes LPCTSTR.
class CDuiString {
public:
    CDuiString() = default;
    CDuiString(const wchar_t* text) : m_str(text ? text : L"") {}
    CDuiString(std::wstring text) : m_str(std::move(text)) {}
    CDuiString(std::wstring_view text) : m_str(text) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const wchar_t* GetData() const { return m_str.c_str(); }
    operator const wchar_t*() const { return m_str.c_str(); }
    const std::wstring& str() const { return m_str; }

    // Zero when equal, negative or positive by code-point order otherwise.
    int Compare(const wchar_t* text) const { return m_str.compare(text ? text : L""); }
    int CompareNoCase(const wchar_t* text) const;

    CDuiString operator+(const CDuiString& other) const { return CDuiString(m_str + other.m_str); }
    CDuiString operator+(const wchar_t* text) const {
        return CDuiString(m_str + (text ? text : L""));
    }
    CDuiString& operator+=(const wchar_t* text) {
        m_str += text ? text : L"";
        return *this;
    }
    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator==(const CDuiString& other) const { return m_str == other.m_str; }

private:
    std::wstring m_str;
};

// A resource named either by text or by integer id (an id travels as a small pointer
// value on Windows; here the two forms are simply kept apart).
class STRINGorID {
public:
    STRINGorID(const wchar_t* name) : m_name(name ? name : L""), m_isId(false) {}
    STRINGorID(UINT id) : m_id(id), m_isId(true) {}

    bool isId() const { return m_isId; }
    UINT id() const { return m_id; }
    const std::wstring& name() const { return m_name; }

private:
    std::wstring m_name;
    UINT m_id = 0;
    bool m_isId;
};

namespace kestrova::ui {

// UTF-8 <-> wide conversions for text that comes from markup or goes to pango. Malformed
// UTF-8 becomes U+FFFD rather than failing: a skin or an advert title is never fatal.
std::wstring fromUtf8(std::string_view text);
std::string toUtf8(std::wstring_view text);

}  // namespace kestrova::ui
