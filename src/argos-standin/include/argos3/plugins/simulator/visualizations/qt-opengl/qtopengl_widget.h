/*
 * The 3-D view of the simulator's GUI. In the stand-in it draws nothing: it
 * carries the view's signals (step done, entity selected and deselected),
 * keeps the selected entity, and records the texts that user functions
 * draw so that tests can read them.
 */
#ifndef ARGOS_QTOPENGL_WIDGET_H
#define ARGOS_QTOPENGL_WIDGET_H

#include <argos3/core/simulator/entity/entity.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/math/vector3.h>

#include <QOpenGLWidget>

#include <string>
#include <vector>

namespace argos {

class CQTOpenGLWidget : public QOpenGLWidget {
  Q_OBJECT

public:
  // One call of CQTOpenGLUserFunctions::DrawText (stand-in only).
  struct SDrawnText {
    CVector3 Position;
    std::string Text;
    CColor Color;
  };

  explicit CQTOpenGLWidget(QWidget *pc_parent = nullptr);
  virtual ~CQTOpenGLWidget();

  CEntity *GetSelectedEntity() { return m_pcSelectedEntity; }
  // Both emit the matching signal, as a click in the view does.
  void SelectEntity(CEntity &c_entity);
  void DeselectEntity();

  // Stand-in only: the texts drawn since the last ClearDrawnTexts().
  const std::vector<SDrawnText> &GetDrawnTexts() const { return m_vecDrawnTexts; }
  void ClearDrawnTexts() { m_vecDrawnTexts.clear(); }
  void AddDrawnText(const SDrawnText &s_text) { m_vecDrawnTexts.push_back(s_text); }

signals:
  void StepDone(int n_step);
  void ExperimentDone();
  void EntitySelected(CEntity *pc_entity);
  void EntityDeselected(CEntity *pc_entity);

private:
  CEntity *m_pcSelectedEntity = nullptr;
  std::vector<SDrawnText> m_vecDrawnTexts;
};

} // namespace argos

#endif
