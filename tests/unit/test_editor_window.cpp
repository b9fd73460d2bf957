/*
 * Tests of the script editor window: compiling through the tool chain,
 * loading scripts into robots, run-time errors leading to their source,
 * robot selection and the state trees, tabs, recent files, find and undo.
 * Robots run in the headless world's robot harness; the window lists them
 * through LiveControllers().
 */
#include "editor_window_test_util.h"

#include "vesk_overlay_label.h"
#include "vesk_qt_editor.h"
#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vesk_qt_tab_widget.h"

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/core/simulator/entity/entity.h>

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTreeView>
#include <QTreeWidget>

using namespace editor_test;
using TWindow = CVeskQTMainWindow;

/* The editor window as a host sets it up, seeing the tests' live robots. */
class CWindow : public CVeskQTMainWindow {
public:
  CWindow() { SetControllerSource(&LiveControllers); }
};

/* A controller that is not a Vesk controller. */
class CPlainController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &) override {}
  void ControlStep() override {}
  void Reset() override {}
  void Destroy() override {}
};
REGISTER_CONTROLLER(CPlainController, "editor_test_plain_controller")

namespace {

const char COUNTER[] = "# counts the steps\n"
                       "var x = 0\n"
                       "function init() {\n"
                       "  x = 10\n"
                       "  debug(\"ready\")\n"
                       "}\n"
                       "function step() {\n"
                       "  x = x + 1\n"
                       "}\n";

const char FAILING[] = "var x = 0\n"
                       "function init() {\n"
                       "}\n"
                       "function step() {\n"
                       "  x = x + 1\n"
                       "  x()\n"
                       "}\n";

const char SYNTAX_ERROR[] = "var a = 1\nvar b = 2\nvar c = )\n";

const char FOOTBOT[] = "vesk_controller_footbot";

/* Answers the next message box with the given button. */
CModalResponder::THandler Press(QMessageBox::StandardButton e_button) {
  return [=](QWidget *pc_modal) {
    auto *pcBox = qobject_cast<QMessageBox *>(pc_modal);
    ASSERT_NE(pcBox, nullptr);
    pcBox->button(e_button)->click();
  };
}

TWindow::SBuild Build(const QString &str_script) {
  TWindow::SBuild sBuild;
  EXPECT_TRUE(TWindow::BuildScript(str_script, sBuild));
  return sBuild;
}

std::string Params(const TWindow::SBuild &s_build) {
  return ScriptParams(s_build.BytecodeFile, s_build.DebugFile);
}

} // namespace

TEST(EditorLabel, IdThenDebugText) {
  EXPECT_EQ(VeskOverlayLabel(5, ""), "R5");
  EXPECT_EQ(VeskOverlayLabel(5, "hello3"), "R5: hello3");
  EXPECT_EQ(VeskOverlayLabel(65535, "x"), "R65535: x");
  QString strScript =
      WriteScript("label.vsk", "function init() {\n  debug(\"hello\", 3)\n}\n"
                               "function step() {\n}\n");
  CRobot cRobot("fb5", FOOTBOT, Params(Build(strScript)));
  EXPECT_EQ(VeskOverlayLabel(*cRobot.Vesk()), "R5: hello3");
  cRobot.Robot().Reset(); /* clears the debug message, then init sets it again */
  EXPECT_EQ(VeskOverlayLabel(*cRobot.Vesk()), "R5: hello3");
  CRobot cBare("fb12", FOOTBOT);
  EXPECT_EQ(VeskOverlayLabel(*cBare.Vesk()), "R12");
}

TEST(EditorBuild, PositionsAreSplitFromMessages) {
  TWindow::SMessage sMessage;
  ASSERT_TRUE(
      TWindow::ParsePosition("/a/b c.vsk:12:4: Syntax error: x:1:2: y", sMessage));
  EXPECT_EQ(sMessage.File, "/a/b c.vsk");
  EXPECT_EQ(sMessage.Line, 12);
  EXPECT_EQ(sMessage.Column, 4);
  EXPECT_EQ(sMessage.Text, "Syntax error: x:1:2: y");
  EXPECT_FALSE(TWindow::ParsePosition("At bytecode offset 17: type mismatch", sMessage));
  EXPECT_FALSE(TWindow::ParsePosition("Script not loaded!", sMessage));
  EXPECT_FALSE(TWindow::ParsePosition("a.vsk:x:3: text", sMessage));
}

