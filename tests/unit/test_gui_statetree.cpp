/*
 * Tests of the state tree models on a VM whose globals are set up directly,
 * the way a host registers values.
 */
#include "test_gui_app.h"

#include "vesk_qt_statetree_item.h"
#include "vesk_qt_statetree_model.h"

#include "veskheap.h"
#include "veskvm.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <functional>

namespace {

/* A VM with helpers to store globals and table entries of every type. */
class CTestVM {
public:
  using TPush = std::function<void()>;

  CTestVM() : m_tVM(veskvm_new(3)) {}
  ~CTestVM() { veskvm_destroy(&m_tVM); }
  CTestVM(const CTestVM &) = delete;
  CTestVM &operator=(const CTestVM &) = delete;

  veskvm_t VM() { return m_tVM; }

  TPush Int(int32_t n) {
    return [=, this] { veskvm_pushi(m_tVM, n); };
  }
  TPush Float(float f) {
    return [=, this] { veskvm_pushf(m_tVM, f); };
  }
  TPush Str(const char *str) {
    return [=, this] { veskvm_pushs(m_tVM, veskvm_string_register(m_tVM, str, 0)); };
  }
  TPush Nil() {
    return [this] { veskvm_pushnil(m_tVM); };
  }
  TPush Closure() {
    return [this] { veskvm_pushc(m_tVM, 0, 1); };
  }
  TPush UserData() {
    return [this] { veskvm_pushu(m_tVM, this); };
  }
  TPush Table(veskobj_t t_table) {
    return [=, this] { veskvm_push(m_tVM, t_table); };
  }
  veskobj_t NewTable() { return veskheap_newobj(m_tVM->heap, VESKTYPE_TABLE); }

