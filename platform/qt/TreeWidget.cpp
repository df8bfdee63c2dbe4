// SPDX-License-Identifier: MIT
#include "TreeWidget.h"

#include "QtText.h"
#include "TreeModel.h"

#include <QHelpEvent>
#include <QToolTip>

CTreeWidget::CTreeWidget(CTreeCtrl& tree, DWORD dwStyle, QWidget* parent) : QTreeView(parent)
{
    m_pModel = new CTreeModel(tree, this);
    setModel(m_pModel);
    setHeaderHidden(true);
    setUniformRowHeights(true);  // a million rows lay out without measuring each
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setItemsExpandable((dwStyle & TVS_HASBUTTONS) != 0);
    setRootIsDecorated((dwStyle & TVS_LINESATROOT) != 0);
    setFrameShape((dwStyle & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);

    // The Edit commands act on the control's selection, so it is the row
    // shown selected: Qt's current row alone (the focus frame it puts on the
    // first row, say) is not a selection.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelectionChanged(); });
    connect(m_pModel, &CTreeModel::ensureVisibleRequested, this, [this](const QModelIndex& index) {
        if (index.isValid())
            scrollTo(index);
    });
    connect(m_pModel, &CTreeModel::controlSelectionChanged, this, [this] { SyncFromControl(); });
    connect(m_pModel, &QAbstractItemModel::modelReset, this, [this] { SyncFromControl(); });
}

void CTreeWidget::OnSelectionChanged()
{
    // While rows come and go the selection model drops and moves rows on its
    // own; the control says afterwards what is selected.
    if (m_bSyncing || m_pModel->IsChanging())
        return;
    m_bSyncing = true;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    m_pModel->Tree().SelectItem(selected.isEmpty() ? nullptr : m_pModel->ItemOf(selected.constFirst()));
    m_bSyncing = false;
}

bool CTreeWidget::IsTextCut(const QModelIndex& index) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    QAbstractItemDelegate* delegate = itemDelegateForIndex(index);
    return delegate && option.rect.isValid() && delegate->sizeHint(option, index).width() > option.rect.width();
}

bool CTreeWidget::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTreeView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (index.isValid() && IsTextCut(index))
        QToolTip::showText(help->globalPos(), BytesToToolTip(m_pModel->Tree().GetItemTextView(m_pModel->ItemOf(index))),
                           viewport(), visualRect(index));
    else
        QToolTip::hideText();
    return true;
}

void CTreeWidget::SyncFromControl()
{
    if (m_bSyncing)
        return;
    m_bSyncing = true;
    const QModelIndex wanted = m_pModel->IndexOf(m_pModel->Tree().GetSelectedItem());
    if (wanted != selectionModel()->currentIndex() || (wanted.isValid() && !selectionModel()->isSelected(wanted))) {
        if (wanted.isValid()) {
            selectionModel()->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect);
            scrollTo(wanted);
        } else {
            selectionModel()->clear();
        }
    }
    m_bSyncing = false;
}
