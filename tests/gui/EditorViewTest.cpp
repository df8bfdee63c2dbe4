// SPDX-License-Identifier: MIT
// What a person sees in the editor and what it then acts on: the row shown
// selected, whole texts, messages in front of a finished window, and notes
// about bytes a save writes differently, in the editor and in lumo check.
#include "GuiHarness.h"
#include "platform/AfxRes.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/TreeModel.h"
#include "res/resource.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace lumo_gui_test;

namespace {

class EditorView : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Write(const char* name, const std::string& bytes)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }
    // The window on screen with the keyboard focus in the tree, as after a start.
    static void ShowAndFocus(GuiApp& app)
    {
        app.window().show();
        app.window().activateWindow();
        QApplication::setActiveWindow(&app.window());
        app.treeWidget().setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.window()));
        QApplication::processEvents();
    }
    static bool Enabled(GuiApp& app, UINT nID)
    {
        emit app.window().menuBar()->actions()[1]->menu()->aboutToShow();
        return app.window().Action(nID)->isEnabled();
    }
    QTemporaryDir m_dir;
};

// Started on a file, nothing is selected, whatever row Qt takes as current:
// Remove and the Moves wait for a row to be shown selected, by a click or
// an arrow key, and then act on that one.
TEST_F(EditorView, TheEditCommandsActOnTheRowShownSelected)
{
    GuiApp app({QStringToSystem(Write("sample.lumo", SampleBytes()))});
    ASSERT_TRUE(app.Start());
    ShowAndFocus(app);
    CTreeWidget& tree = app.treeWidget();
    EXPECT_TRUE(tree.selectionModel()->selectedIndexes().isEmpty());
    for (UINT nID : {ID_EDIT_REMOVEITEM, ID_EDIT_MOVEUP, ID_EDIT_MOVEDOWN})
        EXPECT_FALSE(Enabled(app, nID)) << nID;
    EXPECT_TRUE(Enabled(app, ID_EDIT_ADDITEM));
    app.window().Action(ID_EDIT_REMOVEITEM)->trigger();
    EXPECT_EQ(app.Names().size(), 10u);

    // A click on the fourth entry selects it; Remove removes it.
    const std::string fourth = app.Names()[3];
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(tree.model()->index(3, 0)).center());
    ASSERT_TRUE(Enabled(app, ID_EDIT_REMOVEITEM));
    app.window().Action(ID_EDIT_REMOVEITEM)->trigger();
    ASSERT_EQ(app.Names().size(), 9u);
    const std::vector<std::string> names = app.Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), fourth), 0);
    // The selection went to the next entry, and it is shown so.
    HTREEITEM hSelected = app.tree().GetSelectedItem();
    ASSERT_NE(hSelected, nullptr);
    ASSERT_EQ(tree.selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(tree.Model()->ItemOf(tree.selectionModel()->selectedIndexes()[0]), hSelected);

    // Ctrl+click takes the selection away; the current row stays, Remove is off.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, tree.visualRect(tree.currentIndex()).center());
    EXPECT_TRUE(tree.selectionModel()->selectedIndexes().isEmpty());
    EXPECT_TRUE(tree.currentIndex().isValid());
    EXPECT_FALSE(Enabled(app, ID_EDIT_REMOVEITEM));

    // An arrow key selects as it moves; Move Down moves that entry.
    QTest::keyClick(&tree, Qt::Key_Down);
    ASSERT_EQ(tree.selectionModel()->selectedIndexes().size(), 1);
    const int row = tree.selectionModel()->selectedIndexes()[0].row();
    const std::string moved = app.Names()[static_cast<std::size_t>(row)];
    ASSERT_TRUE(Enabled(app, ID_EDIT_MOVEDOWN));
    app.window().Action(ID_EDIT_MOVEDOWN)->trigger();
    EXPECT_EQ(app.Names()[static_cast<std::size_t>(row) + 1], moved);
}

