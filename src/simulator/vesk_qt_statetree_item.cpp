/*
 * Node of the state trees. Children are owned and deleted with their parent.
 */
#include "vesk_qt_statetree_item.h"

#include <algorithm>

CVeskQTStateTreeItem::CVeskQTStateTreeItem(CVeskQTStateTreeItem *pc_parent)
    : m_pcParent(pc_parent) {}

CVeskQTStateTreeItem::CVeskQTStateTreeItem(const QList<QVariant> &list_data,
                                           CVeskQTStateTreeItem *pc_parent)
    : m_listData(list_data), m_pcParent(pc_parent) {}

CVeskQTStateTreeItem::~CVeskQTStateTreeItem() {
  qDeleteAll(m_listChildren);
}

CVeskQTStateTreeItem *CVeskQTStateTreeItem::GetChild(unsigned long un_idx) {
  if (un_idx >= static_cast<unsigned long>(m_listChildren.size())) return nullptr;
  return m_listChildren.at(static_cast<int>(un_idx));
}

int CVeskQTStateTreeItem::GetRow() {
  if (m_pcParent == nullptr) return 0;
  return qMax(0, m_pcParent->m_listChildren.indexOf(this));
}

/* Stable, so names equal but for case keep the order they were found in. */
void CVeskQTStateTreeItem::SortChildren() {
  std::stable_sort(m_listChildren.begin(), m_listChildren.end(), ItemLessThan);
  for (CVeskQTStateTreeItem *pcChild : m_listChildren)
    pcChild->SortChildren();
}

bool ItemLessThan(const CVeskQTStateTreeItem *pc_a, const CVeskQTStateTreeItem *pc_b) {
  return pc_a->GetData(0).toString().toLower() < pc_b->GetData(0).toString().toLower();
}
