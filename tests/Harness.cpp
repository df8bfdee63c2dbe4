// SPDX-License-Identifier: MIT
#include "Harness.h"

#include "platform/AfxRes.h"
#include "platform/Resources.h"

#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace lumo_test {

std::vector<Entry> EntriesOf(const ClumoEditView& view)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    std::vector<Entry> entries;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h)) {
        Entry e;
        e.name = tree.GetItemText(h);
        HTREEITEM hData = tree.GetChildItem(h);
        if (hData) {
            e.data = tree.GetItemText(hData);
            if (HTREEITEM hExtra = tree.GetNextSiblingItem(hData))
                e.extra = tree.GetItemText(hExtra);
        }
        entries.push_back(e);
    }
    return entries;
}

std::vector<std::uint32_t> KeysOf(const ClumoEditView& view)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    std::vector<std::uint32_t> keys;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h))
        keys.push_back(static_cast<std::uint32_t>(tree.GetItemData(h)));
    return keys;
}

::testing::AssertionResult TreeIsConsistent(const ClumoEditView& view)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    std::uint32_t n = 0;
    UINT nodes = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h), ++n) {
        if (tree.GetItemData(h) != n)
            return ::testing::AssertionFailure() << "entry " << n << " has key " << tree.GetItemData(h);
        if (tree.GetItemRow(h) != n)
            return ::testing::AssertionFailure() << "entry " << n << " has row " << tree.GetItemRow(h);
        UINT children = 0;
        for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c))
            ++children;
        if (children < 1 || children > 2)
            return ::testing::AssertionFailure() << "entry " << n << " has " << children << " children";
        nodes += 1 + children;
    }
    if (n != view.m_nCount)
        return ::testing::AssertionFailure() << "m_nCount is " << view.m_nCount << " but " << n << " entries";
    if (tree.GetCount() != nodes)
        return ::testing::AssertionFailure() << "GetCount is " << tree.GetCount() << " but " << nodes << " nodes";
    return ::testing::AssertionSuccess();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    std::random_device rd;
    m_path = fs::temp_directory_path() / ("lumo-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

App::App(std::vector<std::string> arguments) : m_app(std::make_unique<ClumoEditApp>())
{
    m_app->m_arguments = std::move(arguments);
    m_app->m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
}

App::~App() = default;

bool App::Start()
{
    return m_app->InitInstance();
}

void App::SelectEntry(UINT nRow)
{
    tree().SelectItem(tree().GetChildAt(TVI_ROOT, nRow));
}

bool App::Open(const fs::path& path)
{
    return m_app->OpenDocumentFile(path.string().c_str()) != nullptr;
}

}  // namespace lumo_test
