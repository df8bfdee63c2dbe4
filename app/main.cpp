// SPDX-License-Identifier: MIT
// Starts lumoEdit: the command line first (help and version need no display),
// then Qt, the application object's InitInstance and the event loop.

#include "LumoEditApp.h"
#include "platform/AfxRes.h"
#include "platform/FrameWnd.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtFrontEnd.h"
#include "platform/qt/TreeModel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <QTreeView>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The one application object.
ClumoEditApp theApp;

namespace {

constexpr int kExitUsage = 2;

const std::map<QString, UINT> kScriptCommands{{QStringLiteral("save"), ID_FILE_SAVE},
                                              {QStringLiteral("new"), ID_FILE_NEW},
                                              {QStringLiteral("exit"), ID_APP_EXIT},
                                              {QStringLiteral("about"), ID_APP_ABOUT}};

// What the command line asks for, once it was read without error.
struct CEditorCommandLine {
    QString strScreenshot;
    std::vector<UINT> commands;
    QString strFile;  // empty: start with a new document
};

void SetUpParser(QCommandLineParser& parser)
{
    // "-platform offscreen" is one option to Qt; read single-dash words the same way.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Edit the entries of a localization entry file (.lumo)."));
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit.")});
    parser.addOption({QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window to PNG and quit."),
                      QStringLiteral("PNG")});
    parser.addOption({QStringLiteral("run-command"),
                      QStringLiteral("Run a menu command after start: save, new, about or exit; repeatable. "
                                     "Nobody answers in such a run: a message is written to standard error, "
                                     "the remaining commands are skipped and the exit status is 1."),
                      QStringLiteral("NAME")});
    // Qt's own options, so that they and their values are not taken for
    // ours or for the file: QApplication takes them out of argv itself.
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "display", "geometry", "title", "icon",
                             "name", "visual", "style", "stylesheet", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString());
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The entry file to open."),
                                 QStringLiteral("[FILE]"));
}

// Help and version go to standard output; a reader that is gone is an error too.
int PrintAndExit(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
            static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
        std::fputs("lumoEdit: cannot write to standard output\n", stderr);
        return kExitUsage;
    }
    return 0;
}

QString HelpText(const QCommandLineParser& parser)
{
    // Without an application object the parser cannot name the program.
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')),
                 QStringLiteral("Usage: lumoEdit [options] [FILE]"));
    return text + QStringLiteral("\nQt's own options (-platform NAME, -style NAME, ...) are accepted too.\n"
                                 "Exit status: 0 when all went well; 1 when a --run-command or --screenshot "
                                 "run met a message, or the file could not be opened; 2 for a usage error.\n");
}

int UsageError(const QString& text)
{
    std::fprintf(stderr, "lumoEdit: %s\nTry 'lumoEdit --help' for more information.\n", qPrintable(text));
    return kExitUsage;
}

// Checks a parse and takes its values; returns the exit status of a usage error.
std::optional<int> ReadParse(const QCommandLineParser& parser, bool bParsed, CEditorCommandLine& line)
{
    if (!bParsed)
        return UsageError(parser.errorText());
    for (const QString& name : parser.values(QStringLiteral("run-command"))) {
        const auto it = kScriptCommands.find(name);
        if (it == kScriptCommands.end())
            return UsageError(QStringLiteral("unknown command '%1' (save, new, about, exit)").arg(name));
        line.commands.push_back(it->second);
    }
    line.strScreenshot = parser.value(QStringLiteral("screenshot"));
    if (parser.isSet(QStringLiteral("screenshot")) && line.strScreenshot.isEmpty())
        return UsageError(QStringLiteral("--screenshot needs the name of a PNG file"));
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return UsageError(QStringLiteral("one FILE at most, not %1").arg(files.size()));
    if (!files.isEmpty() && files.front().isEmpty())
        return UsageError(QStringLiteral("the FILE name is empty"));
    line.strFile = files.isEmpty() ? QString() : files.front();
    return std::nullopt;
}

