/*
 * The Vesk script editor window. Scripts are compiled with the project's
 * compiler and assembler in memory; their messages, which the tool chain
 * writes on standard error, are captured and shown in the message list,
 * followed by the static checker's warnings on a script that builds.
 */
#include "vesk_qt_main_window.h"
#include "vesk_controller.h"
#include "vesk_overlay_label.h"
#include "vesk_qt_editor.h"
#include "vesk_qt_log_panel.h"
#include "vesk_qt_statetree_model.h"
#include "vesk_qt_tab_widget.h"

#include "veskbuild.h"
#include "veskcheck.h"
#include "veskdebug.h"

#include <argos3/core/simulator/entity/entity.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

/* A string of the tool chain as text, released. */
QString TakeText(char *pch_text) {
  QString strText = pch_text != nullptr ? QString::fromUtf8(pch_text) : QString();
  std::free(pch_text);
  return strText;
}

/* The static checker's warnings on a script, one per line. */
QString CheckerWarnings(const char *pch_source) {
  char *pchText = nullptr;
  size_t unLength = 0;
  std::FILE *pfOut = open_memstream(&pchText, &unLength);
  if (pfOut == nullptr) return QString();
  /* a script that built has no compiler messages */
  veskbuild_capture_t tCapture = veskbuild_capture_start();
  veskcheck_file(pch_source, pfOut);
  std::free(veskbuild_capture_finish(&tCapture));
  std::fclose(pfOut);
  QString strWarnings = QString::fromUtf8(pchText, static_cast<int>(unLength));
  std::free(pchText);
  return strWarnings;
}

QString CanonicalOrGiven(const QString &str_path) {
  QFileInfo cInfo(str_path);
  return cInfo.exists() ? cInfo.canonicalFilePath() : str_path;
}

bool SameMessage(const CVeskQTMainWindow::SMessage &s_a,
                 const CVeskQTMainWindow::SMessage &s_b) {
  return s_a.Source == s_b.Source && s_a.File == s_b.File && s_a.Line == s_b.Line &&
         s_a.Column == s_b.Column && s_a.Text == s_b.Text;
}

bool SameMessages(const QList<CVeskQTMainWindow::SMessage> &list_a,
                  const QList<CVeskQTMainWindow::SMessage> &list_b) {
  return std::equal(list_a.begin(), list_a.end(), list_b.begin(), list_b.end(),
                    SameMessage);
}

/* The id the robot's VM runs with (the controller's once the VM is gone). */
argos::UInt16 RobotNumber(CVeskController &c_controller) {
  veskvm_t tVM = c_controller.GetVeskVM();
  return tVM != nullptr ? tVM->robot : c_controller.GetRobotId();
}

QString RobotName(CVeskController &c_controller) {
  return QString::fromStdString(
      VeskOverlayLabel(RobotNumber(c_controller), std::string()));
}

} // namespace

std::string LocalPath(const QString &str_path) {
  return QFile::encodeName(str_path).toStdString();
}

/****************************************/

CVeskQTMainWindow::CVeskQTMainWindow(QWidget *pc_parent)
    : QMainWindow(pc_parent), m_pcTabs(new CVeskQTTabWidget(this)) {
  setWindowTitle(tr("Vesk Editor"));
  setCentralWidget(m_pcTabs);
  CreateActions();
  CreateMenus();
  CreateDocks();
  connect(m_pcTabs, &QTabWidget::currentChanged, this, &CVeskQTMainWindow::UpdateActions);
  connect(m_pcTabs, &QTabWidget::tabCloseRequested, this,
          &CVeskQTMainWindow::CloseEditor);
  connect(m_pcTabs, &CVeskQTTabWidget::TabRemoved, this,
          &CVeskQTMainWindow::UpdateSetMainScriptActions);
  SelectController(nullptr);
  UpdateRecentFilesActions();
  UpdateActions();
  resize(900, 700);
  CVeskController::SetOutputObserver([pcLog = m_pcLogPanel](argos::UInt16 un_robot,
                                                            bool b_debug,
                                                            const std::string &str_text) {
    pcLog->Post(un_robot, b_debug, QString::fromStdString(str_text));
  });
}

CVeskQTMainWindow::~CVeskQTMainWindow() {
  CVeskController::SetOutputObserver(nullptr);
}

