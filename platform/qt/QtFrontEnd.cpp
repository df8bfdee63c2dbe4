// SPDX-License-Identifier: MIT
#include "QtFrontEnd.h"

#include "DialogBuilder.h"
#include "MainWindow.h"
#include "QtText.h"
#include "TreeWidget.h"
#include "platform/Dialog.h"
#include "platform/FrameWnd.h"
#include "platform/View.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

QIcon LoadIconResource(UINT nID)
{
    QIcon icon;
    if (const CIconResource* resource = AfxFindIcon(nID))
        for (const CIconImage& image : resource->images)
            icon.addFile(QStringLiteral(":/icons/") + QString::fromLatin1(image.fileName),
                         QSize(image.size, image.size));
    return icon;
}

static void InitIconResources()
{
    // The icons are compiled into a static library: register them explicitly.
    Q_INIT_RESOURCE(lumoEdit);
}

CQtFrontEnd::CQtFrontEnd()
{
    InitIconResources();
    AfxSetFrontEnd(this);
}

CQtFrontEnd::~CQtFrontEnd()
{
    if (AfxGetFrontEnd() == this)
        AfxSetFrontEnd(nullptr);
}

CMainWindow* CQtFrontEnd::WindowOf(const CFrameWnd& frame)
{
    return static_cast<CMainWindow*>(frame.m_pPeer);
}

CQtDialog* CQtFrontEnd::DialogOf(const CDialog& dlg)
{
    return static_cast<CQtDialog*>(dlg.m_pPeer);
}

