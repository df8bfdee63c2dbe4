// SPDX-License-Identifier: MIT
#include "GuiHarness.h"
#include "platform/AfxRes.h"
#include "res/resource.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QToolBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace lumo_gui_test;

namespace {

std::string ReadAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll().toStdString();
}

void WriteAll(const QString& path, const std::string& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::vector<std::string> MenuTexts(QMenu* menu)
{
    std::vector<std::string> texts;
    for (QAction* action : menu->actions())
        texts.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    return texts;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("sample.lumo"));
        WriteAll(path, SampleBytes());
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(MainWindowTest, MenuHasTheItemsInOrder)
{
    GuiApp app;
    ASSERT_TRUE(app.Start());
    QList<QAction*> tops = app.window().menuBar()->actions();
    ASSERT_EQ(tops.size(), 3);
    EXPECT_EQ(tops[0]->text(), "&File");
    EXPECT_EQ(tops[1]->text(), "&Edit");
    EXPECT_EQ(tops[2]->text(), "&Help");
    EXPECT_EQ(MenuTexts(tops[0]->menu()),
              (std::vector<std::string>{"&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &As...", "E&xit"}));
    EXPECT_EQ(MenuTexts(tops[1]->menu()),
              (std::vector<std::string>{"Add Item", "Remove Item", "-", "Move Up", "Move Down"}));
    EXPECT_EQ(MenuTexts(tops[2]->menu()), (std::vector<std::string>{"&About lumoEdit..."}));
    EXPECT_EQ(app.window().windowTitle(), "Untitled - lumoEdit");
    // The tree is the whole client area.
    EXPECT_NE(qobject_cast<CTreeWidget*>(app.window().centralWidget()), nullptr);
    EXPECT_EQ(app.window().findChildren<QToolBar*>().size(), 0);
    EXPECT_EQ(app.window().findChildren<QStatusBar*>().size(), 0);
}

TEST_F(MainWindowTest, MenuEnablingFollowsTheTreeAndTheSelection)
{
    GuiApp app;
    ASSERT_TRUE(app.Start());
    QMenu* edit = app.window().menuBar()->actions()[1]->menu();
    auto enabled = [&](UINT nID) {
        emit edit->aboutToShow();
        return app.window().Action(nID)->isEnabled();
    };
    for (UINT nID : {ID_EDIT_ADDITEM, ID_EDIT_REMOVEITEM, ID_EDIT_MOVEUP, ID_EDIT_MOVEDOWN})
        EXPECT_FALSE(enabled(nID)) << nID;
    emit app.window().menuBar()->actions()[0]->menu()->aboutToShow();
    EXPECT_TRUE(app.window().Action(ID_FILE_OPEN)->isEnabled());
    EXPECT_TRUE(app.window().Action(ID_FILE_SAVE)->isEnabled());

    app.fe().m_files.push_back(QStringToSystem(path));
    app.window().Action(ID_FILE_OPEN)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(app.window().windowTitle(), "sample.lumo - lumoEdit");
    EXPECT_TRUE(enabled(ID_EDIT_ADDITEM));
    EXPECT_FALSE(enabled(ID_EDIT_REMOVEITEM));

    app.SelectRow(0);
    EXPECT_TRUE(enabled(ID_EDIT_REMOVEITEM));
    EXPECT_FALSE(enabled(ID_EDIT_MOVEUP));
    EXPECT_TRUE(enabled(ID_EDIT_MOVEDOWN));
    app.SelectRow(9);
    EXPECT_TRUE(enabled(ID_EDIT_MOVEUP));
    EXPECT_FALSE(enabled(ID_EDIT_MOVEDOWN));
    app.SelectRow(3, 0);  // a data node
    EXPECT_TRUE(enabled(ID_EDIT_REMOVEITEM));
    EXPECT_FALSE(enabled(ID_EDIT_MOVEUP));
    EXPECT_FALSE(enabled(ID_EDIT_MOVEDOWN));

    // Moving from the menu keeps the selection on the moved entry.
    app.SelectRow(1);
    EXPECT_TRUE(enabled(ID_EDIT_MOVEUP));
    app.window().Action(ID_EDIT_MOVEUP)->trigger();
    EXPECT_EQ(app.Names()[0], "STR_MENU_CONTINUE");
    EXPECT_EQ(app.treeWidget().currentIndex().row(), 0);
    EXPECT_EQ(app.treeWidget().currentIndex().data().toString(), "STR_MENU_CONTINUE");
}

TEST_F(MainWindowTest, AcceleratorsReachTheirCommandsAndTheRestDoNothing)
{
    GuiApp app({QStringToSystem(path)});
    ASSERT_TRUE(app.Start());
    app.window().activateWindow();
    QApplication::setActiveWindow(&app.window());
    QWidget* focus = &app.treeWidget();
    focus->setFocus();
    app.SelectRow(2);
    const auto before = app.Names();
    QApplication::clipboard()->setText(QStringLiteral("clipboard"));

    for (auto [key, modifiers] : std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
             {Qt::Key_Z, Qt::ControlModifier}, {Qt::Key_X, Qt::ControlModifier}, {Qt::Key_C, Qt::ControlModifier},
             {Qt::Key_V, Qt::ControlModifier}, {Qt::Key_Backspace, Qt::AltModifier},
             {Qt::Key_Delete, Qt::ShiftModifier}, {Qt::Key_Insert, Qt::ControlModifier},
             {Qt::Key_Insert, Qt::ShiftModifier}, {Qt::Key_F6, Qt::NoModifier}, {Qt::Key_F6, Qt::ShiftModifier}}) {
        QTest::keyClick(focus, key, modifiers);
        QApplication::processEvents();
    }
    EXPECT_EQ(app.Names(), before);
    EXPECT_EQ(QApplication::clipboard()->text(), "clipboard");
    EXPECT_TRUE(app.fe().m_messages.empty());
    EXPECT_EQ(app.fe().m_nPrompts, 0);
    EXPECT_FALSE(app.view().GetDocument()->IsModified());

    // Ctrl+S saves (the file is replaced by a new one with the same bytes).
    struct stat before_stat {};
    ::stat(QStringToSystem(path).c_str(), &before_stat);
    QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
    struct stat after_stat {};
    ::stat(QStringToSystem(path).c_str(), &after_stat);
    EXPECT_NE(before_stat.st_ino, after_stat.st_ino);
    EXPECT_EQ(ReadAll(path), SampleBytes());

    // Ctrl+O asks for a file; Ctrl+N makes the document untitled.
    QTest::keyClick(focus, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(app.fe().m_nPrompts, 1);
    QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(app.window().windowTitle(), "Untitled - lumoEdit");
    EXPECT_EQ(app.Names(), before);
}

TEST_F(MainWindowTest, ADroppedFileOpens)
{
    GuiApp app;
    ASSERT_TRUE(app.Start());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    EXPECT_TRUE(app.window().acceptDrops());
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&app.window(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&app.window(), &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.treeWidget().model()->rowCount() == 10; }, 5000));
    EXPECT_EQ(app.window().windowTitle(), "sample.lumo - lumoEdit");
    ASSERT_EQ(app.Names().size(), 10u);
    EXPECT_EQ(app.treeWidget().model()->rowCount(), 10);
    EXPECT_EQ(app.treeWidget().model()->index(5, 0).data().toString(), "STR_CAFE_SIGN");
    EXPECT_EQ(app.treeWidget().model()->index(0, 0, app.treeWidget().model()->index(5, 0)).data().toString(),
              QString::fromUtf8("Caf\u00e9 \u00ab Le Mus\u00e9e \u00bb"));
}

TEST_F(MainWindowTest, StartedWithAMissingFileReportsAndEnds)
{
    GuiApp app({QStringToSystem(dir.filePath("missing.lumo"))});
    EXPECT_FALSE(app.Start());
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_NE(app.fe().m_messages[0].text.find("missing.lumo"), std::string::npos);
}

// The built program, started offscreen on a file, saves it byte for byte.
TEST_F(MainWindowTest, TheProgramSavesAFileByteForByte)
{
    QProcess process;
    process.setProgram(QStringLiteral(LUMO_EDITOR_PATH));
    process.setArguments({"-platform", "offscreen", "--run-command", "save", "--run-command", "exit", path});
    struct stat before {};
    ::stat(QStringToSystem(path).c_str(), &before);
    process.start();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    struct stat after {};
    ::stat(QStringToSystem(path).c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);  // written anew, not left alone
    EXPECT_EQ(ReadAll(path), SampleBytes());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

}  // namespace
