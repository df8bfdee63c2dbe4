// SPDX-License-Identifier: MIT
#include "GuiHarness.h"

#include "platform/AfxRes.h"
#include "platform/Dialog.h"
#include "platform/Resources.h"
#include "platform/WinApp.h"

#include <QApplication>
#include <QDialog>

#include <fstream>
#include <sstream>

namespace lumo_gui_test {

int CTestFrontEnd::MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType)
{
    QString title;
    if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd)
        if (CMainWindow* window = WindowOf(*pApp->m_pMainWnd))
            title = window->windowTitle();
    m_messages.push_back({strText, strCaption, nType, dynamic_cast<CDialog*>(pOwner) != nullptr, title, m_nTreePaints});
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return (nType & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

void CTestFrontEnd::CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame)
{
    CQtFrontEnd::CreateViewWindow(view, cs, frame);
    // Counts the tree's paints, so a test can tell what the user saw behind a message.
    if (auto* tree = qobject_cast<CTreeWidget*>(WindowOf(frame)->centralWidget())) {
        struct Counter : QObject {
            int& n;
            Counter(QObject* parent, int& count) : QObject(parent), n(count) {}
            bool eventFilter(QObject*, QEvent* event) override
            {
                n += event->type() == QEvent::Paint;
                return false;
            }
        };
        tree->viewport()->installEventFilter(new Counter(tree, m_nTreePaints));
    }
}

bool CTestFrontEnd::PromptFileName(CString& fileName, bool, const CString&, const CString&)
{
    ++m_nPrompts;
    if (m_files.empty())
        return false;
    const auto answer = m_files.front();
    m_files.pop_front();
    if (!answer)
        return false;
    fileName = *answer;
    return true;
}

GuiApp::GuiApp(std::vector<std::string> arguments)
{
    m_app.m_arguments = std::move(arguments);
    m_app.m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
}

GuiApp::~GuiApp()
{
    m_app.CloseAllDocuments();
    QApplication::processEvents();
}

bool GuiApp::Start()
{
    const bool ok = m_app.InitInstance();
    QApplication::processEvents();
    return ok;
}

void GuiApp::SelectRow(int row, int childRow)
{
    QAbstractItemModel* model = treeWidget().model();
    QModelIndex index = model->index(row, 0);
    if (childRow >= 0)
        index = model->index(childRow, 0, index);
    treeWidget().setCurrentIndex(index);
}

std::vector<std::string> GuiApp::Names()
{
    std::vector<std::string> names;
    for (HTREEITEM h = tree().GetRootItem(); h; h = tree().GetNextSiblingItem(h))
        names.push_back(tree().GetItemText(h));
    return names;
}

void OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
        // A failed check must not leave the dialog waiting for a person.
        if (QApplication::activeModalWidget() == modal && modal->isVisible())
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->done(QDialog::Rejected);
    });
    timer->start();
}

std::string SampleBytes()
{
    std::ifstream in(std::string(LUMO_SOURCE_DIR) + "/samples/sample.lumo", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string EntryBytes(const std::vector<std::vector<std::string>>& entries)
{
    const auto le32 = [](std::size_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string bytes = le32(entries.size());
    for (const auto& e : entries)
        for (const auto& text : e)
            bytes += le32(text.size() + 1) + text + std::string(1, '\0');
    return bytes;
}

}  // namespace lumo_gui_test
