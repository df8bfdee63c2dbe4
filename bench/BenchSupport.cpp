// SPDX-License-Identifier: MIT
#include "BenchSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include <time.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumo_bench {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what, const fs::path& path)
{
    throw std::system_error(errno, std::generic_category(), what + " " + path.string());
}

class CFd {
public:
    CFd(const fs::path& path, int flags)
    {
        m_fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (m_fd < 0)
            ThrowErrno("cannot open", path);
    }
    ~CFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    void Close(const fs::path& path)
    {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            ThrowErrno("cannot close", path);
    }

private:
    int m_fd;
};

void WriteAll(int fd, const char* bytes, std::uint64_t nSize, const fs::path& path)
{
    while (nSize > 0) {
        const ssize_t n = ::write(fd, bytes, std::min<std::uint64_t>(nSize, 1u << 30));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno("cannot write", path);
        }
        bytes += n;
        nSize -= static_cast<std::uint64_t>(n);
    }
}

std::uint64_t ReadAll(int fd, char* bytes, std::uint64_t nSize, const fs::path& path)
{
    std::uint64_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t n = ::read(fd, bytes + nDone, std::min<std::uint64_t>(nSize - nDone, 1u << 30));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno("cannot read", path);
        }
        if (n == 0)
            break;
        nDone += static_cast<std::uint64_t>(n);
    }
    return nDone;
}

// The entry file's bytes, made a piece at a time into a reused buffer so the
// generator leaves no mark on the memory figures.
class CEntryFileMaker {
public:
    explicit CEntryFileMaker(const fs::path& path) : m_path(path), m_fd(path, O_WRONLY | O_CREAT | O_TRUNC)
    {
        m_buffer.reserve(kBufferSize + 4096);
    }
    void Le32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_buffer.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    // A record: its length, the text and the terminating 0x00.
    void Record(const std::string& text)
    {
        Le32(static_cast<std::uint32_t>(text.size() + 1));
        m_buffer.append(text);
        m_buffer.push_back('\0');
        if (m_buffer.size() >= kBufferSize)
            Flush();
    }
    std::uint64_t Finish()
    {
        Flush();
        // On disk before anything is measured, so no write-back runs alongside.
        if (::fsync(m_fd.Get()) != 0)
            ThrowErrno("cannot sync", m_path);
        m_fd.Close(m_path);
        return m_nWritten;
    }

private:
    static constexpr std::size_t kBufferSize = 1u << 20;
    void Flush()
    {
        WriteAll(m_fd.Get(), m_buffer.data(), m_buffer.size(), m_path);
        m_nWritten += m_buffer.size();
        m_buffer.clear();
    }
    fs::path m_path;
    CFd m_fd;
    std::string m_buffer;
    std::uint64_t m_nWritten = 0;
};

std::uint64_t ReadStatusField(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::stoull(line.substr(n + 1)) * 1024;  // "  12345 kB"
    }
    return 0;
}

}  // namespace

