#include "ToolTestUtil.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace lumo_cli_test {

std::string Shell(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool HaveTool(const std::string& name)
{
    return RunTool("command -v " + Shell(name)).status == 0;
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
