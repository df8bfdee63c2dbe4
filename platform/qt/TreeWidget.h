// SPDX-License-Identifier: MIT
// The tree-view control on screen: a QTreeView over a CTreeModel, with the
// row shown selected kept in step with the control's selection both ways.
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
    // Whether the row's text is cut to fit (drawn with "…").
    bool IsTextCut(const QModelIndex& index) const;

protected:
    // A row whose text is cut shows the whole text as its tooltip.
    bool viewportEvent(QEvent* event) override;

private:
    void SyncFromControl();
    void OnSelectionChanged();

    CTreeModel* m_pModel;
    bool m_bSyncing = false;
};
