// SPDX-License-Identifier: MIT
#include "PoLibrary.h"

#include "PoReader.h"
#include "Text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace lumo_cli {

namespace {

// The library's error handler has no room for a context pointer, so the
// reports of the call in progress on this thread are collected here.
struct CPoReports {
    std::vector<std::string> errors;
    CWarnings* pWarnings = nullptr;
};
thread_local CPoReports* t_pReports = nullptr;

std::string Where(const char* filename, std::size_t line)
{
    if (!filename || line == static_cast<std::size_t>(-1) || line == 0)
        return "";
    return "line " + std::to_string(line) + ": ";
}

void Report(int severity, const std::string& text)
{
    if (severity == PO_SEVERITY_FATAL_ERROR)
        // The library wants no return from a fatal error. Its code is built
        // with unwind tables, so the exception passes through it to the
        // caller; what it allocated for the call is lost, the process lives on.
        throw CImportError(text);
    if (!t_pReports)
        return;
    if (severity == PO_SEVERITY_ERROR)
        t_pReports->errors.push_back(text);
    else if (t_pReports->pWarnings)
        t_pReports->pWarnings->Add("warnings from gettext", [&] { return "gettext: " + text; });
}

void OnError(int severity, po_message_t, const char* filename, std::size_t line, std::size_t, int,
             const char* text)
{
    Report(severity, Where(filename, line) + text);
}

void OnError2(int severity, po_message_t, const char* filename1, std::size_t line1, std::size_t, int,
              const char* text1, po_message_t, const char*, std::size_t line2, std::size_t, int, const char* text2)
{
    std::string text = Where(filename1, line1) + text1;
    if (line2 != 0 && line2 != static_cast<std::size_t>(-1))
        text += " (" + std::string(text2) + ": line " + std::to_string(line2) + ")";
    Report(severity, text);
}

const po_xerror_handler kHandler = {OnError, OnError2};

// Installs the collector for one call into the library.
class CReportScope {
public:
    explicit CReportScope(CWarnings* pWarnings) : m_pBefore(std::exchange(t_pReports, &m_reports))
    {
        m_reports.pWarnings = pWarnings;
    }
    ~CReportScope() { t_pReports = m_pBefore; }
    const std::vector<std::string>& Errors() const { return m_reports.errors; }

private:
    CPoReports m_reports;
    CPoReports* m_pBefore;
};



}  // namespace

CPoFile ReadPoFile(const std::string& path, CWarnings& warnings)
{
    CReportScope scope(&warnings);
    CPoFile file(po_file_read(path.c_str(), &kHandler));
    if (!file.Get())
        throw CImportError(std::string("gettext cannot read it: ") + std::strerror(errno));
    if (!scope.Errors().empty()) {
        std::string text = scope.Errors().front();
        if (scope.Errors().size() > 1)
            text += " (and " + std::to_string(scope.Errors().size() - 1) + " more problems)";
        throw CImportError(text);
    }
    return file;
}

std::optional<std::string> ReadPoFileApart(const std::string& path, CWarnings& warnings)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot start gettext's reader");
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::system_error(errno, std::generic_category(), "cannot start gettext's reader");
    }
    if (child == 0) {
        // What the library says, as 'W' warning, then 'E' error or 'A' none, each ended by a NUL.
        ::close(fds[0]);
        std::string report;
        CWarnings found;
        char verdict = 'A';
        std::string error;
        try {
            const CPoFile file = ReadPoFile(path, found);
            CheckPoHeader(file.Get());
        } catch (const CImportError& e) {
            verdict = 'E';
            error = e.what();
        } catch (const std::exception& e) {
            verdict = 'X';
            error = e.what();
        }
        for (const std::string& line : found.Lines())
            report += 'W' + line + '\0';
        report += verdict + error + '\0';
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(fds[1], report.data() + done, report.size() - done);
            if (n <= 0 && errno != EINTR)
                ::_exit(1);
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.empty() || report.back() != '\0')
        return WIFSIGNALED(status) ? std::string("it ended on signal ") + ::strsignal(WTERMSIG(status))
                                   : std::string("it ended without an answer");
    for (std::size_t at = 0; at < report.size();) {
        const std::size_t end = report.find('\0', at);
        const std::string item = report.substr(at + 1, end - at - 1);
        switch (report[at]) {
        case 'W':
            warnings.Add("warnings from gettext", [&] { return item; });
            break;
        case 'E':
            throw CImportError(item);
        case 'X':
            throw std::runtime_error(item);
        default:
            break;
        }
        at = end + 1;
    }
    return std::nullopt;
}

void CheckPoHeader(po_file_t file)
{
    const char* const* domains = po_file_domains(file);
    if (domains && domains[0] && domains[1])
        throw CImportError(std::string("the file has messages in more than one domain (\"") + domains[1] +
                           "\"); lumo reads files of one domain");
    // Not po_file_domain_header: it returns a copy that nobody may free.
    const char* header = nullptr;
    {
        CPoIterator it(po_message_iterator(file, nullptr));
        while (po_message_t message = po_next_message(it.Get()))
            if (!po_message_is_obsolete(message) && !po_message_msgctxt(message) && !*po_message_msgid(message)) {
                header = po_message_msgstr(message);
                break;
            }
    }
    if (!header)
        throw CImportError("the file has no header entry (msgid \"\"), so its character set is unknown; "
                           "add the header of the template lumo wrote");
    CheckPoHeaderText(header);
}

void WritePoFile(po_file_t file, const ByteSink& sink)
{
    // The library writes only to a named file and does not notice when a
    // write fails (a full disk gives a short file and no error). So it
    // writes into an anonymous file in memory, and the sink, which checks
    // every write, takes the bytes from there.
    const int fd = memfd_create("lumo-po", MFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot make room for the PO text");
    struct CCloser {
        int fd;
        ~CCloser() { close(fd); }
    } closer{fd};
    {
        CReportScope scope(nullptr);
        po_file_write(file, ("/proc/self/fd/" + std::to_string(fd)).c_str(), &kHandler);
        if (!scope.Errors().empty())
            throw CImportError(scope.Errors().front());
    }
    std::vector<char> buffer(1 << 20);
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(fd, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "cannot read back the PO text");
        if (n == 0)
            break;
        sink(buffer.data(), static_cast<std::size_t>(n));
        offset += n;
    }
}

}  // namespace lumo_cli