void TakeScreenshot(CFrameWnd& frame, const QString& screenshot)
{
    CMainWindow* window = CQtFrontEnd::WindowOf(frame);
    if (!window) {
        QApplication::exit(1);
        return;
    }
    if (auto* tree = qobject_cast<QTreeView*>(window->centralWidget())) {
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
}

// Runs the commands one by one; the first message that would wait for an
// answer ends the run with status 1 instead.
void RunScript(CQtFrontEnd& frontEnd, const CEditorCommandLine& line)
{
    CFrameWnd* frame = theApp.m_pMainWnd;
    for (UINT nID : line.commands) {
        if (frontEnd.WasAnswerNeeded() || !frame || theApp.m_pMainWnd != frame || !frame->m_pPeer)
            break;
        frame->OnCommand(nID);
    }
    if (frontEnd.WasAnswerNeeded()) {
        frontEnd.Quit(1);
        return;
    }
    if (!line.strScreenshot.isEmpty()) {
        if (frame && frame->m_pPeer)
            TakeScreenshot(*frame, line.strScreenshot);
        return;
    }
    // The window stays open (no exit command): from here on a person answers.
    frontEnd.SetUnattended(false);
}

}  // namespace

int main(int argc, char** argv)
{
    // Under a file size limit (ulimit -f) a write past it would kill the
    // program and lose the edits; ignored, the write fails and the save says so.
    std::signal(SIGXFSZ, SIG_IGN);

    // Qt rewrites argv: keep the arguments as they came.
    const std::vector<std::string> rawBytes(argv, argv + argc);
    QStringList rawArguments;
    for (const std::string& argument : rawBytes)
        rawArguments << QString::fromLocal8Bit(argument);
    QCommandLineParser parser;
    SetUpParser(parser);
    CEditorCommandLine line;
    const bool bParsed = parser.parse(rawArguments);
    if (parser.isSet(QStringLiteral("help")))
        return PrintAndExit(HelpText(parser));
    if (parser.isSet(QStringLiteral("version")))
        return PrintAndExit(QStringLiteral("lumoEdit " LUMO_VERSION "\n"));
    // Read in full now, before the application object wants a display.
    if (const auto status = ReadParse(parser, bParsed, line))
        return *status;

    // Qt takes its options out of the arguments before "--" only: what
    // follows it is a file name, whatever it looks like.
    int qtArgc = 0;
    while (qtArgc < argc && std::strcmp(argv[qtArgc], "--") != 0)
        ++qtArgc;
    QApplication application(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("lumoEdit"));
    QApplication::setApplicationVersion(QStringLiteral(LUMO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.lumoedit.LumoEdit"));

    CQtFrontEnd frontEnd;
    if (!line.strScreenshot.isEmpty() || !line.commands.empty()) {
        frontEnd.SetUnattended(true);
        // Runs once the event loop starts, after InitInstance: a message the
        // start-up showed (a load warning, say) has been met by then.
        QTimer::singleShot(0, &application, [&frontEnd, &line] { RunScript(frontEnd, line); });
    }

    // The application reads the file name after "--", so a name starting
    // with '-' is not taken for an option. The name's own bytes are passed
    // on: a name that is not UTF-8 would not survive the trip through QString.
    std::string program = rawBytes.empty() ? std::string("lumoEdit") : rawBytes.front();
    std::string separator = "--";
    std::string file;
    for (std::size_t i = rawBytes.size(); i-- > 1 && !line.strFile.isEmpty();)
        if (rawArguments[static_cast<qsizetype>(i)] == line.strFile) {
            file = rawBytes[i];
            break;
        }
    std::vector<char*> arguments{program.data()};
    if (!file.empty()) {
        arguments.push_back(separator.data());
        arguments.push_back(file.data());
    }
    const int status = AfxWinMain(static_cast<int>(arguments.size()), arguments.data());
    // A message met during the run (by the exit command's save-changes
    // prompt, say) makes it a failure even when the window closed.
    return status == 0 && frontEnd.WasAnswerNeeded() ? 1 : status;
}
