// SPDX-License-Identifier: MIT
// Replacing a saved file: what the mode, the folder's rights and the owner
// mean for a save, for root as for anyone else.
#include "data/FileReplace.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const std::filesystem::path& file)
{
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st;
}

// Runs body where the folder cannot be written but a file of the caller's
// own can: as root in a child process as another user, else with the folder
// write-protected. Returns body's result (false when it could not run).
bool InUnwritableFolder(const std::filesystem::path& folder, const std::filesystem::path& file,
                        const std::function<bool()>& body)
{
    if (::geteuid() != 0) {
        ::chmod(folder.c_str(), 0555);
        const bool result = body();
        ::chmod(folder.c_str(), 0755);
        return result;
    }
    ::chmod(folder.c_str(), 0755);
    if (std::filesystem::exists(file) && ::chown(file.c_str(), kNobody, kNobody) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A file without any write bit is read-only for every user, root included;
// any write bit lets its owner (and root) replace it, keeping the mode.
TEST(FileReplace, WriteBitsDecideForRootToo)
{
    const struct {
        mode_t mode;
        bool replaced;
    } cases[] = {{0444, false}, {0400, false}, {0000, false}, {0555, false},
                 {0644, true},  {0600, true},  {0200, true},  {0640, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TTempFolder dir;
        const auto file = dir / "settings.xml";
        WriteWholeFile(file, "old");
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        EXPECT_EQ(ReplaceFileContents(file, "new"), c.replaced);
        EXPECT_EQ(ReadWholeFile(file), c.replaced ? "new" : "old");
        EXPECT_EQ(StatOf(file).st_mode & 07777, c.mode);
        EXPECT_EQ(EntryCount(dir.Path()), 1u) << "no temporary file left";
    }
}

TEST(FileReplace, OwnerAndGroupAreKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    TTempFolder dir;
    const auto file = dir / "waveforms.dat";
    WriteWholeFile(file, "old");
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(ReplaceFileContents(file, "new"));
    EXPECT_EQ(ReadWholeFile(file), "new");
    EXPECT_EQ(StatOf(file).st_uid, kNobody);
    EXPECT_EQ(StatOf(file).st_gid, kNobody);
    // A new file belongs to whoever saves it.
    ASSERT_TRUE(ReplaceFileContents(dir / "new.dat", "x"));
    EXPECT_EQ(StatOf(dir / "new.dat").st_uid, ::geteuid());
}

// No temporary file can be made beside the file: the file itself is rewritten.
TEST(FileReplace, WritableFileInUnwritableFolderIsWrittenInPlace)
{
    TTempFolder dir;
    const auto file = dir / "settings.xml";
    WriteWholeFile(file, "a much longer old content");
    const ino_t inode = StatOf(file).st_ino;
    EXPECT_TRUE(InUnwritableFolder(dir.Path(), file, [&] {
        return ReplaceFileContents(file, [](std::ostream& out) { out << "new"; }) && ReadWholeFile(file) == "new";
    }));
    EXPECT_EQ(ReadWholeFile(file), "new");
    EXPECT_EQ(StatOf(file).st_ino, inode);
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(FileReplace, UnwritableFolderRefusesWhatCannotBeWrittenInPlace)
{
    TTempFolder dir;
    const auto file = dir / "settings.xml";
    WriteWholeFile(file, "old");
    // A writer that fails leaves the old content, though no copy could be made.
    EXPECT_TRUE(InUnwritableFolder(dir.Path(), file, [&] {
        try {
            ReplaceFileContents(file, [](std::ostream& out) {
                out << "partial";
                throw std::runtime_error("damaged list");
            });
        } catch (const std::runtime_error&) {
            return ReadWholeFile(file) == "old";
        }
        return false;
    }));
    // A read-only file, and a file that does not exist yet.
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_TRUE(InUnwritableFolder(dir.Path(), file, [&] {
        return !ReplaceFileContents(file, "new") && !ReplaceFileContents(dir / "waveforms.dat", "new");
    }));
    EXPECT_EQ(ReadWholeFile(file), "old");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

} // namespace