TEST(EditorBuild, WritesBytecodeAndDebugFilesThatRobotsRun) {
  QString strScript = WriteScript("counter_build.vsk", COUNTER);
  TWindow::SBuild sBuild;
  ASSERT_TRUE(TWindow::BuildScript(strScript, sBuild));
  EXPECT_TRUE(sBuild.Messages.isEmpty());
  EXPECT_EQ(sBuild.BytecodeFile, strScript.chopped(4) + ".vo");
  EXPECT_EQ(sBuild.DebugFile, strScript.chopped(4) + ".vdb");
  CRobot cRobot("fb7", FOOTBOT, Params(sBuild));
  EXPECT_EQ(cRobot.Vesk()->GetVeskVM()->state, VESKVM_STATE_READY);
  EXPECT_EQ(VeskOverlayLabel(*cRobot.Vesk()), "R7: ready");
}

TEST(EditorBuild, SyntaxErrorGivesItsPositionAndNoFiles) {
  QString strScript = WriteScript("syntax_build.vsk", SYNTAX_ERROR);
  TWindow::SBuild sBuild;
  EXPECT_FALSE(TWindow::BuildScript(strScript, sBuild));
  ASSERT_FALSE(sBuild.Messages.isEmpty());
  const TWindow::SMessage &sFirst = sBuild.Messages.first();
  EXPECT_EQ(sFirst.Source, "compiler");
  EXPECT_EQ(sFirst.File, strScript);
  EXPECT_EQ(sFirst.Line, 3);
  EXPECT_EQ(sFirst.Column, 8);
  EXPECT_TRUE(sFirst.Text.startsWith("Syntax error")) << sFirst.Text.toStdString();
  EXPECT_FALSE(QFileInfo::exists(sBuild.BytecodeFile));
  /* A missing file is an error too, with a message. */
  EXPECT_FALSE(TWindow::BuildScript(QDir(GuiTestDir()).filePath("absent.vsk"), sBuild));
  EXPECT_FALSE(sBuild.Messages.isEmpty());
}

TEST(EditorBuild, CheckerWarningsFollowASuccessfulBuild) {
  QString strScript = WriteScript("warning_build.vsk", "var x = 0\nx = speeed\n");
  TWindow::SBuild sBuild;
  ASSERT_TRUE(TWindow::BuildScript(strScript, sBuild));
  ASSERT_EQ(sBuild.Messages.size(), 1);
  const TWindow::SMessage &sWarning = sBuild.Messages.first();
  EXPECT_EQ(sWarning.Source, "checker");
  EXPECT_EQ(sWarning.File, strScript);
  EXPECT_EQ(sWarning.Line, 2);
  EXPECT_EQ(sWarning.Column, 4);
  EXPECT_TRUE(sWarning.Text.startsWith("warning: 'speeed'"))
      << sWarning.Text.toStdString();
  EXPECT_TRUE(QFileInfo::exists(sBuild.BytecodeFile));
}

TEST(EditorWindow, CompileErrorMovesTheCursorToIt) {
  QString strScript = WriteScript("syntax_window.vsk", SYNTAX_ERROR);
  CWindow cWindow;
  ASSERT_TRUE(cWindow.OpenFile(strScript));
  EXPECT_FALSE(cWindow.Compile());
  EXPECT_EQ(cWindow.GetMainScript(), strScript);
  ASSERT_EQ(cWindow.GetMessages().size(), 1);
  EXPECT_EQ(cWindow.GetMessages().first().Line, 3);
  QTextCursor cCursor = cWindow.CurrentEditor()->textCursor();
  EXPECT_EQ(cCursor.blockNumber(), 2);
  EXPECT_EQ(cCursor.positionInBlock(), 9);
  auto *pcList = cWindow.findChild<QTreeWidget *>();
  ASSERT_NE(pcList, nullptr);
  ASSERT_EQ(pcList->topLevelItemCount(), 1);
  EXPECT_EQ(pcList->topLevelItem(0)->text(1), "syntax_window.vsk:3:8");
}