  void Global(const char *str_name, const TPush &f_value) {
    Str(str_name)();
    f_value();
    veskvm_gstore(m_tVM);
    Check();
  }
  void Put(veskobj_t t_table, const TPush &f_key, const TPush &f_value) {
    veskvm_push(m_tVM, t_table);
    f_key();
    f_value();
    veskvm_tput(m_tVM);
    Check();
  }

private:
  void Check() {
    ASSERT_NE(m_tVM->state, VESKVM_STATE_ERROR) << veskvm_strerror(m_tVM);
    ASSERT_EQ(veskvm_stack_size(m_tVM), 0);
  }
  veskvm_t m_tVM;
};

/* Globals of every type: the integers Alpha, b and C (names that sort only
 * without case), a float, a string, nil, a closure, user data, a table of
 * closures, and a table with integer, float and string keys, a method, a
 * nested table and an empty one. */
void FillEveryType(CTestVM &c_vm) {
  c_vm.Global("Alpha", c_vm.Int(1));
  c_vm.Global("C", c_vm.Int(3));
  c_vm.Global("b", c_vm.Int(2));
  c_vm.Global("beta", c_vm.Float(2.5f));
  c_vm.Global("gamma", c_vm.Str("abc"));
  c_vm.Global("delta", c_vm.Nil());
  c_vm.Global("eps", c_vm.Closure());
  c_vm.Global("ud", c_vm.UserData());
  veskobj_t tFuncs = c_vm.NewTable();
  c_vm.Global("funcs", c_vm.Table(tFuncs));
  c_vm.Put(tFuncs, c_vm.Str("g"), c_vm.Closure());
  c_vm.Put(tFuncs, c_vm.Str("F"), c_vm.Closure());
  c_vm.Put(tFuncs, c_vm.Int(3), c_vm.Closure());
  veskobj_t tTbl = c_vm.NewTable();
  c_vm.Global("tbl", c_vm.Table(tTbl));
  c_vm.Put(tTbl, c_vm.Int(9), c_vm.Int(1));
  c_vm.Put(tTbl, c_vm.Int(10), c_vm.Str("x"));
  c_vm.Put(tTbl, c_vm.Float(1.5f), c_vm.Int(2));
  c_vm.Put(tTbl, c_vm.Str("name"), c_vm.Str("n"));
  c_vm.Put(tTbl, c_vm.Str("fn"), c_vm.Closure());
  veskobj_t tSub = c_vm.NewTable();
  c_vm.Put(tTbl, c_vm.Str("sub"), c_vm.Table(tSub));
  c_vm.Put(tSub, c_vm.Str("k"), c_vm.Float(0.25f));
  c_vm.Put(tTbl, c_vm.Str("empty"), c_vm.Table(c_vm.NewTable()));
}

/* Collects what QAbstractItemModelTester reports about a model's consistency. */
QStringList g_lstModelWarnings;
void CollectModelWarnings(QtMsgType, const QMessageLogContext &c_context,
                          const QString &str_msg) {
  if (c_context.category && QByteArray(c_context.category) == "qt.modeltest")
    g_lstModelWarnings << str_msg;
}

/* Model whose tree can be rebuilt from a bare VM, without a controller. */
template <typename MODEL> class CTestModel : public MODEL {
public:
  explicit CTestModel(bool b_remove_empty) : MODEL(nullptr, b_remove_empty) {}
  using MODEL::Rebuild;
};

/* The tree under an index as text: one "name=value" or "name" per row, rows
 * separated by commas, children in braces. */
QString Dump(const QAbstractItemModel &c_model,
             const QModelIndex &c_parent = QModelIndex()) {
  QStringList lstRows;
  for (int i = 0; i < c_model.rowCount(c_parent); ++i) {
    QModelIndex cName = c_model.index(i, 0, c_parent);
    QString strRow = c_model.data(cName).toString();
    if (c_model.columnCount(c_parent) > 1) {
      QVariant cValue = c_model.data(c_model.index(i, 1, c_parent));
      if (cValue.isValid()) strRow += "=" + cValue.toString();
    }
    if (c_model.rowCount(cName) > 0) strRow += "{" + Dump(c_model, cName) + "}";
    lstRows << strRow;
  }
  return lstRows.join(",");
}

TEST(GuiStateTreeItem, ChildrenRowsDataAndRemoval) {
  CVeskQTStateTreeItem cRoot;
  auto *pcA = new CVeskQTStateTreeItem({QString("a"), 1}, &cRoot);
  auto *pcB = new CVeskQTStateTreeItem({QString("b")}, &cRoot);
  cRoot.AddChild(pcA);
  cRoot.AddChild(pcB);
  EXPECT_EQ(cRoot.GetNumChildren(), 2);
  EXPECT_EQ(cRoot.GetChild(1), pcB);
  EXPECT_EQ(cRoot.GetChild(2), nullptr);
  EXPECT_EQ(pcB->GetRow(), 1);
  EXPECT_EQ(cRoot.GetRow(), 0);
  EXPECT_EQ(pcA->GetParent(), &cRoot);
  EXPECT_EQ(pcA->GetData(1).toInt(), 1);
  EXPECT_FALSE(pcB->GetData(1).isValid());
  EXPECT_FALSE(pcB->GetData(-1).isValid());
  cRoot.RemoveChild(pcA);
  EXPECT_EQ(cRoot.GetNumChildren(), 1);
  EXPECT_EQ(pcB->GetRow(), 0);
  delete pcA;
}

TEST(GuiStateTreeModel, VariableModelShowsValuesSortedAndHidesEmptyTables) {
  CTestVM cVM;
  FillEveryType(cVM);
  CTestModel<CVeskQTStateTreeVariableModel> cModel(true);
  g_lstModelWarnings.clear();
  QtMessageHandler fPrevious = qInstallMessageHandler(CollectModelWarnings);
  {
    QAbstractItemModelTester cTester(
        &cModel, QAbstractItemModelTester::FailureReportingMode::Warning);
    cModel.Rebuild(cVM.VM());
    cModel.Rebuild(cVM.VM());
  }
  qInstallMessageHandler(fPrevious);
  EXPECT_TRUE(g_lstModelWarnings.isEmpty())
      << g_lstModelWarnings.join("\n").toStdString();
  EXPECT_EQ(Dump(cModel), "Alpha=1,b=2,beta=2.5,C=3,gamma=\"abc\","
                          "tbl{1.5=2,10=\"x\",9=1,name=\"n\",sub{k=0.25}},ud=[userdata]");
}

TEST(GuiStateTreeModel, VariableModelKeepsEmptyTablesWithoutTheFlag) {
  CTestVM cVM;
  FillEveryType(cVM);
  CTestModel<CVeskQTStateTreeVariableModel> cModel(false);
  cModel.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cModel),
            "Alpha=1,b=2,beta=2.5,C=3,funcs,gamma=\"abc\","
            "tbl{1.5=2,10=\"x\",9=1,empty,name=\"n\",sub{k=0.25}},ud=[userdata]");
}

