/*
 * Tests of what vskedit shows of a running swarm: LEDs drawn on the robots,
 * labels laid out without overlaps, play speed, the log panel with its robot
 * filter, robots in numeric order, the stigmergy and swarm rows of the state
 * tree, and the debugger console attached to a robot of the world.
 */
#include "editor_window_test_util.h"

#include "vesk_qt_editor.h"
#include "vesk_qt_log_panel.h"
#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vskedit_arena_view.h"
#include "vskedit_debug_console.h"
#include "vskedit_window.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTreeWidget>

#include <vector>

using namespace editor_test;

namespace {

/* The experiment str_name.argos running the script str_name.vsk. */
QString WriteExperiment(const QString &str_name, const QString &str_script,
                        const std::vector<SRobotAt> &vec_robots, int n_length) {
  return WriteFootBotExperiment(str_name + ".argos",
                                WriteScript(str_name + ".vsk", str_script), vec_robots,
                                n_length);
}

/* Robot 1 lights its LEDs red, the others stay dark; all write to the log. */
const char LIGHTS[] = "function init() {\n"
                      "  if (id == 1) { setleds(255, 0, 0) }\n"
                      "  debug(\"ready\")\n"
                      "}\n"
                      "function step() {\n"
                      "  log(\"tick \", id)\n"
                      "}\n";

const char COUNTER[] = "var x = 0\n"
                       "function init() {\n"
                       "  x = 10\n"
                       "}\n"
                       "function step() {\n"
                       "  x = x + 1\n"
                       "}\n";

bool Overlap(const QVector<CVskEditArenaView::SLabel> &vec_labels) {
  for (int i = 0; i < vec_labels.size(); ++i)
    for (int j = i + 1; j < vec_labels.size(); ++j)
      if (vec_labels[i].Rect.intersects(vec_labels[j].Rect)) return true;
  return false;
}

QList<int> LabelRobots(const QVector<CVskEditArenaView::SLabel> &vec_labels) {
  QList<int> listRobots;
  for (const CVskEditArenaView::SLabel &sLabel : vec_labels)
    listRobots.append(sLabel.Robot);
  return listRobots;
}

/* The texts of a column of a model's rows under the parent. */
QStringList Column(const QAbstractItemModel &c_model, int n_column,
                   const QModelIndex &c_parent = QModelIndex()) {
  QStringList listTexts;
  for (int i = 0; i < c_model.rowCount(c_parent); ++i)
    listTexts.append(c_model.index(i, n_column, c_parent).data().toString());
  return listTexts;
}

} // namespace

TEST(VskEditSwarmView, LitLEDsAreDrawnInTheirColour) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("leds", LIGHTS, {{1, -1, 0}, {2, 1, 0}}, 5)));
  cWindow.Step(); /* the LEDs set in init are shown from the first step */
  CVskEditArenaView cView;
  cView.SetWorld(cWindow.GetWorld());
  cView.resize(448, 448);
  QImage cImage(cView.size(), QImage::Format_ARGB32);
  cView.render(&cImage);
  /* The ring's LEDs (1 to 11: 0 lies under the heading line) and the
   * beacon in the middle (just beside the heading line). */
  auto Pixel = [&cImage](const QPointF &c_at) {
    return cImage.pixelColor(static_cast<int>(c_at.x()), static_cast<int>(c_at.y()));
  };
  for (size_t unLED : {1, 3, 6, 9})
    EXPECT_EQ(Pixel(cView.LEDPoint(0, unLED)), QColor(255, 0, 0)) << unLED;
  EXPECT_EQ(Pixel(cView.LEDPoint(0, 12) + QPointF(0, 2)), QColor(255, 0, 0));
  EXPECT_EQ(Pixel(cView.LEDPoint(1, 12) + QPointF(0, 2)), QColor(200, 200, 200));
  for (size_t unLED : {1, 3, 6, 9})
    EXPECT_EQ(Pixel(cView.LEDPoint(1, unLED)), QColor(200, 200, 200)) << unLED;
  /* The ring follows the robot's heading: LED 3 is on its left. */
  EXPECT_LT(cView.LEDPoint(0, 3).y(), cView.ToView(argos::CVector2(-1, 0)).y() - 3);
}

