/*
 * Hook of a plug-in into the simulator's Qt/OpenGL view: per-entity drawing
 * functions registered by entity type, drawing helpers, and notifications of
 * the view's events. The stand-in dispatches Call() on the entity's dynamic
 * type and implements DrawText by recording the text in the view.
 */
#ifndef ARGOS_QTOPENGL_USER_FUNCTIONS_H
#define ARGOS_QTOPENGL_USER_FUNCTIONS_H

#include <argos3/core/simulator/entity/entity.h>
#include <argos3/core/utility/configuration/base_configurable_resource.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector3.h>
#include <argos3/core/utility/plugins/factory.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_main_window.h>
#include <argos3/plugins/simulator/visualizations/qt-opengl/qtopengl_widget.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <functional>
#include <map>
#include <string>
#include <typeindex>

namespace argos {

class CFloorEntity;

class CQTOpenGLUserFunctions : public CBaseConfigurableResource {
public:
  CQTOpenGLUserFunctions();
  virtual ~CQTOpenGLUserFunctions();

  virtual void Init(TConfigurationNode &) {}
  virtual void Reset() {}
  virtual void Destroy() {}

  virtual void KeyPressed(QKeyEvent *pc_event);
  virtual void KeyReleased(QKeyEvent *pc_event);
  virtual void MouseKeyPressed(QMouseEvent *) {}
  virtual void MouseKeyReleased(QMouseEvent *) {}
  virtual void MouseMoved(QMouseEvent *) {}
  virtual void EntitySelected(CEntity &) {}
  virtual void EntityDeselected(CEntity &) {}
  virtual void EntityMoved(CEntity &, const CVector3 &, const CVector3 &) {}
  virtual void EntityRotated(CEntity &, const CQuaternion &, const CQuaternion &) {}

  CEntity *GetSelectedEntity();
  virtual void SelectEntity(CEntity &c_entity);
  virtual void DeselectEntity();

  virtual void Draw(CFloorEntity &) {}
  virtual void DrawInWorld() {}
  virtual void DrawOverlay(QPainter &) {}

  // Valid once the main window has called SetMainWindow (from Init on).
  CQTOpenGLMainWindow &GetMainWindow();
  void SetMainWindow(CQTOpenGLMainWindow &c_main_win);
  CQTOpenGLWidget &GetQTOpenGLWidget();
  void SetColor(const CColor &c_color);
  // c_position is relative to the entity being drawn, in metres.
  void DrawText(const CVector3 &c_position, const std::string &str_text,
                const CColor &c_color = CColor::BLACK, const QFont &c_font = QFont());

  // Makes pt_function the drawing function of entities of type ENTITY.
  template <typename USER_IMPL, typename ENTITY>
  void RegisterUserFunction(void (USER_IMPL::*pt_function)(ENTITY &)) {
    m_mapFunctions[std::type_index(typeid(ENTITY))] = [this,
                                                       pt_function](CEntity &c_entity) {
      (static_cast<USER_IMPL *>(this)->*pt_function)(static_cast<ENTITY &>(c_entity));
    };
  }
  // Runs the drawing function registered for the entity's type, if any.
  virtual void Call(CEntity &c_entity);

private:
  CQTOpenGLMainWindow *m_pcMainWindow = nullptr;
  CColor m_cColor;
  std::map<std::type_index, std::function<void(CEntity &)>> m_mapFunctions;
};

} // namespace argos

#define REGISTER_QTOPENGL_USER_FUNCTIONS(CLASSNAME, LABEL)                               \
  REGISTER_SYMBOL(CQTOpenGLUserFunctions, CLASSNAME, LABEL, "undefined", "undefined",    \
                  "undefined", "undefined", "undefined")

#endif
