// SPDX-License-Identifier: MIT
// The program on the real Qt front end, offscreen, with message boxes and
// file pickers answered from queues (they would wait for a person).
#pragma once

#include "app/LumoEditApp.h"
#include "document/LumoEditDoc.h"
#include "platform/FrameWnd.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/QtText.h"
#include "platform/qt/TreeWidget.h"
#include "tree/LumoEditView.h"

#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumo_gui_test {

class CTestFrontEnd : public CQtFrontEnd {
public:
    int MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType) override;
    bool PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                        const CString& strFilterExt) override;

    void CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame) override;

    struct Message {
        CString text, caption;
        UINT type;
        bool bOwnedByDialog;
        QString strWindowTitle;  // the main window's, as the message showed
        int nTreePaints;         // how often the tree had been painted by then
    };
    int m_nTreePaints = 0;
    std::vector<Message> m_messages;
    std::deque<int> m_answers;
    std::deque<std::optional<CString>> m_files;
    int m_nPrompts = 0;
};

class GuiApp {
public:
    explicit GuiApp(std::vector<std::string> arguments = {});
    ~GuiApp();
    bool Start();

    CTestFrontEnd& fe() { return m_fe; }
    CFrameWnd& frame() { return *m_app.m_pMainWnd; }
    CMainWindow& window() { return *CQtFrontEnd::WindowOf(frame()); }
    CTreeWidget& treeWidget() { return *qobject_cast<CTreeWidget*>(window().centralWidget()); }
    ClumoEditView& view() { return *dynamic_cast<ClumoEditView*>(frame().GetActiveView()); }
    CTreeCtrl& tree() { return view().GetTreeCtrl(); }
    // Selects a row of the widget as a click would.
    void SelectRow(int row, int childRow = -1);
    std::vector<std::string> Names();

private:
    CTestFrontEnd m_fe;
    ClumoEditApp m_app;
};

// Runs `action` on the next modal dialog once it shows.
void OnNextModal(std::function<void(QWidget*)> action);

std::string SampleBytes();
std::string EntryBytes(const std::vector<std::vector<std::string>>& entries);

}  // namespace lumo_gui_test
