/*
 * vskedit's simulator window: runs a vesksim world from an experiment file
 * with play, pause, step and reset, shows it in a top view, and drives the
 * Vesk script editor window the way the simulator's GUI does (steps,
 * selections, resets).
 *
 * Execute in the editor loads the new script into the running robots; this
 * window also makes the experiment's controllers use it, so that a reset
 * keeps it.
 */
#ifndef VSKEDIT_WINDOW_H
#define VSKEDIT_WINDOW_H

#include "sim_experiment.h"
#include "sim_world.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <QVector>

#include <memory>

class CVeskController;
class CVeskQTMainWindow;
class CVskEditArenaView;
class QAction;
class QLabel;

class CVskEditWindow : public QMainWindow {
  Q_OBJECT

public:
  explicit CVskEditWindow(QWidget *pc_parent = nullptr);
  ~CVskEditWindow() override;

  /* Builds the world of an experiment file and opens the scripts of its
   * controllers (SCRIPT.vsk beside each SCRIPT.vo) in the editor. False with
   * the error in GetLastError() when the file cannot be read (the previous
   * world stays) or its robots cannot be built (no world is left). */
  bool LoadExperiment(const QString &str_path);
  const QString &GetLastError() const { return m_strLastError; }

  vesksim::CWorld *GetWorld() { return m_pcWorld.get(); }
  CVskEditArenaView &GetView() { return *m_pcView; }
  CVeskQTMainWindow &GetEditor() { return *m_pcEditor; }
  bool IsPlaying() const { return m_cTimer.isActive(); }

signals:
  void StepDone(int n_step);

public slots:
  void Play();
  void Pause();
  /* One step of the world; none past the experiment's length. */
  void Step();
  /* Rebuilds the world from the experiment, with the last executed script. */
  bool Reset();
  void OpenExperiment();

private slots:
  void UseExecutedScript();

private:
  bool BuildWorld();
  CVeskController *VeskController(int n_index);
  QVector<CVeskController *> VeskControllers();
  void UpdateActions();

  vesksim::SExperiment m_sExperiment;
  std::unique_ptr<vesksim::CWorld> m_pcWorld;
  CVskEditArenaView *m_pcView;
  CVeskQTMainWindow *m_pcEditor;
  QTimer m_cTimer;
  QLabel *m_pcStatus;
  QAction *m_pcPlayAction, *m_pcPauseAction, *m_pcStepAction, *m_pcResetAction;
  QString m_strLastError;
};

#endif
