/*
 * The simulator's GUI main window. The stand-in builds the 3-D view and, when
 * the configuration names them, the user functions (by label), in the order
 * the simulator does: construct, SetMainWindow, Init with the
 * <user_functions> node. Closing the window calls their Destroy(); the
 * destructor deletes them.
 */
#ifndef ARGOS_QTOPENGL_MAIN_WINDOW_H
#define ARGOS_QTOPENGL_MAIN_WINDOW_H

#include <argos3/core/utility/configuration/argos_configuration.h>

#include <QMainWindow>

namespace argos {

class CQTOpenGLWidget;
class CQTOpenGLUserFunctions;

class CQTOpenGLMainWindow : public QMainWindow {
  Q_OBJECT

public:
  // t_tree is the <qt-opengl> node; throws CARGoSException when its
  // <user_functions> label is unknown.
  explicit CQTOpenGLMainWindow(TConfigurationNode &t_tree);
  virtual ~CQTOpenGLMainWindow();

  CQTOpenGLWidget &GetOpenGLWidget() { return *m_pcOpenGLWidget; }
  // Throws CARGoSException when the configuration named none.
  CQTOpenGLUserFunctions &GetUserFunctions();

signals:
  void CameraSwitched(int n_camera);
  void ExperimentStarted();
  void ExperimentPlaying();
  void ExperimentFastForwarding();
  void ExperimentPaused();
  void ExperimentSuspended();
  void ExperimentResumed();
  void ExperimentDone();
  void ExperimentReset();

protected:
  void closeEvent(QCloseEvent *pc_event) override;

private:
  CQTOpenGLWidget *m_pcOpenGLWidget;
  CQTOpenGLUserFunctions *m_pcUserFunctions = nullptr;
};

} // namespace argos

#endif
