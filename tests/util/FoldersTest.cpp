// Folder chains and trees on real temporary folders, links to the outside included.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"
#include "util/Folders.h"
#include "util/PathCanonical.h"

namespace fs = std::filesystem;
using kestrova::test::readFile;
using kestrova::test::TempDir;
using kestrova::test::writeFile;

namespace {

TEST(CreateDirChain, CreatesEveryMissingLevelOrStopsAtAFile) {
    for (const std::wstring tail : {L"/a/b/c", L"\\a\\b\\c\\", L"//a//b/c/"}) {
        SCOPED_TRACE(fs::path(tail).string());
        TempDir tmp;
        fs::create_directory(tmp / "a");
        writeFile(tmp / "a/keep", "x");
        const std::wstring path = tmp.path().wstring() + tail;
        EXPECT_TRUE(createDirChain(path));
        EXPECT_TRUE(fs::is_directory(tmp / "a/b/c"));
        EXPECT_EQ(readFile(tmp / "a/keep"), "x");
        EXPECT_TRUE(createDirChain(path)) << "nothing missing is still success";
    }
    TempDir tmp;
    writeFile(tmp / "file", "data");
    EXPECT_FALSE(createDirChain((tmp / "new/../file/b/c").wstring()));
    EXPECT_TRUE(fs::is_directory(tmp / "new")) << "levels made before the failure stay";
    EXPECT_EQ(readFile(tmp / "file"), "data");
    EXPECT_FALSE(createDirChain(L""));
    EXPECT_FALSE(createDirChain(std::wstring(L"\0/x", 3)));
}

// Files, dot-named and read-only entries go; links go as files, whether inside the tree or
// given as the tree, and what they point at stays whole. A missing path or a file is no tree.
TEST(DeleteDirTree, RemovesEverythingButNeverFollowsALink) {
    for (const std::wstring suffix : {L"", L"/"}) {
        TempDir tmp;
        const fs::path outside = tmp / "outside";
        fs::create_directories(outside / "sub");
        writeFile(outside / "sub/precious", "p");
        const fs::path root = tmp / "cache";
        fs::create_directories(root / "nested/deeper");
        fs::create_directories(root / ".hidden/inside");
        writeFile(root / ".dotfile", "dot");
        writeFile(root / "nested/deeper/leaf", "leaf");
        writeFile(root / "read-only", "ro");
        fs::permissions(root / "read-only", fs::perms::owner_read);
        fs::create_directory_symlink(outside, root / "dirlink");
        fs::create_directory_symlink(outside, root / "nested/.hiddenlink");
        fs::create_symlink(outside / "sub/precious", root / "filelink");
        fs::create_symlink(tmp / "nowhere", root / "dangling");
        fs::create_directory_symlink(outside, tmp / "toplink");

        EXPECT_TRUE(deleteDirTree(root.wstring() + suffix));
        EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
        EXPECT_FALSE(deleteDirTree((tmp / "toplink").wstring() + suffix));
        EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "toplink")));
        EXPECT_EQ(readFile(outside / "sub/precious"), "p");
        EXPECT_FALSE(deleteDirTree((tmp / "missing").wstring()));
    }
    TempDir tmp;
    writeFile(tmp / "file", "f");
    EXPECT_FALSE(deleteDirTree((tmp / "file").wstring())) << "a file is not a tree";
    EXPECT_FALSE(fs::exists(tmp / "file")) << "but it is deleted";
}

TEST(GetExeDir, IsTheCleanFolderOfTheRunningProgram) {
    EXPECT_EQ(getExeDir(), fs::canonical("/proc/self/exe").parent_path().wstring());
    const std::pair<const char*, const char*> rows[] = {
        {"/a/./b/../c", "/a/c"}, {"/a/../../..", "/"},         {"//a///b//", "/a/b"},
        {"a/../..", ".."},       {"/a/.../..b", "/a/.../..b"},
    };
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(kestrova::removeDotSegments(in), out) << in;
    }
}

}  // namespace