void CVeskQTMainWindow::CreateActions() {
  auto Action = [this](const QString &str_text, QKeySequence::StandardKey e_key,
                       auto f_slot) {
    auto *pcAction = new QAction(str_text, this);
    pcAction->setShortcut(e_key);
    connect(pcAction, &QAction::triggered, this, f_slot);
    return pcAction;
  };
  m_pcNewOpenAction =
      Action(tr("&New/Open..."), QKeySequence::Open, &CVeskQTMainWindow::NewOpen);
  m_pcSaveAction = Action(tr("&Save"), QKeySequence::Save, &CVeskQTMainWindow::Save);
  m_pcSaveAsAction =
      Action(tr("Save &As..."), QKeySequence::SaveAs, &CVeskQTMainWindow::SaveAs);
  m_pcSaveAllAction =
      Action(tr("Save A&ll"), QKeySequence::UnknownKey, &CVeskQTMainWindow::SaveAll);
  m_pcCloseAction = new QAction(tr("&Close"), this);
  m_pcCloseAction->setShortcut(QKeySequence::Close);
  connect(m_pcCloseAction, &QAction::triggered, this,
          [this] { CloseEditor(m_pcTabs->currentIndex()); });
  m_pcUndoAction = Action(tr("&Undo"), QKeySequence::Undo, &CVeskQTMainWindow::Undo);
  m_pcRedoAction = Action(tr("&Redo"), QKeySequence::Redo, &CVeskQTMainWindow::Redo);
  m_pcCutAction = Action(tr("Cu&t"), QKeySequence::Cut, &CVeskQTMainWindow::Cut);
  m_pcCopyAction = Action(tr("&Copy"), QKeySequence::Copy, &CVeskQTMainWindow::Copy);
  m_pcPasteAction = Action(tr("&Paste"), QKeySequence::Paste, &CVeskQTMainWindow::Paste);
  m_pcFindAction = Action(tr("&Find..."), QKeySequence::Find, &CVeskQTMainWindow::Find);
  m_pcSetMainAction = Action(tr("Set &Main Script"), QKeySequence::UnknownKey,
                             &CVeskQTMainWindow::SetMain);
  m_pcCompileAction = new QAction(tr("&Compile"), this);
  m_pcCompileAction->setShortcut(QKeySequence(tr("Ctrl+B")));
  connect(m_pcCompileAction, &QAction::triggered, this, &CVeskQTMainWindow::Compile);
  m_pcExecuteAction = new QAction(tr("&Execute"), this);
  m_pcExecuteAction->setShortcut(QKeySequence(tr("Ctrl+E")));
  connect(m_pcExecuteAction, &QAction::triggered, this, &CVeskQTMainWindow::Execute);
  for (QAction *&pcRecent : m_apcRecentFiles) {
    pcRecent = new QAction(this);
    pcRecent->setVisible(false);
    connect(pcRecent, &QAction::triggered, this, &CVeskQTMainWindow::OpenRecentFile);
  }
}

void CVeskQTMainWindow::CreateMenus() {
  QMenu *pcFile = menuBar()->addMenu(tr("&File"));
  pcFile->addActions({m_pcNewOpenAction, m_pcSaveAction, m_pcSaveAsAction,
                      m_pcSaveAllAction, m_pcCloseAction});
  pcFile->addSeparator();
  for (QAction *pcRecent : m_apcRecentFiles)
    pcFile->addAction(pcRecent);
  QMenu *pcEdit = menuBar()->addMenu(tr("&Edit"));
  pcEdit->addActions({m_pcUndoAction, m_pcRedoAction});
  pcEdit->addSeparator();
  pcEdit->addActions({m_pcCutAction, m_pcCopyAction, m_pcPasteAction});
  pcEdit->addSeparator();
  pcEdit->addAction(m_pcFindAction);
  QMenu *pcCode = menuBar()->addMenu(tr("&Code"));
  pcCode->addActions({m_pcSetMainAction, m_pcCompileAction, m_pcExecuteAction});
  QToolBar *pcTools = addToolBar(tr("Script"));
  pcTools->setObjectName("ScriptToolBar");
  pcTools->addActions({m_pcNewOpenAction, m_pcSaveAction});
  pcTools->addSeparator();
  pcTools->addActions({m_pcUndoAction, m_pcRedoAction});
  pcTools->addSeparator();
  pcTools->addActions({m_pcSetMainAction, m_pcCompileAction, m_pcExecuteAction});
}

