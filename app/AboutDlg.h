// SPDX-License-Identifier: MIT
// The About box.
#pragma once

#include "platform/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
