// SPDX-License-Identifier: MIT
// Resource ids of lumoEdit.
#pragma once

#include "platform/AfxTypes.h"

constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDR_DOCICON = 129;
constexpr UINT IDD_ADDITEM = 130;
constexpr int IDC_VALUE_NAME = 1000;
constexpr int IDC_VALUE_DATA = 1001;
constexpr UINT ID_EDIT_ADDITEM = 32771;
constexpr UINT ID_EDIT_REMOVEITEM = 32772;
constexpr UINT ID_EDIT_MOVEUP = 32775;
constexpr UINT ID_EDIT_MOVEDOWN = 32776;
