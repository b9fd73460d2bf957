/*
 * Stand-in implementation of the simulator's Qt/OpenGL view, main window and
 * user-function hook: enough for user functions to be created, initialised,
 * called for entities and destroyed as the simulator does, with their drawn
 * texts kept for inspection instead of being rendered.
 */
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_main_window.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_user_functions.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_widget.h>

#include <QCloseEvent>

namespace argos {

/****************************************/

CQTOpenGLWidget::CQTOpenGLWidget(QWidget *pc_parent) : QOpenGLWidget(pc_parent) {}

CQTOpenGLWidget::~CQTOpenGLWidget() {}

void CQTOpenGLWidget::SelectEntity(CEntity &c_entity) {
  if (m_pcSelectedEntity == &c_entity) return;
  if (m_pcSelectedEntity != nullptr) DeselectEntity();
  m_pcSelectedEntity = &c_entity;
  emit EntitySelected(&c_entity);
}

void CQTOpenGLWidget::DeselectEntity() {
  if (m_pcSelectedEntity == nullptr) return;
  CEntity *pcOld = m_pcSelectedEntity;
  m_pcSelectedEntity = nullptr;
  emit EntityDeselected(pcOld);
}

/****************************************/

CQTOpenGLMainWindow::CQTOpenGLMainWindow(TConfigurationNode &t_tree)
    : m_pcOpenGLWidget(new CQTOpenGLWidget(this)) {
  setCentralWidget(m_pcOpenGLWidget);
  if (!NodeExists(t_tree, "user_functions")) return;
  TConfigurationNode &tUserFunctions = GetNode(t_tree, "user_functions");
  std::string strLabel;
  GetNodeAttribute(tUserFunctions, "label", strLabel);
  m_pcUserFunctions = CFactory<CQTOpenGLUserFunctions>::New(strLabel);
  m_pcUserFunctions->SetMainWindow(*this);
  try {
    m_pcUserFunctions->Init(tUserFunctions);
  } catch (...) {
    delete m_pcUserFunctions;
    m_pcUserFunctions = nullptr;
    throw;
  }
}

CQTOpenGLMainWindow::~CQTOpenGLMainWindow() {
  delete m_pcUserFunctions;
}

CQTOpenGLUserFunctions &CQTOpenGLMainWindow::GetUserFunctions() {
  if (m_pcUserFunctions == nullptr) THROW_ARGOSEXCEPTION("No user functions configured");
  return *m_pcUserFunctions;
}

void CQTOpenGLMainWindow::closeEvent(QCloseEvent *pc_event) {
  if (m_pcUserFunctions != nullptr) m_pcUserFunctions->Destroy();
  pc_event->accept();
}

/****************************************/

CQTOpenGLUserFunctions::CQTOpenGLUserFunctions() {}

CQTOpenGLUserFunctions::~CQTOpenGLUserFunctions() {}

void CQTOpenGLUserFunctions::KeyPressed(QKeyEvent *) {}

void CQTOpenGLUserFunctions::KeyReleased(QKeyEvent *) {}

CEntity *CQTOpenGLUserFunctions::GetSelectedEntity() {
  return GetQTOpenGLWidget().GetSelectedEntity();
}

void CQTOpenGLUserFunctions::SelectEntity(CEntity &c_entity) {
  GetQTOpenGLWidget().SelectEntity(c_entity);
}

void CQTOpenGLUserFunctions::DeselectEntity() {
  GetQTOpenGLWidget().DeselectEntity();
}

CQTOpenGLMainWindow &CQTOpenGLUserFunctions::GetMainWindow() {
  return *m_pcMainWindow;
}

void CQTOpenGLUserFunctions::SetMainWindow(CQTOpenGLMainWindow &c_main_win) {
  m_pcMainWindow = &c_main_win;
}

CQTOpenGLWidget &CQTOpenGLUserFunctions::GetQTOpenGLWidget() {
  return m_pcMainWindow->GetOpenGLWidget();
}

void CQTOpenGLUserFunctions::SetColor(const CColor &c_color) {
  m_cColor = c_color;
}

void CQTOpenGLUserFunctions::DrawText(const CVector3 &c_position,
                                      const std::string &str_text, const CColor &c_color,
                                      const QFont &) {
  GetQTOpenGLWidget().AddDrawnText({c_position, str_text, c_color});
}

void CQTOpenGLUserFunctions::Call(CEntity &c_entity) {
  auto itFunction = m_mapFunctions.find(std::type_index(typeid(c_entity)));
  if (itFunction != m_mapFunctions.end()) itFunction->second(c_entity);
}

} // namespace argos