TEST(GuiStateTreeModel, FunctionModelListsClosuresUnderStringKeys) {
  CTestVM cVM;
  FillEveryType(cVM);
  CTestModel<CVeskQTStateTreeFunctionModel> cHiding(true);
  cHiding.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cHiding), "eps(),funcs{F(),g()},tbl{fn()}");
  CTestModel<CVeskQTStateTreeFunctionModel> cShowing(false);
  cShowing.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cShowing), "eps(),funcs{F(),g()},tbl{empty,fn(),sub}");
}

TEST(GuiStateTreeModel, ColumnsHeadersDataRolesAndFlags) {
  CTestVM cVM;
  FillEveryType(cVM);
  CTestModel<CVeskQTStateTreeVariableModel> cVariables(true);
  CTestModel<CVeskQTStateTreeFunctionModel> cFunctions(true);
  cVariables.Rebuild(cVM.VM());
  cFunctions.Rebuild(cVM.VM());
  EXPECT_EQ(cVariables.columnCount(), 2);
  EXPECT_EQ(cFunctions.columnCount(), 1);
  EXPECT_EQ(cVariables.headerData(0, Qt::Horizontal).toString(), "Variable");
  EXPECT_EQ(cVariables.headerData(1, Qt::Horizontal).toString(), "Value");
  EXPECT_FALSE(cVariables.headerData(2, Qt::Horizontal).isValid());
  EXPECT_FALSE(cVariables.headerData(0, Qt::Vertical).isValid());
  EXPECT_FALSE(cVariables.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
  EXPECT_FALSE(cFunctions.headerData(0, Qt::Horizontal).isValid());

  QModelIndex cAlpha = cVariables.index(0, 1);
  EXPECT_EQ(cVariables.data(cAlpha, Qt::DisplayRole).toInt(), 1);
  EXPECT_FALSE(cVariables.data(cAlpha, Qt::EditRole).isValid());
  EXPECT_EQ(cVariables.flags(cAlpha), Qt::ItemIsEnabled);
  EXPECT_EQ(cVariables.flags(QModelIndex()), Qt::NoItemFlags);
  EXPECT_FALSE(cVariables.data(QModelIndex()).isValid());
  EXPECT_FALSE(cVariables.index(99, 0).isValid());
  EXPECT_FALSE(cVariables.index(0, 2).isValid());

  /* A table's rows hang under it; its own value column is empty. */
  QModelIndex cTbl = cVariables.index(5, 0);
  ASSERT_EQ(cVariables.data(cTbl).toString(), "tbl");
  EXPECT_FALSE(cVariables.data(cVariables.index(5, 1)).isValid());
  EXPECT_EQ(cVariables.rowCount(cTbl), 5);
  EXPECT_EQ(cVariables.rowCount(cVariables.index(5, 1)), 0);
  QModelIndex cSub = cVariables.index(4, 0, cTbl);
  ASSERT_EQ(cVariables.data(cSub).toString(), "sub");
  QModelIndex cK = cVariables.index(0, 1, cSub);
  EXPECT_EQ(cVariables.parent(cK), cSub);
  EXPECT_EQ(cVariables.parent(cSub), cTbl);
  EXPECT_FALSE(cVariables.parent(cTbl).isValid());
  /* Keys and values keep their types, for the view to format. */
  EXPECT_EQ(cVariables.data(cVariables.index(0, 0, cTbl)).userType(), QMetaType::Float);
  EXPECT_EQ(cVariables.data(cVariables.index(1, 0, cTbl)).userType(), QMetaType::Int);
  EXPECT_EQ(cVariables.data(cK).userType(), QMetaType::Float);
}

TEST(GuiStateTreeModel, RebuildReplacesTheSnapshotAndSignalsAReset) {
  CTestVM cVM;
  cVM.Global("first", cVM.Int(1));
  CTestModel<CVeskQTStateTreeVariableModel> cModel(true);
  EXPECT_EQ(cModel.rowCount(), 0);
  int nResets = 0;
  QObject::connect(&cModel, &QAbstractItemModel::modelReset, [&] { ++nResets; });
  cModel.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cModel), "first=1");
  /* The snapshot does not follow the VM until the next rebuild. */
  cVM.Global("first", cVM.Str("changed"));
  cVM.Global("second", cVM.Int(2));
  EXPECT_EQ(Dump(cModel), "first=1");
  cModel.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cModel), "first=\"changed\",second=2");
  EXPECT_EQ(nResets, 2);
  /* Without a controller a refresh empties the tree. */
  cModel.Refresh(7);
  EXPECT_EQ(cModel.rowCount(), 0);
  EXPECT_EQ(nResets, 3);
}