TEST(EditorWindow, CompileSavesModifiedScriptsFirst) {
  QString strScript = WriteScript("counter_save.vsk", COUNTER);
  CWindow cWindow;
  ASSERT_TRUE(cWindow.OpenFile(strScript));
  CVeskQTEditor *pcEditor = cWindow.CurrentEditor();
  pcEditor->moveCursor(QTextCursor::Start);
  pcEditor->insertPlainText("var extra = 5\n");
  EXPECT_EQ(cWindow.GetTabs().tabText(0), "counter_save.vsk*");
  ASSERT_TRUE(cWindow.Compile());
  EXPECT_TRUE(ReadFile(strScript).startsWith("var extra = 5\n# counts the steps"));
  EXPECT_EQ(cWindow.GetTabs().tabText(0), "counter_save.vsk (main)");
  EXPECT_TRUE(cWindow.GetMessages().isEmpty());
  EXPECT_TRUE(QFileInfo::exists(cWindow.GetLastBuild().BytecodeFile));
}

TEST(EditorWindow, ExecuteLoadsTheScriptIntoEveryRobot) {
  CRobot cFirst("fb1", FOOTBOT), cSecond("fb2", FOOTBOT);
  EXPECT_EQ(cFirst.Vesk()->GetVeskVM()->state, VESKVM_STATE_NOCODE);
  CWindow cWindow;
  QSignalSpy cExecuted(&cWindow, &TWindow::ScriptExecuted);
  ASSERT_TRUE(cWindow.OpenFile(WriteScript("counter_exec.vsk", COUNTER)));
  cWindow.Execute();
  EXPECT_EQ(cExecuted.count(), 1);
  for (CRobot *pcRobot : {&cFirst, &cSecond})
    EXPECT_EQ(pcRobot->Vesk()->GetVeskVM()->state, VESKVM_STATE_READY);
  EXPECT_EQ(VeskOverlayLabel(*cFirst.Vesk()), "R1: ready");
  EXPECT_EQ(VeskOverlayLabel(*cSecond.Vesk()), "R2: ready");
  /* The selected robot's trees follow every step. */
  cWindow.SelectController(cSecond.Vesk());
  EXPECT_EQ(Value(*cWindow.GetVariableModel(), "x"), "10");
  cSecond.Robot().Step();
  cWindow.CheckVeskStatus(1);
  EXPECT_EQ(Value(*cWindow.GetVariableModel(), "x"), "11");
  cSecond.Robot().Step();
  cWindow.CheckVeskStatus(2);
  EXPECT_EQ(Value(*cWindow.GetVariableModel(), "x"), "12");
  EXPECT_TRUE(Row(*cWindow.GetFunctionModel(), "step()").isValid());
  EXPECT_TRUE(cWindow.GetMessages().isEmpty());
}

TEST(EditorWindow, RunTimeErrorsAreListedAndLeadToTheirLine) {
  QString strScript = WriteScript("failing.vsk", FAILING);
  CRobot cRobot("fb3", FOOTBOT), cHealthy("fb4", FOOTBOT);
  CWindow cWindow;
  ASSERT_TRUE(cWindow.OpenFile(strScript));
  cWindow.Execute();
  cRobot.Robot().Step();
  cWindow.CheckVeskStatus(1);
  ASSERT_EQ(cWindow.GetMessages().size(), 1);
  TWindow::SMessage sError = cWindow.GetMessages().first();
  EXPECT_EQ(sError.Source, "R3");
  EXPECT_EQ(sError.File, strScript);
  EXPECT_EQ(sError.Line, 6);
  EXPECT_FALSE(sError.Text.isEmpty());
  /* The error stays listed once, step after step. */
  cRobot.Robot().Step();
  cWindow.CheckVeskStatus(2);
  EXPECT_EQ(cWindow.GetMessages().size(), 1);
  /* Choosing it puts the cursor on its line. */
  cWindow.CurrentEditor()->moveCursor(QTextCursor::Start);
  auto *pcList = cWindow.findChild<QTreeWidget *>();
  ASSERT_NE(pcList, nullptr);
  ASSERT_EQ(pcList->topLevelItemCount(), 1);
  EXPECT_EQ(pcList->topLevelItem(0)->text(0), "R3");
  pcList->setCurrentItem(pcList->topLevelItem(0));
  EXPECT_EQ(cWindow.CurrentEditor()->textCursor().blockNumber(), 5);
  /* A fixed script clears the list. */
  cWindow.CurrentEditor()->setPlainText(COUNTER);
  cWindow.Execute();
  EXPECT_TRUE(cWindow.GetMessages().isEmpty());
}

