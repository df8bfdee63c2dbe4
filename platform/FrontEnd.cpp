// SPDX-License-Identifier: MIT
#include "FrontEnd.h"

namespace {
CFrontEnd* g_pFrontEnd = nullptr;
}

CFrontEnd* AfxGetFrontEnd()
{
    return g_pFrontEnd;
}

void AfxSetFrontEnd(CFrontEnd* pFrontEnd)
{
    g_pFrontEnd = pFrontEnd;
}
