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

#include <algorithm>
#include <cmath>

namespace {

/* Margin around the arena, pixels. */
const double VIEW_MARGIN = 24.0;
/* How far from a robot's disc its label is, pixels. */
const double LABEL_GAP = 4.0;
/* Padding around a label's text inside its rectangle, pixels. */
const double LABEL_PAD = 2.0;
/* The ring's LEDs lie at this fraction of the disc's radius; LED dots have
 * this fraction of it as their radius (never below MIN_LED_RADIUS pixels). */
const double LED_RING = 0.68;
const double LED_SIZE = 0.24;
const double MIN_LED_RADIUS = 2.0;
/* A foot-bot's ring: twelve LEDs, one every 30 degrees; then the beacon. */
const size_t RING_LEDS = 12;

QColor BodyColour(const vesksim::SBody &s_body) {
  return s_body.OnGround() ? QColor(200, 200, 200) : QColor(170, 200, 240);
}

bool Lit(const argos::CColor &c_color) {
  return c_color.GetRed() != 0 || c_color.GetGreen() != 0 || c_color.GetBlue() != 0;
}

} // namespace

CVskEditArenaView::CVskEditArenaView(QWidget *pc_parent) : QWidget(pc_parent) {
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setMinimumSize(200, 200);
  setMouseTracking(true);
}

void CVskEditArenaView::SetWorld(vesksim::CWorld *pc_world) {
  m_pcWorld = pc_world;
  m_nSelected = -1;
  m_nHovered = -1;
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
  for (size_t i = 0; i < m_pcWorld->GetNumRobots(); ++i)
    DrawRobot(cPainter, i);
  const QFontMetricsF cMetrics(font());
  for (const SLabel &sLabel : LayOutLabels()) {
    cPainter.setPen(Qt::NoPen);
    cPainter.setBrush(QColor(255, 255, 255, 200));
    cPainter.drawRect(sLabel.Rect);
    cPainter.setPen(Qt::black);
    cPainter.drawText(sLabel.Rect, Qt::AlignCenter, sLabel.Text);
  }
  cPainter.drawText(QPointF(6, cMetrics.ascent() + 4),
                    tr("step %1").arg(m_pcWorld->GetClock()));
}

double CVskEditArenaView::DiscRadius(size_t un_index) const {
  return std::max(m_pcWorld->GetBody(un_index).Radius * Scale(), 3.0);
}

void CVskEditArenaView::DrawRobot(QPainter &c_painter, size_t un_index) {
  const vesksim::SBody &sBody = m_pcWorld->GetBody(un_index);
  const QPointF cAt = ToView(sBody.Floor());
  const double fRadius = DiscRadius(un_index);
  const bool bSelected = static_cast<int>(un_index) == m_nSelected;
  c_painter.setPen(bSelected ? QPen(Qt::red, 3) : QPen(Qt::black, 1));
  c_painter.setBrush(BodyColour(sBody));
  c_painter.drawEllipse(cAt, fRadius, fRadius);
  DrawLEDs(c_painter, un_index);
  /* The heading on top, so that lit LEDs do not hide it. */
  c_painter.setPen(QPen(Qt::black, 1.5));
  c_painter.drawLine(cAt,
                     cAt + QPointF(std::cos(sBody.Yaw), -std::sin(sBody.Yaw)) * fRadius);
}

/* The LEDs as the robot's controller set them, lit ones only. */
void CVskEditArenaView::DrawLEDs(QPainter &c_painter, size_t un_index) {
  const vesksim::SBody &sBody = m_pcWorld->GetBody(un_index);
  if (sBody.LEDs == nullptr) return;
  const double fRadius = DiscRadius(un_index);
  const double fDot = std::max(fRadius * LED_SIZE, MIN_LED_RADIUS);
  const auto &vecLEDs = sBody.LEDs->GetSettings();
  c_painter.setPen(Qt::NoPen);
  for (size_t i = 0; i < vecLEDs.size(); ++i) {
    if (!Lit(vecLEDs[i])) continue;
    const argos::CColor &cColor = vecLEDs[i];
    c_painter.setBrush(QColor(cColor.GetRed(), cColor.GetGreen(), cColor.GetBlue()));
    const double fSize = i < RING_LEDS ? fDot : fDot * 2;
    c_painter.drawEllipse(LEDPoint(static_cast<int>(un_index), i), fSize, fSize);
  }
}

