// SPDX-License-Identifier: MIT
// The window figure: the program started on the Qt front end with the file
// on its command line, timed from the start of the open to the end of the
// first paint of the tree that shows the entries. Runs on Qt's offscreen
// platform unless another one is asked for.

#include "BenchSupport.h"

#include "app/LumoEditApp.h"
#include "platform/FrameWnd.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/TreeModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>

#include <chrono>
#include <stdexcept>

namespace {

// Notes a paint of a tree view showing all the entries (every top-level row
// published to the view): the paint event reaches this filter first and is
// drawn when its delivery returns.
class CPaintWatch : public QObject {
public:
    bool m_bPainted = false;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint) {
            auto* view = qobject_cast<QAbstractItemView*>(pObject->parent());
            auto* model = view ? qobject_cast<CTreeModel*>(view->model()) : nullptr;
            if (model && pObject == view->viewport() &&
                static_cast<UINT>(model->rowCount()) == model->Tree().GetChildCount(TVI_ROOT))
                m_bPainted = true;
        }
        return false;
    }
};

}  // namespace

lumo_bench::Timing MeasureWindow(const std::filesystem::path& file, int nRepeat, lumo_bench::CReport& report)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "lumo_bench";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    CQtFrontEnd frontEnd;
    CPaintWatch watch;
    application.installEventFilter(&watch);

    lumo_bench::CSeries windows, opens;
    int nRows = 0;
    for (int r = 0; r < nRepeat; ++r) {
        ClumoEditApp app;
        app.m_arguments = {file.string()};
        watch.m_bPainted = false;
        lumo_bench::CStopwatch sw;
        if (!app.InitInstance())
            throw std::runtime_error("the window did not open the file");
        opens.Add(sw.Stop());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!watch.m_bPainted) {
            QApplication::processEvents(QEventLoop::AllEvents);
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("the tree was not painted within two minutes");
        }
        windows.Add(sw.Stop());
        CMainWindow* window = app.m_pMainWnd ? CQtFrontEnd::WindowOf(*app.m_pMainWnd) : nullptr;
        auto* view = window ? qobject_cast<QAbstractItemView*>(window->centralWidget()) : nullptr;
        nRows = view && view->model() ? view->model()->rowCount() : 0;
    }
    report.Line("window platform", QApplication::platformName().toStdString() + ", " + std::to_string(nRows) +
                                       " rows in the tree");
    report.Time("window", windows.Best());
    report.Time("window: opened", opens.Best());  // the part before the event loop paints
    report.Time("window (first)", windows.First());
    return windows.Best();
}