TEST(EditorWindow, SelectionByEntityOrIndex) {
  CRobot cVesk("fb1", FOOTBOT, "");
  CRobot cPlain("fb2", "editor_test_plain_controller");
  CWindow cWindow;
  ASSERT_EQ(cWindow.GetControllers().size(), 1);
  EXPECT_EQ(cWindow.GetControllers().first(), cVesk.Vesk());
  /* An entity selects the controller of the robot with its id. */
  argos::CEntity cVeskRobot(nullptr, "fb1"), cPlainRobot(nullptr, "fb2");
  cWindow.HandleEntitySelection(&cVeskRobot);
  EXPECT_EQ(cWindow.GetSelectedController(), cVesk.Vesk());
  cWindow.HandleEntityDeselection(&cVeskRobot);
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  /* Robots with another controller have no trees. */
  cWindow.HandleEntitySelection(&cPlainRobot);
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  EXPECT_EQ(cWindow.GetVariableModel()->rowCount(), 0);
  cWindow.HandleEntitySelection(size_t(0));
  EXPECT_EQ(cWindow.GetSelectedController(), cVesk.Vesk());
  cWindow.HandleEntitySelection(size_t(1));
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  cWindow.HandleEntitySelection(size_t(0));
  cWindow.HandleEntityDeselection(size_t(0));
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  cWindow.HandleEntitySelection(static_cast<argos::CEntity *>(nullptr));
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  /* Without a source the window knows no robot. */
  TWindow cBare;
  EXPECT_TRUE(cBare.GetControllers().isEmpty());
  cBare.HandleEntitySelection(&cVeskRobot);
  EXPECT_EQ(cBare.GetSelectedController(), nullptr);
}

TEST(EditorWindow, OpensTheScriptsOfBytecodeFilesWithTheFirstInFront) {
  const QString strFirst = WriteScript("first_open.vsk", COUNTER);
  const QString strSecond = WriteScript("second_open.vsk", COUNTER);
  CWindow cWindow;
  cWindow.OpenScriptsOf({strFirst.chopped(4) + ".vo", "elsewhere/none.vo",
                         "notbytecode.txt", strSecond.chopped(4) + ".vo"});
  ASSERT_EQ(cWindow.GetTabs().count(), 2);
  EXPECT_EQ(cWindow.GetMainScript(), strFirst);
  EXPECT_EQ(cWindow.CurrentEditor(), cWindow.EditorOf(strFirst));
}

TEST(EditorWindow, PlacementBesideAnotherWindow) {
  const QRect cScreen(0, 0, 1920, 1080);
  const QSize cWanted(900, 700);
  /* Room on the right. */
  EXPECT_EQ(TWindow::Placement(QRect(0, 0, 640, 480), cWanted, cScreen),
            QRect(640, 0, 900, 700));
  /* No room on the right, enough on the left; the top stays on the screen. */
  EXPECT_EQ(TWindow::Placement(QRect(1000, 500, 640, 480), cWanted, cScreen),
            QRect(100, 380, 900, 700));
  /* Neither side has room: the wider strip, narrowed to fit. */
  EXPECT_EQ(TWindow::Placement(QRect(200, 0, 1200, 480), cWanted, cScreen),
            QRect(1400, 0, 520, 700));
  EXPECT_EQ(TWindow::Placement(QRect(700, 0, 1200, 480), cWanted, cScreen),
            QRect(0, 0, 700, 700));
  /* A screen filled by the other window: the narrowest window that is
   * still usable, at the right edge. */
  EXPECT_EQ(TWindow::Placement(cScreen, cWanted, cScreen),
            QRect(1920 - TWindow::MIN_PLACED_WIDTH, 0, TWindow::MIN_PLACED_WIDTH, 700));
  /* A screen lower than the window: the window is cut to its height. */
  EXPECT_EQ(TWindow::Placement(QRect(0, 0, 640, 480), cWanted, QRect(0, 0, 1920, 600)),
            QRect(640, 0, 900, 600));
}

