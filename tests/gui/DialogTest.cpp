// SPDX-License-Identifier: MIT
#include "GuiHarness.h"
#include "platform/AfxRes.h"
#include "platform/qt/DialogBuilder.h"
#include "res/resource.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace lumo_gui_test;

namespace {

// Types text as the keyboard would, character by character.
void Type(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

QPushButton* Button(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("two.lumo"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        const std::string bytes = EntryBytes({{"STR_A", "Alpha", ""}, {"STR_B", "Beta", "b"}});
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        file.close();
        app = std::make_unique<GuiApp>(std::vector<std::string>{QStringToSystem(path)});
        ASSERT_TRUE(app->Start());
    }
    QTemporaryDir dir;
    std::unique_ptr<GuiApp> app;
};

TEST_F(DialogTest, AddItemDialogHasItsFieldsInTabOrderAndRefusesAnEmptyName)
{
    bool checked = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CQtDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Input Item Properties");
        auto* name = qobject_cast<QLineEdit*>(dialog->Control(IDC_VALUE_NAME));
        auto* data = qobject_cast<QLineEdit*>(dialog->Control(IDC_VALUE_DATA));
        QPushButton* ok = Button(dialog, "OK");
        QPushButton* cancel = Button(dialog, "Cancel");
        ASSERT_TRUE(name && data && ok && cancel);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_TRUE(name->text().isEmpty());
        std::vector<QString> labels;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            labels.push_back(label->text());
        EXPECT_EQ(labels, (std::vector<QString>{"Value name:", "Value data:"}));
        // Tab order: name, data, OK, Cancel, and round again.
        EXPECT_EQ(name->nextInFocusChain(), data);
        EXPECT_EQ(data->nextInFocusChain(), ok);
        EXPECT_EQ(ok->nextInFocusChain(), cancel);
        // Placed from dialog units: the name field lies above the data field, both full width.
        EXPECT_LT(name->geometry().bottom(), data->geometry().top());
        EXPECT_EQ(name->width(), data->width());
        EXPECT_GT(dialog->width(), name->geometry().right());

        ok->click();
        ok->click();
        EXPECT_TRUE(dialog->isVisible());
        ASSERT_EQ(app->fe().m_messages.size(), 2u);  // once per click
        EXPECT_EQ(app->fe().m_messages[0].text, "Please fill the item value field.");
        EXPECT_EQ(app->fe().m_messages[0].caption, "lumoEdit");
        EXPECT_EQ(app->fe().m_messages[0].type, MB_OK);
        EXPECT_TRUE(app->fe().m_messages[0].bOwnedByDialog);

        // A character the code page cannot hold is refused at the field.
        name->setFocus();
        Type(name, QString::fromUtf8("STR_\u2603NEW"));
        EXPECT_EQ(name->text(), "STR_NEW");
        Type(data, QString::fromUtf8("Caf\u00e9 \u20ac5"));
        ok->click();
        EXPECT_FALSE(dialog->isVisible());
        checked = true;
    });
    app->frame().OnCommand(ID_EDIT_ADDITEM);
    ASSERT_TRUE(checked);
    ASSERT_EQ(app->Names().size(), 3u);
    EXPECT_EQ(app->Names()[2], "STR_NEW");
    EXPECT_EQ(app->tree().GetItemText(app->tree().GetChildItem(app->tree().GetChildAt(TVI_ROOT, 2))), "Caf\xE9 \x80"
                                                                                                       "5");
    QApplication::processEvents();
    EXPECT_EQ(app->treeWidget().model()->rowCount(), 3);
}

TEST_F(DialogTest, EscapeCancelsTheAddItemDialog)
{
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CQtDialog*>(modal);
        Type(dialog->Control(IDC_VALUE_NAME), "typed");
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    app->frame().OnCommand(ID_EDIT_ADDITEM);
    EXPECT_EQ(app->Names().size(), 2u);
    EXPECT_FALSE(app->view().GetDocument()->IsModified());
}

TEST_F(DialogTest, AboutBoxShowsTheIconAndVersion)
{
    bool checked = false;
    OnNextModal([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "About lumoEdit");
        bool version = false, icon = false;
        for (QLabel* label : modal->findChildren<QLabel*>()) {
            version |= label->text() == "lumoEdit Version 0.1";
            icon |= !label->pixmap().isNull();
        }
        EXPECT_TRUE(version);
        EXPECT_TRUE(icon);
        Button(modal, "OK")->click();
        checked = true;
    });
    const auto before = app->Names();
    app->frame().OnCommand(ID_APP_ABOUT);
    EXPECT_TRUE(checked);
    EXPECT_EQ(app->Names(), before);
    EXPECT_TRUE(app->fe().m_messages.empty());
}

}  // namespace
