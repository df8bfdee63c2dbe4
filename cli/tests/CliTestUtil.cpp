// SPDX-License-Identifier: MIT
#include "CliTestUtil.h"

#include "cli/Cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include <unistd.h>

namespace lumo_cli_test {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.flush()) << "cannot write " << path;
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(dir))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TempDir::TempDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static int counter = 0;
    m_path = std::filesystem::temp_directory_path() /
             ("lumo_cli_" + std::string(info ? info->name() : "test") + "_" + std::to_string(::getpid()) + "_" +
              std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

CRunResult Lumo(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = lumo_cli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<Entry> RandomEntries(unsigned seed, std::size_t nCount)
{
    std::mt19937 rng(seed);
    const std::string special = ",\"\r\n \t\\/{}[]:;'";
    auto text = [&] {
        std::string t;
        const std::size_t length = rng() % 4 == 0 ? 0 : rng() % 24;
        for (std::size_t i = 0; i < length; ++i) {
            if (rng() % 3 == 0)
                t += special[rng() % special.size()];
            else
                t += static_cast<char>(1 + rng() % 255);
        }
        return t;
    };
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < nCount; ++i)
        entries.push_back({text(), text(), text()});
    return entries;
}

}  // namespace lumo_cli_test