TEST(EditorWindow, TabsShowFileStateAndMainScript) {
  const QString strPath = QDir(GuiTestDir()).filePath("fresh.vsk");
  QFile::remove(strPath);
  CWindow cWindow;
  CVeskQTTabWidget &cTabs = cWindow.GetTabs();
  cWindow.NewFile(strPath);
  ASSERT_EQ(cTabs.count(), 1);
  EXPECT_EQ(cTabs.tabText(0), "fresh.vsk*");
  ASSERT_TRUE(cWindow.Save());
  EXPECT_EQ(cTabs.tabText(0), "fresh.vsk");
  EXPECT_EQ(ReadFile(strPath), CVeskQTEditor::NewFileText());
  cWindow.SetMain();
  EXPECT_EQ(cTabs.tabText(0), "fresh.vsk (main)");
  EXPECT_TRUE(cWindow.OpenFile(strPath));
  EXPECT_EQ(cTabs.count(), 1);
  EXPECT_FALSE(cWindow.OpenFile(QDir(GuiTestDir()).filePath("no_such.vsk")));
  EXPECT_EQ(cTabs.count(), 1);
  QString strOther = WriteScript("other_tab.vsk", COUNTER);
  ASSERT_TRUE(cWindow.OpenFile(strOther));
  EXPECT_EQ(cTabs.count(), 2);
  EXPECT_EQ(cWindow.CurrentEditor()->GetFilePath(), strOther);
  cWindow.CloseEditor(0);
  EXPECT_EQ(cTabs.count(), 1);
  EXPECT_TRUE(cWindow.GetMainScript().isEmpty());
  EXPECT_EQ(cWindow.EditorOf(strPath), nullptr);
  EXPECT_NE(cWindow.EditorOf(strOther), nullptr);
}

TEST(EditorWindow, ClosingAModifiedScriptAsks) {
  CWindow cWindow;
  ASSERT_TRUE(cWindow.OpenFile(WriteScript("asks.vsk", COUNTER)));
  cWindow.CurrentEditor()->insertPlainText("# more\n");
  {
    CModalResponder cResponder({Press(QMessageBox::Cancel)});
    cWindow.CloseEditor(0);
    EXPECT_EQ(cResponder.Pending(), 0);
  }
  EXPECT_EQ(cWindow.GetTabs().count(), 1);
  {
    CModalResponder cResponder({Press(QMessageBox::Discard)});
    cWindow.CloseEditor(0);
    EXPECT_EQ(cResponder.Pending(), 0);
  }
  EXPECT_EQ(cWindow.GetTabs().count(), 0);
  EXPECT_EQ(ReadFile(QDir(GuiTestDir()).filePath("asks.vsk")), COUNTER);
}

TEST(EditorWindow, RecentFilesMenuFollowsTheSettings) {
  CWindow cWindow;
  QStringList listPaths;
  for (int i = 0; i < 6; ++i) {
    listPaths << WriteScript(QString("recent%1.vsk").arg(i), COUNTER);
    ASSERT_TRUE(cWindow.OpenFile(listPaths.last()));
  }
  for (int i = 0; i < TWindow::MAX_RECENT_FILES; ++i) {
    QAction *pcAction = cWindow.GetRecentFileAction(i);
    EXPECT_TRUE(pcAction->isVisible());
    EXPECT_EQ(pcAction->data().toString(), listPaths[5 - i]);
    EXPECT_EQ(pcAction->text(), QString("&%1 recent%2.vsk").arg(i + 1).arg(5 - i));
  }
  cWindow.CloseEditor(cWindow.GetTabs().IndexOf(cWindow.EditorOf(listPaths[2])));
  ASSERT_EQ(cWindow.EditorOf(listPaths[2]), nullptr);
  cWindow.GetRecentFileAction(3)->trigger();
  ASSERT_NE(cWindow.CurrentEditor(), nullptr);
  EXPECT_EQ(cWindow.CurrentEditor()->GetFilePath(), listPaths[2]);
  EXPECT_EQ(cWindow.GetRecentFileAction(0)->data().toString(), listPaths[2]);
}

