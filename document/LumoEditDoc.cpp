// SPDX-License-Identifier: MIT
#include "LumoEditDoc.h"

#include "EntryFile.h"
#include "tree/LumoEditView.h"

#include <stdexcept>

const CRuntimeClass ClumoEditDoc::classClumoEditDoc{"ClumoEditDoc", &CreateObjectOf<ClumoEditDoc>,
                                                    &CDocument::classCDocument};

bool ClumoEditDoc::OnNewDocument()
{
    // The tree and the entry count stay as they are.
    return CDocument::OnNewDocument();
}

ClumoEditView* ClumoEditDoc::GetView() const
{
    POSITION pos = GetFirstViewPosition();
    auto* pView = dynamic_cast<ClumoEditView*>(GetNextView(pos));
    if (!pView)
        throw std::logic_error("the document has no entry view");
    return pView;
}

void ClumoEditDoc::Serialize(CArchive& ar)
{
    ClumoEditView& view = *GetView();
    if (ar.IsStoring())
        Store(ar, view);
    else
        Load(ar, view);
}

void ClumoEditDoc::Store(CArchive& ar, ClumoEditView& view)
{
    const CTreeCtrl& tree = view.GetTreeCtrl();
    // The count must describe the records that follow; refuse rather than write a damaged file.
    if (view.m_nCount != tree.GetChildCount(TVI_ROOT))
        throw CArchiveException(CArchiveException::inconsistent,
                                "the entry count (" + std::to_string(view.m_nCount) +
                                    ") disagrees with the entries shown (" +
                                    std::to_string(tree.GetChildCount(TVI_ROOT)) + ")");
    // A text too long for its record is refused before anything is written.
    if (tree.GetLongestTextBound() > kMaxEntryTextLength)
        CheckTextLengths(tree);
    CEntryWriter writer(ar);
    writer.WriteCount(view.m_nCount);
    HTREEITEM hEntry = tree.GetNextItem(nullptr, TVGN_ROOT);
    for (UINT i = 0; i < view.m_nCount && hEntry; ++i) {
        writer.WriteRecord(tree.GetItemTextView(hEntry));
        HTREEITEM hData = tree.GetNextItem(hEntry, TVGN_CHILD);
        writer.WriteRecord(hData ? tree.GetItemTextView(hData) : std::string_view());
        HTREEITEM hExtra = hData ? tree.GetNextItem(hData, TVGN_NEXT) : nullptr;
        if (hExtra)
            writer.WriteRecord(tree.GetItemTextView(hExtra));
        else
            writer.WriteEmptyRecord();
        hEntry = tree.GetNextItem(hEntry, TVGN_NEXT);
    }
}

void ClumoEditDoc::Load(CArchive& ar, ClumoEditView& view)
{
    CTreeCtrl& tree = view.GetTreeCtrl();
    SetLoadWarning({});
    tree.DeleteItem(TVI_ROOT);
    view.m_nCount = 0;
    // Sorting the still empty level by position key makes the tree check
    // each entry's order as it is appended: after the load it knows the
    // level is in order, and every Move re-sorts only the two entries it swaps.
    TVSORTCB sort{TVI_ROOT, &ClumoEditView::ComparePositionKeys, 0};
    tree.SortChildrenCB(&sort);
    CEntryReader reader(ar);
    view.m_nCount = reader.ReadCount();

    UINT i = 0;
    HTREEITEM hEntry = nullptr;
    try {
        for (; i < view.m_nCount; ++i) {
            hEntry = nullptr;
            // The entry's name node carries its position as key.
            std::string_view text = reader.ReadRecord(i, EEntryField::name);
            hEntry = tree.AppendItem(text, static_cast<LPARAM>(i), TVI_ROOT);
            text = reader.ReadRecord(i, EEntryField::data);
            tree.AppendItem(text, 0, hEntry);
            text = reader.ReadRecord(i, EEntryField::extra);
            if (!text.empty())
                tree.AppendItem(text, 0, hEntry);
        }
        reader.ReadEnd();
    } catch (...) {
        // Keep the entries read completely: one whose records were not all
        // read goes, and the count becomes what the tree holds.
        if (hEntry && i < view.m_nCount)
            tree.DeleteItem(hEntry);
        view.m_nCount = tree.GetChildCount(TVI_ROOT);
        throw;
    }
    // One note for all that a save would not write back as it was.
    const CEntryFileNotes& notes = reader.GetNotes();
    CString warning = DescribeHiddenBytes(notes);
    if (!warning.empty())
        warning += "; saving will not keep them.";
    if (const CString records = DescribeRewrittenRecords(notes); !records.empty())
        warning += (warning.empty() ? "" : "\n") + records + ".";
    SetLoadWarning(warning);
}

void ClumoEditDoc::CheckTextLengths(const CTreeCtrl& tree)
{
    UINT i = 0;
    for (HTREEITEM hEntry = tree.GetNextItem(nullptr, TVGN_ROOT); hEntry; hEntry = tree.GetNextItem(hEntry, TVGN_NEXT), ++i) {
        AfxCheckEntryTextLength(tree.GetItemTextView(hEntry).size(), i, EEntryField::name);
        HTREEITEM hData = tree.GetNextItem(hEntry, TVGN_CHILD);
        if (hData) {
            AfxCheckEntryTextLength(tree.GetItemTextView(hData).size(), i, EEntryField::data);
            if (HTREEITEM hExtra = tree.GetNextItem(hData, TVGN_NEXT))
                AfxCheckEntryTextLength(tree.GetItemTextView(hExtra).size(), i, EEntryField::extra);
        }
    }
}
