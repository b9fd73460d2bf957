/*
 * The plug-in's user functions for the simulator's Qt/OpenGL view.
 */
#include "vesk_qt.h"
#include "vesk_controller.h"
#include "vesk_overlay_label.h"
#include "vesk_qt_main_window.h"

#include <argos3/core/simulator/entity/controllable_entity.h>
#include <argos3/core/simulator/simulator.h>
#include <argos3/core/simulator/space/space.h>
#include <argos3/core/utility/datatypes/any.h>
#include <argos3/plugins/robots/foot-bot/simulator/footbot_entity.h>
#include <argos3/plugins/robots/spiri/simulator/spiri_entity.h>

#include <QEvent>
#include <QMargins>
#include <QPointer>

using namespace argos;

CVeskQT::CVeskQT() : m_pcMainWindow(nullptr) {
  RegisterUserFunction<CVeskQT, CFootBotEntity>(&CVeskQT::Draw);
  RegisterUserFunction<CVeskQT, CSpiriEntity>(&CVeskQT::Draw);
}

CVeskQT::~CVeskQT() {}

namespace {

/* The Vesk controllers of the simulator's space, in the space's order (by
 * robot id); none when the space holds no robot. */
QVector<CVeskController *> SpaceControllers() {
  QVector<CVeskController *> vecControllers;
  try {
    for (auto &tEntry :
         CSimulator::GetInstance().GetSpace().GetEntitiesByType("controller")) {
      auto *pcEntity = any_cast<CControllableEntity *>(tEntry.second);
      if (auto *pcVesk = dynamic_cast<CVeskController *>(&pcEntity->GetController()))
        vecControllers.append(pcVesk);
    }
  } catch (CARGoSException &) {
    /* no entity of that type, or an entity without controller */
  }
  return vecControllers;
}

/* Where the frame the window manager put around a window ends (all zero
 * for a window without frame). */
QMargins FrameMargins(const QWidget &c_window) {
  const QRect cFrame = c_window.frameGeometry(), cInside = c_window.geometry();
  return QMargins(cInside.left() - cFrame.left(), cInside.top() - cFrame.top(),
                  cFrame.right() - cInside.right(), cFrame.bottom() - cInside.bottom());
}

/* Places the editor beside the simulator's window again whenever the frame
 * around that window changes: the window manager adds it after the window is
 * shown, which is after Init placed the editor beside the bare window.
 * Moving either window by hand leaves the other where it is. */
class CKeepBesideFrame : public QObject {
public:
  CKeepBesideFrame(QWidget &c_simulator, CVeskQTMainWindow &c_editor)
      : QObject(&c_simulator), m_cSimulator(c_simulator), m_pcEditor(&c_editor),
        m_cMargins(FrameMargins(c_simulator)) {
    c_simulator.installEventFilter(this);
  }

  bool eventFilter(QObject *, QEvent *pc_event) override {
    if (pc_event->type() != QEvent::Move && pc_event->type() != QEvent::Paint)
      return false;
    const QMargins cMargins = FrameMargins(m_cSimulator);
    if (cMargins != m_cMargins && m_pcEditor != nullptr)
      m_pcEditor->PlaceBeside(m_cSimulator);
    m_cMargins = cMargins;
    return false;
  }

private:
  QWidget &m_cSimulator;
  QPointer<CVeskQTMainWindow> m_pcEditor; /* null once Destroy deleted it */
  QMargins m_cMargins;                    /* when the editor was last placed */
};

} // namespace

void CVeskQT::Init(TConfigurationNode &) {
  /* A window parented to the simulator's main window is deleted with it,
   * unless Destroy() deletes it first. */
  m_pcMainWindow = new CVeskQTMainWindow(&GetMainWindow());
  m_pcMainWindow->SetControllerSource(&SpaceControllers);
  CQTOpenGLWidget *pcView = &GetQTOpenGLWidget();
  QObject::connect(pcView, &CQTOpenGLWidget::StepDone, m_pcMainWindow,
                   &CVeskQTMainWindow::CheckVeskStatus);
  QObject::connect(pcView, &CQTOpenGLWidget::EntitySelected, m_pcMainWindow,
                   qOverload<CEntity *>(&CVeskQTMainWindow::HandleEntitySelection));
  QObject::connect(pcView, &CQTOpenGLWidget::EntityDeselected, m_pcMainWindow,
                   qOverload<CEntity *>(&CVeskQTMainWindow::HandleEntityDeselection));
  QObject::connect(&GetMainWindow(), &CQTOpenGLMainWindow::ExperimentReset,
                   m_pcMainWindow, [this] { m_pcMainWindow->CheckVeskStatus(0); });
  /* The robots exist by now: the simulator builds its space before its view. */
  m_pcMainWindow->OpenScriptsOf(m_pcMainWindow->GetControllerScripts());
  /* The simulator's window is not shown yet: placed beside its bare
   * geometry now, and again once it has its frame. */
  m_pcMainWindow->PlaceBeside(GetMainWindow());
  m_pcMainWindow->show();
  new CKeepBesideFrame(GetMainWindow(), *m_pcMainWindow); /* a child of that window */
}

void CVeskQT::Destroy() {
  delete m_pcMainWindow;
  m_pcMainWindow = nullptr;
}

void CVeskQT::Draw(CFootBotEntity &c_entity) {
  DrawRobot(c_entity.GetControllableEntity());
}

void CVeskQT::Draw(CSpiriEntity &c_entity) {
  DrawRobot(c_entity.GetControllableEntity());
}

void CVeskQT::DrawRobot(CControllableEntity &c_controllable) {
  CVeskController *pcController = nullptr;
  try {
    pcController = dynamic_cast<CVeskController *>(&c_controllable.GetController());
  } catch (CARGoSException &) {
    /* A robot without controller: nothing to label. */
  }
  if (pcController != nullptr) Draw(*pcController);
}

void CVeskQT::Draw(CVeskController &c_controller) {
  const std::string strLabel = VeskOverlayLabel(c_controller);
  /* Text drawn without lighting and culling, so that it shows from any side. */
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glColor3ub(CColor::BLACK.GetRed(), CColor::BLACK.GetGreen(), CColor::BLACK.GetBlue());
  DrawText(CVector3(0.0, 0.0, 0.4), strLabel, CColor::BLACK, QFont());
  glEnable(GL_LIGHTING);
  glEnable(GL_CULL_FACE);
}

REGISTER_QTOPENGL_USER_FUNCTIONS(CVeskQT, "vesk_qt")
