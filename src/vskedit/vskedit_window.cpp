/*
 * vskedit's simulator window.
 */
#include "vskedit_window.h"
#include "vskedit_arena_view.h"
#include "vskedit_debug_console.h"

#include "vesk_controller.h"
#include "vesk_qt_log_panel.h"
#include "vesk_qt_main_window.h"

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/logging/argos_log.h>

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>

namespace {

/* The <params> node of a controller definition, or null. */
argos::TConfigurationNode *ParamsOf(const vesksim::SControllerConfig &s_config) {
  argos::TConfigurationNode &tNode = s_config.Node();
  return argos::NodeExists(tNode, "params") ? &argos::GetNode(tNode, "params") : nullptr;
}

bool IsVeskController(const vesksim::SControllerConfig &s_config) {
  return s_config.Label.rfind("vesk_controller", 0) == 0;
}

} // namespace

CVskEditWindow::CVskEditWindow(QWidget *pc_parent)
    : QMainWindow(pc_parent), m_pcView(new CVskEditArenaView(this)),
      m_pcEditor(new CVeskQTMainWindow(this)),
      m_pcConsole(new CVskEditDebugConsole(this)), m_pcStatus(new QLabel(this)) {
  setWindowTitle(tr("vskedit"));
  /* The arena on the left, the editor on the right: neither covers the
   * other. */
  auto *pcSplitter = new QSplitter(Qt::Horizontal, this);
  m_pcEditor->setWindowFlags(Qt::Widget);
  pcSplitter->addWidget(m_pcView);
  pcSplitter->addWidget(m_pcEditor);
  pcSplitter->setStretchFactor(0, 1);
  pcSplitter->setStretchFactor(1, 1);
  setCentralWidget(pcSplitter);
  resize(1400, 800);
  statusBar()->addPermanentWidget(m_pcStatus);
  m_pcStatus->setMinimumWidth(fontMetrics().horizontalAdvance("step 0000000 of 0000000"));
  auto Action = [this](const QString &str_text, const QString &str_key, auto f_slot) {
    auto *pcAction = new QAction(str_text, this);
    pcAction->setShortcut(QKeySequence(str_key));
    connect(pcAction, &QAction::triggered, this, f_slot);
    return pcAction;
  };
  QAction *pcOpen =
      Action(tr("&Open experiment..."), tr("Ctrl+O"), &CVskEditWindow::OpenExperiment);
  m_pcPlayAction = Action(tr("&Play"), tr("F5"), &CVskEditWindow::Play);
  m_pcPauseAction = Action(tr("P&ause"), tr("F6"), &CVskEditWindow::Pause);
  m_pcStepAction = Action(tr("&Step"), tr("F7"), &CVskEditWindow::Step);
  m_pcResetAction = Action(tr("&Reset"), tr("F8"), &CVskEditWindow::Reset);
  QToolBar *pcTools = addToolBar(tr("Simulation"));
  pcTools->setObjectName("SimulationToolBar");
  pcTools->addActions(
      {pcOpen, m_pcPlayAction, m_pcPauseAction, m_pcStepAction, m_pcResetAction});
  m_pcSpeed = new QComboBox(this);
  m_pcSpeed->setToolTip(tr("Play speed"));
  for (double fSpeed : {1.0, 2.0, 5.0, 10.0, 50.0})
    m_pcSpeed->addItem(fSpeed == 1.0 ? tr("Real time") : tr("%1x").arg(fSpeed), fSpeed);
  m_pcSpeed->addItem(tr("As fast as possible"), FASTEST);
  connect(m_pcSpeed, qOverload<int>(&QComboBox::activated), this,
          [this](int n_index) { SetSpeed(m_pcSpeed->itemData(n_index).toDouble()); });
  pcTools->addSeparator();
  pcTools->addWidget(m_pcSpeed);
  QAction *pcAttach =
      Action(tr("&Debug selected robot"), tr("F9"), &CVskEditWindow::AttachDebugger);
  pcTools->addSeparator();
  pcTools->addAction(pcAttach);
  auto *pcConsoleDock = new QDockWidget(tr("Debugger"), this);
  pcConsoleDock->setObjectName("DebuggerDock");
  pcConsoleDock->setWidget(m_pcConsole);
  addDockWidget(Qt::BottomDockWidgetArea, pcConsoleDock);
  pcConsoleDock->hide(); /* until a robot is debugged */
  connect(m_pcConsole, &CVskEditDebugConsole::AttachedChanged, pcConsoleDock,
          [pcConsoleDock](bool b_attached) {
            if (b_attached) pcConsoleDock->show();
          });
  /* The views show the world as the stopped robot left it. */
  connect(m_pcConsole, &CVskEditDebugConsole::Stopped, this, [this] {
    /* No ticks while the world waits; play goes on after the step. */
    if (IsPlaying()) {
      m_cTimer.stop();
      m_bPlayAfterStop = true;
    }
    m_pcView->update();
    m_pcEditor->CheckVeskStatus(static_cast<int>(m_pcWorld->GetClock()));
    UpdateActions();
    QString strFile;
    int nLine, nColumn;
    if (m_pcConsole->GetStopPosition(strFile, nLine, nColumn))
      m_pcEditor->ShowSourcePosition(strFile, nLine, nColumn);
    m_pcConsole->FocusInput();
    statusBar()->showMessage(tr("Robot stopped in the debugger"));
  });
  m_pcEditor->SetExecuteCheck([this] {
    if (m_bStepping) return tr("A robot is stopped in the debugger: continue or detach");
    m_pcConsole->Detach();
    return QString();
  });

  connect(&m_cTimer, &QTimer::timeout, this, &CVskEditWindow::Tick);
  connect(this, &CVskEditWindow::StepDone, m_pcEditor,
          &CVeskQTMainWindow::CheckVeskStatus);
  connect(m_pcView, &CVskEditArenaView::RobotSelected, this,
          [this](int n_index) { m_pcEditor->SelectController(VeskController(n_index)); });
  connect(m_pcView, &CVskEditArenaView::RobotDeselected, m_pcEditor,
          [this] { m_pcEditor->SelectController(nullptr); });
  m_pcEditor->SetControllerSource([this] { return VeskControllers(); });
  connect(m_pcEditor, &CVeskQTMainWindow::ScriptExecuted, this,
          &CVskEditWindow::UseExecutedScript);
  UpdateActions();
}

