/*
 * State tree models. A refresh walks the VM's global symbols and builds a new
 * tree of items; tables become items whose children are their entries. The
 * walk stays finite on any state a script can build: a table that contains
 * itself is not expanded again inside itself, nesting is expanded to a fixed
 * depth, and a refresh builds a bounded number of items.
 */
#include "vesk_qt_statetree_model.h"

#include <QVector>

#include "veskswarm.h"
#include "veskvm.h"
#include "veskvstig.h"

#include "vesk_controller.h"

namespace {

/* Tables nested deeper than this are shown but not expanded. */
const int MAX_TABLE_DEPTH = 64;
/* Items one refresh may build; entries beyond it are left out. */
const int MAX_TREE_ITEMS = 100000;

/* State of one walk over a VM. */
struct SWalk {
  bool RemoveEmpty;         /* drop tables without shown entries */
  QVector<veskdict_t> Path; /* tables being expanded, outermost first */
  int Items;                /* items built so far */
};

/* Makes one row for a (name, value) pair under the parent, or none. */
using TRowFun = void (*)(SWalk &, const QVariant &, veskobj_t, CVeskQTStateTreeItem *);

template <typename F> void ForEachEntry(veskdict_t t_dict, F f_entry) {
  veskdict_foreach(
      t_dict,
      [](const void *pt_key, void *pt_data, void *pt_params) {
        (*static_cast<F *>(pt_params))(pt_key, pt_data);
      },
      &f_entry);
}

QString StringText(veskobj_t t_string) {
  return t_string->s.str ? QString::fromUtf8(t_string->s.str) : QString();
}

CVeskQTStateTreeItem *AddItem(SWalk &s_walk, const QList<QVariant> &list_data,
                              CVeskQTStateTreeItem *pc_parent) {
  auto *pcItem = new CVeskQTStateTreeItem(list_data, pc_parent);
  pc_parent->AddChild(pcItem);
  ++s_walk.Items;
  return pcItem;
}

/* First column of a table entry: integer and float keys as numbers, string
 * keys as their text; an empty value for keys that are not shown. */
QVariant EntryName(veskobj_t t_key, bool b_string_keys_only) {
  switch (veskobj_type(t_key)) {
  case VESKTYPE_STRING:
    return StringText(t_key);
  case VESKTYPE_INT:
    return b_string_keys_only ? QVariant() : QVariant(t_key->i.value);
  case VESKTYPE_FLOAT:
    return b_string_keys_only ? QVariant() : QVariant(t_key->f.value);
  default:
    return QVariant();
  }
}

/* A table row: an item whose children are the rows of the table's entries. */
void AddTableRow(SWalk &s_walk, const QVariant &c_name, veskobj_t t_table,
                 CVeskQTStateTreeItem *pc_parent, TRowFun f_row,
                 bool b_string_keys_only) {
  CVeskQTStateTreeItem *pcItem = AddItem(s_walk, {c_name}, pc_parent);
  veskdict_t tEntries = t_table->t.value;
  if (tEntries == nullptr) return;
  /* A table already being expanded, or nested too deep, is shown but not
   * expanded; it is not empty, so it stays even when empty tables are dropped. */
  if (s_walk.Path.contains(tEntries) || s_walk.Path.size() >= MAX_TABLE_DEPTH) return;
  s_walk.Path.append(tEntries);
  ForEachEntry(tEntries, [&](const void *pt_key, void *pt_data) {
    if (s_walk.Items >= MAX_TREE_ITEMS) return;
    QVariant cName =
        EntryName(*static_cast<const veskobj_t *>(pt_key), b_string_keys_only);
    if (cName.isValid()) f_row(s_walk, cName, *static_cast<veskobj_t *>(pt_data), pcItem);
  });
  s_walk.Path.removeLast();
  if (s_walk.RemoveEmpty && pcItem->GetNumChildren() == 0) {
    pc_parent->RemoveChild(pcItem);
    delete pcItem;
    --s_walk.Items;
  }
}

void VariableRow(SWalk &s_walk, const QVariant &c_name, veskobj_t t_value,
                 CVeskQTStateTreeItem *pc_parent) {
  QVariant cValue;
  switch (veskobj_type(t_value)) {
  case VESKTYPE_TABLE:
    AddTableRow(s_walk, c_name, t_value, pc_parent, VariableRow, false);
    return;
  case VESKTYPE_INT:
    cValue = t_value->i.value;
    break;
  case VESKTYPE_FLOAT:
    cValue = t_value->f.value;
    break;
  case VESKTYPE_STRING:
    cValue = QString("\"%1\"").arg(StringText(t_value));
    break;
  case VESKTYPE_USERDATA:
    cValue = QString("[userdata]");
    break;
  default: /* nil and closures have no row */
    return;
  }
  AddItem(s_walk, {c_name, cValue}, pc_parent);
}

void FunctionRow(SWalk &s_walk, const QVariant &c_name, veskobj_t t_value,
                 CVeskQTStateTreeItem *pc_parent) {
  if (veskobj_istable(t_value)) {
    AddTableRow(s_walk, c_name, t_value, pc_parent, FunctionRow, true);
  } else if (veskobj_isclosure(t_value)) {
    AddItem(s_walk, {c_name.toString() + "()"}, pc_parent);
  }
}

/* Rows for every global symbol, named by the text of its string id. */
void WalkGlobals(veskvm_s *pt_state, bool b_remove_empty, CVeskQTStateTreeItem *pc_root,
                 TRowFun f_row) {
  SWalk sWalk{b_remove_empty, {}, 0};
  ForEachEntry(pt_state->gsyms, [&](const void *pt_key, void *pt_data) {
    if (sWalk.Items >= MAX_TREE_ITEMS) return;
    auto unId = static_cast<uint16_t>(*static_cast<const int32_t *>(pt_key));
    const char *strName = veskstrman_get(pt_state->strings, unId);
    if (strName == nullptr) return;
    f_row(sWalk, QString::fromUtf8(strName), *static_cast<veskobj_t *>(pt_data), pc_root);
  });
}

/* A stigmergy entry's value: as a variable's (tables expanded), nil and
 * closures named. */
void StigmergyValueRow(SWalk &s_walk, const QVariant &c_name, veskobj_t t_value,
                       CVeskQTStateTreeItem *pc_parent) {
  if (veskobj_isnil(t_value) || veskobj_isclosure(t_value)) {
    AddItem(s_walk, {c_name, veskobj_isnil(t_value) ? "nil" : "[closure]"}, pc_parent);
  } else {
    VariableRow(s_walk, c_name, t_value, pc_parent);
  }
}

void AddStigmergy(SWalk &s_walk, uint16_t un_id, veskvstig_t t_vstig,
                  CVeskQTStateTreeItem *pc_root) {
  CVeskQTStateTreeItem *pcTable = AddItem(
      s_walk,
      {QString("stigmergy %1").arg(un_id), QString::number(veskdict_size(t_vstig->data))},
      pc_root);
  ForEachEntry(t_vstig->data, [&](const void *pt_key, void *pt_data) {
    if (s_walk.Items >= MAX_TREE_ITEMS) return;
    QVariant cName = EntryName(*static_cast<const veskobj_t *>(pt_key), false);
    if (!cName.isValid())
      cName = QString("[%1]").arg(
          vesktype_desc[veskobj_type(*static_cast<const veskobj_t *>(pt_key))]);
    veskvstig_elem_t tElem = *static_cast<veskvstig_elem_t *>(pt_data);
    const int nBefore = pcTable->GetNumChildren();
    StigmergyValueRow(s_walk, cName, tElem->data, pcTable);
    if (pcTable->GetNumChildren() == nBefore) return;
    CVeskQTStateTreeItem *pcEntry =
        pcTable->GetChild(static_cast<unsigned long>(nBefore));
    pcEntry->SetData(2, tElem->timestamp);
    pcEntry->SetData(3, QString("R%1").arg(tElem->robot));
  });
}

void AddSwarms(SWalk &s_walk, veskvm_s *pt_state, CVeskQTStateTreeItem *pc_root) {
  ForEachEntry(pt_state->swarms, [&](const void *pt_key, void *pt_data) {
    const bool bMember = *static_cast<const uint8_t *>(pt_data) != 0;
    AddItem(s_walk,
            {QString("swarm %1").arg(*static_cast<const uint16_t *>(pt_key)),
             bMember ? QObject::tr("member") : QObject::tr("not a member")},
            pc_root);
  });
}

void AddNeighbourSwarms(SWalk &s_walk, veskvm_s *pt_state,
                        CVeskQTStateTreeItem *pc_root) {
  if (veskdict_size(pt_state->swarmmembers) == 0) return;
  CVeskQTStateTreeItem *pcItem =
      AddItem(s_walk, {QObject::tr("neighbours' swarms")}, pc_root);
  ForEachEntry(pt_state->swarmmembers, [&](const void *pt_key, void *pt_data) {
    if (s_walk.Items >= MAX_TREE_ITEMS) return;
    veskswarm_elem_t tElem = *static_cast<veskswarm_elem_t *>(pt_data);
    QStringList listSwarms;
    for (int64_t i = 0; i < veskdarray_size(tElem->swarms); ++i)
      listSwarms.append(QString::number(veskdarray_get(tElem->swarms, i, uint16_t)));
    AddItem(s_walk,
            {QString("R%1").arg(*static_cast<const uint16_t *>(pt_key)),
             listSwarms.join(", ")},
            pcItem);
  });
}

veskvm_s *ControllerVM(CVeskController *pc_controller) {
  return pc_controller ? pc_controller->GetVeskVM() : nullptr;
}

} // namespace

