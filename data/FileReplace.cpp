// SPDX-License-Identifier: MIT
// Saving a file so that a failure never destroys the old one.
#include "data/FileReplace.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <streambuf>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owns a POSIX file descriptor.
class TFileHandle {
public:
    explicit TFileHandle(int fd) : Fd_(fd) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() { Close(); }
    int Get() const { return Fd_; }
    bool Close()
    {
        if (Fd_ < 0)
            return true;
        const int rc = ::close(Fd_);
        Fd_ = -1;
        return rc == 0;
    }

private:
    int Fd_;
};

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Buffered output straight into the temporary file; large blocks bypass the buffer.
class TFileStreamBuf : public std::streambuf {
public:
    explicit TFileStreamBuf(int fd) : Fd_(fd) { setp(Buffer_.data(), Buffer_.data() + Buffer_.size()); }
    bool Good() const { return Good_; }

protected:
    int_type overflow(int_type ch) override
    {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (n < static_cast<std::streamsize>(Buffer_.size()))
            return std::streambuf::xsputn(s, n);
        if (!Drain() || !WriteAll(Fd_, std::string_view(s, static_cast<std::size_t>(n)))) {
            Good_ = false;
            return 0;
        }
        return n;
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain()
    {
        const auto pending = static_cast<std::size_t>(pptr() - pbase());
        if (pending > 0 && !WriteAll(Fd_, std::string_view(pbase(), pending)))
            Good_ = false;
        setp(Buffer_.data(), Buffer_.data() + Buffer_.size());
        return Good_;
    }

    int Fd_;
    bool Good_ = true;
    std::array<char, 1 << 16> Buffer_{};
};

// The rename itself is only durable once the folder is on disk too.
void SyncFolder(const std::filesystem::path& folder)
{
    TFileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

std::string TemporaryPrefix(const std::filesystem::path& target)
{
    return "." + target.filename().string() + ".tmp-";
}

// A temporary file older than this belongs to a save that has ended: a save
// takes seconds, and a live writer keeps touching its file.
constexpr time_t kStaleAgeSeconds = 10 * 60;

// True for a run of 1 to 10 decimal digits: a process number or a counter.
bool IsNumber(std::string_view text)
{
    return !text.empty() && text.size() <= 10
           && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Exactly a name this program makes: the prefix, a process number, "-", a counter.
bool IsOwnTemporaryName(std::string_view name, std::string_view prefix, long& pid)
{
    if (name.substr(0, prefix.size()) != prefix)
        return false;
    name.remove_prefix(prefix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || !IsNumber(name.substr(0, dash)) || !IsNumber(name.substr(dash + 1)))
        return false;
    pid = std::strtol(std::string(name.substr(0, dash)).c_str(), nullptr, 10);
    return pid > 0;
}

// A save killed before its rename leaves its temporary file; the next save
// clears it. Only a plain file of the saver's own under an exact name of ours,
// old enough that no save can still be writing it (a process number alone
// says nothing: the writer may live in another PID namespace), and not of a
// process that lives here.
void RemoveStaleTemporaries(const std::filesystem::path& dir, const std::filesystem::path& target)
{
    const std::string prefix = TemporaryPrefix(target);
    const time_t now = ::time(nullptr);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        long pid = 0;
        if (!IsOwnTemporaryName(name, prefix, pid))
            continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()
            || now - st.st_mtime < kStaleAgeSeconds)
            continue;
        if (pid == ::getpid() || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            ::unlink(it->path().c_str());
    }
}

// Temporary files are made, and leftovers cleared, only in a folder of the
// saver's own: in anyone else's folder a name of ours may be theirs.
bool OwnFolder(const std::filesystem::path& dir)
{
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// A link is followed only to a file of the saver's own or root's; a new file
// at the end of a dangling link, only into a folder of the saver's own.
bool MayFollow(const std::filesystem::path& link, const std::filesystem::path& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        if (st.st_uid == ::geteuid() || st.st_uid == 0)
            return true;
    } else if (errno == ENOENT && OwnFolder(target.parent_path().empty() ? "." : target.parent_path())) {
        return true;
    }
    std::fprintf(stderr, "Not saving %s: it links to %s, which belongs to another user.\n", link.c_str(),
                 target.c_str());
    return false;
}

// A file without any write bit is read-only for everyone: root may pass the
// access check, but the user marked the file as not to be changed.
bool MayReplace(const std::filesystem::path& target, const struct stat& old)
{
    return !S_ISDIR(old.st_mode) && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
           && ::access(target.c_str(), W_OK) == 0;
}

// The new file takes the old one's owner and group where the system lets it
// (root, or a group the user is in), then its mode.
bool TakeOverOwnerAndMode(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Neither is permitted: the file is the saver's, as a new one would be.
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Where no file can be made beside the target (a folder the user may not
// write) the target itself is rewritten. The content is made first, so that a
// failing writer leaves the old file whole.
bool RewriteInPlace(const std::filesystem::path& target, const std::function<void(std::ostream&)>& write,
                    bool create = false)
{
    std::ostringstream content(std::ios::binary);
    write(content);
    if (!content)
        return false;
    const std::string data = std::move(content).str();
    TFileHandle file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT | O_EXCL : 0), 0666));
    if (file.Get() < 0)
        return false;
    bool ok = WriteAll(file.Get(), data) && ::ftruncate(file.Get(), static_cast<off_t>(data.size())) == 0
              && ::fsync(file.Get()) == 0;
    return file.Close() && ok;
}

} // namespace

bool ReplaceFileContents(const std::filesystem::path& link, const std::function<void(std::ostream&)>& write)
{
    static std::atomic<unsigned> counter{0};
    // A linked file is replaced where it lives; the link stays.
    std::error_code ec;
    std::filesystem::path target = link;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec))) {
        target = std::filesystem::weakly_canonical(link, ec);
        if (ec || !MayFollow(link, target))
            return false;
    }
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (exists && (S_ISLNK(old.st_mode) || !MayReplace(target, old)))
        return false;

    std::filesystem::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    if (!OwnFolder(dir))
        return RewriteInPlace(target, write, !exists);
    const std::filesystem::path temp =
        dir / (TemporaryPrefix(target) + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)));
    TFileHandle file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.Get() < 0)
        return exists && (errno == EACCES || errno == EPERM) && RewriteInPlace(target, write);
    bool ok = false;
    try {
        TFileStreamBuf buffer(file.Get());
        std::ostream out(&buffer);
        write(out);
        out.flush();
        ok = out.good() && buffer.Good();
    } catch (...) {
        file.Close();
        ::unlink(temp.c_str());
        throw;
    }
    if (ok && exists)
        ok = TakeOverOwnerAndMode(file.Get(), old);
    if (ok)
        ok = ::fsync(file.Get()) == 0;
    ok = file.Close() && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    RemoveStaleTemporaries(dir, target);
    SyncFolder(dir);
    return true;
}

bool RewritesInPlace(const std::filesystem::path& link)
{
    std::error_code ec;
    std::filesystem::path target = link;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec)))
        target = std::filesystem::weakly_canonical(link, ec);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    return !OwnFolder(dir) || ::access(dir.c_str(), W_OK | X_OK) != 0;
}

bool ReplaceFileContents(const std::filesystem::path& target, std::string_view data)
{
    return ReplaceFileContents(
        target, [data](std::ostream& out) { out.write(data.data(), static_cast<std::streamsize>(data.size())); });
}
