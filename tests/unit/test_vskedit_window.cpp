/*
 * Tests of vskedit's simulator window on a small experiment: loading it with
 * its script, stepping, the top view's labels and click selection, running a
 * new script and keeping it across a reset.
 */
#include "editor_window_test_util.h"

#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vskedit_arena_view.h"
#include "vskedit_window.h"

#include <QSignalSpy>
#include <QTest>

using namespace editor_test;

namespace {

const char COUNTER[] = "var x = 0\n"
                       "function init() {\n"
                       "  x = 10\n"
                       "  debug(\"ready\")\n"
                       "}\n"
                       "function step() {\n"
                       "  x = x + 1\n"
                       "}\n";

const char OTHER[] = "var x = 0\n"
                     "function init() {\n"
                     "  x = 100\n"
                     "  debug(\"other\")\n"
                     "}\n"
                     "function step() {\n"
                     "}\n";

/* Two foot-bots at (-1, 0) and (1, 0) running the script, for two steps. */
QString WriteExperiment(const QString &str_name, const QString &str_script) {
  return WriteFootBotExperiment(str_name, str_script, {{1, -1, 0}, {2, 1, 0}}, 1);
}

CVeskController *ControllerOf(vesksim::CWorld &c_world, size_t un_index) {
  return dynamic_cast<CVeskController *>(
      &c_world.GetBody(un_index).Robot->GetController());
}

} // namespace

TEST(VskEditWindow, LoadsTheExperimentWithItsScript) {
  const QString strScript = WriteScript("vskedit_counter.vsk", COUNTER);
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(WriteExperiment("two.argos", strScript)))
      << cWindow.GetLastError().toStdString();
  ASSERT_NE(cWindow.GetWorld(), nullptr);
  EXPECT_EQ(cWindow.GetWorld()->GetNumRobots(), 2u);
  EXPECT_EQ(cWindow.GetEditor().GetMainScript(), strScript);
  ASSERT_NE(cWindow.GetEditor().CurrentEditor(), nullptr);
  EXPECT_EQ(cWindow.GetView().Label(0), "R1: ready");
  EXPECT_EQ(cWindow.GetView().Label(1), "R2: ready");
  EXPECT_TRUE(cWindow.GetView().Label(2).isEmpty());

  /* A file that is no experiment leaves the running one alone. */
  EXPECT_FALSE(cWindow.LoadExperiment(WriteScript("bad.argos", "<argos-configuration>")));
  EXPECT_FALSE(cWindow.GetLastError().isEmpty());
  EXPECT_EQ(cWindow.GetWorld()->GetNumRobots(), 2u);
}

TEST(VskEditWindow, StepsUpToTheExperimentLength) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("steps.argos", WriteScript("vskedit_steps.vsk", COUNTER))));
  QSignalSpy cSteps(&cWindow, &CVskEditWindow::StepDone);
  cWindow.GetEditor().HandleEntitySelection(size_t(0));
  cWindow.Step();
  ASSERT_EQ(cSteps.count(), 1);
  EXPECT_EQ(cSteps.takeFirst().at(0).toInt(), 1);
  EXPECT_EQ(Value(*cWindow.GetEditor().GetVariableModel(), "x"), "11");
  cWindow.Step();
  cWindow.Step(); /* the experiment lasts two steps */
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 2u);
  EXPECT_EQ(cSteps.count(), 1);
  EXPECT_EQ(Value(*cWindow.GetEditor().GetVariableModel(), "x"), "12");
  ASSERT_TRUE(cWindow.Reset());
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 0u);
  EXPECT_EQ(cWindow.GetEditor().GetSelectedController(), nullptr);
}

TEST(VskEditWindow, ClickingARobotSelectsIt) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("click.argos", WriteScript("vskedit_click.vsk", COUNTER))));
  CVskEditArenaView &cView = cWindow.GetView();
  cView.resize(400, 400);
  vesksim::CWorld &cWorld = *cWindow.GetWorld();
  const QPoint cSecond = cView.ToView(cWorld.GetBody(1).Floor()).toPoint();
  EXPECT_GT(cSecond.x(), 200);
  EXPECT_EQ(cSecond.y(), 200);
  QTest::mouseClick(&cView, Qt::LeftButton, Qt::NoModifier, cSecond);
  EXPECT_EQ(cView.GetSelected(), 1);
  EXPECT_EQ(cWindow.GetEditor().GetSelectedController(), ControllerOf(cWorld, 1));
  QTest::mouseClick(&cView, Qt::LeftButton, Qt::NoModifier,
                    cView.ToView(cWorld.GetBody(0).Floor()).toPoint());
  EXPECT_EQ(cWindow.GetEditor().GetSelectedController(), ControllerOf(cWorld, 0));
  QTest::mouseClick(&cView, Qt::LeftButton, Qt::NoModifier, QPoint(200, 40));
  EXPECT_EQ(cView.GetSelected(), -1);
  EXPECT_EQ(cWindow.GetEditor().GetSelectedController(), nullptr);
}

TEST(VskEditWindow, TopViewDrawsRobotsWhereTheyAre) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("paint.argos", WriteScript("vskedit_paint.vsk", COUNTER))));
  CVskEditArenaView cView;
  cView.SetWorld(cWindow.GetWorld());
  cView.resize(448, 448); /* 100 pixels per metre */
  EXPECT_EQ(cView.ToView(argos::CVector2(1, 0)), QPointF(324, 224));
  EXPECT_EQ(cView.ToView(argos::CVector2(0, 1)), QPointF(224, 124));
  QImage cImage(cView.size(), QImage::Format_ARGB32);
  cView.render(&cImage);
  const QColor cFloor = cImage.pixelColor(224, 300);
  /* Robot discs (radius 8.5 pixels) just beside their heading lines. */
  EXPECT_NE(cImage.pixelColor(124, 229), cFloor);
  EXPECT_NE(cImage.pixelColor(324, 229), cFloor);
  EXPECT_EQ(cImage.pixelColor(274, 229), cFloor);
  EXPECT_EQ(cView.RobotAt(QPointF(327, 226)), 1);
  EXPECT_EQ(cView.RobotAt(QPointF(274, 224)), -1);
}

TEST(VskEditWindow, ExecutedScriptSurvivesAReset) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("exec.argos", WriteScript("vskedit_exec.vsk", COUNTER))));
  CVeskQTMainWindow &cEditor = cWindow.GetEditor();
  ASSERT_TRUE(cEditor.OpenFile(WriteScript("vskedit_other.vsk", OTHER)));
  cEditor.SetMain();
  cWindow.Step();
  cEditor.Execute();
  EXPECT_EQ(cWindow.GetView().Label(0), "R1: other");
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 1u);
  ASSERT_TRUE(cWindow.Reset());
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 0u);
  EXPECT_EQ(cWindow.GetView().Label(0), "R1: other");
  EXPECT_EQ(cWindow.GetView().Label(1), "R2: other");
}
