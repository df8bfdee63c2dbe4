// SPDX-License-Identifier: MIT
#include "Resources.h"

namespace {
const CResourceSet* g_pResources = nullptr;

template <class T>
const T* FindById(std::span<const T> items, UINT nID)
{
    for (const T& item : items)
        if (item.nID == nID)
            return &item;
    return nullptr;
}
}  // namespace

void AfxSetResourceSet(const CResourceSet* pResources)
{
    g_pResources = pResources;
}

const CMenuTemplate* AfxFindMenu(UINT nID)
{
    return g_pResources ? FindById(g_pResources->menus, nID) : nullptr;
}

const CAccelTable* AfxFindAccelTable(UINT nID)
{
    return g_pResources ? FindById(g_pResources->accelerators, nID) : nullptr;
}

const CDialogTemplate* AfxFindDialogTemplate(UINT nID)
{
    return g_pResources ? FindById(g_pResources->dialogs, nID) : nullptr;
}

const CIconResource* AfxFindIcon(UINT nID)
{
    return g_pResources ? FindById(g_pResources->icons, nID) : nullptr;
}

CString AfxLoadString(UINT nID)
{
    const CStringResource* s = g_pResources ? FindById(g_pResources->strings, nID) : nullptr;
    return s ? CString(s->text) : CString();
}
