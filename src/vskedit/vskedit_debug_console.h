/*
 * vskedit's debugger console: the debugger's command interface attached to
 * one robot of the running world (the robot selected in the arena). Attach
 * hooks the debugger into the robot's VM; whenever the robot stops
 * (breakpoint, step, watch, Stop) the debugger reads its commands from the
 * console's line edit inside a nested event loop, so the window stays alive
 * while the world waits in the middle of its step; `continue` lets the robot
 * run on. The debugger's output is shown in the console.
 *
 * The VM must outlive the session: the host calls Detach() before it
 * deletes or replaces the robot's VM.
 */
#ifndef VSKEDIT_DEBUG_CONSOLE_H
#define VSKEDIT_DEBUG_CONSOLE_H

#include "veskdbgcli.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdio>

class CVeskController;
class QEventLoop;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CVskEditDebugConsole : public QWidget {
  Q_OBJECT

public:
  explicit CVskEditDebugConsole(QWidget *pc_parent = nullptr);
  ~CVskEditDebugConsole() override;

  /* Attaches the debugger to the robot of this controller (detaching from
   * any other first); false when the robot has no VM. */
  bool Attach(CVeskController *pc_controller);
  bool IsAttached() const { return m_tSession != nullptr; }
  CVeskController *GetController() const { return m_pcController; }
  /* The attached robot is stopped, waiting for commands. */
  bool IsStopped() const { return m_pcWaiting != nullptr; }
  /* Gives a command line to the debugger: the stopped robot reads it, a
   * running robot's session executes it at once. */
  void Enter(const QString &str_line);
  /* Puts the keyboard focus on the command line. */
  void FocusInput();
  /* Where the stopped robot stands in its script: false when it is not
   * stopped or the position is unknown. */
  bool GetStopPosition(QString &str_file, int &n_line, int &n_column) const;
  /* The text shown so far. */
  QString GetOutput() const;

public slots:
  /* Ends the session: a stopped robot runs on without the debugger (the
   * session ends once the robot's step is over). */
  void Detach();
  /* Stops the attached robot before its next instruction. */
  void Interrupt();

signals:
  /* The attached robot stopped and waits for commands. */
  void Stopped();
  /* The session began or ended. */
  void AttachedChanged(bool b_attached);

private:
  static int ReadLine(void *pt_data, char *pch_line, size_t un_size);
  int WaitForLine(char *pch_line, size_t un_size);
  /* Moves what the debugger wrote into the view. */
  void ShowOutput();
  void Append(const QString &str_text);
  void UpdateControls();
  /* Ends the session once the user's `quit` has detached the debugger. */
  void CheckQuit();

  CVeskController *m_pcController = nullptr;
  veskdbgcli_t m_tSession = nullptr;
  std::FILE *m_pfOut = nullptr; /* the debugger's output and diagnostics */
  char *m_pchOut = nullptr;
  size_t m_unOutSize = 0;
  size_t m_unShown = 0;    /* bytes of the output already shown */
  QStringList m_listLines; /* entered, not yet read */
  QEventLoop *m_pcWaiting = nullptr;
  bool m_bDetaching = false;

  QPlainTextEdit *m_pcView;
  QLineEdit *m_pcInput;
  QPushButton *m_pcStop, *m_pcDetach;
};

#endif