/* The world goes first: its robots' destroy() may still log. */
CVskEditWindow::~CVskEditWindow() {
  m_cTimer.stop();
  m_pcConsole->Detach();
  m_pcEditor->ForgetRobots();
  m_pcView->SetWorld(nullptr);
  m_pcWorld.reset();
  argos::LOG.Flush();
  argos::LOGERR.Flush();
}

bool CVskEditWindow::LoadExperiment(const QString &str_path) {
  vesksim::SExperiment sExperiment;
  try {
    sExperiment = vesksim::LoadExperiment(LocalPath(str_path));
  } catch (std::exception &cEx) {
    m_strLastError = QString::fromStdString(cEx.what());
    return false;
  }
  if (!ReleaseWorld()) {
    m_strLastError = tr("A robot is stopped in the debugger: continue or detach");
    return false;
  }
  Pause();
  m_pcEditor->ForgetRobots();
  m_pcView->SetWorld(nullptr);
  m_pcWorld.reset();
  m_sExperiment = sExperiment;
  setWindowTitle(tr("vskedit - %1").arg(QFileInfo(str_path).fileName()));
  const bool bBuilt = BuildWorld();
  /* From the experiment rather than the robots: scripts open even when the
   * robots could not be built. */
  QStringList listBytecode;
  for (const auto &tEntry : m_sExperiment.Controllers) {
    argos::TConfigurationNode *ptParams = ParamsOf(tEntry.second);
    std::string strBytecode;
    if (ptParams == nullptr) continue;
    argos::GetNodeAttributeOrDefault(*ptParams, "bytecode_file", strBytecode,
                                     std::string());
    listBytecode.append(QString::fromStdString(strBytecode));
  }
  m_pcEditor->OpenScriptsOf(listBytecode);
  return bBuilt;
}

