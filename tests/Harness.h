// SPDX-License-Identifier: MIT
// Helpers shared by the headless tests: entry files as bytes, temporary
// folders, and the whole program started on the fake front end.
#pragma once

#include "FakeFrontEnd.h"
#include "app/LumoEditApp.h"
#include "document/LumoEditDoc.h"
#include "platform/DocTemplate.h"
#include "platform/FrameWnd.h"
#include "tree/LumoEditView.h"
#include "tests/support/EntryBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace lumo_test {

struct Entry {
    std::string name, data, extra;
    bool operator==(const Entry&) const = default;
};

// The bytes the writer makes for these entries.
inline std::string EntryFileBytes(const std::vector<Entry>& entries)
{
    return lumo_test_support::EntryFileBytes(entries);
}
using lumo_test_support::Le32;
using lumo_test_support::Record;

// The entries shown in a view's tree, in display order.
std::vector<Entry> EntriesOf(const ClumoEditView& view);
// Position keys of the top-level nodes in display order.
std::vector<std::uint32_t> KeysOf(const ClumoEditView& view);
// Checks what every change must keep: keys 0..n-1 in order, m_nCount equal
// to the number of top-level nodes, every entry with its data node.
::testing::AssertionResult TreeIsConsistent(const ClumoEditView& view);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The program on the fake front end: ClumoEditApp, started like from the
// command line.
class App {
public:
    explicit App(std::vector<std::string> arguments = {});
    ~App();
    bool Start();  // InitInstance

    CFakeFrontEnd& fe() { return m_fe; }
    ClumoEditApp& app() { return *m_app; }
    CFrameWnd& frame() { return *m_app->m_pMainWnd; }
    ClumoEditView& view() { return *dynamic_cast<ClumoEditView*>(frame().GetActiveView()); }
    CDocument& doc() { return *frame().GetActiveDocument(); }
    CTreeCtrl& tree() { return view().GetTreeCtrl(); }
    // A command from a menu or a key; false when it was disabled.
    bool Command(UINT nID) { return frame().OnCommand(nID); }
    bool Enabled(UINT nID) { return frame().IsCommandEnabled(nID); }
    // Selects the n-th top-level node (0-based).
    void SelectEntry(UINT nRow);
    bool Open(const std::filesystem::path& path);

private:
    CFakeFrontEnd m_fe;
    std::unique_ptr<ClumoEditApp> m_app;
};

}  // namespace lumo_test
