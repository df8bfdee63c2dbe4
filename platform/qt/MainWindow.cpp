// SPDX-License-Identifier: MIT
#include "MainWindow.h"

#include "QtText.h"
#include "platform/FrameWnd.h"
#include "platform/Resources.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QAbstractScrollArea>
#include <QScreen>
#include <QTimer>

QIcon LoadIconResource(UINT nID);

CMainWindow::CMainWindow(CFrameWnd& frame, UINT nIDResource) : m_frame(frame)
{
    setWindowIcon(LoadIconResource(nIDResource));
    BuildMenu(nIDResource);
    BuildShortcuts(nIDResource);
    // 640 x 480 where there is room; on a small or magnified screen what fits
    // its free area, leaving room for the frame the window manager adds.
    QSize size(640, 480);
    if (QScreen* pScreen = screen())
        size = size.boundedTo(pScreen->availableGeometry().size() - QSize(16, 48));
    resize(size);
}

void CMainWindow::RunWhenPainted(std::function<void()> fn)
{
    m_pending.push_back(std::move(fn));
    auto* area = qobject_cast<QAbstractScrollArea*>(centralWidget());
    QWidget* canvas = area ? area->viewport() : centralWidget();
    if (!canvas) {
        RunPending();
        return;
    }
    canvas->installEventFilter(this);
    canvas->update();
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Run once this paint is done and on screen, from the event loop.
    if (event->type() == QEvent::Paint && !m_pending.empty() && !m_bPendingScheduled) {
        m_bPendingScheduled = true;
        QTimer::singleShot(0, this, [this] { RunPending(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainWindow::RunPending()
{
    m_bPendingScheduled = false;
    std::vector<std::function<void()>> pending;
    pending.swap(m_pending);
    for (auto& fn : pending)
        if (!m_bFrameGone)
            fn();
}

void CMainWindow::BuildMenu(UINT nIDResource)
{
    const CMenuTemplate* menu = AfxFindMenu(nIDResource);
    if (!menu)
        return;
    for (const CMenuPopupTemplate& popup : menu->popups) {
        QMenu* qmenu = menuBar()->addMenu(QString::fromLatin1(popup.text));
        for (const CMenuItemTemplate& item : popup.items) {
            if (!item.text) {
                qmenu->addSeparator();
                continue;
            }
            // The text after a tab is shown as the item's key; the keys
            // themselves are the window's accelerators.
            QAction* action = qmenu->addAction(QString::fromLatin1(item.text));
            action->setData(item.nID);
            const UINT nID = item.nID;
            connect(action, &QAction::triggered, this, [this, nID] {
                if (!m_bFrameGone)
                    m_frame.OnCommand(nID);
            });
        }
        connect(qmenu, &QMenu::aboutToShow, this, [this] { UpdateMenuState(); });
    }
}

static int QtKeyOf(WORD key)
{
    if (key >= 'A' && key <= 'Z')
        return Qt::Key_A + (key - 'A');
    if (key >= '0' && key <= '9')
        return Qt::Key_0 + (key - '0');
    switch (key) {
    case VK_BACK:
        return Qt::Key_Backspace;
    case VK_INSERT:
        return Qt::Key_Insert;
    case VK_DELETE:
        return Qt::Key_Delete;
    default:
        if (key >= 0x70 && key <= 0x87)  // F1..F24
            return Qt::Key_F1 + (key - 0x70);
        return 0;
    }
}

void CMainWindow::BuildShortcuts(UINT nIDResource)
{
    const CAccelTable* table = AfxFindAccelTable(nIDResource);
    if (!table)
        return;
    for (const CAccelEntry& entry : table->entries) {
        const int key = QtKeyOf(entry.key);
        if (key == 0)
            continue;
        QKeyCombination combination(static_cast<Qt::Key>(key));
        Qt::KeyboardModifiers modifiers;
        if (entry.fVirt & FCONTROL)
            modifiers |= Qt::ControlModifier;
        if (entry.fVirt & FSHIFT)
            modifiers |= Qt::ShiftModifier;
        if (entry.fVirt & FALT)
            modifiers |= Qt::AltModifier;
        // Window context: the keys work in the main window, not inside modal dialogs.
        auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key))), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        shortcut->setObjectName(QStringLiteral("accel-%1").arg(entry.cmd));
        const UINT nID = entry.cmd;
        connect(shortcut, &QShortcut::activated, this, [this, nID] {
            if (!m_bFrameGone)
                m_frame.OnCommand(nID);
        });
        (void)combination;
    }
}

QAction* CMainWindow::Action(UINT nID) const
{
    for (QAction* top : menuBar()->actions())
        if (QMenu* menu = top->menu())
            for (QAction* action : menu->actions())
                if (!action->isSeparator() && action->data().toUInt() == nID)
                    return action;
    return nullptr;
}

void CMainWindow::UpdateMenuState()
{
    if (m_bFrameGone)
        return;
    for (QAction* top : menuBar()->actions())
        if (QMenu* menu = top->menu())
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    action->setEnabled(m_frame.IsCommandEnabled(action->data().toUInt()));
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    if (m_bFrameGone) {
        event->accept();
        return;
    }
    // The frame asks to save changes; it destroys this window when it closes.
    event->ignore();
    QTimer::singleShot(0, this, [this] {
        if (!m_bFrameGone)
            m_frame.OnClose();
    });
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    std::vector<CString> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.push_back(QStringToSystem(url.toLocalFile()));
    if (files.empty() || m_bFrameGone)
        return;
    event->acceptProposedAction();
    // Opened once the drop is over, so the source is not kept waiting by a message box.
    QTimer::singleShot(0, this, [this, files] {
        if (!m_bFrameGone)
            m_frame.OnDropFiles(files);
    });
}