bool CVskEditWindow::BuildWorld() {
  bool bBuilt = true;
  try {
    m_pcWorld = std::make_unique<vesksim::CWorld>(m_sExperiment);
  } catch (std::exception &cEx) {
    m_strLastError = QString::fromStdString(cEx.what());
    bBuilt = false;
  }
  argos::LOG.Flush();
  argos::LOGERR.Flush();
  m_pcView->SetWorld(m_pcWorld.get());
  m_pcEditor->CheckVeskStatus(0);
  UpdateActions();
  return bBuilt;
}

void CVskEditWindow::Play() {
  if (m_pcWorld == nullptr) return;
  if (m_bStepping) {
    m_bPlayAfterStop = true;
    return;
  }
  m_bPlayAfterStop = false;
  m_cTimer.start(GetTickInterval());
  UpdateActions();
}

void CVskEditWindow::SetSpeed(double f_speed) {
  m_fSpeed = f_speed > 0 ? f_speed : FASTEST;
  const int nIndex = m_pcSpeed->findData(m_fSpeed);
  if (nIndex >= 0) m_pcSpeed->setCurrentIndex(nIndex);
  if (IsPlaying()) m_cTimer.start(GetTickInterval());
}

/* Milliseconds of one step at the chosen speed. */
static double StepTime(double f_tick_length, double f_speed) {
  return 1000.0 * f_tick_length / f_speed;
}

int CVskEditWindow::GetTickInterval() const {
  if (m_fSpeed == FASTEST) return 0;
  const double fTick = m_pcWorld ? m_pcWorld->GetTickLength() : 0.1;
  return static_cast<int>(std::lround(StepTime(fTick, m_fSpeed) * GetStepsPerTick()));
}

int CVskEditWindow::GetStepsPerTick() const {
  if (m_fSpeed == FASTEST) return FASTEST_STEPS_PER_TICK;
  const double fTick = m_pcWorld ? m_pcWorld->GetTickLength() : 0.1;
  const double fStep = StepTime(fTick, m_fSpeed);
  if (fStep >= MIN_TICK_INTERVAL) return 1;
  return static_cast<int>(std::ceil(MIN_TICK_INTERVAL / fStep));
}

void CVskEditWindow::Tick() {
  if (m_bStepping) return;
  bool bStepped = false;
  for (int i = 0, n = GetStepsPerTick(); i < n && Advance(); ++i)
    bStepped = true;
  if (bStepped) ShowStep();
}

void CVskEditWindow::Pause() {
  m_cTimer.stop();
  m_bPlayAfterStop = false;
  UpdateActions();
}

bool CVskEditWindow::Step() {
  if (m_bStepping || !Advance()) return false;
  ShowStep();
  return true;
}

bool CVskEditWindow::Advance() {
  if (m_pcWorld == nullptr) return false;
  if (m_sExperiment.Steps != 0 && m_pcWorld->GetClock() >= m_sExperiment.Steps) {
    Pause();
    statusBar()->showMessage(tr("The experiment has ended; reset to run it again"));
    return false;
  }
  m_bStepping = true;
  try {
    m_pcWorld->Step();
  } catch (std::exception &cEx) {
    Pause();
    statusBar()->showMessage(QString::fromStdString(cEx.what()));
  }
  m_bStepping = false;
  if (m_bPlayAfterStop) Play();
  /* Output is stamped with the step that wrote it, also inside a tick. */
  m_pcEditor->GetLogPanel().Flush(m_pcWorld->GetClock());
  return true;
}