QPointF CVskEditArenaView::LEDPoint(int n_index, size_t un_led) const {
  if (m_pcWorld == nullptr || n_index < 0 ||
      n_index >= static_cast<int>(m_pcWorld->GetNumRobots()))
    return QPointF();
  const vesksim::SBody &sBody = m_pcWorld->GetBody(static_cast<size_t>(n_index));
  const QPointF cAt = ToView(sBody.Floor());
  if (un_led >= RING_LEDS) return cAt;
  const double fAngle = sBody.Yaw + static_cast<double>(un_led) * 2 * M_PI / RING_LEDS;
  const double fRing = DiscRadius(static_cast<size_t>(n_index)) * LED_RING;
  return cAt + QPointF(std::cos(fAngle), -std::sin(fAngle)) * fRing;
}

QVector<CVskEditArenaView::SLabel> CVskEditArenaView::LayOutLabels() const {
  QVector<SLabel> vecLabels;
  if (m_pcWorld == nullptr) return vecLabels;
  const int nRobots = static_cast<int>(m_pcWorld->GetNumRobots());
  /* The selected robot first, then the one under the mouse, then the rest. */
  QVector<int> vecOrder;
  for (int n : {m_nSelected, m_nHovered})
    if (n >= 0 && n < nRobots && !vecOrder.contains(n)) vecOrder.append(n);
  for (int i = 0; i < nRobots; ++i)
    if (!vecOrder.contains(i)) vecOrder.append(i);
  const QFontMetricsF cMetrics(font());
  for (int nRobot : vecOrder) {
    const QString strText = Label(nRobot);
    if (strText.isEmpty()) continue;
    const QSizeF cSize(cMetrics.horizontalAdvance(strText) + 2 * LABEL_PAD,
                       cMetrics.height() + 2 * LABEL_PAD);
    const QPointF cAt = ToView(m_pcWorld->GetBody(static_cast<size_t>(nRobot)).Floor());
    const double fOff = DiscRadius(static_cast<size_t>(nRobot)) + LABEL_GAP;
    const double fW = cSize.width(), fH = cSize.height();
    /* Above, below, right of and left of the robot. */
    const QRectF acPlaces[] = {
        QRectF(QPointF(cAt.x() - fW / 2, cAt.y() - fOff - fH), cSize),
        QRectF(QPointF(cAt.x() - fW / 2, cAt.y() + fOff), cSize),
        QRectF(QPointF(cAt.x() + fOff, cAt.y() - fH / 2), cSize),
        QRectF(QPointF(cAt.x() - fOff - fW, cAt.y() - fH / 2), cSize)};
    /* A place inside the view clear of other robots if there is one, else
     * one inside the view, else any place clear of the labels placed. */
    const QRectF *pcPlace = nullptr;
    for (int nStrictness : {2, 1, 0})
      for (const QRectF &cPlace : acPlaces)
        if (pcPlace == nullptr && LabelFits(cPlace, vecLabels, nStrictness))
          pcPlace = &cPlace;
    if (pcPlace != nullptr) vecLabels.append({nRobot, strText, *pcPlace});
  }
  return vecLabels;
}

bool CVskEditArenaView::LabelFits(const QRectF &c_place,
                                  const QVector<SLabel> &vec_placed,
                                  int n_strictness) const {
  for (const SLabel &sPlaced : vec_placed)
    if (sPlaced.Rect.intersects(c_place)) return false;
  if (n_strictness >= 1 && !QRectF(rect()).contains(c_place)) return false;
  if (n_strictness < 2) return true;
  for (size_t i = 0; i < m_pcWorld->GetNumRobots(); ++i) {
    const QPointF cAt = ToView(m_pcWorld->GetBody(i).Floor());
    const double fRadius = DiscRadius(i);
    if (c_place.intersects(
            QRectF(cAt.x() - fRadius, cAt.y() - fRadius, 2 * fRadius, 2 * fRadius)))
      return false;
  }
  return true;
}

void CVskEditArenaView::SetHovered(int n_index) {
  if (n_index == m_nHovered) return;
  m_nHovered = n_index;
  update();
}

void CVskEditArenaView::mouseMoveEvent(QMouseEvent *pc_event) {
  SetHovered(RobotAt(pc_event->localPos()));
  QWidget::mouseMoveEvent(pc_event);
}

void CVskEditArenaView::leaveEvent(QEvent *pc_event) {
  SetHovered(-1);
  QWidget::leaveEvent(pc_event);
}

void CVskEditArenaView::mousePressEvent(QMouseEvent *pc_event) {
  if (pc_event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(pc_event);
    return;
  }
  Select(RobotAt(pc_event->localPos()));
}
