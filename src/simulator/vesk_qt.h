/*
 * CVeskQT: the plug-in's user functions for the simulator's Qt/OpenGL view,
 * registered as "vesk_qt". At Init it opens the Vesk script editor window;
 * while the simulation is drawn it writes above every foot-bot and spiri the
 * robot's label (see vesk_overlay_label.h).
 *
 * The view reports selections with the selected entity (EntitySelected /
 * EntityDeselected with a CEntity*), which the editor window maps to the
 * robot's controller; steps (StepDone) and experiment resets refresh its
 * run-time errors and state trees.
 */
#ifndef VESK_QT_H
#define VESK_QT_H

#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_user_functions.h>

namespace argos {
class CFootBotEntity;
class CSpiriEntity;
class CControllableEntity;
} // namespace argos

class CVeskController;
class CVeskQTMainWindow;

class CVeskQT : public argos::CQTOpenGLUserFunctions {
public:
  CVeskQT();
  virtual ~CVeskQT();

  virtual void Init(argos::TConfigurationNode &t_tree) override;
  virtual void Destroy() override;

  using argos::CQTOpenGLUserFunctions::Draw;
  /* Label of the robot's Vesk controller; robots running another
   * controller get no label. */
  void Draw(argos::CFootBotEntity &c_entity);
  void Draw(argos::CSpiriEntity &c_entity);
  /* Draws the label 0.4 m above the robot's origin. */
  virtual void Draw(CVeskController &c_controller);

  /* The editor window; null before Init and after Destroy. */
  CVeskQTMainWindow *GetEditorWindow() { return m_pcMainWindow; }

private:
  void DrawRobot(argos::CControllableEntity &c_controllable);

  CVeskQTMainWindow *m_pcMainWindow;
};

#endif
