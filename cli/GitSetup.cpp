// SPDX-License-Identifier: MIT
#include "GitSetup.h"

#include "Cli.h"
#include "Commands.h"
#include "StreamIo.h"
#include "EntryIo.h"
#include "CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumo_cli {

const char* const kGitSetupHelp = R"(Usage: lumo git-setup [--global] [--attributes]
Make lumo git's diff and merge driver for entry files. Writes, with git
config, into the repository's config (or with --global the user's):
  diff.lumo.textconv = lumo textconv
  merge.lumo.driver  = lumo merge %O %A %B -o %A --marker-size %L --name %P
Where 'lumo' on PATH is not this program, its full path is written instead.
Settings that are already right are left alone; each line of output says
what was set.

The settings apply to the files that .gitattributes gives the attributes
'diff=lumo merge=lumo'. Inside a repository, git-setup says whether *.lumo
files have them, and with --attributes adds the line
  *.lumo diff=lumo merge=lumo
to the .gitattributes at the top of the work tree (commit it, so that every
clone uses it; each clone still needs the settings above, or --global).

Options:
      --global       write the user's git config (~/.gitconfig, or what
                     GIT_CONFIG_GLOBAL names) instead of the repository's
      --attributes   add the attribute line to .gitattributes if missing
  -h, --help         show this help

Exit status: 0 when all is set, 2 for a usage error, outside a repository
without --global, or when git is missing or fails.
)";

namespace {

constexpr const char* kAttributeLine = "*.lumo diff=lumo merge=lumo";

struct CGitRun {
    int status = -1;  // git's exit status; -1 when it could not be run
    std::string output;
};

// Runs git with these arguments (no shell), its standard output captured and
// its standard error left to the terminal.
CGitRun Git(const std::vector<std::string>& args)
{
    CGitRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> argv = {"git"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, "git", &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        return run;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string ShellQuoted(const std::string& text)
{
    const bool bPlain = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                 "0123456789/._-+,:@%") == std::string::npos;
    if (bPlain)
        return text;
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Sets one key unless it already has the value; says which.
bool SetKey(const std::vector<std::string>& scope, const std::string& where, const std::string& key,
            const std::string& value, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> get = {"config"};
    get.insert(get.end(), scope.begin(), scope.end());
    get.insert(get.end(), {"--get", key});
    const CGitRun current = Git(get);
    if (current.status == 0 && Trimmed(current.output) == value) {
        out << key << " = " << value << " (already set in " << where << ")\n";
        return true;
    }
    std::vector<std::string> set = {"config"};
    set.insert(set.end(), scope.begin(), scope.end());
    set.insert(set.end(), {"--replace-all", key, value});
    const CGitRun run = Git(set);
    if (run.status != 0) {
        err << "lumo: git config could not set " << key << " in " << where << '\n';
        return false;
    }
    out << key << " = " << value << " (set in " << where;
    if (current.status == 0)
        out << "; it was " << Trimmed(current.output);
    out << ")\n";
    return true;
}

// Whether git gives probe.lumo both attributes inside this work tree.
bool AttributesSet()
{
    const CGitRun run = Git({"check-attr", "diff", "merge", "--", "probe.lumo"});
    return run.status == 0 && run.output.find("probe.lumo: diff: lumo\n") != std::string::npos &&
           run.output.find("probe.lumo: merge: lumo\n") != std::string::npos;
}

int OfferAttributes(const CGitSetupOptions& options, std::ostream& out, std::ostream& err)
{
    const CGitRun top = Git({"rev-parse", "--show-toplevel"});
    if (top.status != 0 || Trimmed(top.output).empty())
        return exitOk;  // a bare repository, or none: no work tree to give attributes
    if (AttributesSet()) {
        out << "*.lumo files use the lumo drivers here (git check-attr says diff=lumo merge=lumo)\n";
        return exitOk;
    }
    const std::filesystem::path path = std::filesystem::path(Trimmed(top.output)) / ".gitattributes";
    if (!options.bAttributes) {
        out << "*.lumo files do not use the lumo drivers in this repository yet: add the line\n  " << kAttributeLine
            << "\nto " << path.string() << " (lumo git-setup --attributes does) and commit it\n";
        return exitOk;
    }
    // git does not follow a .gitattributes that is a symbolic link, and a
    // cloned repository must not make this write somewhere else.
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        err << "lumo: " << path.string() << " is a symbolic link, which git does not follow; add the line "
            << kAttributeLine << " to a .gitattributes of its own\n";
        return exitUsage;
    }
    try {
        std::string bytes;
        if (std::filesystem::exists(path, ec))
            bytes = ReadWholeFile(path.string());
        if (!bytes.empty() && bytes.back() != '\n')
            bytes += '\n';
        bytes += kAttributeLine;
        bytes += '\n';
        WriteOutput(path.string(), bytes);
    } catch (const std::exception& e) {
        FileError(err, path.string(), e);
        return exitUsage;
    }
    out << "added to " << path.string() << ": " << kAttributeLine << " (commit it)\n";
    return exitOk;
}

}  // namespace

std::string LumoCommandForGit()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "lumo";
    if (const char* path = std::getenv("PATH")) {
        std::istringstream folders(path);
        for (std::string folder; std::getline(folders, folder, ':');) {
            const std::filesystem::path candidate = std::filesystem::path(folder.empty() ? "." : folder) / "lumo";
            if (::access(candidate.c_str(), X_OK) == 0) {
                // The first lumo the shell would run: is it this one?
                if (std::filesystem::equivalent(candidate, self, ec) && !ec)
                    return "lumo";
                break;
            }
        }
    }
    return ShellQuoted(self.string());
}

int RunGitSetup(const CGitSetupOptions& options, std::ostream& out, std::ostream& err)
{
    const CGitRun version = Git({"--version"});
    if (version.status != 0) {
        err << "lumo: git-setup needs git, which could not be run (Debian package: git)\n";
        return exitUsage;
    }
    const bool bInRepository = Git({"rev-parse", "--git-dir"}).status == 0;
    if (!options.bGlobal && !bInRepository) {
        err << "lumo: git-setup: this is not inside a git repository; run it inside one, or with --global\n";
        return exitUsage;
    }
    const std::string program = options.program.empty() ? LumoCommandForGit() : options.program;
    const std::vector<std::string> scope = {options.bGlobal ? "--global" : "--local"};
    const std::string where = options.bGlobal ? "the global git config" : "this repository's git config";
    if (!SetKey(scope, where, "diff.lumo.textconv", program + " textconv", out, err) ||
        !SetKey(scope, where, "merge.lumo.driver", program + " merge %O %A %B -o %A --marker-size %L --name %P", out,
                err))
        return exitUsage;
    if (bInRepository)
        return OfferAttributes(options, out, err);
    return exitOk;
}

int RunGitSetupCommand(const CArguments& args, std::ostream& out, std::ostream& err)
{
    if (!args.operands.empty())
        return UsageError(err, "git-setup", "git-setup takes no file, only --global and --attributes");
    CGitSetupOptions options;
    options.bGlobal = args.Has("--global");
    options.bAttributes = args.Has("--attributes");
    return RunGitSetup(options, out, err);
}

}  // namespace lumo_cli
