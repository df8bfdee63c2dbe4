// SPDX-License-Identifier: MIT
// The tree control as a Qt item model, for a QTreeView to draw lazily. The
// model copies nothing: an index carries the node's handle, and texts are
// decoded only when a row is drawn.
//
// Appends to the top level are published to the views in one batch when the
// event loop next runs (or before any other change), so loading a million
// entries costs the views one insertion, not a million.
#pragma once

#include "platform/TreeCtrl.h"

#include <QAbstractItemModel>

class CTreeModel : public QAbstractItemModel, public CTreeCtrlObserver {
    Q_OBJECT
public:
    explicit CTreeModel(CTreeCtrl& tree, QObject* parent = nullptr);
    ~CTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    HTREEITEM ItemOf(const QModelIndex& index) const;
    QModelIndex IndexOf(HTREEITEM hItem) const;
    // Publishes the top-level rows appended since the last time.
    void Flush();
    CTreeCtrl& Tree() const { return m_tree; }
    // Inside a change of rows or of their order: what the views do to their
    // selection meanwhile is their own bookkeeping, not the user's choice.
    bool IsChanging() const { return m_bInserting || m_bRemoving || m_bResetting || m_bReordering; }

signals:
    // The control's selection changed (or may have, after a structural change).
    void controlSelectionChanged();
    // The control asks for this row to be scrolled into view.
    void ensureVisibleRequested(const QModelIndex& index);

private:
    void OnItemInserting(HTREEITEM hParent, UINT nRow) override;
    void OnItemInserted(HTREEITEM hItem) override;
    void OnItemDeleting(HTREEITEM hItem, HTREEITEM hParent, UINT nRow) override;
    void OnItemDeleted() override;
    void OnAllDeleting() override;
    void OnAllDeleted() override;
    void OnChildrenReordering(HTREEITEM hParent) override;
    void OnChildrenReordered(HTREEITEM hParent) override;
    void OnSelectionChanged(HTREEITEM hItem) override;
    void OnEnsureVisible(HTREEITEM hItem) override;

    bool IsPublished(HTREEITEM hItem) const;
    void ScheduleFlush();
    void ReserveForView(int nRows);
    void ReleaseViewReserve();

    CTreeCtrl& m_tree;
    int m_nPublished = 0;  // top-level rows the views know of
    bool m_bFlushScheduled = false;
    bool m_bInserting = false;  // a begin/end pair is open
    bool m_bRemoving = false;
    bool m_bResetting = false;
    bool m_bReordering = false;
    QModelIndexList m_persistentBefore;
    std::vector<HTREEITEM> m_persistentItems;
    // Address space held for the rows not yet published (see ReserveForView).
    void* m_pViewReserve = nullptr;
    int m_nReservedRows = 0;
};
