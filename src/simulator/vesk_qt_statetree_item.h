/*
 * Node of the trees that show a robot's global state: one or two columns of
 * data, a parent and owned children.
 */
#ifndef VESK_QT_STATETREE_ITEM_H
#define VESK_QT_STATETREE_ITEM_H

#include <QList>
#include <QVariant>

class CVeskQTStateTreeItem {

public:
  explicit CVeskQTStateTreeItem(CVeskQTStateTreeItem *pc_parent = nullptr);
  CVeskQTStateTreeItem(const QList<QVariant> &list_data,
                       CVeskQTStateTreeItem *pc_parent = nullptr);
  ~CVeskQTStateTreeItem();
  CVeskQTStateTreeItem(const CVeskQTStateTreeItem &) = delete;
  CVeskQTStateTreeItem &operator=(const CVeskQTStateTreeItem &) = delete;

  CVeskQTStateTreeItem *GetParent() { return m_pcParent; }
  /* Child i, or null when i is out of range. */
  CVeskQTStateTreeItem *GetChild(unsigned long un_idx);
  /* Takes ownership of the child. */
  void AddChild(CVeskQTStateTreeItem *pc_child) { m_listChildren.append(pc_child); }
  /* Drops the first occurrence of the child; the caller owns it again. */
  void RemoveChild(CVeskQTStateTreeItem *pc_child) { m_listChildren.removeOne(pc_child); }
  int GetNumChildren() const { return m_listChildren.size(); }
  /* The column's value, or an empty value for a column the item lacks. */
  QVariant GetData(int n_column) const { return m_listData.value(n_column); }
  /* Position among the parent's children; 0 for the root. */
  int GetRow();
  /* Sets a column, adding empty columns before it if need be. */
  void SetData(int n_column, const QVariant &c_value);
  /* Sorts the whole subtree with ItemLessThan, or with f_less. */
  void SortChildren();
  typedef bool (*TLessThan)(const CVeskQTStateTreeItem *, const CVeskQTStateTreeItem *);
  void SortChildren(TLessThan f_less);

private:
  QList<QVariant> m_listData;
  CVeskQTStateTreeItem *m_pcParent;
  QList<CVeskQTStateTreeItem *> m_listChildren;
};

/* Case-insensitive order of the first columns' texts. */
bool ItemLessThan(const CVeskQTStateTreeItem *pc_a, const CVeskQTStateTreeItem *pc_b);
/* The same, with runs of digits compared as numbers: R2 before R10. */
bool ItemNaturalLessThan(const CVeskQTStateTreeItem *pc_a,
                         const CVeskQTStateTreeItem *pc_b);
/* Case-insensitive order of two texts with runs of digits compared as
 * numbers. */
bool NaturalLessThan(const QString &str_a, const QString &str_b);

#endif
