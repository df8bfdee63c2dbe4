// SPDX-License-Identifier: MIT
// The main window: menu, accelerators and the entry tree as its only client.
#pragma once

#include "platform/FrameWnd.h"

class CMainFrame : public CFrameWnd {
public:
    static const CRuntimeClass classCMainFrame;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCMainFrame; }

    bool PreCreateWindow(CREATESTRUCT& cs) override;
};
