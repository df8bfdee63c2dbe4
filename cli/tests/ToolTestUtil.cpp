// SPDX-License-Identifier: MIT
#include "ToolTestUtil.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace lumo_cli_test {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int Shell(const std::string& commandLine)
{
    const int status = std::system(("bash -o pipefail -c " + Quoted(commandLine)).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name)
{
    return RunTool("command -v " + Quoted(name)).status == 0;
}

CToolResult RunTool(const std::string& commandLine)
{
    CToolResult result{-1, {}};
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

}  // namespace lumo_cli_test

// Under LeakSanitizer: gettext's libgettextpo 0.21 never frees a message's
// msgctxt (read or set) nor the file name its PO lexer keeps, although lumo
// frees every file it reads or writes. Those stacks pass through the library,
// whose code has no frame pointers, so they are only seen (and matched) when
// unwound the slow way.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgettextpo_lex_start\n"
           "leak:libgettextpo_string_list_append\n"
           "leak:po_message_set_msgctxt\n";
}