TEST(GuiStateTreeModel, SelfContainingTablesAreShownOnceAndNotExpandedAgain) {
  CTestVM cVM;
  veskobj_t tLoop = cVM.NewTable();
  cVM.Global("loop", cVM.Table(tLoop));
  cVM.Put(tLoop, cVM.Str("me"), cVM.Table(tLoop));
  cVM.Put(tLoop, cVM.Str("n"), cVM.Int(4));
  CTestModel<CVeskQTStateTreeVariableModel> cVariables(true);
  cVariables.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cVariables), "loop{me,n=4}");
  CTestModel<CVeskQTStateTreeFunctionModel> cFunctions(false);
  cFunctions.Rebuild(cVM.VM());
  EXPECT_EQ(Dump(cFunctions), "loop{me}");
}

TEST(GuiStateTreeModel, DeeplyNestedTablesAreExpandedToABoundedDepth) {
  CTestVM cVM;
  veskobj_t tTable = cVM.NewTable();
  cVM.Global("deep", cVM.Table(tTable));
  for (int i = 0; i < 100; ++i) {
    veskobj_t tInner = cVM.NewTable();
    cVM.Put(tTable, cVM.Str("in"), cVM.Table(tInner));
    cVM.Put(tTable, cVM.Str("v"), cVM.Int(i));
    tTable = tInner;
  }
  CTestModel<CVeskQTStateTreeVariableModel> cModel(true);
  cModel.Rebuild(cVM.VM());
  /* Follow "in" (sorted before "v") down to the first table left unexpanded. */
  int nLevels = 1;
  QModelIndex cIndex = cModel.index(0, 0);
  while (cModel.rowCount(cIndex) > 0) {
    cIndex = cModel.index(0, 0, cIndex);
    ASSERT_EQ(cModel.data(cIndex).toString(), "in");
    ++nLevels;
  }
  EXPECT_EQ(nLevels, 65);
  EXPECT_EQ(cModel.data(cModel.index(1, 1, cIndex.parent())).toInt(), 63);
}

} // namespace
