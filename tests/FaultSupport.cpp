// SPDX-License-Identifier: MIT
#include "FaultSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lumo_test {

SharedDir::SharedDir()
{
    char name[] = "/tmp/lumo-fault-XXXXXX";
    if (!::mkdtemp(name))
        throw std::runtime_error("mkdtemp failed");
    m_path = name;
    fs::permissions(m_path, fs::perms(0755));
}

SharedDir::~SharedDir()
{
    std::error_code ec;
    fs::permissions(m_path, fs::perms(0755), ec);
    fs::remove_all(m_path, ec);
}

std::vector<std::string> SharedDir::Names() const
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(m_path))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string RunInChild(const std::function<std::string()>& fn, bool bUnprivileged)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(20);
        std::string out;
        if (bUnprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            out = "could not become an unprivileged user";
        } else {
            try {
                out = fn();
            } catch (const std::exception& e) {
                out = std::string("the child threw: ") + e.what();
            }
        }
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return out + "[the child was ended by signal " + std::to_string(WTERMSIG(status)) +
               (WTERMSIG(status) == SIGALRM ? ": it hung]" : "]");
    return out;
}

// Long texts are cut, so a description stays readable and a child's report small.
static std::string Shorten(const std::string& text)
{
    return text.size() <= 40 ? text : text.substr(0, 20) + "...(" + std::to_string(text.size()) + " bytes)";
}

std::string Describe(const CString& title, bool bModified, const std::vector<std::string>& messages,
                     const std::vector<Entry>& entries)
{
    std::string s = "title: " + title + "\nmodified: " + (bModified ? "yes" : "no") + "\n";
    for (const std::string& m : messages)
        s += "message: " + m + "\n";
    for (const Entry& e : entries)
        s += "entry: " + Shorten(e.name) + " | " + Shorten(e.data) + " | " + Shorten(e.extra) + "\n";
    return s;
}

std::string Describe(App& app)
{
    std::vector<std::string> messages;
    for (const CRecordedMessage& m : app.fe().m_messages)
        messages.push_back(m.text);
    return Describe(app.fe().m_strTitle, app.doc().IsModified(), messages, EntriesOf(app.view()));
}

}  // namespace lumo_test
