// SPDX-License-Identifier: MIT
// The application: wires document, frame and view into one template and
// opens the file named on the command line.
#pragma once

#include "platform/WinApp.h"

class ClumoEditApp : public CWinApp {
public:
    ClumoEditApp();

    bool InitInstance() override;
    void OnAppAbout();

    const CCmdMap* GetCmdMap() const override;
    static const CCmdMap* GetThisCmdMap();
};
