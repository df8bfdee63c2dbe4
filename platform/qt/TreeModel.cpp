// SPDX-License-Identifier: MIT
#include "TreeModel.h"

#include "QtText.h"

#include <QTimer>

#include <QThread>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

#include <sys/resource.h>

namespace {
// QTreeView keeps one 40-byte item per laid-out row, in a QList that grows to
// a power of two of bytes. QtWidgets is built without exceptions, so when
// that allocation fails Qt writes through a null pointer (SIGSEGV in
// QTreeViewPrivate::layout) instead of throwing. The model therefore holds
// that much address space while rows come in, so a load that could not be
// shown fails inside the load, as any other lack of memory does, and hands it
// to the view just before the rows are published. The margin covers what the
// event loop allocates between the two, and the stacks of the threads Qt's
// painting starts: a pool thread that cannot start leaves the paint waiting
// for it forever.
constexpr std::size_t kViewBytesPerRow = 40;
constexpr int kFirstReservedRows = 4096;

std::size_t ViewMargin()
{
    struct rlimit stack {};
    const std::size_t nStack = ::getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY
                                   ? static_cast<std::size_t>(stack.rlim_cur)
                                   : std::size_t(32) << 20;
    // As many threads as Qt's painting pool makes: up to 4, or half the cores up to 8.
    const int nCores = std::max(QThread::idealThreadCount(), 1);
    const int nThreads = nCores > 4 ? std::clamp(nCores / 2, 4, 8) : nCores;
    return (std::size_t(8) << 20) + static_cast<std::size_t>(nThreads) * std::min(nStack, std::size_t(64) << 20);
}
}  // namespace

CTreeModel::CTreeModel(CTreeCtrl& tree, QObject* parent) : QAbstractItemModel(parent), m_tree(tree)
{
    m_nPublished = static_cast<int>(m_tree.GetChildCount(TVI_ROOT));
    m_tree.SetObserver(this);
}

CTreeModel::~CTreeModel()
{
    if (m_tree.GetObserver() == this)
        m_tree.SetObserver(nullptr);
    ReleaseViewReserve();
}

void CTreeModel::ReserveForView(int nRows)
{
    if (nRows < kFirstReservedRows || nRows <= m_nReservedRows)
        return;
    const int nWanted = nRows > (1 << 29) ? nRows : std::max(nRows, m_nReservedRows * 2);
    const std::size_t nBytes = std::bit_ceil(static_cast<std::size_t>(nWanted) * kViewBytesPerRow) + ViewMargin();
    ReleaseViewReserve();
    // Never touched: it costs address space, not memory.
    m_pViewReserve = std::malloc(nBytes);
    if (!m_pViewReserve)
        throw std::bad_alloc();
    m_nReservedRows = nWanted;
}

void CTreeModel::ReleaseViewReserve()
{
    std::free(m_pViewReserve);
    m_pViewReserve = nullptr;
    m_nReservedRows = 0;
}

HTREEITEM CTreeModel::ItemOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<HTREEITEM>(index.internalPointer()) : TVI_ROOT;
}

QModelIndex CTreeModel::IndexOf(HTREEITEM hItem) const
{
    if (!hItem || hItem == TVI_ROOT || !m_tree.IsValidItem(hItem) || !IsPublished(hItem))
        return {};
    return createIndex(static_cast<int>(m_tree.GetItemRow(hItem)), 0, hItem);
}

bool CTreeModel::IsPublished(HTREEITEM hItem) const
{
    HTREEITEM hTop = hItem;
    for (HTREEITEM h = m_tree.GetParentItem(hTop); h; h = m_tree.GetParentItem(h))
        hTop = h;
    return static_cast<int>(m_tree.GetItemRow(hTop)) < m_nPublished;
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0 || row >= rowCount(parent))
        return {};
    HTREEITEM h = m_tree.GetChildAt(ItemOf(parent), static_cast<UINT>(row));
    return h ? createIndex(row, 0, h) : QModelIndex();
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    HTREEITEM hParent = m_tree.GetParentItem(ItemOf(child));
    return hParent ? createIndex(static_cast<int>(m_tree.GetItemRow(hParent)), 0, hParent) : QModelIndex();
}

int CTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return m_nPublished;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_tree.GetChildCount(ItemOf(parent)));
}

int CTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return BytesToRowText(m_tree.GetItemTextView(ItemOf(index)));
    case Qt::AccessibleTextRole:  // a screen reader reads the text, not the symbols
        return BytesToQString(m_tree.GetItemTextView(ItemOf(index)));
    default:
        return {};
    }
}

Qt::ItemFlags CTreeModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CTreeModel::ScheduleFlush()
{
    if (m_bFlushScheduled)
        return;
    m_bFlushScheduled = true;
    QTimer::singleShot(0, this, [this] { Flush(); });
}

void CTreeModel::Flush()
{
    m_bFlushScheduled = false;
    const int count = static_cast<int>(m_tree.GetChildCount(TVI_ROOT));
    ReleaseViewReserve();  // the view lays the rows out next
    if (count <= m_nPublished)
        return;
    m_bInserting = true;
    beginInsertRows({}, m_nPublished, count - 1);
    m_nPublished = count;
    endInsertRows();
    m_bInserting = false;
}

void CTreeModel::OnItemInserting(HTREEITEM hParent, UINT nRow)
{
    if (hParent == TVI_ROOT) {
        ScheduleFlush();  // published with the others of its batch
        return;
    }
    if (!IsPublished(hParent))
        return;  // comes with its entry
    beginInsertRows(IndexOf(hParent), static_cast<int>(nRow), static_cast<int>(nRow));
    m_bInserting = true;
}

void CTreeModel::OnItemInserted(HTREEITEM hItem)
{
    if (m_bInserting) {
        m_bInserting = false;
        endInsertRows();
    }
    // The item is in the tree: a failure here leaves the tree whole, and the
    // load that appended it gives up and reports the lack of memory.
    if (m_tree.GetParentItem(hItem) == nullptr)
        ReserveForView(static_cast<int>(m_tree.GetChildCount(TVI_ROOT)));
}

void CTreeModel::OnItemDeleting(HTREEITEM hItem, HTREEITEM hParent, UINT nRow)
{
    Flush();
    if (!IsPublished(hItem))
        return;
    m_bRemoving = true;  // before the views hear of it
    beginRemoveRows(hParent == TVI_ROOT ? QModelIndex() : IndexOf(hParent), static_cast<int>(nRow),
                    static_cast<int>(nRow));
    if (hParent == TVI_ROOT)
        --m_nPublished;
}

void CTreeModel::OnItemDeleted()
{
    if (m_bRemoving) {
        m_bRemoving = false;
        endRemoveRows();
        emit controlSelectionChanged();
    }
}

void CTreeModel::OnAllDeleting()
{
    m_bResetting = true;
    beginResetModel();
}

void CTreeModel::OnAllDeleted()
{
    ReleaseViewReserve();
    m_nPublished = 0;
    endResetModel();
    m_bResetting = false;
}

void CTreeModel::OnChildrenReordering(HTREEITEM hParent)
{
    Flush();
    const QModelIndex parent = IndexOf(hParent);
    m_bReordering = true;
    emit layoutAboutToBeChanged({QPersistentModelIndex(parent)}, QAbstractItemModel::VerticalSortHint);
    m_persistentBefore = persistentIndexList();
    m_persistentItems.clear();
    m_persistentItems.reserve(static_cast<std::size_t>(m_persistentBefore.size()));
    for (const QModelIndex& index : m_persistentBefore)
        m_persistentItems.push_back(ItemOf(index));
}

void CTreeModel::OnChildrenReordered(HTREEITEM hParent)
{
    QModelIndexList after;
    after.reserve(m_persistentBefore.size());
    for (HTREEITEM h : m_persistentItems)
        after.push_back(IndexOf(h));
    changePersistentIndexList(m_persistentBefore, after);
    m_persistentBefore.clear();
    m_persistentItems.clear();
    emit layoutChanged({QPersistentModelIndex(IndexOf(hParent))}, QAbstractItemModel::VerticalSortHint);
    m_bReordering = false;
    emit controlSelectionChanged();
}

void CTreeModel::OnSelectionChanged(HTREEITEM)
{
    Flush();
    emit controlSelectionChanged();
}

void CTreeModel::OnEnsureVisible(HTREEITEM hItem)
{
    Flush();
    emit ensureVisibleRequested(IndexOf(hItem));
}