void CQtFrontEnd::ReportUnanswered(const CString& strText)
{
    m_bAnswerNeeded = true;
    const CString line = "lumoEdit: " + strText + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

QWidget* CQtFrontEnd::WidgetOf(CWnd* pWnd) const
{
    if (!pWnd)
        return QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    return static_cast<QWidget*>(pWnd->m_pPeer);
}

void CQtFrontEnd::CreateFrameWindow(CFrameWnd& frame, const CREATESTRUCT&, UINT nIDResource)
{
    frame.m_pPeer = new CMainWindow(frame, nIDResource);
}

void CQtFrontEnd::CreateViewWindow(CView& view, const CREATESTRUCT& cs, CFrameWnd& frame)
{
    CMainWindow* window = WindowOf(frame);
    auto* treeView = dynamic_cast<CTreeView*>(&view);
    if (!window || !treeView)
        throw std::logic_error("the Qt front end shows tree views in frames only");
    auto* widget = new CTreeWidget(treeView->GetTreeCtrl(), cs.style, window);
    window->setCentralWidget(widget);
    view.m_pPeer = widget;
    widget->setFocus();
}

void CQtFrontEnd::DestroyFrameWindow(CFrameWnd& frame)
{
    CMainWindow* window = WindowOf(frame);
    if (!window)
        return;
    frame.m_pPeer = nullptr;
    if (CView* view = frame.GetActiveView())
        view->m_pPeer = nullptr;
    window->ForgetFrame();
    window->hide();
    // The tree widget stops listening now; the window itself goes when the event loop is back.
    if (auto* widget = qobject_cast<CTreeWidget*>(window->centralWidget()))
        delete widget;
    window->deleteLater();
}

void CQtFrontEnd::ShowWindow(CFrameWnd& frame, int nCmdShow)
{
    if (CMainWindow* window = WindowOf(frame))
        window->setVisible(nCmdShow != SW_HIDE);
}

void CQtFrontEnd::UpdateWindow(CFrameWnd& frame)
{
    if (CMainWindow* window = WindowOf(frame); window && window->isVisible())
        window->repaint();
}

void CQtFrontEnd::SetWindowText(CFrameWnd& frame, const CString& strText)
{
    if (CMainWindow* window = WindowOf(frame))
        window->setWindowTitle(SystemToQString(strText));
}

void CQtFrontEnd::RunWhenPainted(CFrameWnd& frame, std::function<void()> fn)
{
    // In a script nothing waits for the screen: what is to be told is met at once.
    CMainWindow* window = WindowOf(frame);
    if (m_bUnattended || !window)
        fn();
    else
        window->RunWhenPainted(std::move(fn));
}

void CQtFrontEnd::DragAcceptFiles(CFrameWnd& frame, bool bAccept)
{
    if (CMainWindow* window = WindowOf(frame))
        window->SetAcceptsFiles(bAccept);
}

INT_PTR CQtFrontEnd::RunModalDialog(CDialog& dlg)
{
    const CDialogTemplate* tmpl = AfxFindDialogTemplate(dlg.GetTemplateId());
    if (!tmpl)
        throw std::logic_error("no dialog template " + std::to_string(dlg.GetTemplateId()));
    if (m_bUnattended) {
        ReportUnanswered("the dialog \"" + CString(tmpl->caption) + "\" waits for an answer, which a script cannot give");
        return IDCANCEL;
    }
    CQtDialog window(dlg, *tmpl, WidgetOf(dlg.m_pParentWnd));
    dlg.m_pPeer = &window;
    struct Detach {
        CDialog& dlg;
        ~Detach() { dlg.m_pPeer = nullptr; }
    } detach{dlg};
    dlg.OnInitDialog();
    return window.exec();
}

void CQtFrontEnd::EndDialog(CDialog& dlg, int nResult)
{
    if (CQtDialog* window = DialogOf(dlg))
        window->done(nResult);
}

CString CQtFrontEnd::GetDlgItemText(const CDialog& dlg, int nID)
{
    CQtDialog* window = DialogOf(dlg);
    QWidget* control = window ? window->Control(nID) : nullptr;
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return QStringToBytes(edit->text()).value_or(CString());  // the validator lets nothing else in
    if (auto* button = qobject_cast<QPushButton*>(control))
        return QStringToBytes(button->text()).value_or(CString());
    return {};
}

void CQtFrontEnd::SetDlgItemText(CDialog& dlg, int nID, const CString& strText)
{
    CQtDialog* window = DialogOf(dlg);
    if (auto* edit = qobject_cast<QLineEdit*>(window ? window->Control(nID) : nullptr))
        edit->setText(BytesToQString(strText));
}

void CQtFrontEnd::GotoDlgCtrl(CDialog& dlg, int nID)
{
    CQtDialog* window = DialogOf(dlg);
    if (QWidget* control = window ? window->Control(nID) : nullptr) {
        control->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->selectAll();
    }
}

int CQtFrontEnd::MessageBox(CWnd* pOwner, const CString& strText, const CString& strCaption, UINT nType)
{
    if (m_bUnattended) {
        ReportUnanswered(strText);
        // The answer that changes nothing: Cancel where there is one, else No.
        const UINT nButtons = nType & MB_TYPEMASK;
        return nButtons == MB_OK ? IDOK : nButtons == MB_YESNOCANCEL ? IDCANCEL : IDNO;
    }
    QMessageBox box(WidgetOf(pOwner));
    box.setWindowTitle(SystemToQString(strCaption));
    box.setText(SystemToQString(strText));
    switch (nType & MB_ICONMASK) {
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    if ((nType & MB_TYPEMASK) == MB_YESNOCANCEL) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if ((nType & MB_TYPEMASK) == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

bool CQtFrontEnd::PromptFileName(CString& fileName, bool bOpen, const CString& strFilterName,
                                 const CString& strFilterExt)
{
    if (m_bUnattended) {
        ReportUnanswered(CString(bOpen ? "Open" : "Save As") + " needs a file name, which a script cannot choose");
        return false;
    }
    QFileDialog dialog(QApplication::activeWindow());
    PrepareFileDialog(dialog);
    dialog.setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList filters;
    if (!strFilterName.empty())
        filters << SystemToQString(strFilterName);
    filters << QStringLiteral("All Files (*)");
    dialog.setNameFilters(filters);
    if (!strFilterExt.empty())
        dialog.setDefaultSuffix(SystemToQString(strFilterExt).mid(strFilterExt[0] == '.' ? 1 : 0));
    if (!fileName.empty())
        dialog.selectFile(SystemToQString(fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = QStringToSystem(dialog.selectedFiles().constFirst());
    return true;
}

void CQtFrontEnd::PrepareFileDialog(QFileDialog& dialog)
{
    // Qt's own dialog (where the desktop has none) starts at 624 x 412 with
    // its size column too narrow for "524 bytes": widen the columns to their
    // contents once the folder is read, and the dialog to show them all.
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* view = dialog.findChild<QTreeView*>()) {
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            // After the view has taken in the folder's rows (and its scroll bar).
            QObject::connect(model, &QFileSystemModel::directoryLoaded, view, [view] {
                QTimer::singleShot(0, view, [view] {
                    QHeaderView* header = view->header();
                    int others = 0;
                    for (int column = 1; column < header->count(); ++column) {
                        view->resizeColumnToContents(column);
                        others += header->isSectionHidden(column) ? 0 : header->sectionSize(column);
                    }
                    // The name takes the rest of the width.
                    header->resizeSection(0, std::max(header->sectionSize(0) / 2, view->viewport()->width() - others));
                });
            });
    }
    const QFontMetrics metrics(dialog.font());
    QSize size(metrics.horizontalAdvance(QLatin1Char('x')) * 130, metrics.height() * 32);
    if (QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
}

int CQtFrontEnd::Run()
{
    return QApplication::exec();
}

void CQtFrontEnd::Quit(int nExitCode)
{
    QApplication::exit(nExitCode);
}
