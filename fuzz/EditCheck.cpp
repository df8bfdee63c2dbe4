// SPDX-License-Identifier: MIT
#include "EditCheck.h"

#include "EditProgram.h"
#include "platform/AfxRes.h"
#include "platform/Document.h"
#include "platform/FrameWnd.h"
#include "res/resource.h"
#include "tree/LumoEditView.h"

#include <fstream>

namespace lumo_fuzz {
namespace {

// ---- The input, read as it is needed ---------------------------------------

class Input {
public:
    explicit Input(std::string_view bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_pos >= m_bytes.size(); }
    unsigned Next() { return AtEnd() ? 0 : static_cast<unsigned char>(m_bytes[m_pos++]); }
    // A text of up to nMax bytes; a 0x00 (which ends a text in the file) becomes '0'.
    std::string Text(unsigned nMax, bool bNonEmpty)
    {
        std::size_t n = Next() % (nMax + 1);
        if (bNonEmpty && n == 0)
            n = 1;
        std::string s;
        for (std::size_t i = 0; i < n; ++i) {
            const char c = static_cast<char>(Next());
            s += c == '\0' ? '0' : c;
        }
        return s;
    }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

// ---- Commands ----------------------------------------------------------------

// The save-changes prompt before New or Open, answered from the input; the
// model takes what the answer does. False: the command stops there.
bool AnswerSavePrompt(Input& in, EditProgram& p, EditModel& m, std::vector<std::string>& messages)
{
    if (!m.bModified)
        return true;
    messages.push_back("Save changes to " + m.Title() + "?");
    const unsigned answer = in.Next() % 3;
    p.Fe().m_messageAnswers.push_back(answer == 0 ? IDYES : answer == 1 ? IDNO : IDCANCEL);
    if (answer == 2)
        return false;
    if (answer == 0) {
        std::string to = m.path;
        if (to.empty()) {  // untitled: the file picker asks for the name
            const unsigned pick = in.Next() % 3;
            if (pick == 2) {
                p.Fe().m_fileAnswers.push_back(std::nullopt);
                return false;
            }
            to = p.Path(pick);
            p.Fe().m_fileAnswers.push_back(to);
        }
        m.Saved(to);
    }
    return true;
}

// Runs one command from the input; says whether files may have changed.
bool Step(Input& in, EditProgram& p, EditModel& m, std::vector<std::string>& messages)
{
    CTreeCtrl& tree = p.View().GetTreeCtrl();
    const std::size_t n = m.entries.size();
    switch (in.Next() % 10) {
    case 0:
    case 1: {  // select an entry, or nothing
        const std::size_t row = in.Next() % (n + 1);
        tree.SelectItem(row < n ? tree.GetChildAt(TVI_ROOT, static_cast<UINT>(row)) : nullptr);
        m.sel = row < n ? std::optional(std::make_pair(row, -1)) : std::nullopt;
        return false;
    }
    case 2: {  // select a data or extra node
        if (n == 0)
            return false;
        const std::size_t row = in.Next() % n;
        const int child = (in.Next() % 2 == 1 && !m.entries[row].extra.empty()) ? 1 : 0;
        HTREEITEM h = tree.GetChildItem(tree.GetChildAt(TVI_ROOT, static_cast<UINT>(row)));
        tree.SelectItem(child ? tree.GetNextSiblingItem(h) : h);
        m.sel = std::make_pair(row, child);
        return false;
    }
    case 3: {  // Add: typed and confirmed, confirmed with an empty name, or cancelled
        const unsigned how = in.Next() % 4;
        const std::string name = how >= 2 ? in.Text(12, true) : std::string();
        const std::string data = in.Text(12, false);
        p.Fe().m_dialogScripts.push_back([how, name, data](CFakeDialog& dlg) {
            dlg.SetText(IDC_VALUE_NAME, name);
            dlg.SetText(IDC_VALUE_DATA, data);
            dlg.Click(how == 0 ? IDCANCEL : IDOK);
        });
        const bool bEnabled = m.AddEnabled();
        if (p.Frame().OnCommand(ID_EDIT_ADDITEM) != bEnabled)
            messages.push_back("(Add ran while disabled, or did not run while enabled)");
        if (!bEnabled) {
            if (p.Fe().m_dialogScripts.size() == 1)
                p.Fe().m_dialogScripts.clear();
            return false;
        }
        if (how == 1)  // OK refuses an empty name; the dialog is then closed
            messages.push_back("Please fill the item value field.");
        else if (how >= 2)
            m.Add(name, data);
        return false;
    }
    case 4:
        if (p.Frame().OnCommand(ID_EDIT_REMOVEITEM) != m.RemoveEnabled())
            messages.push_back("(Remove ran while disabled, or did not run while enabled)");
        else if (m.RemoveEnabled())
            m.Remove();
        return false;
    case 5:
    case 6: {
        const bool bUp = in.Next() % 2 == 0;
        const bool bEnabled = bUp ? m.UpEnabled() : m.DownEnabled();
        if (p.Frame().OnCommand(bUp ? ID_EDIT_MOVEUP : ID_EDIT_MOVEDOWN) != bEnabled)
            messages.push_back("(a move ran while disabled, or did not run while enabled)");
        else if (bEnabled)
            m.Move(bUp ? -1 : 1);
        return false;
    }
    case 7:  // New
        if (AnswerSavePrompt(in, p, m, messages))
            m.New();
        p.Frame().OnCommand(ID_FILE_NEW);
        return true;
    case 8: {  // Save; an untitled document asks for the name
        std::string to = m.path;
        if (to.empty()) {
            const unsigned pick = in.Next() % 3;
            p.Fe().m_fileAnswers.push_back(pick == 2 ? std::nullopt : std::optional<CString>(p.Path(pick)));
            to = pick == 2 ? std::string() : p.Path(pick);
        }
        if (!to.empty())
            m.Saved(to);
        p.Frame().OnCommand(ID_FILE_SAVE);
        return true;
    }
    default: {  // Open a or b (the same file again is a reload)
        const std::string from = p.Path(in.Next());
        p.Fe().m_fileAnswers.push_back(from);
        if (AnswerSavePrompt(in, p, m, messages))
            m.Opened(from);
        p.Frame().OnCommand(ID_FILE_OPEN);
        return true;
    }
    }
}

}  // namespace

std::string CheckEdits(std::string_view bytes)
{
    EditProgram& p = TheEditProgram();
    if (!p.Started())
        return "the program did not start";
    Input in(bytes);
    EditModel m;

    // Two files of up to 7 entries each; the program opens a.
    for (unsigned f = 0; f < 2; ++f) {
        std::vector<ModelEntry> entries(in.Next() % 8);
        for (ModelEntry& e : entries) {
            e.name = in.Text(6, true);
            e.data = in.Text(6, false);
            e.extra = in.Next() % 2 ? in.Text(6, true) : std::string();
        }
        m.disk[p.Path(f)] = entries;
        std::ofstream out(p.Path(f), std::ios::binary | std::ios::trunc);
        const std::string file = Canonical(entries);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
        if (!out.flush())
            return "could not write " + p.Path(f);
    }
    CFakeFrontEnd& fe = p.Fe();
    fe.m_dialogScripts.clear();
    fe.m_messageAnswers.clear();
    fe.m_fileAnswers.clear();
    p.Doc().SetModifiedFlag(false);  // what the last input left is not asked about
    fe.m_fileAnswers.push_back(p.Path(0));
    p.Frame().OnCommand(ID_FILE_OPEN);
    m.Opened(p.Path(0));

    std::vector<std::string> messages;
    fe.m_messages.clear();
    std::string problem = Compare(p, m, messages, true);
    for (int step = 1; problem.empty() && !in.AtEnd() && step <= 400; ++step) {
        fe.m_messages.clear();
        messages.clear();
        const bool bFiles = Step(in, p, m, messages);
        problem = Compare(p, m, messages, bFiles);
        if (!problem.empty())
            problem = "step " + std::to_string(step) + ": " + problem;
    }
    return problem;
}

}  // namespace lumo_fuzz
