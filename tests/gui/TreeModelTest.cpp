// SPDX-License-Identifier: MIT
#include "GuiHarness.h"
#include "platform/Archive.h"
#include "platform/Document.h"
#include "platform/qt/TreeModel.h"
#include "res/resource.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QTreeView>
#include "platform/qt/DialogBuilder.h"

#include <gtest/gtest.h>

#include <random>

using namespace lumo_gui_test;

namespace {

// The model adapter keeps Qt's model rules through loads, adds, removes and
// moves, and the widget's rows always match the control's.
TEST(TreeModel, StaysConsistentThroughEveryKindOfChange)
{
    GuiApp app;
    ASSERT_TRUE(app.Start());
    QAbstractItemModel* model = app.treeWidget().model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    CDocument& doc = *app.view().GetDocument();

    const auto load = [&](const std::string& bytes) {
        CArchive ar(std::string_view{bytes});
        doc.Serialize(ar);
        QApplication::processEvents();
    };
    const auto matches = [&] {
        CTreeCtrl& tree = app.tree();
        if (model->rowCount() != static_cast<int>(tree.GetChildCount(TVI_ROOT)))
            return false;
        int row = 0;
        for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h), ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data().toString().toStdString() != tree.GetItemText(h))
                return false;
            if (model->rowCount(index) != static_cast<int>(tree.GetChildCount(h)))
                return false;
        }
        return true;
    };

    std::vector<std::vector<std::string>> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back({"STR_" + std::to_string(i), "text " + std::to_string(i), i % 3 ? "" : "x"});
    load(EntryBytes(entries));
    ASSERT_TRUE(matches());
    app.treeWidget().expandAll();

    std::mt19937 rng(7);
    for (int step = 0; step < 300; ++step) {
        const int count = static_cast<int>(app.tree().GetChildCount(TVI_ROOT));
        switch (rng() % 5) {
        case 0:
            if (count)
                app.SelectRow(static_cast<int>(rng() % count));
            app.frame().OnCommand(ID_EDIT_REMOVEITEM);
            break;
        case 1:
            OnNextModal([](QWidget* modal) {
                auto* dialog = qobject_cast<CQtDialog*>(modal);
                qobject_cast<QLineEdit*>(dialog->Control(IDC_VALUE_NAME))->setText("added");
                dialog->Control(IDOK)->metaObject()->invokeMethod(dialog->Control(IDOK), "click");
            });
            app.frame().OnCommand(ID_EDIT_ADDITEM);
            break;
        case 2:
            if (count)
                app.SelectRow(static_cast<int>(rng() % count));
            app.frame().OnCommand(ID_EDIT_MOVEUP);
            break;
        case 3:
            if (count)
                app.SelectRow(static_cast<int>(rng() % count));
            app.frame().OnCommand(ID_EDIT_MOVEDOWN);
            break;
        default:
            if (rng() % 10 == 0)
                load(EntryBytes(entries));
        }
        if (rng() % 2)
            QApplication::processEvents();
        static_cast<CTreeModel*>(model)->Flush();
        ASSERT_TRUE(matches()) << "step " << step;
        // The widget's current row is the control's selection.
        HTREEITEM selected = app.tree().GetSelectedItem();
        if (selected) {
            ASSERT_EQ(static_cast<CTreeModel*>(model)->ItemOf(app.treeWidget().currentIndex()), selected);
        }
        if (app.tree().GetCount() == 0)
            load(EntryBytes(entries));
    }
}

}  // namespace
