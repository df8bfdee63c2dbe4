// SPDX-License-Identifier: MIT
// The shapes of the program's user-interface resources (menus, accelerator
// tables, strings, dialog templates, icons), which the program keeps as data
// and the framework looks up by id.
#pragma once

#include "AfxTypes.h"

#include <span>

struct CMenuItemTemplate {
    const char* text;  // null for a separator
    UINT nID;
};

struct CMenuPopupTemplate {
    const char* text;
    std::span<const CMenuItemTemplate> items;
};

struct CMenuTemplate {
    UINT nID;
    std::span<const CMenuPopupTemplate> popups;
};

// Accelerator flags and the virtual keys the program uses.
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_INSERT = 0x2D;
constexpr WORD VK_DELETE = 0x2E;
constexpr WORD VK_F6 = 0x75;

struct CAccelEntry {
    BYTE fVirt;
    WORD key;  // a virtual key; letters are their upper-case character
    UINT cmd;
};

struct CAccelTable {
    UINT nID;
    std::span<const CAccelEntry> entries;
};

struct CStringResource {
    UINT nID;
    const char* text;
};

// Window and control styles used by dialog templates.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD SS_NOPREFIX = 0x0080;
constexpr DWORD SS_REALSIZEIMAGE = 0x0800;

enum class CControlKind { pushButton, edit, staticText, icon };

struct CDialogItemTemplate {
    CControlKind kind;
    int nID;  // -1 for none
    const char* text;  // for an icon: unused
    short x, y, cx, cy;  // dialog units
    DWORD style;
    UINT nIconID = 0;
};

struct CDialogTemplate {
    UINT nID;
    const char* caption;
    short x, y, cx, cy;  // dialog units
    DWORD style;
    const char* fontName;
    WORD pointSize;
    WORD weight;
    bool italic;
    std::span<const CDialogItemTemplate> items;  // in tab order
};

// An icon image kept as a PNG file; the front end finds it by name.
struct CIconImage {
    int size;
    const char* fileName;
};

struct CIconResource {
    UINT nID;
    std::span<const CIconImage> images;
};

struct CResourceSet {
    std::span<const CMenuTemplate> menus;
    std::span<const CAccelTable> accelerators;
    std::span<const CStringResource> strings;
    std::span<const CDialogTemplate> dialogs;
    std::span<const CIconResource> icons;
};

// The program registers its resources once at start.
void AfxSetResourceSet(const CResourceSet* pResources);
const CMenuTemplate* AfxFindMenu(UINT nID);
const CAccelTable* AfxFindAccelTable(UINT nID);
const CDialogTemplate* AfxFindDialogTemplate(UINT nID);
const CIconResource* AfxFindIcon(UINT nID);
// Empty when there is no such string.
CString AfxLoadString(UINT nID);
