// SPDX-License-Identifier: MIT
// Command routing: static, typed command maps and the enabling of commands.
#pragma once

#include "AfxTypes.h"
#include "RuntimeClass.h"

#include <span>
#include <type_traits>

class CCmdTarget;

// What OnCmdMsg is asked to do with a command id.
enum CmdCode {
    CN_COMMAND,           // run its command handler
    CN_UPDATE_COMMAND_UI, // run its update handler
    CN_QUERY_HANDLER,     // only tell whether a command handler exists
};

// The enabled state of one command, asked of the targets on its route.
class CCmdUI {
public:
    explicit CCmdUI(UINT nID) : m_nID(nID) {}
    virtual ~CCmdUI() = default;
    virtual void Enable(bool bOn = true)
    {
        m_bEnabled = bOn;
        m_bEnableChanged = true;
    }

    // Asks the route that starts at pTarget: its update handler decides;
    // without one, a command with a handler is enabled and one without is not.
    void DoUpdate(CCmdTarget* pTarget);

    UINT m_nID;
    bool m_bEnabled = true;
    bool m_bEnableChanged = false;  // an update handler decided
};

// One entry of a command map: a command handler or an update handler for an id.
struct CCmdEntry {
    UINT nID;
    bool bUpdate;
    void (*pfnInvoke)(CCmdTarget* pTarget, CCmdUI* pCmdUI);
};

// A class's command map and the map of its base class, searched next.
struct CCmdMap {
    const CCmdMap* pBaseMap;
    std::span<const CCmdEntry> entries;
};

namespace detail {
template <class T>
struct MemberClass;
template <class T, class R, class... A>
struct MemberClass<R (T::*)(A...)> {
    using type = T;
};
}  // namespace detail

// Map entries from member functions: OnCommand<&CMyView::OnAddItem>(ID_...)
// for void f(), OnUpdate<&CMyView::OnUpdateAddItem>(ID_...) for void f(CCmdUI*).
template <auto Handler>
constexpr CCmdEntry OnCommand(UINT nID)
{
    using T = typename detail::MemberClass<decltype(Handler)>::type;
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {nID, false, [](CCmdTarget* p, CCmdUI*) { (static_cast<T*>(p)->*Handler)(); }};
}

template <auto Handler>
constexpr CCmdEntry OnUpdate(UINT nID)
{
    using T = typename detail::MemberClass<decltype(Handler)>::type;
    static_assert(std::is_base_of_v<CCmdTarget, T>);
    return {nID, true, [](CCmdTarget* p, CCmdUI* pCmdUI) { (static_cast<T*>(p)->*Handler)(pCmdUI); }};
}

class CCmdTarget : public CObject {
public:
    // Looks nID up in this target's map (and, in overrides, along the route)
    // and does what nCode asks; true when a matching entry was found.
    virtual bool OnCmdMsg(UINT nID, int nCode, CCmdUI* pCmdUI);
    // This target's own map (without the route).
    virtual const CCmdMap* GetCmdMap() const;

    static const CCmdMap* GetThisCmdMap();
};
