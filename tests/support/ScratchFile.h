// SPDX-License-Identifier: MIT
// One real file for a whole fuzzing process, for readers that take a path:
// rewritten for every input and removed at exit. It lives in memory
// (/dev/shm) unless TMPDIR says otherwise: emptying a file on disk costs
// milliseconds, which would make the file most of each run's time.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include <unistd.h>

namespace lumo_test_support {

class CScratchFile {
public:
    // name: a word for the file's name; suffix: how the name must end (a reader may look at it).
    explicit CScratchFile(const std::string& name, const std::string& suffix = "")
    {
        const char* dir = std::getenv("TMPDIR");
        const std::string folder = dir && *dir ? dir : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = folder + "/lumo-fuzz-" + name + "-XXXXXX" + suffix;
        m_fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
        if (m_fd < 0)
            throw std::runtime_error("no temporary file: " + std::string(std::strerror(errno)));
        m_path = pattern;
    }
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;
    ~CScratchFile()
    {
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }

    const std::string& Write(std::string_view bytes)
    {
        if (::ftruncate(m_fd, 0) != 0)
            throw std::runtime_error("cannot empty the temporary file");
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0)
                throw std::runtime_error("cannot write the temporary file");
            done += static_cast<std::size_t>(n);
        }
        return m_path;
    }

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace lumo_test_support