void CVeskQTMainWindow::CreateDocks() {
  m_pcMessageList = new QTreeWidget(this);
  m_pcMessageList->setHeaderLabels({tr("Source"), tr("Position"), tr("Message")});
  m_pcMessageList->setRootIsDecorated(false);
  m_pcMessageList->setAlternatingRowColors(true);
  connect(m_pcMessageList, &QTreeWidget::itemSelectionChanged, this,
          &CVeskQTMainWindow::HandleRunTimeErrorSelection);
  auto *pcMessages = new QDockWidget(tr("Messages"), this);
  pcMessages->setObjectName("MessagesDock");
  pcMessages->setWidget(m_pcMessageList);
  addDockWidget(Qt::BottomDockWidgetArea, pcMessages);
  m_pcLogPanel = new CVeskQTLogPanel(this);
  auto *pcLog = new QDockWidget(tr("Log"), this);
  pcLog->setObjectName("LogDock");
  pcLog->setWidget(m_pcLogPanel);
  addDockWidget(Qt::BottomDockWidgetArea, pcLog);
  tabifyDockWidget(pcMessages, pcLog);
  pcMessages->raise();
  /* The state trees take the whole height on the right. */
  setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);

  auto *pcState = new QWidget(this);
  auto *pcLayout = new QVBoxLayout(pcState);
  pcLayout->setContentsMargins(2, 2, 2, 2);
  m_pcSelectedLabel = new QLabel(pcState);
  auto *pcSplitter = new QSplitter(Qt::Vertical, pcState);
  m_pcVariableTree = new QTreeView(pcSplitter);
  m_pcFunctionTree = new QTreeView(pcSplitter);
  m_pcFunctionTree->setHeaderHidden(true);
  m_pcSwarmTree = new QTreeView(pcSplitter);
  pcLayout->addWidget(m_pcSelectedLabel);
  pcLayout->addWidget(pcSplitter);
  TrackExpansion(m_pcVariableTree, m_setVariablesExpanded);
  TrackExpansion(m_pcFunctionTree, m_setFunctionsExpanded);
  TrackExpansion(m_pcSwarmTree, m_setSwarmExpanded);
  auto *pcStateDock = new QDockWidget(tr("Robot state"), this);
  pcStateDock->setObjectName("StateDock");
  pcStateDock->setWidget(pcState);
  addDockWidget(Qt::RightDockWidgetArea, pcStateDock);
  resizeDocks({pcMessages}, {160}, Qt::Vertical);
}

/****************************************/

CVeskQTEditor *CVeskQTMainWindow::CurrentEditor() const {
  return m_pcTabs->Editor(m_pcTabs->currentIndex());
}

CVeskQTEditor *CVeskQTMainWindow::EditorOf(const QString &str_path) const {
  const QString strPath = CanonicalOrGiven(str_path);
  for (int i = 0; i < m_pcTabs->count(); ++i)
    if (m_pcTabs->Editor(i)->GetFilePath() == strPath) return m_pcTabs->Editor(i);
  return nullptr;
}

bool CVeskQTMainWindow::OpenFile(const QString &str_path) {
  if (CVeskQTEditor *pcOpen = EditorOf(str_path)) {
    m_pcTabs->setCurrentWidget(pcOpen);
    return true;
  }
  auto *pcEditor = new CVeskQTEditor(str_path);
  if (!pcEditor->Open()) {
    delete pcEditor;
    return false;
  }
  AddEditor(pcEditor);
  return true;
}

CVeskQTEditor *CVeskQTMainWindow::NewFile(const QString &str_path) {
  auto *pcEditor = new CVeskQTEditor(str_path);
  pcEditor->New();
  AddEditor(pcEditor);
  return pcEditor;
}

void CVeskQTMainWindow::AddEditor(CVeskQTEditor *pc_editor) {
  connect(pc_editor, &CVeskQTEditor::RecentFilesChanged, this,
          &CVeskQTMainWindow::UpdateRecentFilesActions);
  connect(pc_editor->document(), &QTextDocument::modificationChanged, this,
          &CVeskQTMainWindow::SetTabModified);
  connect(pc_editor, &QPlainTextEdit::undoAvailable, this,
          &CVeskQTMainWindow::UpdateActions);
  connect(pc_editor, &QPlainTextEdit::redoAvailable, this,
          &CVeskQTMainWindow::UpdateActions);
  connect(pc_editor, &QPlainTextEdit::copyAvailable, this,
          &CVeskQTMainWindow::UpdateActions);
  int nIdx = m_pcTabs->addTab(pc_editor, QString());
  UpdateTabTitle(nIdx);
  m_pcTabs->setCurrentIndex(nIdx);
  UpdateRecentFilesActions();
  UpdateActions();
}

void CVeskQTMainWindow::UpdateTabTitle(int n_idx) {
  CVeskQTEditor *pcEditor = m_pcTabs->Editor(n_idx);
  if (pcEditor == nullptr) return;
  QString strTitle = QFileInfo(pcEditor->GetFilePath()).fileName();
  if (pcEditor->document()->isModified()) strTitle += "*";
  if (pcEditor->GetFilePath() == m_strMainScript)
    strTitle = tr("%1 (main)").arg(strTitle);
  m_pcTabs->setTabText(n_idx, strTitle);
  m_pcTabs->setTabToolTip(n_idx, pcEditor->GetFilePath());
}

/****************************************/

void CVeskQTMainWindow::NewOpen() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  QString strPath = QFileDialog::getSaveFileName(
      this, tr("Open or create a script"),
      pcEditor ? QFileInfo(pcEditor->GetFilePath()).path() : QString(),
      tr("Vesk scripts (*.vsk)"), nullptr, QFileDialog::DontConfirmOverwrite);
  if (strPath.isEmpty()) return;
  if (!QFileInfo::exists(strPath)) {
    NewFile(strPath);
  } else if (!OpenFile(strPath)) {
    QMessageBox::warning(this, tr("Vesk Editor"),
                         tr("Cannot read file %1.").arg(strPath));
  }
}

