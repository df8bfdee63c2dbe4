// Starts lumoEdit: Qt first, then the application object's InitInstance and
// the event loop.

#include "LumoEditApp.h"
#include "platform/AfxRes.h"
#include "platform/FrameWnd.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/TreeModel.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QTreeView>

#include <cstring>
#include <map>
#include <string>
#include <vector>

// The one application object.
ClumoEditApp theApp;

namespace {

const std::map<std::string, UINT> kScriptCommands{
    {"save", ID_FILE_SAVE}, {"new", ID_FILE_NEW}, {"exit", ID_APP_EXIT}, {"about", ID_APP_ABOUT}};

void PrintUsage()
{
    std::fputs("Usage: lumoEdit [FILE.lumo]\n"
               "       lumoEdit --screenshot PNG [FILE.lumo]   save a picture of the window and quit\n"
               "       lumoEdit --run-command NAME ... FILE     run menu commands after start\n"
               "                                                (save, new, about, exit), for scripts\n",
               stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("lumoEdit"));
    QApplication::setDesktopFileName(QStringLiteral("lumoedit"));

    // Our own options; everything else goes to the application object.
    std::vector<char*> arguments{argv[0]};
    QString screenshot;
    std::vector<UINT> commands;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--run-command") == 0 && i + 1 < argc) {
            auto it = kScriptCommands.find(argv[++i]);
            if (it == kScriptCommands.end()) {
                std::fprintf(stderr, "lumoEdit: unknown command '%s'\n", argv[i]);
                return 2;
            }
            commands.push_back(it->second);
        } else {
            arguments.push_back(argv[i]);
        }
    }

    CQtFrontEnd frontEnd;
    if (!screenshot.isEmpty() || !commands.empty()) {
        QTimer::singleShot(0, &application, [screenshot, commands] {
            CFrameWnd* frame = theApp.m_pMainWnd;
            for (UINT nID : commands) {
                if (!frame || theApp.m_pMainWnd != frame)
                    return;
                frame->OnCommand(nID);
            }
            if (screenshot.isEmpty() || !frame)
                return;
            CMainWindow* window = CQtFrontEnd::WindowOf(*frame);
            if (auto* tree = window ? qobject_cast<QTreeView*>(window->centralWidget()) : nullptr) {
                if (auto* model = qobject_cast<CTreeModel*>(tree->model()))
                    model->Flush();
                for (int row = 0; row < 6; ++row)
                    tree->expand(tree->model()->index(row, 0));
                tree->setCurrentIndex(tree->model()->index(5, 0));
            }
            window->resize(560, 420);
            QApplication::processEvents();
            const bool saved = window->grab().save(screenshot);
            std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "Saved" : "Could not save",
                         qPrintable(QDir::toNativeSeparators(screenshot)));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return AfxWinMain(static_cast<int>(arguments.size()), arguments.data());
}
