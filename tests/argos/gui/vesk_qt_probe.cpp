/*
 * Test-only user functions "vesk_qt_probe": the plug-in's CVeskQT run inside
 * ARGoS's GUI, with a report of what it shows (see vesk_qt_probe.h).
 *
 * The plug-in keeps the editor's classes to itself, so only the editor
 * window's inline accessors and the Qt base classes of its widgets are used
 * here.
 */
#include "vesk_qt_probe.h"

#include "vesk_controller.h"
#include "vesk_overlay_label.h"
#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vesk_qt_tab_widget.h"

#include <argos3/core/simulator/entity/controllable_entity.h>
#include <argos3/core/simulator/simulator.h>
#include <argos3/core/simulator/space/space.h>
#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/plugins/factory.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_main_window.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_widget.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QDebug>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>

using namespace argos;

namespace {

QString Attribute(TConfigurationNode &t_tree, const char *str_name,
                  const char *str_default) {
  std::string strValue;
  GetNodeAttributeOrDefault<std::string>(t_tree, str_name, strValue, str_default);
  return QString::fromStdString(strValue);
}

QStringList ListAttribute(TConfigurationNode &t_tree, const char *str_name) {
  return Attribute(t_tree, str_name, "").split(',', Qt::SkipEmptyParts);
}

const char *YesNo(bool b_yes) {
  return b_yes ? "yes" : "no";
}

/* Ids of the robots that get labels: the space's foot-bots and spiris. */
QStringList LabelledRobots() {
  QStringList listIds;
  for (const char *strType : {"foot-bot", "spiri"}) {
    try {
      for (auto &tEntry : CSimulator::GetInstance().GetSpace().GetEntitiesByType(strType))
        listIds << QString::fromStdString(tEntry.first);
    } catch (CARGoSException &) {
      /* no robot of that type */
    }
  }
  return listIds;
}

/* Whether some pixel of a is darker than the same pixel of b. */
bool HasDarkerPixels(const QImage &c_a, const QImage &c_b) {
  if (c_a.size() != c_b.size()) return false;
  for (int y = 0; y < c_a.height(); ++y)
    for (int x = 0; x < c_a.width(); ++x)
      if (qGray(c_a.pixel(x, y)) < qGray(c_b.pixel(x, y))) return true;
  return false;
}

/* The top-level row whose first column reads str_name; invalid if none. */
QModelIndex FindRow(const QAbstractItemModel &c_model, const QString &str_name) {
  for (int i = 0; i < c_model.rowCount(); ++i) {
    QModelIndex cIndex = c_model.index(i, 0);
    if (cIndex.data().toString() == str_name) return cIndex;
  }
  return QModelIndex();
}

/* "name = value", "name {child, child}" or "name". */
QString RowText(const QAbstractItemModel &c_model, const QModelIndex &c_index) {
  QString strText = c_index.data().toString();
  QVariant cValue = c_index.siblingAtColumn(1).data();
  if (cValue.isValid()) strText += " = " + cValue.toString();
  QStringList listChildren;
  for (int i = 0; i < c_model.rowCount(c_index); ++i)
    listChildren << RowText(c_model, c_model.index(i, 0, c_index));
  if (!listChildren.isEmpty()) strText += " {" + listChildren.join(", ") + "}";
  return strText;
}

/* The editor window's dock widget with the given object name. */
QWidget *DockContents(QWidget &c_window, const char *str_name) {
  auto *pcDock = c_window.findChild<QDockWidget *>(str_name);
  return pcDock != nullptr ? pcDock->widget() : nullptr;
}

/* The tree view in c_parent that shows c_model, or null. */
QTreeView *ViewOf(QWidget *pc_parent, const QAbstractItemModel *pc_model) {
  if (pc_parent == nullptr) return nullptr;
  for (QTreeView *pcView : pc_parent->findChildren<QTreeView *>())
    if (pcView->model() == pc_model) return pcView;
  return nullptr;
}

QString ReadFile(const QString &str_path) {
  QFile cFile(str_path);
  if (!cFile.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  return QTextStream(&cFile).readAll();
}

} // namespace

CVeskQTProbe::CVeskQTProbe() {}

void CVeskQTProbe::Init(TConfigurationNode &t_tree) {
  m_strSelect = Attribute(t_tree, "select", "fb2");
  m_strReport = Attribute(t_tree, "report", "gui.txt");
  m_strShots = Attribute(t_tree, "shots", ".");
  m_listVariables = ListAttribute(t_tree, "variables");
  m_listFunctions = ListAttribute(t_tree, "functions");
  m_listExpand = ListAttribute(t_tree, "expand");
  GetNodeAttributeOrDefault(t_tree, "select_step", m_nSelectStep, m_nSelectStep);
  GetNodeAttributeOrDefault(t_tree, "report_step", m_nReportStep, m_nReportStep);
  CVeskQT::Init(t_tree);
  /* Connected after CVeskQT's own StepDone connection: the editor has
   * refreshed its trees for a step when OnStep sees it. */
  CQTOpenGLWidget *pcView = &GetQTOpenGLWidget();
  QObject::connect(pcView, &CQTOpenGLWidget::StepDone, pcView,
                   [this](int n_step) { OnStep(n_step); });
  QObject::connect(pcView, &CQTOpenGLWidget::ExperimentDone, pcView, [this] {
    if (!m_bDone) Finish(QString("experiment ended before step %1").arg(m_nReportStep));
  });
}

void CVeskQTProbe::Draw(CVeskController &c_controller) {
  const QString strRobot = QString::fromStdString(c_controller.GetId());
  SDrawn &sDrawn = m_mapDrawn[strRobot];
  ++sDrawn.Calls;
  const QString strLabel = QString::fromStdString(VeskOverlayLabel(c_controller));
  if (!sDrawn.Labels.contains(strLabel)) sDrawn.Labels << strLabel;
  if (strRobot != m_strHeldBack) CVeskQT::Draw(c_controller);
}

void CVeskQTProbe::OnStep(int n_step) {
  if (m_bDone) return;
  if (n_step == m_nSelectStep) SelectRobot();
  if (n_step == m_nReportStep) WriteReport();
}

void CVeskQTProbe::SelectRobot() {
  try {
    GetQTOpenGLWidget().SelectEntity(
        CSimulator::GetInstance().GetSpace().GetEntity(m_strSelect.toStdString()));
  } catch (CARGoSException &) {
    m_listLines << "no entity " + m_strSelect + " to select";
  }
}

/* Everything but the screen picture now; that one once the windows have
 * repainted, with the experiment paused so that no step comes between. */
void CVeskQTProbe::WriteReport() {
  m_bDone = true;
  GetMainWindow().PauseExperiment();
  m_listLines << "user functions: vesk_qt_probe, derived from CVeskQT";
  ReportFactory();
  ReportLabels();
  ReportLabelsVisible();
  ReportTabs();
  ReportSelection();
  ReportTrees();
  ReportWindows();
  QTimer::singleShot(0, &GetMainWindow(), [this] {
    QApplication::processEvents();
    SavePictures();
    Finish("end of report");
  });
}

void CVeskQTProbe::ReportFactory() {
  CQTOpenGLUserFunctions *pcMade = CFactory<CQTOpenGLUserFunctions>::New("vesk_qt");
  m_listLines << QString("label vesk_qt makes a CVeskQT: %1")
                     .arg(YesNo(dynamic_cast<CVeskQT *>(pcMade) != nullptr));
  delete pcMade;
}

/* One frame drawn afresh: every robot's label, exactly once. */
void CVeskQTProbe::ReportLabels() {
  m_cView = GrabView(QString());
  for (const QString &strRobot : LabelledRobots()) {
    const SDrawn sDrawn = m_mapDrawn.value(strRobot);
    m_listLines << QString("robot %1: drawn %2 time(s) in one frame, label \"%3\"")
                       .arg(strRobot)
                       .arg(sDrawn.Calls)
                       .arg(sDrawn.Labels.join("\", \""));
  }
}

/* A label reaches the picture when leaving it out makes some pixels lighter
 * (the text is black). */
void CVeskQTProbe::ReportLabelsVisible() {
  for (const QString &strRobot : LabelledRobots())
    m_listLines << QString("robot %1: label visible in the view: %2")
                       .arg(strRobot)
                       .arg(YesNo(HasDarkerPixels(m_cView, GrabView(strRobot))));
}

QImage CVeskQTProbe::GrabView(const QString &str_held_back) {
  m_mapDrawn.clear();
  m_strHeldBack = str_held_back;
  QImage cImage = GetQTOpenGLWidget().grabFramebuffer();
  m_strHeldBack.clear();
  return cImage;
}

void CVeskQTProbe::ReportTabs() {
  QTabWidget &cTabs = GetEditorWindow()->GetTabs();
  QStringList listTitles;
  for (int i = 0; i < cTabs.count(); ++i) {
    listTitles << cTabs.tabText(i);
    auto *pcText = qobject_cast<QPlainTextEdit *>(cTabs.widget(i));
    const QString strFile = cTabs.tabToolTip(i);
    m_listLines << QString("tab %1 holds the text of %2: %3")
                       .arg(i)
                       .arg(QFileInfo(strFile).fileName())
                       .arg(YesNo(pcText != nullptr &&
                                  pcText->toPlainText() == ReadFile(strFile)));
  }
  m_listLines << "editor tabs: " + listTitles.join(", ");
  m_listLines << "current tab: " + cTabs.tabText(cTabs.currentIndex());
  m_listLines << "main script: " +
                     QFileInfo(GetEditorWindow()->GetMainScript()).fileName();
}

void CVeskQTProbe::ReportSelection() {
  CEntity *pcEntity = GetSelectedEntity();
  CVeskController *pcSelected = GetEditorWindow()->GetSelectedController();
  m_listLines << "view's selection: " + (pcEntity != nullptr
                                             ? QString::fromStdString(pcEntity->GetId())
                                             : QString("none"));
  m_listLines << "editor's selected controller: " +
                     (pcSelected != nullptr ? QString::fromStdString(pcSelected->GetId())
                                            : QString("none"));
  QWidget *pcState = DockContents(*GetEditorWindow(), "StateDock");
  auto *pcLabel = pcState != nullptr ? pcState->findChild<QLabel *>() : nullptr;
  m_listLines << "state heading: " + (pcLabel != nullptr ? pcLabel->text() : "none");
}

void CVeskQTProbe::ReportTrees() {
  QWidget *pcState = DockContents(*GetEditorWindow(), "StateDock");
  QAbstractItemModel *pcVariables = GetEditorWindow()->GetVariableModel();
  QAbstractItemModel *pcFunctions = GetEditorWindow()->GetFunctionModel();
  QTreeView *pcVariableView = ViewOf(pcState, pcVariables);
  m_listLines << QString("trees shown: variables %1, functions %2")
                     .arg(YesNo(pcVariableView != nullptr))
                     .arg(YesNo(ViewOf(pcState, pcFunctions) != nullptr));
  for (const QString &strName : m_listVariables) {
    QModelIndex cRow = FindRow(*pcVariables, strName);
    m_listLines << "variable " + (cRow.isValid() ? RowText(*pcVariables, cRow)
                                                 : strName + " not listed");
    if (pcVariableView != nullptr && m_listExpand.contains(strName))
      pcVariableView->expand(cRow);
  }
  for (const QString &strName : m_listFunctions) {
    /* A function's row reads "name()", a table's "name". */
    QModelIndex cRow = FindRow(*pcFunctions, strName + "()");
    if (!cRow.isValid()) cRow = FindRow(*pcFunctions, strName);
    m_listLines << "function " + (cRow.isValid() ? RowText(*pcFunctions, cRow)
                                                 : strName + " not listed");
  }
}

void CVeskQTProbe::ReportWindows() {
  QWidget &cEditor = *GetEditorWindow();
  const QRect cSim = GetMainWindow().frameGeometry();
  const QRect cEdit = cEditor.frameGeometry();
  const QRect cScreen = GetMainWindow().screen()->availableGeometry();
  /* The numbers depend on the window manager: for the log only. */
  qInfo() << "simulator" << cSim << "editor" << cEdit << "screen" << cScreen;
  m_listLines << QString("editor window: \"%1\", shown: %2")
                     .arg(cEditor.windowTitle())
                     .arg(YesNo(cEditor.isVisible()));
  m_listLines << QString("windows overlap: %1").arg(YesNo(cSim.intersects(cEdit)));
  m_listLines << QString("on the screen: simulator %1, editor %2")
                     .arg(YesNo(cScreen.contains(cSim)))
                     .arg(YesNo(cScreen.contains(cEdit)));
}

void CVeskQTProbe::SavePictures() {
  QDir cDir(m_strShots);
  cDir.mkpath(".");
  QScreen *pcScreen = GetMainWindow().screen();
  const bool bSaved = m_cView.save(cDir.filePath("argos-view.png")) &&
                      GetEditorWindow()->grab().save(cDir.filePath("argos-editor.png")) &&
                      pcScreen->grabWindow(0).save(cDir.filePath("argos-screen.png"));
  m_listLines << QString("pictures saved: %1").arg(YesNo(bSaved));
}

/* Writes the report and closes the simulator's window: ARGoS destroys the
 * user functions and leaves its event loop once no window is left. */
void CVeskQTProbe::Finish(const QString &str_last_line) {
  m_bDone = true;
  m_listLines << str_last_line;
  QFile cFile(m_strReport);
  if (cFile.open(QIODevice::WriteOnly | QIODevice::Text))
    QTextStream(&cFile) << m_listLines.join('\n') << '\n';
  GetMainWindow().close();
}

REGISTER_QTOPENGL_USER_FUNCTIONS(CVeskQTProbe, "vesk_qt_probe")