// A line break, a tab and other control bytes show as symbols on the one
// line of the row; a text cut to fit shows whole in its tooltip; the bytes
// stay what they were.
TEST_F(EditorView, RowsShowWholeTextsAndTheirLineBreaks)
{
    const std::string multiLine = "First line\r\nsecond\tcolumn\x07";
    const std::string longText = std::string(400, 'w') + " end";
    const std::string bytes = EntryBytes({{"STR_LINES", multiLine, ""}, {"STR_LONG", longText, ""}, {"STR_S", "short", ""}});
    const QString path = Write("texts.lumo", bytes);
    GuiApp app({QStringToSystem(path)});
    ASSERT_TRUE(app.Start());
    ShowAndFocus(app);
    CTreeWidget& tree = app.treeWidget();
    tree.expandAll();
    QApplication::processEvents();
    QAbstractItemModel* model = tree.model();
    const QModelIndex lines = model->index(0, 0, model->index(0, 0));
    const QModelIndex longRow = model->index(0, 0, model->index(1, 0));
    const QModelIndex shortRow = model->index(0, 0, model->index(2, 0));
    EXPECT_EQ(lines.data().toString(), QString::fromUtf8("First line\u2190\u21B5second\u2192column\u2407"));
    EXPECT_EQ(lines.data(Qt::AccessibleTextRole).toString().toStdString(), multiLine);

    const auto toolTipAt = [&](const QModelIndex& index) {
        QToolTip::hideText();
        const QPoint pos = tree.visualRect(index).center();
        QHelpEvent help(QEvent::ToolTip, pos, tree.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(tree.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_TRUE(tree.IsTextCut(longRow));
    const QString tip = toolTipAt(longRow);
    EXPECT_TRUE(tip.contains(QString::fromStdString(longText))) << tip.left(80).toStdString();
    EXPECT_FALSE(tree.IsTextCut(shortRow));
    EXPECT_FALSE(toolTipAt(shortRow).contains(QStringLiteral("short")));
    // Narrowed until the multi-line text is cut too: its tooltip keeps the line break.
    app.window().resize(200, app.window().height());
    QApplication::processEvents();
    ASSERT_TRUE(tree.IsTextCut(lines));
    EXPECT_TRUE(toolTipAt(lines).contains(QStringLiteral("First line\u2190\nsecond\tcolumn")));

    app.window().Action(ID_FILE_SAVE)->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), bytes);
}

// Add Item appends its entry out of sight at the end: the view scrolls to
// it, and leaves it unselected and unexpanded.
TEST_F(EditorView, AddItemScrollsTheNewEntryIntoView)
{
    std::vector<std::vector<std::string>> entries;
    for (int i = 0; i < 5000; ++i)
        entries.push_back({"STR_" + std::to_string(i), "text", ""});
    GuiApp app({QStringToSystem(Write("many.lumo", EntryBytes(entries)))});
    ASSERT_TRUE(app.Start());
    ShowAndFocus(app);
    CTreeWidget& tree = app.treeWidget();
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CQtDialog*>(modal);
        qobject_cast<QLineEdit*>(dialog->Control(IDC_VALUE_NAME))->setText(QStringLiteral("STR_NEW"));
        qobject_cast<QPushButton*>(dialog->Control(IDOK))->click();
    });
    app.window().Action(ID_EDIT_ADDITEM)->trigger();
    QApplication::processEvents();
    const QModelIndex added = tree.model()->index(5000, 0);
    ASSERT_EQ(added.data().toString(), "STR_NEW");
    EXPECT_TRUE(tree.viewport()->rect().contains(tree.visualRect(added))) << tree.visualRect(added).y();
    EXPECT_FALSE(tree.isExpanded(added));
    EXPECT_EQ(app.tree().GetSelectedItem(), nullptr);
    EXPECT_TRUE(tree.selectionModel()->selectedIndexes().isEmpty());
}

// A damaged file opened over another: the message shows when the title
// already says what the entries on screen are, and every message names the
// file by its whole path, however it was given.
TEST_F(EditorView, MessagesComeWithTheTitleAndTheFileNameInOneForm)
{
    Write("sample.lumo", SampleBytes());
    const QString cut = Write("cut.lumo", SampleBytes().substr(0, 100));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    std::string fromCommandLine;
    {
        GuiApp app({"cut.lumo"});
        EXPECT_FALSE(app.Start());
        ASSERT_EQ(app.fe().m_messages.size(), 1u);
        fromCommandLine = app.fe().m_messages[0].text;
    }
    GuiApp app({"sample.lumo"});
    ASSERT_TRUE(app.Start());
    QDir::setCurrent(saved);
    ShowAndFocus(app);
    EXPECT_EQ(app.window().windowTitle(), "sample.lumo - lumoEdit");
    app.fe().m_files.push_back(QStringToSystem(cut));
    app.window().Action(ID_FILE_OPEN)->trigger();
    ASSERT_EQ(app.fe().m_messages.size(), 1u);
    EXPECT_EQ(app.fe().m_messages[0].strWindowTitle, "Untitled - lumoEdit");
    EXPECT_EQ(app.fe().m_messages[0].text, fromCommandLine);
    EXPECT_EQ(fromCommandLine.rfind("Cannot open \"" + QStringToSystem(QDir(m_dir.path()).absoluteFilePath("cut.lumo")) +
                                        "\":\nthe file is damaged: ",
                                    0),
              0u)
        << fromCommandLine;
    EXPECT_GT(app.Names().size(), 0u);  // the entries read before the damage
}

