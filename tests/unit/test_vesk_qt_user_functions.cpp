/*
 * Tests of the "vesk_qt" user functions inside the simulator's Qt/OpenGL
 * main window (the stand-in's): the editor window's life cycle, the scripts
 * it opens and where it goes, the robot labels, and the view's signals
 * reaching the editor window.
 */
#include "editor_window_test_util.h"

#include "standin_wiring.h"

#include "vesk_qt.h"
#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vesk_qt_tab_widget.h"

#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_entity.h>
#include <argos3/plugins/robots/spiri/simulator/spiri_entity.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_main_window.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_user_functions.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_widget.h>

#include <QPointer>
#include <QScreen>

using namespace editor_test;

namespace {

/* Another controller than a Vesk one. */
class COtherController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &) override {}
  void ControlStep() override {}
  void Reset() override {}
  void Destroy() override {}
};

const char SCRIPT[] = "function init() {\n"
                      "  debug(\"hello\", 3)\n"
                      "}\n"
                      "function step() {\n"
                      "  broken()\n"
                      "}\n";

/* The simulator's main window configured with the "vesk_qt" user functions. */
class CSimulatorGui {
public:
  CSimulatorGui() {
    m_cDocument.Parse("<qt-opengl><user_functions label=\"vesk_qt\" /></qt-opengl>");
    m_pcWindow =
        std::make_unique<argos::CQTOpenGLMainWindow>(*m_cDocument.FirstChildElement());
  }
  argos::CQTOpenGLMainWindow &Window() { return *m_pcWindow; }
  argos::CQTOpenGLWidget &View() { return m_pcWindow->GetOpenGLWidget(); }
  CVeskQT &UserFunctions() {
    return dynamic_cast<CVeskQT &>(m_pcWindow->GetUserFunctions());
  }

private:
  ticpp::Document m_cDocument;
  std::unique_ptr<argos::CQTOpenGLMainWindow> m_pcWindow;
};

/* A robot of the harness with its entity (ENTITY: a foot-bot or a spiri)
 * in the simulator's space, where the user functions find it. */
template <class ENTITY> class CWiredRobot : public CRobot {
public:
  CWiredRobot(const std::string &str_id, const std::string &str_label,
              const std::string &str_params = "")
      : CRobot(str_id, str_label, str_params), m_cEntity(str_id) {
    argos::standin::CEntityWiring::SetController(m_cEntity.GetControllableEntity(),
                                                 &Robot().GetController());
    argos::standin::CEntityWiring::AddRobot(m_cEntity);
  }
  ~CWiredRobot() { argos::standin::CEntityWiring::RemoveRobot(m_cEntity); }
  ENTITY &Entity() { return m_cEntity; }

private:
  ENTITY m_cEntity;
};
typedef CWiredRobot<argos::CFootBotEntity> CFootBot;
typedef CWiredRobot<argos::CSpiriEntity> CSpiri;

std::string CompiledParams(const QString &str_name, const char *pch_source) {
  CVeskQTMainWindow::SBuild sBuild;
  EXPECT_TRUE(CVeskQTMainWindow::BuildScript(WriteScript(str_name, pch_source), sBuild));
  return ScriptParams(sBuild.BytecodeFile, sBuild.DebugFile);
}

} // namespace

REGISTER_CONTROLLER(COtherController, "editor_test_other_controller")

TEST(VeskQTUserFunctions, RegisteredAndOpensTheEditorAtInit) {
  EXPECT_TRUE(argos::CFactory<argos::CQTOpenGLUserFunctions>::Exists("vesk_qt"));
  CSimulatorGui cGui;
  QPointer<CVeskQTMainWindow> pcEditor = cGui.UserFunctions().GetEditorWindow();
  ASSERT_FALSE(pcEditor.isNull());
  EXPECT_TRUE(pcEditor->isVisible());
  EXPECT_TRUE(pcEditor->isWindow());
  EXPECT_EQ(pcEditor->parentWidget(), &cGui.Window());
  /* Closing the simulator's window destroys the user functions. */
  cGui.Window().close();
  EXPECT_EQ(cGui.UserFunctions().GetEditorWindow(), nullptr);
  EXPECT_TRUE(pcEditor.isNull());
}

