/*
 * Top view of a vesksim world for vskedit: the arena, its walls, every robot
 * as a disc with a heading line, its lit LEDs and the overlay label beside
 * it, the selected robot outlined. Labels never overlap: the selected
 * robot's and the one under the mouse are placed first, then the others
 * in one of four places around their robot that no label holds yet
 * (preferring places inside the view that cover no robot); labels with no
 * such place are left out.
 * A click on a robot selects it, a click elsewhere clears the selection;
 * both are reported with the robot's entity, as the simulator's 3-D view
 * does.
 */
#ifndef VSKEDIT_ARENA_VIEW_H
#define VSKEDIT_ARENA_VIEW_H

#include "sim_world.h"

#include <QPointF>
#include <QRectF>
#include <QVector>
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

  /* A label as laid out: its robot, text and rectangle in widget
   * coordinates. */
  struct SLabel {
    int Robot;
    QString Text;
    QRectF Rect;
  };
  /* The labels drawn, in drawing order; their rectangles do not overlap. */
  QVector<SLabel> LayOutLabels() const;
  /* The robot under the mouse, or -1. */
  int GetHovered() const { return m_nHovered; }
  void SetHovered(int n_index);
  /* Where LED un_led of robot n_index is drawn: the ring's LEDs around the
   * rim from the front counter-clockwise, the beacon (the last of the
   * foot-bot's 13) in the middle. */
  QPointF LEDPoint(int n_index, size_t un_led) const;

  QSize sizeHint() const override { return QSize(640, 640); }

signals:
  /* Robot n_index of the world was selected, or the selection cleared. */
  void RobotSelected(int n_index);
  void RobotDeselected();

protected:
  void paintEvent(QPaintEvent *pc_event) override;
  void mousePressEvent(QMouseEvent *pc_event) override;
  void mouseMoveEvent(QMouseEvent *pc_event) override;
  void leaveEvent(QEvent *pc_event) override;

private:
  /* Pixels per metre and the view position of the arena's centre. */
  double Scale() const;
  /* Radius of robot n_index's disc, pixels. */
  double DiscRadius(size_t un_index) const;
  void DrawRobot(QPainter &c_painter, size_t un_index);
  void DrawLEDs(QPainter &c_painter, size_t un_index);
  /* Whether a label fits at c_place: clear of the labels placed and, with
   * n_strictness 1, inside the view; with 2, also clear of the robots'
   * discs. */
  bool LabelFits(const QRectF &c_place, const QVector<SLabel> &vec_placed,
                 int n_strictness) const;

  vesksim::CWorld *m_pcWorld = nullptr;
  int m_nSelected = -1;
  int m_nHovered = -1;
};

#endif
