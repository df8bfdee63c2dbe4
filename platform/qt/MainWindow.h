// SPDX-License-Identifier: MIT
// The main window of a frame: the menu and the key shortcuts built from the
// frame's resources, the view as the only client, and file drops.
#pragma once

#include "platform/AfxTypes.h"

#include <QMainWindow>

#include <functional>
#include <vector>

class CFrameWnd;
class CTreeWidget;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    CMainWindow(CFrameWnd& frame, UINT nIDResource);
    CFrameWnd& Frame() const { return m_frame; }
    // The action of a menu item, by command id.
    QAction* Action(UINT nID) const;
    // Runs every menu item's update handler; the menus do it before they show.
    void UpdateMenuState();
    void SetAcceptsFiles(bool bAccept) { setAcceptDrops(bAccept); }
    void ForgetFrame() { m_bFrameGone = true; }
    // Runs fn after the tree has next been painted (see CFrontEnd::RunWhenPainted).
    void RunWhenPainted(std::function<void()> fn);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu(UINT nIDResource);
    void BuildShortcuts(UINT nIDResource);

    void RunPending();

    CFrameWnd& m_frame;
    bool m_bFrameGone = false;
    std::vector<std::function<void()>> m_pending;
    bool m_bPendingScheduled = false;
};