CScratchDir::CScratchDir(const std::optional<fs::path>& dir, bool bKeep) : m_bRemove(!bKeep)
{
    if (dir) {
        m_path = *dir;
        fs::create_directories(m_path);
        m_bRemove = false;  // the user's folder stays; only our files go
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "lumo-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        ThrowErrno("cannot make a folder like", pattern);
    m_path = pattern;
}

CScratchDir::~CScratchDir()
{
    std::error_code ec;
    if (m_bRemove)
        fs::remove_all(m_path, ec);
}

std::uint64_t WriteEntryFile(const fs::path& path, std::uint32_t nEntries)
{
    static constexpr char kNameBytes[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    // 0x20-0x7E and 0xC0-0xFF.
    std::string textBytes;
    for (int c = 0x20; c <= 0x7E; ++c)
        textBytes.push_back(static_cast<char>(c));
    for (int c = 0xC0; c <= 0xFF; ++c)
        textBytes.push_back(static_cast<char>(c));

    CRandom random(20240601);
    CEntryFileMaker maker(path);
    maker.Le32(nEntries);
    std::string text;
    char prefix[32];
    const auto randomText = [&](std::uint32_t nLength, const char* bytes, std::uint32_t nBytes) {
        text.clear();
        for (std::uint32_t i = 0; i < nLength; ++i)
            text.push_back(bytes[random.Below(nBytes)]);
    };
    for (std::uint32_t i = 0; i < nEntries; ++i) {
        std::snprintf(prefix, sizeof prefix, "STR_%07u_", i);
        randomText(random.Below(13), kNameBytes, sizeof kNameBytes - 1);
        maker.Record(prefix + text);
        randomText(random.Below(91), textBytes.data(), static_cast<std::uint32_t>(textBytes.size()));
        maker.Record(text);
        if (random.Below(10) == 0) {
            randomText(1 + random.Below(30), textBytes.data(), static_cast<std::uint32_t>(textBytes.size()));
            maker.Record(text);
        } else {
            maker.Record({});
        }
    }
    return maker.Finish();
}

std::unique_ptr<char[]> ReadWholeFile(const fs::path& path, std::uint64_t nSize)
{
    CFd fd(path, O_RDONLY);
    std::unique_ptr<char[]> bytes(new char[std::max<std::uint64_t>(nSize, 1)]);
    if (ReadAll(fd.Get(), bytes.get(), nSize, path) != nSize)
        throw std::runtime_error("the file " + path.string() + " changed size");
    return bytes;
}

void WriteWholeFile(const fs::path& path, const char* bytes, std::uint64_t nSize)
{
    std::error_code ec;
    fs::remove(path, ec);
    CFd fd(path, O_WRONLY | O_CREAT | O_EXCL);
    WriteAll(fd.Get(), bytes, nSize, path);
    if (::fsync(fd.Get()) != 0)
        ThrowErrno("cannot sync", path);
    fd.Close(path);
}

bool FilesEqual(const fs::path& a, const fs::path& b)
{
    const std::uint64_t size = fs::file_size(a);
    if (fs::file_size(b) != size)
        return false;
    const auto x = ReadWholeFile(a, size);
    const auto y = ReadWholeFile(b, size);
    return std::memcmp(x.get(), y.get(), size) == 0;
}

namespace {
double ThreadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    if (values.size() % 2 == 1)
        return values[mid];
    const double upper = values[mid];
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}
}  // namespace

CStopwatch::CStopwatch() : m_start(std::chrono::steady_clock::now()), m_cpuStart(ThreadCpuMs()) {}

Timing CStopwatch::Stop() const
{
    const double cpu = ThreadCpuMs() - m_cpuStart;
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count();
    return {wall, cpu};
}

Timing CSeries::Best() const
{
    Timing best{0, 0};
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        best.wall = i == 0 ? m_runs[i].wall : std::min(best.wall, m_runs[i].wall);
        best.cpu = i == 0 ? m_runs[i].cpu : std::min(best.cpu, m_runs[i].cpu);
    }
    return best;
}

Timing CSeries::Median() const
{
    std::vector<double> wall, cpu;
    for (const Timing& t : m_runs) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    return {MedianOf(wall), MedianOf(cpu)};
}

Timing CSeries::Max() const
{
    Timing most{0, 0};
    for (const Timing& t : m_runs) {
        most.wall = std::max(most.wall, t.wall);
        most.cpu = std::max(most.cpu, t.cpu);
    }
    return most;
}

bool ResetPeakMemory()
{
    // Writing 5 to clear_refs sets the peak resident size to the current one.
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool bOk = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && bOk;
}

std::uint64_t PeakResidentBytes()
{
    if (const std::uint64_t peak = ReadStatusField("VmHWM"))
        return peak;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

std::uint64_t ResidentBytes()
{
    return ReadStatusField("VmRSS");
}

std::string MachineDescription()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line, model = "unknown processor";
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                model = line.substr(line.find_first_not_of(' ', colon + 1));
            break;
        }
    }
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

void CReport::Line(const std::string& name, const std::string& text)
{
    std::printf("%-20s %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}

namespace {
std::string Number(double value)
{
    char number[64];
    std::snprintf(number, sizeof number, value < 10 ? "%.3f" : value < 1000 ? "%.2f" : "%.1f", value);
    return number;
}
}  // namespace

void CReport::Figure(const std::string& name, double value, const char* unit, std::optional<double> target,
                     std::optional<double> cpu)
{
    std::string text = Number(value);
    if (unit && *unit)
        text += std::string(" ") + unit;
    if (cpu)
        text += "   (cpu " + Number(*cpu) + (unit && *unit ? std::string(" ") + unit : "") + ")";
    if (target) {
        char goal[64];
        std::snprintf(goal, sizeof goal, "%g", *target);
        text += std::string("   (target <= ") + goal + (unit && *unit ? std::string(" ") + unit : "") +
                (value <= *target ? ": met)" : ": NOT met)");
    }
    Line(name, text);
}

}  // namespace lumo_bench