TEST(EditorWindow, FindWrapsAroundAndEditingGoesThroughTheWindow) {
  CWindow cWindow;
  ASSERT_TRUE(cWindow.OpenFile(WriteScript("find.vsk", "step one\nstep two\nend\n")));
  CVeskQTEditor *pcEditor = cWindow.CurrentEditor();
  pcEditor->moveCursor(QTextCursor::End);
  ASSERT_TRUE(cWindow.FindText("step"));
  EXPECT_EQ(pcEditor->textCursor().blockNumber(), 0);
  EXPECT_EQ(pcEditor->textCursor().selectedText(), "step");
  ASSERT_TRUE(cWindow.FindText("step"));
  EXPECT_EQ(pcEditor->textCursor().blockNumber(), 1);
  EXPECT_FALSE(cWindow.FindText("absent"));

  pcEditor->moveCursor(QTextCursor::End);
  pcEditor->insertPlainText("tail");
  cWindow.Undo();
  EXPECT_EQ(pcEditor->toPlainText(), "step one\nstep two\nend\n");
  cWindow.Redo();
  EXPECT_EQ(pcEditor->toPlainText(), "step one\nstep two\nend\ntail");
  pcEditor->moveCursor(QTextCursor::Start);
  pcEditor->moveCursor(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
  cWindow.Cut();
  EXPECT_EQ(pcEditor->toPlainText(), " one\nstep two\nend\ntail");
  pcEditor->moveCursor(QTextCursor::End);
  cWindow.Paste();
  EXPECT_EQ(pcEditor->toPlainText(), " one\nstep two\nend\ntailstep");
}

TEST(EditorWindow, ExpandedRowsStayOpenAcrossSteps) {
  const char *pchTables = "var t = {.a = 1, .b = {.c = 2}}\n"
                          "function init() {\n}\n"
                          "function step() {\n}\n";
  CRobot cRobot("fb1", FOOTBOT, Params(Build(WriteScript("tables.vsk", pchTables))));
  CWindow cWindow;
  cWindow.SelectController(cRobot.Vesk());
  const QAbstractItemModel &cModel = *cWindow.GetVariableModel();
  QTreeView *pcTree = nullptr;
  for (QTreeView *pcView : cWindow.findChildren<QTreeView *>())
    if (pcView->model() == &cModel) pcTree = pcView;
  ASSERT_NE(pcTree, nullptr);
  QModelIndex cTable = Row(cModel, "t");
  ASSERT_TRUE(cTable.isValid());
  EXPECT_FALSE(pcTree->isExpanded(cTable));
  pcTree->expand(cTable);
  pcTree->expand(Row(cModel, "b", cTable));
  cWindow.CheckVeskStatus(1);
  cTable = Row(cModel, "t");
  EXPECT_TRUE(pcTree->isExpanded(cTable));
  EXPECT_TRUE(pcTree->isExpanded(Row(cModel, "b", cTable)));
  EXPECT_FALSE(pcTree->isExpanded(Row(cModel, "io")));
  pcTree->collapse(cTable);
  cWindow.CheckVeskStatus(2);
  EXPECT_FALSE(pcTree->isExpanded(Row(cModel, "t")));
}

TEST(EditorWindow, ARobotLeavingTheSimulationIsDeselected) {
  CWindow cWindow;
  {
    CRobot cRobot("fb1", FOOTBOT, Params(Build(WriteScript("leaving.vsk", COUNTER))));
    cWindow.SelectController(cRobot.Vesk());
    ASSERT_EQ(cWindow.GetSelectedController(), cRobot.Vesk());
  }
  cWindow.CheckVeskStatus(1);
  EXPECT_EQ(cWindow.GetSelectedController(), nullptr);
  EXPECT_EQ(cWindow.GetVariableModel()->rowCount(), 0);
}
