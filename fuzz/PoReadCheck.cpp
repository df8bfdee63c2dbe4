// SPDX-License-Identifier: MIT
#include "PoReadCheck.h"

#include "cli/PoLibrary.h"
#include "cli/PoReader.h"
#include "cli/Text.h"
#include "tests/support/ScratchFile.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumo_fuzz {
namespace {

using lumo_cli::CImportError;
using lumo_cli::CTranslations;

using lumo_test_support::CScratchFile;

// Whether a file gettext reads without an error has a NUL in a string
// outside comments, obsolete messages and previous texts: written as is, or
// as an escape whose byte (gettext keeps the low eight bits) is 0. A scan of
// its own, apart from lumo's reader.
bool HasNul(std::string_view po)
{
    // gettext drops a backslash that ends a line, and the line end.
    std::string text;
    for (std::size_t i = 0; i < po.size(); ++i) {
        if (po[i] == '\\' && i + 1 < po.size() && po[i + 1] == '\n')
            ++i;
        else
            text += po[i];
    }
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    bool bPreviousCarried = false;  // a #| whose line a comment ended holds on the next line
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        bool bSkipped = bPreviousCarried, bPrevious = bPreviousCarried;
        bPreviousCarried = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '#') {
                const char next = i + 1 < line.size() ? line[i + 1] : '\0';
                if (next == '~' || next == '|') {
                    bSkipped = true;
                    bPrevious |= next == '|' || (i + 2 < line.size() && line[i + 2] == '|');
                    ++i;
                    continue;
                }
                bPreviousCarried = bPrevious && end < text.size();
                break;  // a comment
            }
            if (line[i] != '"')
                continue;
            // A string: its escapes.
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                unsigned value = 1;
                if (line[i] == '\0') {
                    value = 0;
                } else if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                    if (octal(line[i])) {
                        value = 0;
                        for (int n = 0; n < 3 && i < line.size() && octal(line[i]); ++n, ++i)
                            value = value * 8 + static_cast<unsigned>(line[i] - '0');
                        --i;
                    } else if (line[i] == 'x') {
                        value = 0;
                        while (i + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
                            const char c = line[++i];
                            const unsigned digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
                            value = (value << 4 | digit) & 0xFF;
                        }
                    }
                }
                if ((value & 0xFF) == 0 && !bSkipped)
                    return true;
            }
        }
        start = end + 1;
    }
    return false;
}

// gettext's reader in a process of its own, kept from one file to the next
// (a process per file would cost more than the reading): it aborts on some
// files (a header that names CP1255), which must not end the caller.
class CLibraryApart {
public:
    enum class EAnswer { reads, complains, failed };

    ~CLibraryApart() { Stop(); }

    // Whether the library reads the file without a complaint and lumo takes
    // its header (CheckPoHeader), as ReadPoFileApart tells.
    EAnswer Ask(const std::string& path)
    {
        if (m_pid < 0)
            Start();
        const std::string request = path + '\n';
        char answer = 0;
        if (::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()) ||
            ::recv(m_socket, &answer, 1, 0) != 1) {
            Stop();
            return EAnswer::failed;
        }
        return answer == 'A' ? EAnswer::reads : EAnswer::complains;
    }

private:
    void Start()
    {
        int sockets[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
            throw std::runtime_error("no socket pair: " + std::string(std::strerror(errno)));
        m_pid = ::fork();
        if (m_pid < 0)
            throw std::runtime_error("cannot fork: " + std::string(std::strerror(errno)));
        if (m_pid == 0) {
            // An abort ends only this process, quietly: not a finding of the fuzzer's.
            for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE})
                std::signal(signal, SIG_DFL);
            ::close(sockets[0]);
            std::string pending;
            char buffer[4096];
            for (;;) {
                const std::size_t end = pending.find('\n');
                if (end == std::string::npos) {
                    const ssize_t n = ::recv(sockets[1], buffer, sizeof buffer, 0);
                    if (n <= 0)
                        ::_exit(0);
                    pending.append(buffer, static_cast<std::size_t>(n));
                    continue;
                }
                const std::string path = pending.substr(0, end);
                pending.erase(0, end + 1);
                char answer = 'A';
                try {
                    lumo_cli::CWarnings warnings;
                    const lumo_cli::CPoFile file = lumo_cli::ReadPoFile(path, warnings);
                    lumo_cli::CheckPoHeader(file.Get());
                } catch (const std::exception&) {
                    answer = 'E';
                }
                if (::send(sockets[1], &answer, 1, MSG_NOSIGNAL) != 1)
                    ::_exit(0);
            }
        }
        ::close(sockets[1]);
        m_socket = sockets[0];
    }

    void Stop()
    {
        if (m_pid < 0)
            return;
        ::close(m_socket);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

    pid_t m_pid = -1;
    int m_socket = -1;
};

enum class EStage { accepted, gettext, nul, header, message };

const char* StageName(EStage stage)
{
    switch (stage) {
    case EStage::accepted: return "accepts it";
    case EStage::gettext: return "reports an error";
    case EStage::nul: return "refuses a NUL";
    case EStage::header: return "refuses the header";
    case EStage::message: return "refuses a message";
    }
    return "";
}

struct CLibraryReading {
    EStage stage = EStage::accepted;
    std::string refusal;
    CTranslations translations;
    std::vector<std::string> warnings;
};