/****************************************/

CVeskQTStateTreeModel::CVeskQTStateTreeModel(CVeskController *pc_controller,
                                             bool b_remove_empty_tables,
                                             QObject *pc_parent)
    : QAbstractItemModel(pc_parent), m_bRemoveEmptyTables(b_remove_empty_tables),
      m_pcController(pc_controller), m_pcDataRoot(new CVeskQTStateTreeItem()) {}

CVeskQTStateTreeModel::~CVeskQTStateTreeModel() {
  delete m_pcDataRoot;
}

QVariant CVeskQTStateTreeModel::data(const QModelIndex &c_index, int n_role) const {
  if (!c_index.isValid() || n_role != Qt::DisplayRole) return QVariant();
  auto *pcItem = static_cast<CVeskQTStateTreeItem *>(c_index.internalPointer());
  return pcItem->GetData(c_index.column());
}

Qt::ItemFlags CVeskQTStateTreeModel::flags(const QModelIndex &c_index) const {
  return c_index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QModelIndex CVeskQTStateTreeModel::index(int n_row, int n_column,
                                         const QModelIndex &c_parent) const {
  if (!hasIndex(n_row, n_column, c_parent)) return QModelIndex();
  CVeskQTStateTreeItem *pcParent =
      c_parent.isValid() ? static_cast<CVeskQTStateTreeItem *>(c_parent.internalPointer())
                         : m_pcDataRoot;
  CVeskQTStateTreeItem *pcChild = pcParent->GetChild(static_cast<unsigned long>(n_row));
  return pcChild ? createIndex(n_row, n_column, pcChild) : QModelIndex();
}

QModelIndex CVeskQTStateTreeModel::parent(const QModelIndex &c_index) const {
  if (!c_index.isValid()) return QModelIndex();
  auto *pcItem = static_cast<CVeskQTStateTreeItem *>(c_index.internalPointer());
  CVeskQTStateTreeItem *pcParent = pcItem->GetParent();
  if (pcParent == nullptr || pcParent == m_pcDataRoot) return QModelIndex();
  return createIndex(pcParent->GetRow(), 0, pcParent);
}

int CVeskQTStateTreeModel::rowCount(const QModelIndex &c_parent) const {
  if (c_parent.column() > 0) return 0;
  const CVeskQTStateTreeItem *pcParent =
      c_parent.isValid() ? static_cast<CVeskQTStateTreeItem *>(c_parent.internalPointer())
                         : m_pcDataRoot;
  return pcParent->GetNumChildren();
}

void CVeskQTStateTreeModel::Refresh() {
  Rebuild(ControllerVM(m_pcController));
}

void CVeskQTStateTreeModel::Refresh(int) {
  Refresh();
}

void CVeskQTStateTreeModel::Rebuild(veskvm_s *pt_state) {
  beginResetModel();
  delete m_pcDataRoot;
  m_pcDataRoot = new CVeskQTStateTreeItem();
  if (pt_state != nullptr) ProcessVeskState(pt_state, m_pcDataRoot);
  SortTree(m_pcDataRoot);
  endResetModel();
}

/****************************************/

void CVeskQTStateTreeVariableModel::ProcessVeskState(veskvm_s *pt_state,
                                                     CVeskQTStateTreeItem *pc_item) {
  WalkGlobals(pt_state, m_bRemoveEmptyTables, pc_item, VariableRow);
}

QVariant CVeskQTStateTreeVariableModel::headerData(int n_section,
                                                   Qt::Orientation e_orientation,
                                                   int n_role) const {
  if (e_orientation != Qt::Horizontal || n_role != Qt::DisplayRole) return QVariant();
  if (n_section == 0) return tr("Variable");
  if (n_section == 1) return tr("Value");
  return QVariant();
}

int CVeskQTStateTreeVariableModel::columnCount(const QModelIndex &) const {
  return 2;
}

/****************************************/

void CVeskQTStateTreeFunctionModel::ProcessVeskState(veskvm_s *pt_state,
                                                     CVeskQTStateTreeItem *pc_item) {
  WalkGlobals(pt_state, m_bRemoveEmptyTables, pc_item, FunctionRow);
}

QVariant CVeskQTStateTreeFunctionModel::headerData(int, Qt::Orientation, int) const {
  return QVariant();
}

int CVeskQTStateTreeFunctionModel::columnCount(const QModelIndex &) const {
  return 1;
}

/****************************************/

void CVeskQTStateTreeSwarmModel::ProcessVeskState(veskvm_s *pt_state,
                                                  CVeskQTStateTreeItem *pc_item) {
  SWalk sWalk{false, {}, 0};
  ForEachEntry(pt_state->vstigs, [&](const void *pt_key, void *pt_data) {
    AddStigmergy(sWalk, *static_cast<const uint16_t *>(pt_key),
                 *static_cast<veskvstig_t *>(pt_data), pc_item);
  });
  AddSwarms(sWalk, pt_state, pc_item);
  AddNeighbourSwarms(sWalk, pt_state, pc_item);
}

QVariant CVeskQTStateTreeSwarmModel::headerData(int n_section,
                                                Qt::Orientation e_orientation,
                                                int n_role) const {
  if (e_orientation != Qt::Horizontal || n_role != Qt::DisplayRole) return QVariant();
  switch (n_section) {
  case 0:
    return tr("Name");
  case 1:
    return tr("Value");
  case 2:
    return tr("Time");
  case 3:
    return tr("Writer");
  default:
    return QVariant();
  }
}

int CVeskQTStateTreeSwarmModel::columnCount(const QModelIndex &) const {
  return 4;
}
