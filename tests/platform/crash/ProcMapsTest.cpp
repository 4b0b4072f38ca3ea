// Reading /proc/self/maps lines and answering which memory may be read.
#include <gtest/gtest.h>

#include <string>

#include "platform/crash/DumpModules.h"
#include "platform/crash/ProcMaps.h"

namespace kestrova {
namespace {

TEST(ProcMapsLine, ParsesTheFieldsOrRejectsTheLine) {
    struct Row {
        const char* line;
        bool parses;
        uint64_t start, end, offset, inode;
        bool readable, executable;
        const char* path;
    };
    const Row rows[] = {
        {"55784e487000-55784e48c000 r-xp 00002000 fe:00 10954085   /tmp/ct/prog", true,
         0x55784e487000, 0x55784e48c000, 0x2000, 10954085, true, true, "/tmp/ct/prog"},
        {"7ffc89881000-7ffc898a2000 rw-p 00000000 00:00 0                  [stack]", true,
         0x7ffc89881000, 0x7ffc898a2000, 0, 0, true, false, "[stack]"},
        {"7f54af7f3000-7f54af800000 ---p 00000000 00:00 0 ", true, 0x7f54af7f3000, 0x7f54af800000,
         0, 0, false, false, ""},
        {"1000-2000 r--p 00000000 08:01 42 /opt/a b/lib.so (deleted)", true, 0x1000, 0x2000, 0, 42,
         true, false, "/opt/a b/lib.so (deleted)"},
        {"2000-1000 r--p 00000000 08:01 42 /end/before/start", false},
        {"1000-2000 r--p 00000000 08:01", false},
        {"10000000000000000-2000 r--p 00000000 08:01 42 /x", false},
        {"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        MapsEntry entry;
        const std::string line = row.line;
        ASSERT_EQ(parseMapsLine(line.data(), line.size(), entry), row.parses);
        if (!row.parses) {
            continue;
        }
        EXPECT_EQ(entry.start, row.start);
        EXPECT_EQ(entry.end, row.end);
        EXPECT_EQ(entry.offset, row.offset);
        EXPECT_EQ(entry.inode, row.inode);
        EXPECT_EQ(entry.readable, row.readable);
        EXPECT_EQ(entry.executable, row.executable);
        EXPECT_EQ(std::string(entry.path, entry.pathLength), row.path);
    }
}

TEST(ProcMapsView, KeepsOrderedWholeLinesUpToItsCapacityAndAnswersReadability) {
    const std::string text =
        "1000-2000 r--p 00000000 08:01 7 /lib/a.so\n"
        "2000-3000 r-xp 00001000 08:01 7 /lib/a.so\n"
        "3000-4000 ---p 00000000 00:00 0 \n"
        "2800-2900 rw-p 00000000 00:00 0 \n"  // overlaps an earlier range: dropped
        "not a mapping\n"
        "5000-6000 rw-p 00000000 00:00 0 [heap]\n"
        "7000-8000 rw-p 00000000 00:00 0 [stack]";  // cut by a short read: dropped
    MapsEntry storage[8];
    MapsView maps(storage, 8);
    ASSERT_EQ(maps.parse(text.data(), text.size()), 4u);
    EXPECT_EQ(maps[3].start, 0x5000u);
    MapsView full(storage, 2);
    EXPECT_EQ(full.parse(text.data(), text.size()), 2u) << "parsing stops at the capacity";

    EXPECT_EQ(maps.find(0x2fff), &maps[1]);
    EXPECT_EQ(maps.find(0x4000), nullptr);
    EXPECT_EQ(maps.find(0x7000), nullptr);
    EXPECT_EQ(maps.findAtOrAbove(0x4800), &maps[3]);
    EXPECT_EQ(maps.findAtOrAbove(0x6000), nullptr);

    struct Row {
        uint64_t address, length;
        bool readable;
    };
    const Row rows[] = {
        {0x1000, 0x2000, true},  // across two adjoining readable mappings
        {0x1ff0, 0x20, true},    // straddling their border
        {0x2ff0, 0x20, false},   // runs into an unreadable mapping
        {0x4800, 1, false},      // in a hole
        {0x5ff0, 0x20, false},   // runs past the last mapping
        {UINT64_MAX - 8, 16, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.address);
        EXPECT_EQ(maps.isReadable(row.address, row.length), row.readable);
    }
}

TEST(DumpNames, Utf8BecomesUtf16WithReplacementOfMalformedBytes) {
    struct Row {
        const char* utf8;
        std::u16string utf16;
    };
    const Row rows[] = {
        {"/opt/阅读器/程序", u"/opt/阅读器/程序"},
        {"/x/\xf0\x9f\x98\x80", u"/x/\U0001F600"},      // outside the BMP: a surrogate pair
        {"/x/\xff/y", u"/x/\xfffd/y"},                  // not a lead byte
        {"/x/\xc0\xaf", u"/x/\xfffd\xfffd"},            // overlong form of "/"
        {"/x/\xed\xa0\x80", u"/x/\xfffd\xfffd\xfffd"},  // an encoded surrogate
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.utf8);
        char16_t out[64];
        const std::string in = row.utf8;
        const size_t units = utf8ToUtf16(in.data(), in.size(), out, 64);
        EXPECT_EQ(std::u16string(out, units), row.utf16);
    }
    // Counting goes on past the capacity, so a caller can tell the text was cut.
    char16_t small[2];
    EXPECT_EQ(utf8ToUtf16("abcd", 4, small, 2), 4u);
    EXPECT_EQ(std::u16string(small, 2), u"ab");
}

}  // namespace
}  // namespace kestrova