TEST(VeskQTUserFunctions, LabelsAboveFootBotsAndSpiris) {
  CSimulatorGui cGui;
  const std::string strParams = CompiledParams("labels.vsk", SCRIPT);
  CFootBot cFootBot("fb5", "vesk_controller_footbot", strParams);
  CSpiri cSpiri("sp9", "vesk_controller_spiri");
  CFootBot cOther("fb6", "editor_test_other_controller");
  cGui.UserFunctions().Call(cFootBot.Entity());
  cGui.UserFunctions().Call(cSpiri.Entity());
  cGui.UserFunctions().Call(cOther.Entity());
  argos::CFootBotEntity cUncontrolled("fb7"); /* no controller attached */
  EXPECT_NO_THROW(cGui.UserFunctions().Call(cUncontrolled));
  const auto &vecTexts = cGui.View().GetDrawnTexts();
  ASSERT_EQ(vecTexts.size(), 2u);
  EXPECT_EQ(vecTexts[0].Text, "R5: hello3");
  EXPECT_EQ(vecTexts[1].Text, "R9");
  for (const auto &sText : vecTexts) {
    EXPECT_EQ(sText.Position, argos::CVector3(0, 0, 0.4));
    EXPECT_EQ(sText.Color, argos::CColor::BLACK);
  }
  /* The label follows the debug message, which a reset clears and init sets. */
  cFootBot.Vesk()->SetDebugMsg("moved");
  cGui.View().ClearDrawnTexts();
  cGui.UserFunctions().Call(cFootBot.Entity());
  ASSERT_EQ(cGui.View().GetDrawnTexts().size(), 1u);
  EXPECT_EQ(cGui.View().GetDrawnTexts()[0].Text, "R5: moved");
}

TEST(VeskQTUserFunctions, ViewSignalsReachTheEditor) {
  CSimulatorGui cGui;
  CFootBot cRobot("fb8", "vesk_controller_footbot",
                  CompiledParams("signals.vsk", SCRIPT));
  CVeskQTMainWindow *pcEditor = cGui.UserFunctions().GetEditorWindow();
  ASSERT_NE(pcEditor, nullptr);
  cGui.View().SelectEntity(cRobot.Entity());
  EXPECT_EQ(pcEditor->GetSelectedController(), cRobot.Vesk());
  EXPECT_TRUE(Row(*pcEditor->GetFunctionModel(), "init()").isValid());
  cGui.View().DeselectEntity();
  EXPECT_EQ(pcEditor->GetSelectedController(), nullptr);
  cRobot.Robot().Step();
  EXPECT_TRUE(pcEditor->GetMessages().isEmpty());
  emit cGui.View().StepDone(1);
  ASSERT_EQ(pcEditor->GetMessages().size(), 1);
  EXPECT_EQ(pcEditor->GetMessages().first().Source, "R8");
  EXPECT_EQ(pcEditor->GetMessages().first().Line, 5);
  /* A reset of the experiment reloads the robots and clears their errors. */
  cRobot.Robot().Reset();
  emit cGui.Window().ExperimentReset();
  EXPECT_TRUE(pcEditor->GetMessages().isEmpty());
}

TEST(VeskQTUserFunctions, EditorOpensTheRobotsScriptsBesideTheSimulator) {
  CVeskQTMainWindow::SBuild sBuild;
  ASSERT_TRUE(CVeskQTMainWindow::BuildScript(WriteScript("opened.vsk", SCRIPT), sBuild));
  const std::string strParams = ScriptParams(sBuild.BytecodeFile, sBuild.DebugFile);
  CFootBot cFirst("fb1", "vesk_controller_footbot", strParams);
  CFootBot cSecond("fb2", "vesk_controller_footbot", strParams);
  CSimulatorGui cGui;
  CVeskQTMainWindow *pcEditor = cGui.UserFunctions().GetEditorWindow();
  ASSERT_NE(pcEditor, nullptr);
  ASSERT_EQ(pcEditor->GetTabs().count(), 1); /* one script shared by both robots */
  EXPECT_EQ(pcEditor->GetTabs().tabText(0), "opened.vsk (main)");
  /* Placed by the rule of Placement, on the simulator window's screen. */
  const QRect cScreen = cGui.Window().screen()->availableGeometry();
  const QRect cExpected = CVeskQTMainWindow::Placement(cGui.Window().frameGeometry(),
                                                       QSize(900, 700), cScreen);
  EXPECT_EQ(QRect(pcEditor->frameGeometry().topLeft(), pcEditor->size()), cExpected)
      << "simulator " << cGui.Window().frameGeometry().width() << "x"
      << cGui.Window().frameGeometry().height() << ", screen " << cScreen.width() << "x"
      << cScreen.height();
}
