// A pop-up on the headless backend with a recording link opener: the screen and the work
// area are whatever the test says, and every link handed to the shell is kept.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/UIHeadless.h"
#include "tests/support/TempDir.h"
#include "ui/FloatDlg.h"

namespace kestrova::uitest {

// Exposes what the tests check and counts the slide ticks the timer delivers.
class TestDlg : public CFloatDlg {
public:
    int slideTicks = 0;
    std::vector<RECT> tickRects;

    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    CPaintManagerUI& pm() { return m_pm; }
    int width() const { return m_nWidth; }
    int height() const { return m_nHeight; }
};

class DlgTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new pop-up, created as the program creates it; it owns itself from then on.
    TestDlg* create();
    RECT rect() const;
    const ui::HeadlessBackend::WindowState* state() const;
    // Releases the left button at client y, 10 pixels in from the left edge, without a
    // preceding press.
    void releaseAt(int y);

    ui::HeadlessBackend* headless = nullptr;
    TestDlg* dlg = nullptr;
    HWND hwnd = nullptr;
    std::vector<std::string> opened;
};

// A picture file of w x h in a temporary folder, its quadrants red, green, blue and yellow
// (top left, top right, bottom left, bottom right), removed with the object.
class QuadrantPicture {
public:
    enum class Encoding { Png, Jpeg };
    QuadrantPicture(int w, int h, Encoding encoding = Encoding::Png);
    const std::wstring& path() const { return m_path; }

private:
    test::TempDir m_dir;
    std::wstring m_path;
};

}  // namespace kestrova::uitest