// The file as gettext's library reads it, and lumo's rules on the messages
// it gives, in the order the import applies them.
CLibraryReading ReadWithLibrary(const std::string& path, std::string_view po)
{
    CLibraryReading reading;
    lumo_cli::CWarnings warnings;
    EStage stage = EStage::gettext;
    try {
        const lumo_cli::CPoFile file = lumo_cli::ReadPoFile(path, warnings);
        stage = EStage::nul;
        if (HasNul(po))
            throw CImportError("a text holds a NUL");
        stage = EStage::header;
        lumo_cli::CheckPoHeader(file.Get());
        stage = EStage::message;
        std::string name, source, text;
        lumo_cli::CPoIterator it(po_message_iterator(file.Get(), nullptr));
        while (po_message_t message = po_next_message(it.Get())) {
            if (po_message_is_obsolete(message))
                continue;
            const char* context = po_message_msgctxt(message);
            const std::string_view id = po_message_msgid(message);
            if (!context && id.empty())
                continue;  // the header
            if (po_message_msgid_plural(message))
                throw CImportError("plural forms");
            if (!context || id.empty() || lumo_cli::ToEntryText(context, name) || lumo_cli::ToEntryText(id, source)) {
                reading.translations.AddUnmatchable();
                continue;
            }
            const bool bFuzzy = po_message_is_fuzzy(message) != 0;
            if (lumo_cli::ToEntryText(po_message_msgstr(message), text)) {
                if (!bFuzzy)
                    throw CImportError("a translation with no Windows-1252 form");
                text = "?";
            }
            if (!reading.translations.Add({name, source, text, bFuzzy}))
                throw std::logic_error("gettext gave a message twice");
        }
        stage = EStage::accepted;
    } catch (const CImportError& e) {
        reading.refusal = e.what();
        reading.translations = CTranslations();
    }
    reading.stage = stage;
    reading.warnings = warnings.Lines();
    return reading;
}

std::string Shown(std::string_view text)
{
    return lumo_cli::Quoted(text);
}

std::string CompareTranslations(const CTranslations& ours, const CTranslations& library)
{
    if (ours.Size() != library.Size())
        return "our reader kept " + std::to_string(ours.Size()) + " translations, gettext's " +
               std::to_string(library.Size());
    if (ours.Unmatchable() != library.Unmatchable())
        return "our reader counted " + std::to_string(ours.Unmatchable()) + " messages no entry can have, gettext's " +
               std::to_string(library.Unmatchable());
    for (std::size_t i = 0; i < ours.Size(); ++i) {
        const lumo_cli::CTranslation& a = ours.At(i);
        const lumo_cli::CTranslation& b = library.At(i);
        if (a.name != b.name || a.source != b.source || a.text != b.text || a.bFuzzy != b.bFuzzy)
            return "translation " + std::to_string(i + 1) + " differs: ours " + Shown(a.name) + " " +
                   Shown(a.source) + " " + Shown(a.text) + (a.bFuzzy ? " fuzzy" : "") + ", gettext's " +
                   Shown(b.name) + " " + Shown(b.source) + " " + Shown(b.text) + (b.bFuzzy ? " fuzzy" : "");
    }
    return {};
}

}  // namespace

std::string ComparePoReaders(std::string_view po, const std::string& suffix)
{
    static std::map<std::string, CScratchFile> files;
    auto it = files.find(suffix);
    if (it == files.end())
        it = files.try_emplace(suffix, "poread", suffix).first;
    const std::string& path = it->second.Write(po);

    const lumo_cli::CPoReading ours = lumo_cli::ReadPoText(po, path, true);
    using EVerdict = lumo_cli::CPoReading::EVerdict;
    // Our reader took in every header of a file it accepts or refuses for
    // lumo's own reasons: none names a character set gettext's reader might
    // abort on (CP1255). Any other file is first read apart.
    if (ours.verdict == EVerdict::notPo || ours.bForeignCharset) {
        static CLibraryApart apart;
        // When it complains (or fails), the import refuses the file too.
        if (apart.Ask(path) != CLibraryApart::EAnswer::reads)
            return {};
        // It reads the file and takes its header: then it reads it here too.
    }
    const CLibraryReading library = ReadWithLibrary(path, po);
    const std::string theirs = std::string("gettext's ") + StageName(library.stage) +
                               (library.refusal.empty() ? "" : " (" + library.refusal + ")");
    switch (ours.verdict) {
    case EVerdict::accepted: {
        if (library.stage != EStage::accepted)
            return "our reader accepts what " + theirs;
        if (const std::string problem = CompareTranslations(ours.translations, library.translations); !problem.empty())
            return problem;
        std::vector<std::string> warnings;
        for (const std::string& text : ours.warnings)
            warnings.push_back("gettext: " + text);
        if (warnings != library.warnings)
            return "our reader warns " + std::to_string(warnings.size()) + " times, gettext " +
                   std::to_string(library.warnings.size()) + " times" +
                   (library.warnings.empty() ? "" : " (" + library.warnings.front() + ")");
        if (ours.lines.size() != ours.translations.Size())
            return "our reader gave " + std::to_string(ours.lines.size()) + " lines for " +
                   std::to_string(ours.translations.Size()) + " translations";
        return {};
    }
    case EVerdict::notPo:
        // gettext reads it without a complaint (or it had been let go above).
        return "our reader stops at line " + std::to_string(ours.nStopLine) + " where " + theirs;
    case EVerdict::refused:
        if (library.stage == EStage::accepted || (library.stage == EStage::gettext && !ours.bForeignCharset))
            return "our reader refuses (" + ours.refusal + ") where " + theirs;
        return {};
    }
    return {};
}

std::string ComparePoReaders(std::string_view input)
{
    if (input.empty())
        return {};
    return ComparePoReaders(input.substr(1), (static_cast<unsigned char>(input[0]) & 1) ? ".pot" : ".po");
}

}  // namespace lumo_fuzz
