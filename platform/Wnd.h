// SPDX-License-Identifier: MIT
// A window of the framework; the front end keeps its widget in m_pPeer.
#pragma once

#include "CmdTarget.h"
#include "FrontEnd.h"

class CWnd : public CCmdTarget {
public:
    virtual bool PreCreateWindow(CREATESTRUCT&) { return true; }
    DWORD GetStyle() const { return m_dwStyle; }

    void* m_pPeer = nullptr;  // the front end's widget for this window
    DWORD m_dwStyle = 0;
};