void CVeskQTMainWindow::OpenRecentFile() {
  auto *pcAction = qobject_cast<QAction *>(sender());
  if (pcAction == nullptr) return;
  const QString strPath = pcAction->data().toString();
  if (!OpenFile(strPath))
    QMessageBox::warning(this, tr("Vesk Editor"),
                         tr("Cannot read file %1.").arg(strPath));
}

bool CVeskQTMainWindow::Save() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  return pcEditor != nullptr && pcEditor->Save();
}

bool CVeskQTMainWindow::SaveAs() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  if (pcEditor == nullptr) return false;
  bool bSaved = pcEditor->SaveAs();
  UpdateTabTitle(m_pcTabs->currentIndex());
  return bSaved;
}

bool CVeskQTMainWindow::SaveAll() {
  bool bAll = true;
  for (int i = 0; i < m_pcTabs->count(); ++i) {
    CVeskQTEditor *pcEditor = m_pcTabs->Editor(i);
    if (pcEditor->document()->isModified() && !pcEditor->Save()) bAll = false;
  }
  return bAll;
}

void CVeskQTMainWindow::Undo() {
  if (CVeskQTEditor *pcEditor = CurrentEditor()) pcEditor->undo();
}

void CVeskQTMainWindow::Redo() {
  if (CVeskQTEditor *pcEditor = CurrentEditor()) pcEditor->redo();
}

void CVeskQTMainWindow::Copy() {
  if (CVeskQTEditor *pcEditor = CurrentEditor()) pcEditor->copy();
}

void CVeskQTMainWindow::Cut() {
  if (CVeskQTEditor *pcEditor = CurrentEditor()) pcEditor->cut();
}

void CVeskQTMainWindow::Paste() {
  if (CVeskQTEditor *pcEditor = CurrentEditor()) pcEditor->paste();
}

void CVeskQTMainWindow::Find() {
  if (CurrentEditor() == nullptr) return;
  bool bOk = false;
  QString strText = QInputDialog::getText(this, tr("Find"), tr("Find text:"),
                                          QLineEdit::Normal, m_strLastFind, &bOk);
  if (!bOk || strText.isEmpty()) return;
  m_strLastFind = strText;
  if (!FindText(strText)) statusBar()->showMessage(tr("'%1' not found").arg(strText));
}

bool CVeskQTMainWindow::FindText(const QString &str_text) {
  CVeskQTEditor *pcEditor = CurrentEditor();
  if (pcEditor == nullptr || str_text.isEmpty()) return false;
  if (pcEditor->find(str_text)) return true;
  /* Wrap around: search again from the start of the script. */
  QTextCursor cCursor = pcEditor->textCursor();
  cCursor.movePosition(QTextCursor::Start);
  pcEditor->setTextCursor(cCursor);
  return pcEditor->find(str_text);
}

void CVeskQTMainWindow::SetMain() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  if (pcEditor == nullptr) return;
  m_strMainScript = pcEditor->GetFilePath();
  UpdateSetMainScriptActions();
}

/****************************************/

bool CVeskQTMainWindow::ParsePosition(const QString &str_text, SMessage &s_message) {
  static const QRegularExpression cPosition("^(.+?):(\\d+):(\\d+): ?(.*)$");
  QRegularExpressionMatch cMatch = cPosition.match(str_text);
  if (!cMatch.hasMatch()) return false;
  bool bLine = false, bColumn = false;
  int nLine = cMatch.captured(2).toInt(&bLine);
  int nColumn = cMatch.captured(3).toInt(&bColumn);
  if (!bLine || !bColumn) return false;
  s_message.File = cMatch.captured(1);
  s_message.Line = nLine;
  s_message.Column = nColumn;
  s_message.Text = cMatch.captured(4);
  return true;
}

bool CVeskQTMainWindow::BuildScript(const QString &str_script, SBuild &s_build) {
  s_build = SBuild();
  const QString strBase =
      str_script.endsWith(".vsk") ? str_script.chopped(4) : str_script;
  s_build.BytecodeFile = strBase + ".vo";
  s_build.DebugFile = strBase + ".vdb";
  const std::string strSource = LocalPath(str_script);
  const std::string strListingName = strSource + " (assembly)";
  uint8_t *punBytecode = nullptr;
  uint32_t unSize = 0;
  veskdebug_t tDebug = nullptr;
  char *pchMessages = nullptr;
  bool bOk = veskbuild_memory_named(strSource.c_str(), strListingName.c_str(),
                                    &punBytecode, &unSize, &tDebug, &pchMessages) != 0;
  AppendMessages(tr("compiler"), TakeText(pchMessages), s_build.Messages);
  if (bOk) {
    const int nUnwritten = veskbuild_write(LocalPath(s_build.BytecodeFile).c_str(),
                                           LocalPath(s_build.DebugFile).c_str(),
                                           punBytecode, unSize, tDebug);
    if (nUnwritten != 0) {
      const QString &strFile = nUnwritten == 1 ? s_build.BytecodeFile : s_build.DebugFile;
      s_build.Messages.append(
          {tr("compiler"), QString(), 0, 0, tr("Cannot write file %1").arg(strFile)});
      bOk = false;
    }
  } else if (s_build.Messages.isEmpty()) {
    s_build.Messages.append(
        {tr("compiler"), QString(), 0, 0, tr("Cannot compile %1").arg(str_script)});
  }
  if (bOk)
    AppendMessages(tr("checker"), CheckerWarnings(strSource.c_str()), s_build.Messages);
  std::free(punBytecode);
  if (tDebug != nullptr) veskdebug_destroy(&tDebug);
  return bOk;
}

