/*
 * Top view of a vesksim world. World x points right and y up; the arena fills
 * the widget with a margin, keeping its proportions.
 */
#include "vskedit_arena_view.h"
#include "vesk_controller.h"
#include "vesk_overlay_label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

/* Margin around the arena, pixels. */
const double VIEW_MARGIN = 24.0;
/* How far above a robot's disc its label starts, pixels. */
const double LABEL_GAP = 4.0;

QColor BodyColour(const vesksim::SBody &s_body) {
  /* The first lit LED gives the colour; unlit robots are grey. */
  for (const argos::CColor &cLED : s_body.ShownLEDs)
    if (cLED.GetRed() != 0 || cLED.GetGreen() != 0 || cLED.GetBlue() != 0)
      return QColor(cLED.GetRed(), cLED.GetGreen(), cLED.GetBlue());
  return s_body.OnGround() ? QColor(200, 200, 200) : QColor(170, 200, 240);
}

} // namespace

CVskEditArenaView::CVskEditArenaView(QWidget *pc_parent) : QWidget(pc_parent) {
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setMinimumSize(200, 200);
}

void CVskEditArenaView::SetWorld(vesksim::CWorld *pc_world) {
  m_pcWorld = pc_world;
  m_nSelected = -1;
  update();
}

void CVskEditArenaView::Select(int n_index) {
  if (m_pcWorld == nullptr || n_index >= static_cast<int>(m_pcWorld->GetNumRobots()))
    n_index = -1;
  if (n_index == m_nSelected) return;
  if (m_nSelected >= 0) {
    m_nSelected = -1;
    emit RobotDeselected();
  }
  m_nSelected = n_index;
  if (n_index >= 0) emit RobotSelected(n_index);
  update();
}

double CVskEditArenaView::Scale() const {
  if (m_pcWorld == nullptr) return 1.0;
  const argos::CVector3 &cSize = m_pcWorld->GetArenaSize();
  const double fSx = (width() - 2 * VIEW_MARGIN) / std::max(cSize.GetX(), 1e-3);
  const double fSy = (height() - 2 * VIEW_MARGIN) / std::max(cSize.GetY(), 1e-3);
  return std::max(1e-3, std::min(fSx, fSy));
}

QPointF CVskEditArenaView::ToView(const argos::CVector2 &c_point) const {
  if (m_pcWorld == nullptr) return QPointF();
  const argos::CVector3 &cCenter = m_pcWorld->GetArenaCenter();
  const double fScale = Scale();
  return QPointF(width() / 2.0 + (c_point.GetX() - cCenter.GetX()) * fScale,
                 height() / 2.0 - (c_point.GetY() - cCenter.GetY()) * fScale);
}

int CVskEditArenaView::RobotAt(const QPointF &c_point) const {
  if (m_pcWorld == nullptr) return -1;
  const double fScale = Scale();
  int nBest = -1;
  double fBest = 0;
  for (size_t i = 0; i < m_pcWorld->GetNumRobots(); ++i) {
    const vesksim::SBody &sBody = m_pcWorld->GetBody(i);
    const QPointF cDelta = ToView(sBody.Floor()) - c_point;
    const double fDistance = std::hypot(cDelta.x(), cDelta.y());
    /* Small robots stay clickable when the arena is large. */
    const double fReach = std::max(sBody.Radius * fScale, 6.0);
    if (fDistance <= fReach && (nBest < 0 || fDistance < fBest)) {
      nBest = static_cast<int>(i);
      fBest = fDistance;
    }
  }
  return nBest;
}

QString CVskEditArenaView::Label(int n_index) const {
  if (m_pcWorld == nullptr || n_index < 0 ||
      n_index >= static_cast<int>(m_pcWorld->GetNumRobots()))
    return QString();
  auto *pcController = dynamic_cast<CVeskController *>(
      &m_pcWorld->GetBody(static_cast<size_t>(n_index)).Robot->GetController());
  return pcController ? QString::fromStdString(VeskOverlayLabel(*pcController))
                      : QString();
}

void CVskEditArenaView::paintEvent(QPaintEvent *) {
  QPainter cPainter(this);
  cPainter.setRenderHint(QPainter::Antialiasing);
  if (m_pcWorld == nullptr) {
    cPainter.drawText(rect(), Qt::AlignCenter, tr("No experiment loaded"));
    return;
  }
  const double fScale = Scale();
  const argos::CVector3 &cSize = m_pcWorld->GetArenaSize();
  const argos::CVector3 &cCenter = m_pcWorld->GetArenaCenter();
  /* Floor. */
  const QPointF cTopLeft = ToView(argos::CVector2(cCenter.GetX() - cSize.GetX() / 2,
                                                  cCenter.GetY() + cSize.GetY() / 2));
  cPainter.setPen(QPen(Qt::darkGray, 1));
  cPainter.setBrush(QColor(245, 245, 235));
  cPainter.drawRect(
      QRectF(cTopLeft, QSizeF(cSize.GetX() * fScale, cSize.GetY() * fScale)));
  /* Walls: boxes rotated about their centre (view y points down, so the
   * rotation is negated). */
  cPainter.setBrush(QColor(120, 90, 60));
  cPainter.setPen(Qt::NoPen);
  for (const vesksim::SWall &sWall : m_pcWorld->GetWalls()) {
    cPainter.save();
    cPainter.translate(ToView(sWall.Center));
    cPainter.rotate(-sWall.Yaw * 180.0 / M_PI);
    const double fHx = sWall.HalfSize.GetX() * fScale,
                 fHy = sWall.HalfSize.GetY() * fScale;
    cPainter.drawRect(QRectF(-fHx, -fHy, 2 * fHx, 2 * fHy));
    cPainter.restore();
  }
  /* Robots, then their labels on top. */
  for (size_t i = 0; i < m_pcWorld->GetNumRobots(); ++i) {
    const vesksim::SBody &sBody = m_pcWorld->GetBody(i);
    const QPointF cAt = ToView(sBody.Floor());
    const double fRadius = std::max(sBody.Radius * fScale, 3.0);
    const bool bSelected = static_cast<int>(i) == m_nSelected;
    cPainter.setPen(bSelected ? QPen(Qt::red, 3) : QPen(Qt::black, 1));
    cPainter.setBrush(BodyColour(sBody));
    cPainter.drawEllipse(cAt, fRadius, fRadius);
    cPainter.setPen(QPen(Qt::black, 1.5));
    cPainter.drawLine(cAt,
                      cAt + QPointF(std::cos(sBody.Yaw), -std::sin(sBody.Yaw)) * fRadius);
  }
  cPainter.setPen(Qt::black);
  const QFontMetricsF cMetrics(font());
  for (size_t i = 0; i < m_pcWorld->GetNumRobots(); ++i) {
    const QString strLabel = Label(static_cast<int>(i));
    if (strLabel.isEmpty()) continue;
    const vesksim::SBody &sBody = m_pcWorld->GetBody(i);
    const QPointF cAt = ToView(sBody.Floor());
    const double fRadius = std::max(sBody.Radius * fScale, 3.0);
    cPainter.drawText(QPointF(cAt.x() - cMetrics.horizontalAdvance(strLabel) / 2,
                              cAt.y() - fRadius - LABEL_GAP),
                      strLabel);
  }
  cPainter.drawText(QPointF(6, cMetrics.ascent() + 4),
                    tr("step %1").arg(m_pcWorld->GetClock()));
}

void CVskEditArenaView::mousePressEvent(QMouseEvent *pc_event) {
  if (pc_event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(pc_event);
    return;
  }
  Select(RobotAt(pc_event->localPos()));
}
