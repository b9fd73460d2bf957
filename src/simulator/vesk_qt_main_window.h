/*
 * The Vesk script editor window: tabs of script editors with file, edit and
 * code menus, a message list (compiler errors and the run-time errors of
 * every robot, each leading to its source position), a log panel (what the
 * scripts write with `log` and `debug`), and the state trees (global
 * variables and functions, stigmergies and swarms) of the selected robot.
 *
 * The window works on whatever simulator runs the robots: its host tells it
 * how to list the robots' controllers (SetControllerSource: ARGoS's space
 * in the simulator, the headless world in vskedit) and tells it about steps
 * and selections through its slots:
 *   CheckVeskStatus(step)        after every simulation step;
 *   HandleEntitySelection(...)   a robot was selected (by entity or by its
 *                                index in GetControllers());
 *   HandleEntityDeselection(...) the selection was cleared;
 *   ForgetRobots()               the robots are about to be deleted.
 *
 * Compile builds the main script (or the current one) with the compiler and
 * assembler in memory and writes SCRIPT.vo and SCRIPT.vdb beside it; Execute
 * loads them into every robot's controller, each in a fresh VM.
 */
#ifndef VESK_QT_MAIN_WINDOW_H
#define VESK_QT_MAIN_WINDOW_H

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QSet>
#include <QString>
#include <QVector>

#include <cstddef>
#include <functional>
#include <string>

class CVeskController;
class CVeskQTEditor;
class CVeskQTLogPanel;
class CVeskQTTabWidget;
class CVeskQTStateTreeModel;
class QAction;
class QLabel;
class QMenu;
class QTreeView;
class QTreeWidget;

namespace argos {
class CEntity;
}

/* A file name as the C library takes it (Qt's encoding of local file names),
 * for the tool chain and the controllers. */
std::string LocalPath(const QString &str_path);

class CVeskQTMainWindow : public QMainWindow {
  Q_OBJECT

public:
  /* A line of the message list: who reported it, where (file empty when the
   * message has no source position) and what. */
  struct SMessage {
    QString Source; /* "compiler", or the robot's label "R<id>" */
    QString File;
    int Line = 0;   /* from 1 */
    int Column = 0; /* characters before the position */
    QString Text;
  };

  /* What compiling a script produced. */
  struct SBuild {
    QString BytecodeFile; /* SCRIPT.vo */
    QString DebugFile;    /* SCRIPT.vdb */
    QList<SMessage> Messages;
  };

  static const int MAX_RECENT_FILES = 5;

  /* Inside the simulator, pc_parent is the simulator's main window: the
   * editor is a top-level window of its own, deleted with it. */
  explicit CVeskQTMainWindow(QWidget *pc_parent = nullptr);
  ~CVeskQTMainWindow() override;

  /* Shows the file's tab, opening the file in a new one if needed; false
   * when the file cannot be read. */
  bool OpenFile(const QString &str_path);
  /* A new tab with the new-script text, saved later under str_path. */
  CVeskQTEditor *NewFile(const QString &str_path);
  /* Selects the next occurrence of the text after the cursor in the current
   * editor, wrapping around once; false when there is none. */
  bool FindText(const QString &str_text);

  CVeskQTEditor *CurrentEditor() const;
  /* The tab of a file already open, by canonical path; null if none. */
  CVeskQTEditor *EditorOf(const QString &str_path) const;
  CVeskQTTabWidget &GetTabs() const { return *m_pcTabs; }
  /* The script Compile builds; empty until one is chosen or compiled. */
  const QString &GetMainScript() const { return m_strMainScript; }
  /* Compiler messages, then the run-time errors of the robots. */
  QList<SMessage> GetMessages() const {
    return m_listBuildMessages + m_listRunTimeErrors;
  }
  CVeskController *GetSelectedController() const { return m_pcSelected; }
  CVeskQTStateTreeModel *GetVariableModel() const { return m_pcVariableModel; }
  CVeskQTStateTreeModel *GetFunctionModel() const { return m_pcFunctionModel; }
  CVeskQTStateTreeModel *GetSwarmModel() const { return m_pcSwarmModel; }
  CVeskQTLogPanel &GetLogPanel() const { return *m_pcLogPanel; }
  QAction *GetRecentFileAction(int n_idx) const { return m_apcRecentFiles[n_idx]; }
  /* Opens the file and puts the cursor at the position (line from 1, column
   * counted from 0). */
  void ShowSourcePosition(const QString &str_file, int n_line, int n_column);
  /* The files of the last successful Compile. */
  const SBuild &GetLastBuild() const { return m_sBuild; }