void CVeskQTMainWindow::AppendMessages(const QString &str_source,
                                       const QString &str_output,
                                       QList<SMessage> &list_messages) {
  for (const QString &strLine : str_output.split('\n', Qt::SkipEmptyParts)) {
    SMessage sMessage;
    sMessage.Source = str_source;
    if (!ParsePosition(strLine, sMessage)) sMessage.Text = strLine;
    list_messages.append(sMessage);
  }
}

bool CVeskQTMainWindow::Compile() {
  if (m_strMainScript.isEmpty() && CurrentEditor() != nullptr) SetMain();
  if (m_strMainScript.isEmpty()) {
    statusBar()->showMessage(tr("No script to compile"));
    return false;
  }
  if (!SaveAll()) return false;
  SBuild sBuild;
  bool bOk = BuildScript(m_strMainScript, sBuild);
  m_listBuildMessages = sBuild.Messages;
  ShowMessages();
  if (!bOk) {
    const SMessage &sFirst = m_listBuildMessages.first();
    if (!sFirst.File.isEmpty()) GoTo(sFirst);
    statusBar()->showMessage(sFirst.Text);
    return false;
  }
  m_sBuild = sBuild;
  statusBar()->showMessage(tr("Compiled %1").arg(QFileInfo(m_strMainScript).fileName()));
  return true;
}

void CVeskQTMainWindow::Execute() {
  if (Compile()) LoadIntoRobots(m_sBuild);
}

/* Every robot gets a fresh VM running the new script from its top level
 * and `init`, as when its experiment is reset. */
void CVeskQTMainWindow::LoadIntoRobots(const SBuild &s_build) {
  const QString strRefused = m_fnExecuteCheck ? m_fnExecuteCheck() : QString();
  if (!strRefused.isEmpty()) {
    statusBar()->showMessage(strRefused);
    return;
  }
  const std::string strBytecode = LocalPath(s_build.BytecodeFile);
  const std::string strDebug = LocalPath(s_build.DebugFile);
  QVector<CVeskController *> vecControllers = GetControllers();
  for (CVeskController *pcController : vecControllers) {
    pcController->SetDebugMsg("");
    try {
      pcController->SetBytecode(strBytecode, strDebug);
    } catch (argos::CARGoSException &cEx) {
      m_listBuildMessages.append({RobotName(*pcController), QString(), 0, 0,
                                  QString::fromStdString(cEx.what())});
    }
  }
  statusBar()->showMessage(
      tr("Script loaded into %n robot(s)", "", vecControllers.size()));
  emit ScriptExecuted();
  CheckVeskStatus(0);
  ShowMessages();
}

/****************************************/

void CVeskQTMainWindow::CloseEditor(int n_idx) {
  CVeskQTEditor *pcEditor = m_pcTabs->Editor(n_idx);
  if (pcEditor == nullptr) return;
  const QString strPath = pcEditor->GetFilePath();
  /* The editor asks about unsaved changes and deletes itself once closed. */
  if (!pcEditor->close()) return;
  m_pcTabs->removeTab(m_pcTabs->IndexOf(pcEditor));
  if (strPath == m_strMainScript && EditorOf(strPath) == nullptr) m_strMainScript.clear();
  UpdateSetMainScriptActions();
  UpdateActions();
}

void CVeskQTMainWindow::SetTabModified(bool) {
  auto *pcDocument = qobject_cast<QTextDocument *>(sender());
  for (int i = 0; i < m_pcTabs->count(); ++i)
    if (pcDocument == nullptr || m_pcTabs->Editor(i)->document() == pcDocument)
      UpdateTabTitle(i);
}

void CVeskQTMainWindow::UpdateActions() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  const bool bEditor = pcEditor != nullptr;
  const bool bSelection = bEditor && pcEditor->textCursor().hasSelection();
  for (QAction *pcAction : {m_pcSaveAction, m_pcSaveAsAction, m_pcSaveAllAction,
                            m_pcCloseAction, m_pcPasteAction, m_pcFindAction})
    pcAction->setEnabled(bEditor);
  m_pcUndoAction->setEnabled(bEditor && pcEditor->document()->isUndoAvailable());
  m_pcRedoAction->setEnabled(bEditor && pcEditor->document()->isRedoAvailable());
  m_pcCutAction->setEnabled(bSelection);
  m_pcCopyAction->setEnabled(bSelection);
  UpdateSetMainScriptActions();
}

