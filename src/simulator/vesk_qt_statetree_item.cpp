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

void CVeskQTStateTreeItem::SetData(int n_column, const QVariant &c_value) {
  while (m_listData.size() <= n_column)
    m_listData.append(QVariant());
  m_listData[n_column] = c_value;
}

void CVeskQTStateTreeItem::SortChildren() {
  SortChildren(ItemLessThan);
}

/* Stable, so names equal but for case keep the order they were found in. */
void CVeskQTStateTreeItem::SortChildren(TLessThan f_less) {
  std::stable_sort(m_listChildren.begin(), m_listChildren.end(), f_less);
  for (CVeskQTStateTreeItem *pcChild : m_listChildren)
    pcChild->SortChildren(f_less);
}

bool ItemLessThan(const CVeskQTStateTreeItem *pc_a, const CVeskQTStateTreeItem *pc_b) {
  return pc_a->GetData(0).toString().toLower() < pc_b->GetData(0).toString().toLower();
}

bool ItemNaturalLessThan(const CVeskQTStateTreeItem *pc_a,
                         const CVeskQTStateTreeItem *pc_b) {
  return NaturalLessThan(pc_a->GetData(0).toString(), pc_b->GetData(0).toString());
}

namespace {

/* The run of digits at n_at (advanced past it), without leading zeros. */
QStringRef DigitRun(const QString &str_text, int &n_at) {
  while (n_at + 1 < str_text.size() && str_text[n_at] == '0' &&
         str_text[n_at + 1].isDigit())
    ++n_at;
  const int nStart = n_at;
  while (n_at < str_text.size() && str_text[n_at].isDigit())
    ++n_at;
  return str_text.midRef(nStart, n_at - nStart);
}

} // namespace

bool NaturalLessThan(const QString &str_a, const QString &str_b) {
  int i = 0, j = 0;
  while (i < str_a.size() && j < str_b.size()) {
    if (str_a[i].isDigit() && str_b[j].isDigit()) {
      const QStringRef cA = DigitRun(str_a, i), cB = DigitRun(str_b, j);
      if (cA.size() != cB.size()) return cA.size() < cB.size();
      if (cA != cB) return cA < cB;
      continue;
    }
    const QChar cA = str_a[i++].toLower(), cB = str_b[j++].toLower();
    if (cA != cB) return cA < cB;
  }
  return str_a.size() - i < str_b.size() - j;
}