// After the empty-name message the name field has the focus again, though
// the click on OK had taken it.
TEST_F(EditorView, TheNameFieldHasTheFocusAfterTheEmptyNameMessage)
{
    GuiApp app({QStringToSystem(Write("sample.lumo", SampleBytes()))});
    ASSERT_TRUE(app.Start());
    bool checked = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CQtDialog*>(modal);
        auto* name = qobject_cast<QLineEdit*>(dialog->Control(IDC_VALUE_NAME));
        auto* ok = qobject_cast<QPushButton*>(dialog->Control(IDOK));
        QTest::mouseClick(ok, Qt::LeftButton);
        ASSERT_EQ(app.fe().m_messages.size(), 1u);
        EXPECT_EQ(app.fe().m_messages[0].text, "Please fill the item value field.");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), name);
        checked = true;
    });
    app.window().Action(ID_EDIT_ADDITEM)->trigger();
    EXPECT_TRUE(checked);
}

// Qt's own Open dialog (where the desktop has none) shows each column whole.
TEST_F(EditorView, TheOpenDialogShowsNameSizeTypeAndDateWhole)
{
    Write("translations-fr.lumo", SampleBytes());
    GuiApp app;
    ASSERT_TRUE(app.Start());
    bool checked = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* view = dialog->findChild<QTreeView*>();
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 5000));
        QTest::qWait(200);
        ASSERT_TRUE(view->isVisible()) << "not the detail view";
        int total = 0;
        for (int column = 0; column < 4; ++column) {
            EXPECT_GE(view->header()->sectionSize(column), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column)) << column;
            EXPECT_FALSE(view->header()->isSectionHidden(column));
            total += view->header()->sectionSize(column);
        }
        EXPECT_LE(total, view->viewport()->width());
        checked = true;
    });
    CString name = QStringToSystem(m_dir.path()) + "/";
    app.fe().CQtFrontEnd::PromptFileName(name, true, "lumoEdit Files (*.lumo)", ".lumo");
    EXPECT_TRUE(checked);
}

struct CRun {
    int status;
    std::string out;
};

CRun Lumo(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(LUMO_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), process.readAllStandardOutput().toStdString()};
}

// Records a save writes in other bytes, and files that are no entry files:
// the editor and lumo check say the same. Records: a note (status 0, with
// --strict 1); a file of another kind: its count or first length first.
TEST_F(EditorView, TheEditorAndLumoCheckNoteTheSameThings)
{
    const auto le32 = [](std::uint32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        return s;
    };
    const std::string ok = EntryBytes({{"STR_A", "Alpha", ""}});
    struct Case {
        const char* name;
        std::string bytes;
        std::string note;  // "" for a damaged file
        std::string damage;
    };
    const std::vector<Case> cases{
        {"unterminated.lumo", le32(1) + le32(6) + "STR_A" + '\0' + le32(2) + "AB" + le32(1) + '\0',
         "1 record will be written in the usual form: the data text of entry 1 does not end in a 0x00 byte (byte offset 14)",
         ""},
        {"zero.lumo", le32(1) + le32(6) + "STR_A" + '\0' + le32(0) + le32(0),
         "2 records will be written in the usual form: the data text of entry 1 has length 0 (byte offset 14), and 1 "
         "more record is the same",
         ""},
        {"padded.lumo", ok + "xy", "2 bytes after the last entry are not part of any entry", ""},
        {"picture.lumo", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(2000, '\x11'), "",
         "does not look like an entry file; entry 1 of 1196314761 says its name has 169478669 bytes, but only 2008 "
         "follow (at byte offset 4)"},
        {"cut.lumo", ok.substr(0, ok.size() - 1), "",
         "entry 1 of 1 says its extra text has 1 byte, but only 0 follow (at byte offset 24)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Write(c.name, c.bytes);
        const CRun check = Lumo({"check", path});
        const CRun strict = Lumo({"check", "--strict", path});
        GuiApp app({QStringToSystem(path)});
        const bool bStarted = app.Start();
        if (bStarted)
            EXPECT_TRUE(QTest::qWaitFor([&] { return !app.fe().m_messages.empty(); }, 3000));
        ASSERT_EQ(app.fe().m_messages.size(), 1u);
        const std::string& message = app.fe().m_messages[0].text;
        if (c.damage.empty()) {
            EXPECT_TRUE(bStarted);
            EXPECT_EQ(check.out, path.toStdString() + ": ok, 1 entries; " + c.note + "\n");
            EXPECT_EQ(check.status, 0);
            EXPECT_EQ(strict.status, 1);
            EXPECT_NE(message.find(c.note), std::string::npos) << message;
            // Shown over the window with its entries drawn.
            EXPECT_GT(app.fe().m_messages[0].nTreePaints, 0);
        } else {
            EXPECT_FALSE(bStarted);
            EXPECT_EQ(check.out, path.toStdString() + ": damaged: " + c.damage + "\n");
            EXPECT_EQ(check.status, 1);
            EXPECT_NE(message.find("\":\nthe file " + std::string(c.damage.rfind("does", 0) == 0 ? "" : "is damaged: ") +
                                   c.damage + "."),
                      std::string::npos)
                << message;
        }
    }
}

}  // namespace
