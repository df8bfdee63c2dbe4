// SPDX-License-Identifier: MIT
#include "DialogBuilder.h"

#include "QtText.h"
#include "platform/Dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>

QIcon LoadIconResource(UINT nID);

CQtDialog::CQtDialog(CDialog& dlg, const CDialogTemplate& tmpl, QWidget* parent) : QDialog(parent), m_dlg(dlg)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   ((tmpl.style & WS_SYSMENU) ? Qt::WindowCloseButtonHint : Qt::WindowType(0)) |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromLatin1(tmpl.caption));
    setModal(true);

    // The shell dialog font is the platform's own user-interface font.
    QFont font = QApplication::font();
    if (tmpl.italic)
        font.setItalic(true);
    setFont(font);
    const QFontMetrics metrics(font);
    m_nBaseX = (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    m_nBaseY = metrics.height();

    QWidget* previous = nullptr;
    for (const CDialogItemTemplate& item : tmpl.items) {
        QWidget* widget = nullptr;
        switch (item.kind) {
        case CControlKind::pushButton: {
            auto* button = new QPushButton(QString::fromLatin1(item.text), this);
            button->setDefault((item.style & BS_DEFPUSHBUTTON) != 0);
            const int nID = item.nID;
            connect(button, &QPushButton::clicked, this, [this, nID] { RouteCommand(nID); });
            widget = button;
            break;
        }
        case CControlKind::edit: {
            auto* edit = new QLineEdit(BytesToQString(item.text ? item.text : ""), this);
            edit->setValidator(new CCodePageValidator(edit));
            edit->setFrame((item.style & WS_BORDER) != 0);
            connect(edit, &QLineEdit::inputRejected, edit, [edit] {
                QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                                   tr("This character cannot be stored in an entry file (Windows-1252)."), edit);
            });
            widget = edit;
            break;
        }
        case CControlKind::staticText: {
            auto* label = new QLabel(QString::fromLatin1(item.text), this);
            label->setTextFormat(Qt::PlainText);
            widget = label;
            break;
        }
        case CControlKind::icon: {
            auto* label = new QLabel(this);
            const QIcon icon = LoadIconResource(item.nIconID);
            const QList<QSize> sizes = icon.availableSizes();
            const QSize size = (item.style & SS_REALSIZEIMAGE) && !sizes.isEmpty() ? sizes.constFirst() : QSize(32, 32);
            label->setPixmap(icon.pixmap(size));
            label->setObjectName(QStringLiteral("icon"));
            widget = label;
            break;
        }
        }
        const QRect rect = MapDialogRect(item.x, item.y, item.cx, item.cy);
        if (item.kind == CControlKind::icon)
            widget->setGeometry(QRect(rect.topLeft(), widget->sizeHint().expandedTo(rect.size())));
        else
            widget->setGeometry(rect);
        if (item.style & WS_TABSTOP) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous)
                QWidget::setTabOrder(previous, widget);
            previous = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (item.nID >= 0)
            m_controls.insert(item.nID, widget);
    }
    QSize size = MapDialogRect(0, 0, tmpl.cx, tmpl.cy).size();
    // The icon is drawn at its real size and may need a little more room.
    for (QWidget* child : findChildren<QWidget*>())
        size = size.expandedTo(QSize(child->geometry().right() + 1, child->geometry().bottom() + 1));
    setFixedSize(size);
}

QRect CQtDialog::MapDialogRect(int x, int y, int cx, int cy) const
{
    return QRect(x * m_nBaseX / 4, y * m_nBaseY / 8, cx * m_nBaseX / 4, cy * m_nBaseY / 8);
}

void CQtDialog::RouteCommand(int nID)
{
    m_dlg.OnCmdMsg(static_cast<UINT>(nID), CN_COMMAND, nullptr);
}

void CQtDialog::reject()
{
    RouteCommand(IDCANCEL);
}
