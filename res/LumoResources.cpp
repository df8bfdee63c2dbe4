// SPDX-License-Identifier: MIT
#include "LumoResources.h"

#include "platform/AfxRes.h"
#include "resource.h"

namespace {

constexpr CMenuItemTemplate kFileItems[] = {
    {"&Open...\tCtrl+O", ID_FILE_OPEN},
    {"&Save\tCtrl+S", ID_FILE_SAVE},
    {"Save &As...", ID_FILE_SAVE_AS},
    {"E&xit", ID_APP_EXIT},
};
constexpr CMenuItemTemplate kEditItems[] = {
    {"Add Item", ID_EDIT_ADDITEM},
    {"Remove Item", ID_EDIT_REMOVEITEM},
    {nullptr, 0},
    {"Move Up", ID_EDIT_MOVEUP},
    {"Move Down", ID_EDIT_MOVEDOWN},
};
constexpr CMenuItemTemplate kHelpItems[] = {
    {"&About lumoEdit...", ID_APP_ABOUT},
};
constexpr CMenuPopupTemplate kMainPopups[] = {
    {"&File", kFileItems},
    {"&Edit", kEditItems},
    {"&Help", kHelpItems},
};
constexpr CMenuTemplate kMenus[] = {
    {IDR_MAINFRAME, kMainPopups},
};

constexpr CAccelEntry kMainAccel[] = {
    {FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
    {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
    {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE},
    {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},
    {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},
    {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},
    {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE},
    {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
    {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
    {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
    {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
    {FVIRTKEY, VK_F6, ID_NEXT_PANE},
    {FVIRTKEY | FSHIFT, VK_F6, ID_PREV_PANE},
};
constexpr CAccelTable kAccelerators[] = {
    {IDR_MAINFRAME, kMainAccel},
};

constexpr CStringResource kStrings[] = {
    {IDR_MAINFRAME, "lumoEdit\n\nlumoEdit\nlumoEdit Files (*.lumo)\n.lumo\nlumoEdit.Document\nlumoEdit.Document"},
    {AFX_IDS_APP_TITLE, "lumoEdit"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
};

constexpr DWORD kDialogStyle = DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;  // 0x80C800C8

constexpr CDialogItemTemplate kAboutItems[] = {
    {CControlKind::icon, -1, nullptr, 7, 12, 21, 20, SS_REALSIZEIMAGE, IDR_MAINFRAME},
    {CControlKind::staticText, -1, "lumoEdit Version 0.1", 40, 10, 119, 8, SS_NOPREFIX | WS_GROUP},
    {CControlKind::staticText, -1, "Entry files, byte for byte.", 40, 25, 119, 8, WS_GROUP},
    {CControlKind::pushButton, IDOK, "OK", 178, 7, 50, 16, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {CControlKind::staticText, -1, "Credits:", 7, 45, 26, 8, WS_GROUP},
    {CControlKind::staticText, -1, "The lumoEdit developers", 22, 57, 130, 8, WS_GROUP},
};
constexpr CDialogItemTemplate kAddItemItems[] = {
    {CControlKind::edit, IDC_VALUE_NAME, "", 7, 18, 214, 12, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP},
    {CControlKind::edit, IDC_VALUE_DATA, "", 7, 46, 214, 12, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP},
    {CControlKind::pushButton, IDOK, "OK", 117, 63, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {CControlKind::pushButton, IDCANCEL, "Cancel", 171, 63, 50, 14, WS_TABSTOP},
    {CControlKind::staticText, -1, "Value name:", 7, 7, 214, 8, WS_GROUP},
    {CControlKind::staticText, -1, "Value data:", 7, 35, 214, 8, WS_GROUP},
};
constexpr CDialogTemplate kDialogs[] = {
    {IDD_ABOUTBOX, "About lumoEdit", 0, 0, 235, 79, kDialogStyle, "MS Shell Dlg", 8, 0, false, kAboutItems},
    {IDD_ADDITEM, "Input Item Properties", 0, 0, 228, 84, kDialogStyle, "MS Shell Dlg", 8, 400, false, kAddItemItems},
};

// Every size the desktop uses, so the window icon is drawn from the nearest
// larger image (not blurred at 2x). The first is the one the About box shows
// at its real size.
constexpr CIconImage kMainIcons[] = {{48, "app-48.png"}, {256, "app-256.png"}, {128, "app-128.png"}, {64, "app-64.png"},
                                     {32, "app-32.png"}, {24, "app-24.png"},   {16, "app-16.png"}};
constexpr CIconImage kDocIcons[] = {{32, "doc-32.png"}, {256, "doc-256.png"}, {128, "doc-128.png"}, {64, "doc-64.png"},
                                    {48, "doc-48.png"}, {24, "doc-24.png"},   {16, "doc-16.png"}};
constexpr CIconResource kIcons[] = {
    {IDR_MAINFRAME, kMainIcons},
    {IDR_DOCICON, kDocIcons},
};

constexpr CResourceSet kResources{kMenus, kAccelerators, kStrings, kDialogs, kIcons};

}  // namespace

const CResourceSet& LumoResources()
{
    return kResources;
}
