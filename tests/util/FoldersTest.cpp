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

TEST(CreateDirChain, CreatesEveryMissingLevelWhateverTheSeparators) {
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
}

TEST(CreateDirChain, StopsAtALevelThatIsAFileAndRejectsAnEmptyPath) {
    TempDir tmp;
    writeFile(tmp / "file", "data");
    EXPECT_FALSE(createDirChain((tmp / "new/../file/b/c").wstring()));
    EXPECT_TRUE(fs::is_directory(tmp / "new")) << "levels made before the failure stay";
    EXPECT_EQ(readFile(tmp / "file"), "data");
    EXPECT_FALSE(createDirChain(L""));
    EXPECT_FALSE(createDirChain(std::wstring(L"\0/x", 3)));
}

TEST(DeleteDirTree, RemovesFilesAndEveryFolderDotNamedOnesIncluded) {
    for (const std::wstring suffix : {L"", L"/"}) {
        TempDir tmp;
        const fs::path root = tmp / "cache";
        fs::create_directories(root / "nested/deeper/deepest");
        fs::create_directories(root / ".hidden/inside");
        fs::create_directories(root / "empty");
        writeFile(root / ".dotfile", "dot");
        writeFile(root / "nested/deeper/deepest/leaf", "leaf");
        writeFile(root / ".hidden/inside/secret", "s");
        writeFile(root / "read-only", "ro");
        fs::permissions(root / "read-only", fs::perms::owner_read);

        EXPECT_TRUE(deleteDirTree(root.wstring() + suffix));
        EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    }
}

// Links go as files, whether inside the tree or given as the tree; what they point at,
// outside the tree, stays whole. A missing path or a file is not a tree.
TEST(DeleteDirTree, NeverFollowsALinkAndRefusesWhatIsNoTree) {
    TempDir tmp;
    const fs::path outside = tmp / "outside";
    fs::create_directories(outside / "sub");
    writeFile(outside / "sub/precious", "p");
    const fs::path root = tmp / "cache";
    fs::create_directories(root / "nested");
    fs::create_directory_symlink(outside, root / "dirlink");
    fs::create_directory_symlink(outside, root / "nested/.hiddenlink");
    fs::create_symlink(outside / "sub/precious", root / "filelink");
    fs::create_symlink(tmp / "nowhere", root / "dangling");
    fs::create_directory_symlink(outside, tmp / "toplink");

    EXPECT_TRUE(deleteDirTree(root.wstring()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_FALSE(deleteDirTree((tmp / "toplink").wstring() + L"/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "toplink")));
    EXPECT_EQ(readFile(outside / "sub/precious"), "p");

    EXPECT_FALSE(deleteDirTree((tmp / "missing").wstring()));
    EXPECT_FALSE(deleteDirTree((outside / "sub/precious").wstring())) << "a file is not a tree";
    EXPECT_FALSE(fs::exists(outside / "sub/precious")) << "but it is deleted";
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