TEST(VskEditSwarmView, LabelsNeverOverlap) {
  CVskEditWindow cWindow;
  /* Five robots 0.3 m apart in a row and two more close above them. */
  ASSERT_TRUE(cWindow.LoadExperiment(WriteExperiment("crowd", LIGHTS,
                                                     {{1, -0.6, 0},
                                                      {2, -0.3, 0},
                                                      {3, 0, 0},
                                                      {4, 0.3, 0},
                                                      {5, 0.6, 0},
                                                      {6, -0.15, 0.2},
                                                      {7, 0.15, 0.2}},
                                                     5)));
  CVskEditArenaView &cView = cWindow.GetView();
  cView.resize(448, 448);
  QVector<CVskEditArenaView::SLabel> vecLabels = cView.LayOutLabels();
  EXPECT_FALSE(Overlap(vecLabels));
  EXPECT_LT(vecLabels.size(), 7); /* not all fit */
  EXPECT_GT(vecLabels.size(), 1);
  for (const CVskEditArenaView::SLabel &sLabel : vecLabels)
    EXPECT_EQ(sLabel.Text, cView.Label(sLabel.Robot));
  /* The selected robot's label comes first, then the hovered one's. */
  cView.Select(3);
  cView.SetHovered(6);
  vecLabels = cView.LayOutLabels();
  EXPECT_FALSE(Overlap(vecLabels));
  ASSERT_GE(vecLabels.size(), 2);
  EXPECT_EQ(LabelRobots(vecLabels).mid(0, 2), (QList<int>{3, 6}));
  /* Far apart, every label is drawn above its robot. */
  CVskEditWindow cSparse;
  ASSERT_TRUE(cSparse.LoadExperiment(
      WriteExperiment("sparse", LIGHTS, {{1, -1, -1}, {2, 1, 1}, {3, 1, -1}}, 5)));
  cSparse.GetView().resize(448, 448);
  vecLabels = cSparse.GetView().LayOutLabels();
  ASSERT_EQ(LabelRobots(vecLabels), (QList<int>{0, 1, 2}));
  for (const CVskEditArenaView::SLabel &sLabel : vecLabels)
    EXPECT_TRUE(QRectF(cSparse.GetView().rect()).contains(sLabel.Rect));
  for (const CVskEditArenaView::SLabel &sLabel : vecLabels)
    EXPECT_LT(
        sLabel.Rect.bottom(),
        cSparse.GetView().ToView(cSparse.GetWorld()->GetBody(sLabel.Robot).Floor()).y());
}

TEST(VskEditSwarmView, PlaySpeedSetsTheStepsOfATick) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(WriteExperiment("speed", COUNTER, {{1, 0, 0}}, 30)));
  /* 2 ticks a second: a step every 500 ms in real time. */
  EXPECT_EQ(cWindow.GetSpeed(), 1.0);
  EXPECT_EQ(cWindow.GetTickInterval(), 500);
  EXPECT_EQ(cWindow.GetStepsPerTick(), 1);
  cWindow.Tick();
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 1u);
  cWindow.SetSpeed(10);
  EXPECT_EQ(cWindow.GetTickInterval(), 50);
  EXPECT_EQ(cWindow.GetStepsPerTick(), 1);
  /* 50 times real time is a step every 10 ms: two steps every 20 ms. */
  cWindow.SetSpeed(50);
  EXPECT_EQ(cWindow.GetTickInterval(), 20);
  EXPECT_EQ(cWindow.GetStepsPerTick(), 2);
  cWindow.Tick();
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 3u);
  cWindow.SetSpeed(CVskEditWindow::FASTEST);
  EXPECT_EQ(cWindow.GetTickInterval(), 0);
  EXPECT_EQ(cWindow.GetStepsPerTick(), CVskEditWindow::FASTEST_STEPS_PER_TICK);
  cWindow.Tick();
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 23u);
  /* A tick stops at the experiment's end. */
  cWindow.Tick();
  cWindow.Tick();
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 60u);
  EXPECT_FALSE(cWindow.IsPlaying());
  /* Playing uses the interval of the speed. */
  ASSERT_TRUE(cWindow.Reset());
  cWindow.SetSpeed(2);
  cWindow.Play();
  EXPECT_TRUE(cWindow.IsPlaying());
  EXPECT_EQ(cWindow.GetTickInterval(), 250);
  cWindow.Pause();
}

