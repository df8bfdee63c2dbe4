// SPDX-License-Identifier: MIT
#include "TreeWidget.h"

#include "TreeModel.h"

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

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnCurrentChanged(current); });
    connect(m_pModel, &CTreeModel::controlSelectionChanged, this, [this] { SyncFromControl(); });
    connect(m_pModel, &QAbstractItemModel::modelReset, this, [this] { SyncFromControl(); });
}

void CTreeWidget::OnCurrentChanged(const QModelIndex& current)
{
    if (m_bSyncing)
        return;
    m_bSyncing = true;
    m_pModel->Tree().SelectItem(current.isValid() ? m_pModel->ItemOf(current) : nullptr);
    m_bSyncing = false;
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
