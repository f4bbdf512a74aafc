// SPDX-License-Identifier: MIT
// Whose files a save may go through, and which leftovers it may clear.
#include "data/FileReplace.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

namespace {

constexpr uid_t kNobody = 65534;

ino_t InodeOf(const std::filesystem::path& file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st.st_ino;
}

void SetAge(const std::filesystem::path& file, int seconds)
{
    struct timeval now {};
    ::gettimeofday(&now, nullptr);
    now.tv_sec -= seconds;
    const struct timeval times[2] = {now, now};
    ASSERT_EQ(::lutimes(file.c_str(), times), 0) << file;
}

// A link is followed only to a file of the saver's own (or root's); a link to
// another user's file is refused and both stay as they were.
TEST(FileReplaceOwner, LinkFollowedOnlyToOwnFiles)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    const struct {
        uid_t owner;
        bool saved;
    } cases[] = {{0, true}, {kNobody, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.owner);
        TTempFolder dir;
        const auto target = dir / "precious.txt";
        const auto link = dir / "settings.xml";
        WriteWholeFile(target, "old");
        ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
        ASSERT_EQ(::chown(target.c_str(), c.owner, c.owner), 0);
        std::filesystem::create_symlink(target, link);
        EXPECT_EQ(ReplaceFileContents(link, "new"), c.saved);
        EXPECT_EQ(ReadWholeFile(target), c.saved ? "new" : "old");
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(EntryCount(dir.Path()), 2u) << "no temporary file left";
    }
}

// In a folder of another user nothing is made beside the file: it is
// rewritten in place, and no leftover there is touched.
TEST(FileReplaceOwner, NoTemporaryFilesInAFolderOfAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    TTempFolder dir;
    const auto file = dir / "settings.xml";
    const auto leftover = dir / (".settings.xml.tmp-" + std::to_string(::getpid()) + "-77");
    WriteWholeFile(file, "old");
    WriteWholeFile(leftover, "x");
    SetAge(leftover, 3600);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(::chown(dir.Path().c_str(), kNobody, kNobody), 0);
    const ino_t inode = InodeOf(file);
    EXPECT_TRUE(ReplaceFileContents(file, "new"));
    EXPECT_EQ(ReadWholeFile(file), "new");
    EXPECT_EQ(InodeOf(file), inode);
    EXPECT_TRUE(std::filesystem::exists(leftover));
    // A new file there is made directly.
    EXPECT_TRUE(ReplaceFileContents(dir / "waveforms.dat", "w"));
    EXPECT_EQ(ReadWholeFile(dir / "waveforms.dat"), "w");
    EXPECT_EQ(EntryCount(dir.Path()), 3u);
}

// Only the exact leftovers of a save, the saver's own and old enough, go.
TEST(FileReplaceOwner, StaleCleanupTakesOnlyOldLeftoversOfOwnSaves)
{
    const std::string own = std::to_string(::getpid());
    const struct {
        std::string name;
        int age;
        bool removed;
    } cases[] = {
        {".settings.xml.tmp-4000000-precious-notes", 3600, false},
        {".settings.xml.tmp-4000000-3x", 3600, false},
        {".settings.xml.tmp-4000000-", 3600, false},
        {".settings.xml.tmp--3", 3600, false},
        {".settings.xml.tmp-4000000-3", 60, false},  // a save that may still run elsewhere
        {".settings.xml.tmp-1-3", 3600, false},       // a live process
        {".other.xml.tmp-4000000-3", 3600, false},
        {".settings.xml.tmp-4000000-3", 3600, true},
        {".settings.xml.tmp-" + own + "-99", 3600, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " age " + std::to_string(c.age));
        TTempFolder dir;
        const auto leftover = dir / c.name;
        WriteWholeFile(leftover, "keep me");
        SetAge(leftover, c.age);
        ASSERT_TRUE(ReplaceFileContents(dir / "settings.xml", "new"));
        EXPECT_EQ(std::filesystem::exists(leftover), !c.removed);
    }
    // Not a file of the saver's own, or not a plain file: never removed.
    TTempFolder dir;
    const auto folder = dir / ".settings.xml.tmp-4000000-4";
    const auto link = dir / ".settings.xml.tmp-4000000-5";
    const auto foreign = dir / ".settings.xml.tmp-4000000-6";
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(dir / "settings.xml", link);
    WriteWholeFile(foreign, "theirs");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(foreign.c_str(), kNobody, kNobody), 0);
    }
    for (const auto& p : {folder, link, foreign})
        SetAge(p, 3600);
    ASSERT_TRUE(ReplaceFileContents(dir / "settings.xml", "new"));
    EXPECT_TRUE(std::filesystem::exists(folder));
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
    if (root) {
        EXPECT_TRUE(std::filesystem::exists(foreign));
    }
}

} // namespace