void CVeskQTMainWindow::UpdateRecentFilesActions() {
  QSettings cSettings;
  cSettings.beginGroup(CVeskQTEditor::RECENT_FILES_GROUP);
  const QStringList listFiles =
      cSettings.value(CVeskQTEditor::RECENT_FILES_KEY).toStringList();
  cSettings.endGroup();
  for (int i = 0; i < MAX_RECENT_FILES; ++i) {
    QAction *pcAction = m_apcRecentFiles[i];
    pcAction->setVisible(i < listFiles.size());
    if (i >= listFiles.size()) continue;
    pcAction->setText(tr("&%1 %2").arg(i + 1).arg(QFileInfo(listFiles[i]).fileName()));
    pcAction->setData(listFiles[i]);
    pcAction->setToolTip(listFiles[i]);
  }
}

void CVeskQTMainWindow::UpdateSetMainScriptActions() {
  CVeskQTEditor *pcEditor = CurrentEditor();
  m_pcSetMainAction->setEnabled(pcEditor != nullptr &&
                                pcEditor->GetFilePath() != m_strMainScript);
  const bool bScript = !m_strMainScript.isEmpty() || pcEditor != nullptr;
  m_pcCompileAction->setEnabled(bScript);
  m_pcExecuteAction->setEnabled(bScript);
  for (int i = 0; i < m_pcTabs->count(); ++i)
    UpdateTabTitle(i);
}

/****************************************/

void CVeskQTMainWindow::SetControllerSource(TControllerSource fn_source) {
  m_fnControllers = std::move(fn_source);
}

QVector<CVeskController *> CVeskQTMainWindow::GetControllers() const {
  QVector<CVeskController *> vecControllers =
      m_fnControllers ? m_fnControllers() : QVector<CVeskController *>();
  std::stable_sort(vecControllers.begin(), vecControllers.end(),
                   [](CVeskController *pc_a, CVeskController *pc_b) {
                     return RobotNumber(*pc_a) < RobotNumber(*pc_b);
                   });
  return vecControllers;
}

void CVeskQTMainWindow::OpenScriptsOf(const QStringList &list_bytecode_files) {
  bool bMainSet = false;
  for (const QString &strBytecode : list_bytecode_files) {
    if (!strBytecode.endsWith(".vo")) continue;
    const QString strScript = strBytecode.chopped(3) + ".vsk";
    if (QFileInfo::exists(strScript) && OpenFile(strScript) && !bMainSet) {
      SetMain();
      bMainSet = true;
    }
  }
  /* The main script in front: the one Compile builds. */
  if (CVeskQTEditor *pcMain = EditorOf(m_strMainScript))
    m_pcTabs->setCurrentWidget(pcMain);
}

QStringList CVeskQTMainWindow::GetControllerScripts() const {
  QStringList listFiles;
  for (CVeskController *pcController : GetControllers()) {
    const QString strFile = QString::fromStdString(pcController->GetBytecodeFile());
    if (!strFile.isEmpty() && !listFiles.contains(strFile)) listFiles.append(strFile);
  }
  return listFiles;
}

QRect CVeskQTMainWindow::Placement(const QRect &c_occupied, const QSize &c_wanted,
                                   const QRect &c_screen) {
  const int nRight = c_screen.right() - c_occupied.right(); /* free strips */
  const int nLeft = c_occupied.left() - c_screen.left();
  const int nHeight = qMin(c_wanted.height(), c_screen.height());
  const int nTop = qBound(c_screen.top(), c_occupied.top(),
                          c_screen.top() + c_screen.height() - nHeight);
  if (nRight >= c_wanted.width() || (nRight >= nLeft && nLeft < c_wanted.width())) {
    const int nWidth = qMax(MIN_PLACED_WIDTH, qMin(c_wanted.width(), nRight));
    const int nX = qMin(c_occupied.right() + 1, c_screen.right() + 1 - nWidth);
    return QRect(nX, nTop, nWidth, nHeight);
  }
  const int nWidth = qMax(MIN_PLACED_WIDTH, qMin(c_wanted.width(), nLeft));
  return QRect(qMax(c_screen.left(), c_occupied.left() - nWidth), nTop, nWidth, nHeight);
}

void CVeskQTMainWindow::PlaceBeside(const QWidget &c_other) {
  QScreen *pcScreen = c_other.screen();
  if (pcScreen == nullptr) return;
  const QRect cPlace =
      Placement(c_other.frameGeometry(), size(), pcScreen->availableGeometry());
  resize(cPlace.size());
  move(cPlace.topLeft());
}

