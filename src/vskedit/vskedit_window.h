/*
 * vskedit's simulator window: runs a vesksim world from an experiment file
 * with play (at a chosen speed), pause, step and reset, shows it in a top
 * view, and drives the Vesk script editor, laid out beside the view in the
 * same window, the way the simulator's GUI does (steps, selections, resets).
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
class CVskEditDebugConsole;
class QAction;
class QComboBox;
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
  CVskEditDebugConsole &GetDebugConsole() { return *m_pcConsole; }
  /* A step of the world is running: a robot is stopped in the debugger. */
  bool IsStepping() const { return m_bStepping; }
  bool IsPlaying() const { return m_cTimer.isActive(); }

  /* Play speed: a multiple of real time (the experiment's ticks_per_second),
   * or FASTEST for as fast as possible. */
  static constexpr double FASTEST = 0;
  void SetSpeed(double f_speed);
  double GetSpeed() const { return m_fSpeed; }
  /* How play runs the world: every GetTickInterval() milliseconds, a tick
   * of GetStepsPerTick() steps. A step never takes less than
   * MIN_TICK_INTERVAL ms of timer time: faster speeds take more steps per
   * tick; as fast as possible takes FASTEST_STEPS_PER_TICK at every turn
   * of the event loop. */
  static constexpr int MIN_TICK_INTERVAL = 20;
  static constexpr int FASTEST_STEPS_PER_TICK = 20;
  int GetTickInterval() const;
  int GetStepsPerTick() const;

signals:
  void StepDone(int n_step);

public slots:
  void Play();
  void Pause();
  /* One step of the world; none past the experiment's length (false). */
  bool Step();
  /* One tick of play: GetStepsPerTick() steps, fewer at the end. */
  void Tick();
  /* Rebuilds the world from the experiment, with the last executed script. */
  bool Reset();
  void OpenExperiment();
  /* Attaches the debugger console to the selected robot. */
  bool AttachDebugger();

private slots:
  void UseExecutedScript();

private:
  bool BuildWorld();
  /* False, with a message, while a robot is stopped in the debugger: the
   * world cannot be replaced in the middle of its step. Else detaches the
   * debugger from a robot about to be deleted. */
  bool ReleaseWorld();
  CVeskController *VeskController(int n_index);
  QVector<CVeskController *> VeskControllers();
  void UpdateActions();
  /* One step of the world without updating the views; false when there is
   * none to take. */
  bool Advance();
  void ShowStep();

  vesksim::SExperiment m_sExperiment;
  std::unique_ptr<vesksim::CWorld> m_pcWorld;
  CVskEditArenaView *m_pcView;
  CVeskQTMainWindow *m_pcEditor;
  CVskEditDebugConsole *m_pcConsole;
  QTimer m_cTimer;
  double m_fSpeed = 1.0;
  /* A step is running (a nested event loop may run inside it). */
  bool m_bStepping = false;
  /* Play was paused while a robot is stopped in the debugger. */
  bool m_bPlayAfterStop = false;
  QComboBox *m_pcSpeed;
  QLabel *m_pcStatus;
  QAction *m_pcPlayAction, *m_pcPauseAction, *m_pcStepAction, *m_pcResetAction;
  QString m_strLastError;
};

#endif