TEST(VskEditSwarmView, LogPanelShowsEachRobotsOutputFilterable) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("log", LIGHTS, {{10, -1, 0}, {2, 0, 1}, {1, 1, 0}}, 5)));
  cWindow.Step();
  cWindow.Step();
  CVeskQTLogPanel &cLog = cWindow.GetEditor().GetLogPanel();
  EXPECT_EQ(cLog.GetRobots(), (QList<quint16>{1, 2, 10}));
  /* init's debug texts (once each), then two steps of log lines, in the
   * order the robots run. */
  EXPECT_EQ(
      cLog.GetVisibleLines(),
      (QStringList{"[0] R10 debug: ready", "[0] R2 debug: ready", "[0] R1 debug: ready",
                   "[1] R10: tick 10", "[1] R2: tick 2", "[1] R1: tick 1",
                   "[2] R10: tick 10", "[2] R2: tick 2", "[2] R1: tick 1"}));
  cLog.SetFilter(2);
  EXPECT_EQ(cLog.GetFilter(), 2);
  EXPECT_EQ(cLog.GetVisibleLines(),
            (QStringList{"[0] R2 debug: ready", "[1] R2: tick 2", "[2] R2: tick 2"}));
  cWindow.Step();
  EXPECT_EQ(cLog.GetVisibleLines().last(), "[3] R2: tick 2");
  EXPECT_EQ(cLog.GetVisibleLines().size(), 4);
  cLog.SetFilter(-1);
  EXPECT_EQ(cLog.GetVisibleLines().size(), 12);
  cLog.Clear();
  EXPECT_TRUE(cLog.GetVisibleLines().isEmpty());
  EXPECT_TRUE(cLog.GetRobots().isEmpty());
}

TEST(VskEditSwarmView, RobotsAreListedInNumericOrder) {
  CVskEditWindow cWindow;
  /* Every robot fails in step. */
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("order", "function step() {\n  x = nothing.field\n}\n",
                      {{11, -1, 0}, {2, 0, 1}, {10, 1, 0}, {1, 0, -1}}, 5)));
  QStringList listIds;
  for (CVeskController *pcController : cWindow.GetEditor().GetControllers())
    listIds.append(QString::fromStdString(pcController->GetId()));
  EXPECT_EQ(listIds, (QStringList{"fb1", "fb2", "fb10", "fb11"}));
  cWindow.Step();
  QStringList listSources;
  for (const CVeskQTMainWindow::SMessage &sMessage : cWindow.GetEditor().GetMessages())
    listSources.append(sMessage.Source);
  EXPECT_EQ(listSources, (QStringList{"R1", "R2", "R10", "R11"}));
}

TEST(VskEditSwarmView, StateTreeShowsStigmergiesAndSwarms) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(WriteExperiment("stig",
                                                     "var s\n"
                                                     "function init() {\n"
                                                     "  s = stigmergy.create(2)\n"
                                                     "  var t = stigmergy.create(10)\n"
                                                     "  s.put(\"k\", 5)\n"
                                                     "  s.put(\"k\", 6)\n"
                                                     "  s.put(\"name\", \"abc\")\n"
                                                     "  t.put(1, { .a = 1 })\n"
                                                     "  swarm.create(3).join()\n"
                                                     "  swarm.create(12)\n"
                                                     "}\n"
                                                     "function step() {\n"
                                                     "}\n",
                                                     {{4, 0, 0}, {5, 0.5, 0}}, 5)));
  CVeskQTMainWindow &cEditor = cWindow.GetEditor();
  cEditor.HandleEntitySelection(size_t(0));
  cWindow.Step();
  const QAbstractItemModel &cModel = *cEditor.GetSwarmModel();
  EXPECT_EQ(cModel.columnCount(), 4);
  EXPECT_EQ(cModel.headerData(3, Qt::Horizontal).toString(), "Writer");
  /* Numbers in numeric order; robot 4 created the swarms, robot 5 told it
   * its own. */
  EXPECT_EQ(Column(cModel, 0),
            (QStringList{"stigmergy 2", "stigmergy 10", "swarm 3", "swarm 12"}));
  EXPECT_EQ(Value(cModel, "swarm 3"), "member");
  EXPECT_EQ(Value(cModel, "swarm 12"), "not a member");
  const QModelIndex cStig = Row(cModel, "stigmergy 2");
  EXPECT_EQ(Column(cModel, 0, cStig), (QStringList{"k", "name"}));
  EXPECT_EQ(Column(cModel, 1, cStig), (QStringList{"6", "\"abc\""}));
  EXPECT_EQ(Column(cModel, 2, cStig), (QStringList{"2", "1"}));
  EXPECT_EQ(Column(cModel, 3, cStig), (QStringList{"R4", "R4"}));
  const QModelIndex cTable = Row(cModel, "1", Row(cModel, "stigmergy 10"));
  ASSERT_TRUE(cTable.isValid());
  EXPECT_EQ(Column(cModel, 0, cTable), (QStringList{"a"}));
  EXPECT_EQ(Column(cModel, 1, cTable), (QStringList{"1"}));
  /* Members of a swarm tell their neighbours every 10 steps. */
  for (int i = 0; i < 10; ++i)
    cWindow.Step();
  const QModelIndex cHeard = Row(cModel, "neighbours' swarms");
  ASSERT_TRUE(cHeard.isValid());
  EXPECT_EQ(Column(cModel, 0, cHeard), (QStringList{"R5"}));
  EXPECT_EQ(Column(cModel, 1, cHeard), (QStringList{"3"}));
}

