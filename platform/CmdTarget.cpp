// SPDX-License-Identifier: MIT
#include "CmdTarget.h"

const CCmdMap* CCmdTarget::GetThisCmdMap()
{
    static const CCmdMap map{nullptr, {}};
    return &map;
}

const CCmdMap* CCmdTarget::GetCmdMap() const
{
    return GetThisCmdMap();
}

bool CCmdTarget::OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI)
{
    const bool bUpdate = nCode == CN_UPDATE_COMMAND_UI;
    // The first matching entry of the most derived map wins.
    for (const CCmdMap* map = GetCmdMap(); map; map = map->pBaseMap) {
        for (const CCmdEntry& e : map->entries) {
            if (e.nID != nID || e.bUpdate != bUpdate)
                continue;
            if (nCode != CN_QUERY_HANDLER)
                e.pfnInvoke(this, pCmdUI);
            return true;
        }
    }
    return false;
}

void CCmdUI::DoUpdate(CCmdTarget* pTarget)
{
    m_bEnableChanged = false;
    if (pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this) && m_bEnableChanged)
        return;
    Enable(pTarget->OnCmdMsg(m_nID, CN_QUERY_HANDLER, nullptr));
}
