/*
 * Item models that show the global state of one robot's VM as a tree: the
 * variable model lists global variables with their values, the function
 * model lists global functions. Both read the VM of a controller on each
 * refresh and show a sorted snapshot in between.
 */
#ifndef VESK_QT_STATETREE_MODEL_H
#define VESK_QT_STATETREE_MODEL_H

#include <QAbstractItemModel>

#include "vesk_qt_statetree_item.h"

class CVeskController;
struct veskvm_s;

class CVeskQTStateTreeModel : public QAbstractItemModel {
  Q_OBJECT

public:
  /* The controller is not owned and may be null (the tree then stays empty).
   * With b_remove_empty_tables, tables without any shown entry are left out. */
  CVeskQTStateTreeModel(CVeskController *pc_controller, bool b_remove_empty_tables,
                        QObject *pc_parent = nullptr);
  ~CVeskQTStateTreeModel() override;

  QVariant data(const QModelIndex &c_index, int n_role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &c_index) const override;
  QModelIndex index(int n_row, int n_column,
                    const QModelIndex &c_parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex &c_index) const override;
  int rowCount(const QModelIndex &c_parent = QModelIndex()) const override;

  /* Fills the tree under pc_item from the globals of the VM. */
  virtual void ProcessVeskState(veskvm_s *pt_state, CVeskQTStateTreeItem *pc_item) = 0;

public slots:
  void Refresh();
  void Refresh(int);

protected:
  /* Replaces the whole tree by a sorted snapshot of the VM (none: empty tree). */
  void Rebuild(veskvm_s *pt_state);
  /* Sorts the new tree (with ItemLessThan). */
  virtual void SortTree(CVeskQTStateTreeItem *pc_root) { pc_root->SortChildren(); }

  bool m_bRemoveEmptyTables;
  CVeskController *m_pcController;
  CVeskQTStateTreeItem *m_pcDataRoot;
};

/* Global variables: name and value, tables expanded into their entries. */
class CVeskQTStateTreeVariableModel : public CVeskQTStateTreeModel {
  Q_OBJECT

public:
  using CVeskQTStateTreeModel::CVeskQTStateTreeModel;

  void ProcessVeskState(veskvm_s *pt_state, CVeskQTStateTreeItem *pc_item) override;
  QVariant headerData(int n_section, Qt::Orientation e_orientation,
                      int n_role = Qt::DisplayRole) const override;
  int columnCount(const QModelIndex &c_parent = QModelIndex()) const override;
};

/* Global functions, and tables expanded into their function members. */
class CVeskQTStateTreeFunctionModel : public CVeskQTStateTreeModel {
  Q_OBJECT

public:
  using CVeskQTStateTreeModel::CVeskQTStateTreeModel;

  void ProcessVeskState(veskvm_s *pt_state, CVeskQTStateTreeItem *pc_item) override;
  QVariant headerData(int n_section, Qt::Orientation e_orientation,
                      int n_role = Qt::DisplayRole) const override;
  int columnCount(const QModelIndex &c_parent = QModelIndex()) const override;
};

/* The robot's swarm state: every virtual stigmergy with its entries (key,
 * value, timestamp and the robot that wrote the value), the swarms the
 * robot knows with its membership, and the swarms its neighbours said they
 * belong to. Rows are sorted with numbers in numeric order. */
class CVeskQTStateTreeSwarmModel : public CVeskQTStateTreeModel {
  Q_OBJECT

public:
  using CVeskQTStateTreeModel::CVeskQTStateTreeModel;

  void ProcessVeskState(veskvm_s *pt_state, CVeskQTStateTreeItem *pc_item) override;
  QVariant headerData(int n_section, Qt::Orientation e_orientation,
                      int n_role = Qt::DisplayRole) const override;
  int columnCount(const QModelIndex &c_parent = QModelIndex()) const override;

protected:
  void SortTree(CVeskQTStateTreeItem *pc_root) override {
    pc_root->SortChildren(ItemNaturalLessThan);
  }
};

#endif
