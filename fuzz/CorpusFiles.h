// SPDX-License-Identifier: MIT
// The files of a seed corpus, for the tests that run them with the normal
// compiler.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lumo_fuzz {

// The regular files of a folder, sorted by name.
inline std::vector<std::filesystem::path> CorpusFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        if (item.is_regular_file())
            files.push_back(item.path());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

}  // namespace lumo_fuzz
