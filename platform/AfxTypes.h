// SPDX-License-Identifier: MIT
// Basic types and constants of our small application framework.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using UINT = unsigned int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONGLONG = std::uint64_t;
using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LPCTSTR = const char*;

// Text is a byte string in the 8-bit code page; it is never converted.
using CString = std::string;

// Opaque node handle of the tree-view control.
struct TreeItemTag;
using HTREEITEM = TreeItemTag*;

inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(std::uintptr_t{0xFFFF0000u});
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(std::uintptr_t{0xFFFF0001u});
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(std::uintptr_t{0xFFFF0002u});

// Navigation codes of GetNextItem.
constexpr UINT TVGN_ROOT = 0x0000;
constexpr UINT TVGN_NEXT = 0x0001;
constexpr UINT TVGN_PREVIOUS = 0x0002;
constexpr UINT TVGN_PARENT = 0x0003;
constexpr UINT TVGN_CHILD = 0x0004;
constexpr UINT TVGN_CARET = 0x0009;

// Item masks.
constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;

// Tree styles.
constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;

// Window styles.
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

using PFNTVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

struct TVSORTCB {
    HTREEITEM hParent;
    PFNTVCOMPARE lpfnCompare;
    LPARAM lParam;
};
using LPTVSORTCB = TVSORTCB*;

// Dialog results and message box flags.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_ICONMASK = 0x00F0;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

struct CREATESTRUCT {
    DWORD style = 0;
    DWORD dwExStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};