/* The simulator gives every controller its robot's id. */
CVeskController *CVeskQTMainWindow::ControllerOf(argos::CEntity &c_entity) const {
  const std::string &strRobot = c_entity.GetRootEntity().GetId();
  for (CVeskController *pcController : GetControllers())
    if (pcController->GetId() == strRobot) return pcController;
  return nullptr;
}

void CVeskQTMainWindow::CheckVeskStatus(int n_step) {
  QList<SMessage> listErrors;
  const QVector<CVeskController *> vecControllers = GetControllers();
  /* A robot taken out of the simulation takes its trees along. */
  if (m_pcSelected != nullptr && !vecControllers.contains(m_pcSelected))
    SelectController(nullptr);
  for (CVeskController *pcController : vecControllers) {
    veskvm_t tVM = pcController->GetVeskVM();
    if (tVM == nullptr || tVM->state != VESKVM_STATE_ERROR) continue;
    SMessage sError;
    sError.Source = RobotName(*pcController);
    const QString strInfo = QString::fromStdString(pcController->ErrorInfo());
    if (!ParsePosition(strInfo, sError)) sError.Text = strInfo;
    listErrors.append(sError);
  }
  if (!SameMessages(listErrors, m_listRunTimeErrors)) {
    m_listRunTimeErrors = listErrors;
    ShowMessages();
  }
  m_pcLogPanel->Flush(static_cast<quint64>(n_step));
  for (CVeskQTStateTreeModel *pcModel :
       {m_pcVariableModel, m_pcFunctionModel, m_pcSwarmModel})
    if (pcModel != nullptr) pcModel->Refresh();
}

void CVeskQTMainWindow::ShowMessages() {
  const QList<SMessage> listMessages = GetMessages();
  QSignalBlocker cBlocker(m_pcMessageList);
  m_pcMessageList->clear();
  for (int i = 0; i < listMessages.size(); ++i) {
    const SMessage &sMessage = listMessages[i];
    QString strPosition;
    if (!sMessage.File.isEmpty())
      strPosition = QString("%1:%2:%3")
                        .arg(QFileInfo(sMessage.File).fileName())
                        .arg(sMessage.Line)
                        .arg(sMessage.Column);
    auto *pcItem = new QTreeWidgetItem(m_pcMessageList,
                                       {sMessage.Source, strPosition, sMessage.Text});
    pcItem->setData(0, Qt::UserRole, i);
    pcItem->setToolTip(1, sMessage.File);
  }
  m_pcMessageList->resizeColumnToContents(0);
  m_pcMessageList->resizeColumnToContents(1);
}

void CVeskQTMainWindow::HandleRunTimeErrorSelection() {
  QTreeWidgetItem *pcItem = m_pcMessageList->currentItem();
  if (pcItem == nullptr) return;
  const QList<SMessage> listMessages = GetMessages();
  int nIdx = pcItem->data(0, Qt::UserRole).toInt();
  if (nIdx >= 0 && nIdx < listMessages.size() && !listMessages[nIdx].File.isEmpty())
    GoTo(listMessages[nIdx]);
}

void CVeskQTMainWindow::ShowSourcePosition(const QString &str_file, int n_line,
                                           int n_column) {
  GoTo({QString(), str_file, n_line, n_column, QString()});
}

void CVeskQTMainWindow::GoTo(const SMessage &s_message) {
  if (!OpenFile(s_message.File)) {
    statusBar()->showMessage(tr("Cannot read file %1").arg(s_message.File));
    return;
  }
  CVeskQTEditor *pcEditor = CurrentEditor();
  /* The editor moves column + 1 characters into the line; positions at the
   * end of a line (after its last token) must not carry it onto the next. */
  QTextBlock cBlock = pcEditor->document()->findBlockByNumber(s_message.Line - 1);
  int nColumn = s_message.Column;
  if (cBlock.isValid()) nColumn = qMax(0, qMin(nColumn, cBlock.length() - 2));
  pcEditor->GoTo(s_message.Line, nColumn);
  pcEditor->setFocus();
}

/****************************************/

void CVeskQTMainWindow::HandleEntitySelection(size_t un_index) {
  QVector<CVeskController *> vecControllers = GetControllers();
  SelectController(un_index < static_cast<size_t>(vecControllers.size())
                       ? vecControllers[static_cast<int>(un_index)]
                       : nullptr);
}

void CVeskQTMainWindow::HandleEntityDeselection(size_t) {
  SelectController(nullptr);
}

void CVeskQTMainWindow::HandleEntitySelection(argos::CEntity *pc_entity) {
  SelectController(pc_entity != nullptr ? ControllerOf(*pc_entity) : nullptr);
}

void CVeskQTMainWindow::HandleEntityDeselection(argos::CEntity *) {
  SelectController(nullptr);
}

void CVeskQTMainWindow::ForgetRobots() {
  SelectController(nullptr);
  m_listRunTimeErrors.clear();
  ShowMessages();
}

/* New models for the robot (or empty ones for none); the views switch to them
 * before the old models go. */