  /* Lists the robots' Vesk controllers (robots with other controllers are
   * left out); GetControllers() orders them by robot id, R2 before R10.
   * Until a source is set there are none. */
  typedef std::function<QVector<CVeskController *>()> TControllerSource;
  void SetControllerSource(TControllerSource fn_source);
  QVector<CVeskController *> GetControllers() const;
  /* Asked before Execute replaces the robots' VMs: the reason it must not
   * (shown in the status bar), or an empty text when it may. */
  typedef std::function<QString()> TExecuteCheck;
  void SetExecuteCheck(TExecuteCheck fn_check) { m_fnExecuteCheck = std::move(fn_check); }
  /* The Vesk controller of the robot an entity belongs to (the controller
   * whose id is the robot's entity id), or null. */
  CVeskController *ControllerOf(argos::CEntity &c_entity) const;
  /* Opens the source SCRIPT.vsk of every bytecode file SCRIPT.vo that has
   * one (each once), and makes the first the main script, in front. */
  void OpenScriptsOf(const QStringList &list_bytecode_files);
  /* The bytecode files of the robots' controllers, each once. */
  QStringList GetControllerScripts() const;
  /* Moves (and if need be narrows) this window so that it does not cover
   * c_other, on c_other's screen. */
  void PlaceBeside(const QWidget &c_other);
  /* Where a window of size c_wanted goes on c_screen without covering
   * c_occupied: right of it, else left of it, else in the wider free strip
   * beside it, narrowed to fit (never narrower than MIN_PLACED_WIDTH, so it
   * may then overlap). */
  static QRect Placement(const QRect &c_occupied, const QSize &c_wanted,
                         const QRect &c_screen);
  static constexpr int MIN_PLACED_WIDTH = 320;
  /* Compiles and assembles a script in memory and writes its bytecode and
   * debug files beside it; false (with messages) on failure. A script that
   * builds gets the static checker's warnings as messages of the "checker". */
  static bool BuildScript(const QString &str_script, SBuild &s_build);
  /* "file:line:column: text" split into a message; false for other texts. */
  static bool ParsePosition(const QString &str_text, SMessage &s_message);
  /* Every line of a tool's output as a message from str_source ("compiler",
   * "checker"), its position split off when it has one. */
  static void AppendMessages(const QString &str_source, const QString &str_output,
                             QList<SMessage> &list_messages);

signals:
  /* Execute loaded a new script into the robots. */
  void ScriptExecuted();

public slots:
  void NewOpen();
  void OpenRecentFile();
  bool Save();
  bool SaveAs();
  bool SaveAll();
  void Undo();
  void Redo();
  void Copy();
  void Cut();
  void Paste();
  void Find();
  void SetMain();
  bool Compile();
  void Execute();
  void CloseEditor(int n_idx);
  void SetTabModified(bool b_modified);
  void UpdateActions();
  void UpdateRecentFilesActions();
  void UpdateSetMainScriptActions();
  void CheckVeskStatus(int n_step);
  void HandleRunTimeErrorSelection();
  void HandleEntitySelection(size_t un_index);
  void HandleEntityDeselection(size_t un_index);
  void HandleEntitySelection(argos::CEntity *pc_entity);
  void HandleEntityDeselection(argos::CEntity *pc_entity);
  void VariableTreeChanged();
  void FunctionTreeChanged();
  void SwarmTreeChanged();
  void ForgetRobots();
  /* Shows the state trees of this robot (null: of none). */
  void SelectController(CVeskController *pc_controller);

protected:
  void closeEvent(QCloseEvent *pc_event) override;

private:
  void CreateActions();
  void CreateMenus();
  void CreateDocks();
  void AddEditor(CVeskQTEditor *pc_editor);
  void UpdateTabTitle(int n_idx);
  void ShowMessages();
  void GoTo(const SMessage &s_message);
  void LoadIntoRobots(const SBuild &s_build);
  /* Keeps the rows the user expanded in a tree open across refreshes. */
  void TrackExpansion(QTreeView *pc_tree, QSet<QString> &set_expanded);
  void RestoreExpansion(QTreeView *pc_tree, const QSet<QString> &set_expanded);

  CVeskQTTabWidget *m_pcTabs;
  QString m_strMainScript;
  QList<SMessage> m_listBuildMessages;
  QList<SMessage> m_listRunTimeErrors;
  SBuild m_sBuild; /* of the last successful Compile */

  /* Message list and state trees. */
  QTreeWidget *m_pcMessageList;
  QLabel *m_pcSelectedLabel;
  QTreeView *m_pcVariableTree;
  QTreeView *m_pcFunctionTree;
  CVeskController *m_pcSelected = nullptr;
  TControllerSource m_fnControllers;
  TExecuteCheck m_fnExecuteCheck;
  CVeskQTStateTreeModel *m_pcVariableModel = nullptr;
  CVeskQTStateTreeModel *m_pcFunctionModel = nullptr;
  QTreeView *m_pcSwarmTree;
  CVeskQTStateTreeModel *m_pcSwarmModel = nullptr;
  QSet<QString> m_setVariablesExpanded; /* paths of expanded rows, "a/b/c" */
  QSet<QString> m_setFunctionsExpanded;
  QSet<QString> m_setSwarmExpanded;
  CVeskQTLogPanel *m_pcLogPanel;

  QAction *m_pcNewOpenAction, *m_pcSaveAction, *m_pcSaveAsAction, *m_pcSaveAllAction;
  QAction *m_pcCloseAction, *m_pcUndoAction, *m_pcRedoAction, *m_pcCutAction;
  QAction *m_pcCopyAction, *m_pcPasteAction, *m_pcFindAction, *m_pcSetMainAction;
  QAction *m_pcCompileAction, *m_pcExecuteAction;
  QAction *m_apcRecentFiles[MAX_RECENT_FILES];
  QString m_strLastFind;
};

#endif
