/*
 * Top view of a vesksim world for vskedit: the arena, its walls, every robot
 * as a disc with a heading line and the overlay label above it, the selected
 * robot outlined. A click on a robot selects it, a click elsewhere clears the
 * selection; both are reported with the robot's entity, as the simulator's
 * 3-D view does.
 */
#ifndef VSKEDIT_ARENA_VIEW_H
#define VSKEDIT_ARENA_VIEW_H

#include "sim_world.h"

#include <QPointF>
#include <QWidget>

class CVskEditArenaView : public QWidget {
  Q_OBJECT

public:
  explicit CVskEditArenaView(QWidget *pc_parent = nullptr);

  /* The world to show (not owned; null shows an empty view). Clears the
   * selection without reporting it: the robots it named are gone. */
  void SetWorld(vesksim::CWorld *pc_world);
  /* Index of the selected robot, or -1. */
  int GetSelected() const { return m_nSelected; }
  /* Selects robot n_index (-1: none), reporting the change. */
  void Select(int n_index);

  /* Widget coordinates of a floor point, and the robot under a widget point
   * (-1 for none). */
  QPointF ToView(const argos::CVector2 &c_point) const;
  int RobotAt(const QPointF &c_point) const;
  /* The text drawn above robot n_index. */
  QString Label(int n_index) const;

  QSize sizeHint() const override { return QSize(640, 640); }

signals:
  /* Robot n_index of the world was selected, or the selection cleared. */
  void RobotSelected(int n_index);
  void RobotDeselected();

protected:
  void paintEvent(QPaintEvent *pc_event) override;
  void mousePressEvent(QMouseEvent *pc_event) override;

private:
  /* Pixels per metre and the view position of the arena's centre. */
  double Scale() const;

  vesksim::CWorld *m_pcWorld = nullptr;
  int m_nSelected = -1;
};

#endif