TEST(VskEditSwarmView, DebuggerConsoleStopsTheSelectedRobot) {
  CVskEditWindow cWindow;
  ASSERT_TRUE(cWindow.LoadExperiment(
      WriteExperiment("dbg", COUNTER, {{1, -1, 0}, {2, 1, 0}}, 10)));
  CVskEditDebugConsole &cConsole = cWindow.GetDebugConsole();
  EXPECT_FALSE(cWindow.AttachDebugger()); /* no robot selected */
  cWindow.GetEditor().HandleEntitySelection(size_t(1));
  ASSERT_TRUE(cWindow.AttachDebugger());
  EXPECT_TRUE(cConsole.IsAttached());
  cConsole.Enter("break 6");
  /* While robot 2 is stopped, nothing steps; the commands come from the
   * console's nested event loop. */
  int nStops = 0;
  bool bStepped = true;
  uint64_t unClock = 99;
  QObject::connect(&cConsole, &CVskEditDebugConsole::Stopped, [&] {
    if (++nStops > 1) return; /* left to the later commands */
    QTimer::singleShot(0, [&] {
      unClock = cWindow.GetWorld()->GetClock();
      /* The editor shows where the robot stopped. */
      QString strFile;
      int nLine = 0, nColumn = 0;
      EXPECT_TRUE(cConsole.GetStopPosition(strFile, nLine, nColumn));
      EXPECT_TRUE(strFile.endsWith("dbg.vsk")) << strFile.toStdString();
      EXPECT_EQ(nLine, 6);
      ASSERT_NE(cWindow.GetEditor().CurrentEditor(), nullptr);
      EXPECT_EQ(cWindow.GetEditor().CurrentEditor()->textCursor().blockNumber(), 5);
      bStepped = cWindow.Step();
      cWindow.Tick();
      EXPECT_FALSE(cWindow.IsPlaying()); /* play waits for the robot */
      EXPECT_EQ(cWindow.GetWorld()->GetClock(), unClock);
      EXPECT_FALSE(cWindow.Reset());
      cConsole.Enter("print x");
      cConsole.Enter("continue");
    });
  });
  cWindow.Play();
  EXPECT_TRUE(cWindow.Step());
  EXPECT_TRUE(cWindow.IsPlaying()); /* play goes on after the step */
  cWindow.Pause();
  EXPECT_EQ(nStops, 1);
  EXPECT_FALSE(bStepped);
  EXPECT_EQ(unClock, 1u);
  EXPECT_EQ(cWindow.GetWorld()->GetClock(), 1u);
  const QString strOutput = cConsole.GetOutput();
  EXPECT_TRUE(strOutput.contains("Breakpoint 1 at")) << strOutput.toStdString();
  EXPECT_TRUE(strOutput.contains("dbg.vsk:6")) << strOutput.toStdString();
  EXPECT_TRUE(
      strOutput.contains("6\t  x = x + 1\n(vskdbg) print x\nx = 10\n(vskdbg) continue\n"))
      << strOutput.toStdString();
  /* Robot 2 ran on: its step finished. */
  EXPECT_EQ(Value(*cWindow.GetEditor().GetVariableModel(), "x"), "11");
  /* Detaching while stopped lets the robot run on without the debugger. */
  QObject::connect(&cConsole, &CVskEditDebugConsole::Stopped, [&] {
    QTimer::singleShot(0, &cConsole, &CVskEditDebugConsole::Detach);
  });
  EXPECT_TRUE(cWindow.Step());
  EXPECT_EQ(nStops, 2);
  QCoreApplication::processEvents(); /* the session ends after the step */
  EXPECT_TRUE(cWindow.Step());       /* no more stops */
  EXPECT_EQ(nStops, 2);
  EXPECT_FALSE(cConsole.IsAttached());
  EXPECT_EQ(Value(*cWindow.GetEditor().GetVariableModel(), "x"), "13");
}