void CVskEditWindow::ShowStep() {
  m_pcView->update();
  UpdateActions();
  emit StepDone(static_cast<int>(m_pcWorld->GetClock()));
}

bool CVskEditWindow::Reset() {
  if (m_sExperiment.Path.empty() || !ReleaseWorld()) return false;
  Pause();
  m_pcEditor->ForgetRobots();
  m_pcView->SetWorld(nullptr);
  m_pcWorld.reset();
  return BuildWorld();
}

bool CVskEditWindow::ReleaseWorld() {
  if (m_bStepping) {
    statusBar()->showMessage(
        tr("A robot is stopped in the debugger: continue or detach"));
    return false;
  }
  m_pcConsole->Detach();
  return true;
}

bool CVskEditWindow::AttachDebugger() {
  CVeskController *pcController = m_pcEditor->GetSelectedController();
  if (pcController == nullptr) {
    statusBar()->showMessage(tr("Select a robot to debug"));
    return false;
  }
  if (m_bStepping) {
    statusBar()->showMessage(
        tr("A robot is stopped in the debugger: continue or detach"));
    return false;
  }
  return m_pcConsole->Attach(pcController);
}

void CVskEditWindow::OpenExperiment() {
  QString strPath = QFileDialog::getOpenFileName(this, tr("Open experiment"), QString(),
                                                 tr("Experiments (*.argos)"));
  if (!strPath.isEmpty() && !LoadExperiment(strPath))
    QMessageBox::warning(this, tr("vskedit"), m_strLastError);
}

/* The experiment's Vesk controllers now name the executed script, so that
 * the robots of a reset world run it too. */
void CVskEditWindow::UseExecutedScript() {
  const CVeskQTMainWindow::SBuild &sBuild = m_pcEditor->GetLastBuild();
  for (auto &tEntry : m_sExperiment.Controllers) {
    argos::TConfigurationNode *ptParams = ParamsOf(tEntry.second);
    if (ptParams == nullptr || !IsVeskController(tEntry.second)) continue;
    argos::SetNodeAttribute(*ptParams, "bytecode_file", LocalPath(sBuild.BytecodeFile));
    argos::SetNodeAttribute(*ptParams, "debug_file", LocalPath(sBuild.DebugFile));
  }
  m_pcView->update();
}

/* The Vesk controller of robot n_index, or null. */
CVeskController *CVskEditWindow::VeskController(int n_index) {
  if (m_pcWorld == nullptr || n_index < 0 ||
      static_cast<size_t>(n_index) >= m_pcWorld->GetNumRobots())
    return nullptr;
  return dynamic_cast<CVeskController *>(
      &m_pcWorld->GetBody(static_cast<size_t>(n_index)).Robot->GetController());
}

/* The world's Vesk controllers in robot order. */
QVector<CVeskController *> CVskEditWindow::VeskControllers() {
  QVector<CVeskController *> vecControllers;
  for (int i = 0; m_pcWorld != nullptr && i < static_cast<int>(m_pcWorld->GetNumRobots());
       ++i)
    if (CVeskController *pcController = VeskController(i))
      vecControllers.append(pcController);
  return vecControllers;
}

void CVskEditWindow::UpdateActions() {
  const bool bWorld = m_pcWorld != nullptr;
  m_pcPlayAction->setEnabled(bWorld && !IsPlaying());
  m_pcPauseAction->setEnabled(IsPlaying());
  m_pcStepAction->setEnabled(bWorld && !IsPlaying());
  m_pcResetAction->setEnabled(!m_sExperiment.Path.empty());
  if (!bWorld) {
    m_pcStatus->setText(tr("no experiment"));
  } else if (m_sExperiment.Steps != 0) {
    m_pcStatus->setText(tr("step %1 of %2")
                            .arg(m_pcWorld->GetClock())
                            .arg(static_cast<qulonglong>(m_sExperiment.Steps)));
  } else {
    m_pcStatus->setText(tr("step %1").arg(m_pcWorld->GetClock()));
  }
}
