// SPDX-License-Identifier: MIT
// Helpers of the fault tests: a folder an unprivileged user can reach,
// running part of a test in a forked child (as that user where needed), and
// what the user sees, as text to compare.
#pragma once

#include "Harness.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace lumo_test {

// A folder under /tmp that an unprivileged user can reach and read.
class SharedDir {
public:
    SharedDir();
    ~SharedDir();
    SharedDir(const SharedDir&) = delete;
    SharedDir& operator=(const SharedDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path m_path;
};

// Runs fn in a forked child and returns what it returned, so that limits and
// a changed user do not leak into the other tests. With bUnprivileged the
// child first becomes user and group 65534 when it runs as root, so that
// permission bits apply to it. A child that hangs is ended after 20 seconds.
std::string RunInChild(const std::function<std::string()>& fn, bool bUnprivileged);

// What the user sees: the title, whether the document is modified, the
// messages shown so far and the entries.
std::string Describe(const CString& title, bool bModified, const std::vector<std::string>& messages,
                     const std::vector<Entry>& entries);
std::string Describe(App& app);

}  // namespace lumo_test
