// Folder chains and trees on real temporary folders, links to the outside included.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

std::wstring wide(const fs::path& path) {
    return path.wstring();
}

std::wstring withBackslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

TEST(CreateDirChain, CreatesEveryMissingLevelWhateverTheSeparators) {
    struct Row {
        const char* label;
        std::wstring (*spell)(const fs::path& base);
    };
    const Row rows[] = {
        {"slashes", [](const fs::path& b) { return wide(b / "a/b/c"); }},
        {"trailing slash", [](const fs::path& b) { return wide(b / "a/b/c/"); }},
        {"backslashes", [](const fs::path& b) { return withBackslashes(wide(b / "a/b/c")); }},
        {"trailing backslash",
         [](const fs::path& b) { return withBackslashes(wide(b / "a/b/c")) + L"\\"; }},
        {"doubled separators", [](const fs::path& b) { return wide(b) + L"//a//b//c"; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir tmp;
        fs::create_directory(tmp / "a");
        writeFile(tmp / "a/keep", "x");

        EXPECT_TRUE(createDirChain(row.spell(tmp.path())));
        EXPECT_TRUE(fs::is_directory(tmp / "a/b/c"));
        EXPECT_EQ(readFile(tmp / "a/keep"), "x");
        // Every level exists now, so a second call has nothing to do and still succeeds.
        EXPECT_TRUE(createDirChain(row.spell(tmp.path())));
    }
}

TEST(CreateDirChain, StopsAtALevelThatIsAFile) {
    TempDir tmp;
    fs::create_directory(tmp / "a");
    writeFile(tmp / "a/file", "data");

    EXPECT_FALSE(createDirChain(wide(tmp / "a/file/b/c")));
    EXPECT_EQ(readFile(tmp / "a/file"), "data");
    EXPECT_FALSE(fs::exists(tmp / "a/file/b"));
}

TEST(CreateDirChain, KeepsTheLevelsCreatedBeforeAFailure) {
    TempDir tmp;
    fs::create_directories(tmp / "a/b");
    writeFile(tmp / "a/b/c", "");

    EXPECT_FALSE(createDirChain(wide(tmp / "a/x/y/../../b/c/d")));
    EXPECT_TRUE(fs::is_directory(tmp / "a/x/y"));
}

TEST(CreateDirChain, RejectsAnEmptyPath) {
    EXPECT_FALSE(createDirChain(L""));
    EXPECT_FALSE(createDirChain(std::wstring(L"\0abc", 4)));
}

TEST(CreateDirChain, FollowsALinkToAFolderAsAnExistingLevel) {
    TempDir tmp;
    fs::create_directory(tmp / "real");
    fs::create_directory_symlink(tmp / "real", tmp / "link");

    EXPECT_TRUE(createDirChain(wide(tmp / "link/sub")));
    EXPECT_TRUE(fs::is_directory(tmp / "real/sub"));
}

// A tree with files, nested, dot-named and empty folders.
void buildTree(const fs::path& root) {
    fs::create_directories(root / "nested/deeper/deepest");
    fs::create_directories(root / ".hidden/inside");
    fs::create_directories(root / "empty");
    writeFile(root / "top.png", "png");
    writeFile(root / ".dotfile", "dot");
    writeFile(root / "nested/deeper/deepest/leaf", "leaf");
    writeFile(root / ".hidden/inside/secret", "s");
    const fs::path readOnly = root / "nested/read-only";
    writeFile(readOnly, "ro");
    fs::permissions(readOnly, fs::perms::owner_read);
}

TEST(DeleteDirTree, RemovesEverythingDotNamedEntriesIncluded) {
    TempDir tmp;
    const fs::path root = tmp / "cache";
    buildTree(root);

    EXPECT_TRUE(deleteDirTree(wide(root)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
}

TEST(DeleteDirTree, AcceptsATrailingSeparator) {
    TempDir tmp;
    buildTree(tmp / "cache");

    EXPECT_TRUE(deleteDirTree(wide(tmp / "cache") + L"/"));
    EXPECT_FALSE(fs::exists(tmp / "cache"));
}

TEST(DeleteDirTree, MissingPathChangesNothing) {
    TempDir tmp;
    writeFile(tmp / "other", "o");

    EXPECT_FALSE(deleteDirTree(wide(tmp / "missing")));
    EXPECT_EQ(readFile(tmp / "other"), "o");
}

TEST(DeleteDirTree, FilePathIsDeletedButReportsFalse) {
    TempDir tmp;
    writeFile(tmp / "file", "f");

    EXPECT_FALSE(deleteDirTree(wide(tmp / "file")));
    EXPECT_FALSE(fs::exists(tmp / "file"));
}

// Links inside the tree go as files; whatever they point at, outside the tree, stays whole.
TEST(DeleteDirTree, NeverFollowsLinksOutOfTheTree) {
    TempDir tmp;
    const fs::path outside = tmp / "outside";
    fs::create_directories(outside / "sub");
    writeFile(outside / "precious", "p");
    writeFile(outside / "sub/also", "a");

    const fs::path root = tmp / "cache";
    fs::create_directories(root / "nested");
    fs::create_directory_symlink(outside, root / "dirlink");
    fs::create_directory_symlink(outside, root / "nested/.hiddenlink");
    fs::create_symlink(outside / "precious", root / "filelink");
    fs::create_symlink(tmp / "nowhere", root / "dangling");

    EXPECT_TRUE(deleteDirTree(wide(root)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ(readFile(outside / "precious"), "p");
    EXPECT_EQ(readFile(outside / "sub/also"), "a");
}

TEST(DeleteDirTree, ALinkGivenAsTheTreeIsRemovedNotItsTarget) {
    for (const std::wstring suffix : {L"", L"/"}) {
        SCOPED_TRACE(suffix.empty() ? "plain" : "trailing slash");
        TempDir tmp;
        fs::create_directory(tmp / "target");
        writeFile(tmp / "target/precious", "p");
        fs::create_directory_symlink(tmp / "target", tmp / "link");

        EXPECT_FALSE(deleteDirTree(wide(tmp / "link") + suffix));
        EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "link")));
        EXPECT_EQ(readFile(tmp / "target/precious"), "p");
    }
}

TEST(GetExeDir, IsTheFolderOfTheRunningProgram) {
    const fs::path exe = fs::canonical("/proc/self/exe");
    EXPECT_EQ(getExeDir(), exe.parent_path().wstring());
    EXPECT_EQ(toLongPath(L"/x/y"), L"/x/y");
}

TEST(RemoveDotSegments, CleansPathsTextually) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"/a/b/c", "/a/b/c"},
        {"/a/./b/.", "/a/b"},
        {"/a/b/../c", "/a/c"},
        {"/a/b/../../..", "/"},
        {"/..", "/"},
        {"//a///b//", "/a/b"},
        {"/", "/"},
        {"a/../..", ".."},
        {"../x/./y", "../x/y"},
        {"a/..", "."},
        {"/a/.../b", "/a/.../b"},
        {"/a/..b/c", "/a/..b/c"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(kestrova::removeDotSegments(row.in), row.out);
    }
}

}  // namespace
