// SPDX-License-Identifier: MIT
// The tree-view control on screen: a QTreeView over a CTreeModel, with its
// current row kept in step with the control's selection both ways.
#pragma once

#include "platform/AfxTypes.h"

#include <QTreeView>

class CTreeCtrl;
class CTreeModel;

class CTreeWidget : public QTreeView {
    Q_OBJECT
public:
    CTreeWidget(CTreeCtrl& tree, DWORD dwStyle, QWidget* parent = nullptr);
    CTreeModel* Model() const { return m_pModel; }

private:
    void SyncFromControl();
    void OnCurrentChanged(const QModelIndex& current);

    CTreeModel* m_pModel;
    bool m_bSyncing = false;
};