void CVeskQTMainWindow::SelectController(CVeskController *pc_controller) {
  m_pcSelected = pc_controller;
  CVeskQTStateTreeModel *pcOldVariables = m_pcVariableModel;
  CVeskQTStateTreeModel *pcOldFunctions = m_pcFunctionModel;
  CVeskQTStateTreeModel *pcOldSwarm = m_pcSwarmModel;
  m_pcVariableModel = new CVeskQTStateTreeVariableModel(pc_controller, true, this);
  m_pcFunctionModel = new CVeskQTStateTreeFunctionModel(pc_controller, true, this);
  m_pcSwarmModel = new CVeskQTStateTreeSwarmModel(pc_controller, false, this);
  /* The views first, so that they have taken each reset in when the trees
   * are expanded again. */
  m_pcVariableTree->setModel(m_pcVariableModel);
  m_pcFunctionTree->setModel(m_pcFunctionModel);
  m_pcSwarmTree->setModel(m_pcSwarmModel);
  connect(m_pcVariableModel, &QAbstractItemModel::modelReset, this,
          &CVeskQTMainWindow::VariableTreeChanged);
  connect(m_pcFunctionModel, &QAbstractItemModel::modelReset, this,
          &CVeskQTMainWindow::FunctionTreeChanged);
  connect(m_pcSwarmModel, &QAbstractItemModel::modelReset, this,
          &CVeskQTMainWindow::SwarmTreeChanged);
  delete pcOldVariables;
  delete pcOldFunctions;
  delete pcOldSwarm;
  m_pcSelectedLabel->setText(
      pc_controller != nullptr ? tr("Robot %1 (%2)")
                                     .arg(RobotName(*pc_controller))
                                     .arg(QString::fromStdString(pc_controller->GetId()))
                               : tr("No robot selected"));
  m_pcVariableModel->Refresh();
  m_pcFunctionModel->Refresh();
  m_pcSwarmModel->Refresh();
}

void CVeskQTMainWindow::VariableTreeChanged() {
  RestoreExpansion(m_pcVariableTree, m_setVariablesExpanded);
  m_pcVariableTree->resizeColumnToContents(0);
}

void CVeskQTMainWindow::FunctionTreeChanged() {
  RestoreExpansion(m_pcFunctionTree, m_setFunctionsExpanded);
}

void CVeskQTMainWindow::SwarmTreeChanged() {
  RestoreExpansion(m_pcSwarmTree, m_setSwarmExpanded);
  m_pcSwarmTree->resizeColumnToContents(0);
}

namespace {

QString TreePath(const QModelIndex &c_index) {
  QStringList listNames;
  for (QModelIndex cAt = c_index; cAt.isValid(); cAt = cAt.parent())
    listNames.prepend(cAt.siblingAtColumn(0).data().toString());
  return listNames.join('/');
}

} // namespace

void CVeskQTMainWindow::TrackExpansion(QTreeView *pc_tree, QSet<QString> &set_expanded) {
  connect(pc_tree, &QTreeView::expanded, this,
          [&set_expanded](const QModelIndex &c_index) {
            set_expanded.insert(TreePath(c_index));
          });
  connect(pc_tree, &QTreeView::collapsed, this,
          [&set_expanded](const QModelIndex &c_index) {
            set_expanded.remove(TreePath(c_index));
          });
}

void CVeskQTMainWindow::RestoreExpansion(QTreeView *pc_tree,
                                         const QSet<QString> &set_expanded) {
  QAbstractItemModel *pcModel = pc_tree->model();
  if (pcModel == nullptr || set_expanded.isEmpty()) return;
  /* Only rows under expanded rows can be expanded themselves. */
  QList<QModelIndex> listPending = {QModelIndex()};
  while (!listPending.isEmpty()) {
    QModelIndex cParent = listPending.takeLast();
    for (int i = 0; i < pcModel->rowCount(cParent); ++i) {
      QModelIndex cChild = pcModel->index(i, 0, cParent);
      if (!set_expanded.contains(TreePath(cChild))) continue;
      pc_tree->expand(cChild);
      listPending.append(cChild);
    }
  }
}

/****************************************/

void CVeskQTMainWindow::closeEvent(QCloseEvent *pc_event) {
  QStringList listModified;
  for (int i = 0; i < m_pcTabs->count(); ++i)
    if (m_pcTabs->Editor(i)->document()->isModified())
      listModified << m_pcTabs->Editor(i)->GetFilePath();
  if (listModified.isEmpty()) {
    pc_event->accept();
    return;
  }
  QMessageBox::StandardButton eAnswer = QMessageBox::warning(
      this, tr("Vesk editor"),
      tr("These scripts have been modified:\n%1\nDo you want to save your changes?")
          .arg(listModified.join('\n')),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  if (eAnswer == QMessageBox::Save) {
    pc_event->setAccepted(SaveAll());
  } else if (eAnswer == QMessageBox::Discard) {
    pc_event->accept();
  } else {
    pc_event->ignore();
  }
}
