// SPDX-License-Identifier: MIT
#include "EditProgram.h"

#include "tests/support/EntryBytes.h"

#include "platform/AfxRes.h"
#include "platform/Document.h"
#include "platform/FrameWnd.h"
#include "platform/Resources.h"
#include "res/resource.h"
#include "tree/LumoEditView.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace lumo_fuzz {

std::string EditModel::Title() const
{
    return path.empty() ? "Untitled" : fs::path(path).filename().string();
}

EditProgram::EditProgram()
{
    m_app.m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
    m_bStarted = m_app.InitInstance() && m_app.m_pMainWnd && m_app.m_pMainWnd->GetActiveView();
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    m_dir = base / ("lumo-edit-check-" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
    m_paths[0] = (m_dir / "a.lumo").string();
    m_paths[1] = (m_dir / "b.lumo").string();
}

EditProgram::~EditProgram()
{
    std::error_code ec;
    fs::remove_all(m_dir, ec);
}

CFrameWnd& EditProgram::Frame()
{
    return *m_app.m_pMainWnd;
}

ClumoEditView& EditProgram::View()
{
    return *dynamic_cast<ClumoEditView*>(Frame().GetActiveView());
}

CDocument& EditProgram::Doc()
{
    return *Frame().GetActiveDocument();
}

EditProgram& TheEditProgram()
{
    static EditProgram program;
    return program;
}

namespace {

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::optional<std::pair<std::size_t, int>> SelectionOf(const CTreeCtrl& tree)
{
    HTREEITEM h = tree.GetSelectedItem();
    if (!h)
        return std::nullopt;
    if (HTREEITEM hParent = tree.GetParentItem(h))
        return std::make_pair(static_cast<std::size_t>(tree.GetItemRow(hParent)), static_cast<int>(tree.GetItemRow(h)));
    return std::make_pair(static_cast<std::size_t>(tree.GetItemRow(h)), -1);
}

std::string CompareTree(ClumoEditView& view, const EditModel& m)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    const std::size_t n = m.entries.size();
    if (view.m_nCount != n || tree.GetChildCount(TVI_ROOT) != n)
        return "the view counts " + std::to_string(view.m_nCount) + " entries and shows " +
               std::to_string(tree.GetChildCount(TVI_ROOT)) + ", expected " + std::to_string(n);
    std::size_t nodes = 0;
    HTREEITEM h = tree.GetRootItem();
    for (std::size_t i = 0; i < n; ++i, h = tree.GetNextSiblingItem(h)) {
        const std::string at = "entry " + std::to_string(i + 1) + ": ";
        const ModelEntry& e = m.entries[i];
        if (!h)
            return at + "missing";
        if (tree.GetItemData(h) != i || tree.GetItemRow(h) != i)
            return at + "key " + std::to_string(tree.GetItemData(h)) + ", row " + std::to_string(tree.GetItemRow(h));
        if (tree.GetItemTextView(h) != e.name)
            return at + "another name";
        HTREEITEM hData = tree.GetChildItem(h);
        if (!hData || tree.GetItemTextView(hData) != e.data)
            return at + (hData ? "other data" : "no data node");
        HTREEITEM hExtra = tree.GetNextSiblingItem(hData);
        if (e.extra.empty() != (hExtra == nullptr) || (hExtra && tree.GetItemTextView(hExtra) != e.extra))
            return at + (hExtra ? "another extra node" : "no extra node");
        if (hExtra && tree.GetNextSiblingItem(hExtra))
            return at + "more than two children";
        nodes += hExtra ? 3 : 2;
    }
    if (h)
        return "more entries in the tree than counted";
    if (tree.GetCount() != nodes)
        return "the tree counts " + std::to_string(tree.GetCount()) + " nodes, expected " + std::to_string(nodes);
    if (SelectionOf(tree) != m.sel)
        return "another node is selected";
    return {};
}

}  // namespace

std::string Canonical(const std::vector<ModelEntry>& entries)
{
    return lumo_test_support::EntryFileBytes(entries);
}

std::string Compare(EditProgram& p, const EditModel& m, const std::vector<std::string>& messages, bool bFiles)
{
    if (std::string problem = CompareTree(p.View(), m); !problem.empty())
        return problem;
    const std::pair<UINT, bool> commands[] = {{ID_EDIT_ADDITEM, m.AddEnabled()},
                                              {ID_EDIT_REMOVEITEM, m.RemoveEnabled()},
                                              {ID_EDIT_MOVEUP, m.UpEnabled()},
                                              {ID_EDIT_MOVEDOWN, m.DownEnabled()}};
    for (const auto& [id, bEnabled] : commands)
        if (p.Frame().IsCommandEnabled(id) != bEnabled)
            return "command " + std::to_string(id) + (bEnabled ? " is disabled" : " is enabled");
    if (p.Doc().IsModified() != m.bModified)
        return m.bModified ? "the document is not marked modified" : "the document is marked modified";
    if (p.Doc().GetPathName() != m.path)
        return "the document's file is \"" + p.Doc().GetPathName() + "\", expected \"" + m.path + "\"";
    if (p.Fe().m_strTitle != m.Title() + " - lumoEdit")
        return "the title is \"" + p.Fe().m_strTitle + "\"";
    std::vector<std::string> shown;
    for (const CRecordedMessage& msg : p.Fe().m_messages)
        shown.push_back(msg.text);
    if (shown != messages)
        return "the messages shown are " + std::to_string(shown.size()) + ", expected " +
               std::to_string(messages.size()) + (shown.empty() ? "" : ", the first \"" + shown[0] + "\"");
    if (!p.Fe().m_messageAnswers.empty() || !p.Fe().m_fileAnswers.empty() || !p.Fe().m_dialogScripts.empty())
        return "an answer prepared for a prompt or dialog was not asked for";
    if (bFiles)
        for (unsigned f = 0; f < 2; ++f)
            if (ReadBytes(p.Path(f)) != Canonical(m.disk.at(p.Path(f))))
                return "file " + std::string(1, "ab"[f]) + " does not hold what was saved to it";
    return {};
}

}  // namespace lumo_fuzz
