// SPDX-License-Identifier: MIT
#include "StreamIo.h"

#include "platform/Archive.h"
#include "platform/Exceptions.h"

#include <cerrno>
#include <charconv>
#include <optional>
#include <set>
#include <utility>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo_cli {

namespace {

// The descriptor a name stands for, for names that mean "the one this
// process was given": these are used as they are, never opened again, so a
// redirection's offset and append mode hold and a socket works too.
std::optional<int> InheritedDescriptor(const std::string& path, bool bOutput)
{
    if (path == "-")
        return bOutput ? 1 : 0;
    if (path == "/dev/stdin")
        return 0;
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/")}) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
            int fd = -1;
            const char* first = path.data() + prefix.size();
            const char* last = path.data() + path.size();
            const auto [end, ec] = std::from_chars(first, last, fd);
            if (ec == std::errc() && end == last && fd >= 0)
                return fd;
        }
    }
    return std::nullopt;
}

// An inherited descriptor, or the stream opened; closes only what it opened.
class CStreamHandle {
public:
    CStreamHandle(const std::string& path, int nFlags)
    {
        if (const std::optional<int> fd = InheritedDescriptor(path, (nFlags & O_ACCMODE) != O_RDONLY)) {
            struct stat st {};
            if (::fstat(*fd, &st) != 0)
                CFileException::ThrowOsError(errno, path);
            m_fd = *fd;
            return;
        }
        m_fd = ::open(path.c_str(), nFlags | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            CFileException::ThrowOsError(errno, path);
        m_bOwned = true;
    }
    ~CStreamHandle()
    {
        if (m_bOwned)
            ::close(m_fd);
    }
    CStreamHandle(const CStreamHandle&) = delete;
    CStreamHandle& operator=(const CStreamHandle&) = delete;
    int Get() const { return m_fd; }
    bool IsInherited() const { return !m_bOwned; }

private:
    int m_fd = -1;
    bool m_bOwned = false;
};

}  // namespace

bool IsStream(const std::string& path)
{
    if (InheritedDescriptor(path, false))
        return true;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

std::string ReadStream(const std::string& path, std::size_t nMaxBytes)
{
    CStreamHandle stream(path, O_RDONLY);
    // What was given to the process is read once: a second "-" would find
    // it empty and pass for an empty file. Known by what it leads to, as
    // descriptor numbers are reused.
    static std::set<std::pair<dev_t, ino_t>> s_readInherited;
    struct stat st {};
    if (stream.IsInherited() && ::fstat(stream.Get(), &st) == 0 &&
        !s_readInherited.insert({st.st_dev, st.st_ino}).second)
        throw std::invalid_argument(path == "-" || path == "/dev/stdin"
                                        ? "standard input was read already; it can be named only once"
                                        : "this descriptor was read already; it can be named only once");
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(stream.Get(), buffer, sizeof buffer);
        if (n == 0)
            return bytes;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowOsError(errno, path);
        }
        if (static_cast<std::size_t>(n) > nMaxBytes - bytes.size())
            throw std::length_error("over " + std::to_string(nMaxBytes) +
                                    " bytes arrived; lumo reads at most that much from a pipe or device (save it "
                                    "to a file and name the file instead)");
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

UINT ReadEntryInput(const std::string& path, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular)
{
    if (!IsStream(path))
        return ReadEntryFile(path, pEntries, pIrregular);
    const std::string bytes = ReadStream(path);
    CArchive ar{std::string_view(bytes)};
    return ReadEntries(ar, pEntries, pIrregular);
}

std::string ReadTextInput(const std::string& path)
{
    return IsStream(path) ? ReadStream(path) : ReadWholeFile(path);
}

void WriteStreamOutput(const std::string& path,
                       const std::function<void(const std::function<void(const char*, std::size_t)>&)>& produce)
{
    CStreamHandle stream(path, O_WRONLY);
    produce([&](const char* pBytes, std::size_t nCount) {
        std::string_view bytes(pBytes, nCount);
        while (!bytes.empty()) {
            const ssize_t n = ::write(stream.Get(), bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                CFileException::ThrowOsError(errno, path);
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    });
}

void WriteOutput(const std::string& path, std::string_view bytes)
{
    if (!IsStream(path)) {
        ReplaceFile(path, bytes);
        return;
    }
    WriteStreamOutput(path, [&](const auto& write) { write(bytes.data(), bytes.size()); });
}

void WriteEntryOutput(const std::string& path, const std::vector<Entry>& entries)
{
    if (!IsStream(path)) {
        WriteEntryFile(path, entries);
        return;
    }
    std::string bytes;
    {
        CArchive ar(&bytes);
        WriteEntries(ar, entries);
        ar.Close();
    }
    WriteOutput(path, bytes);
}

}  // namespace lumo_cli
