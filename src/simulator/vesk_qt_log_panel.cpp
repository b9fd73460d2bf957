/*
 * The log panel of the script editor window.
 */
#include "vesk_qt_log_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QScrollBar>
#include <QVBoxLayout>

CVeskQTLogPanel::CVeskQTLogPanel(QWidget *pc_parent)
    : QWidget(pc_parent), m_pcFilter(new QComboBox(this)),
      m_pcText(new QPlainTextEdit(this)) {
  auto *pcLayout = new QVBoxLayout(this);
  pcLayout->setContentsMargins(2, 2, 2, 2);
  /* A narrow bar (no label, a tool button), so that the editor window can
     still be narrowed to the strip beside the simulator's window. */
  auto *pcBar = new QHBoxLayout();
  pcBar->addWidget(m_pcFilter);
  pcBar->addStretch();
  auto *pcClear = new QToolButton(this);
  pcClear->setText(tr("Clear"));
  pcBar->addWidget(pcClear);
  pcLayout->addLayout(pcBar);
  pcLayout->addWidget(m_pcText);
  m_pcFilter->addItem(tr("All robots"), -1);
  m_pcFilter->setToolTip(tr("Whose output to show"));
  m_pcFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_pcFilter->setMinimumContentsLength(3);
  m_pcText->setReadOnly(true);
  m_pcText->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pcText->setMaximumBlockCount(MAX_ENTRIES);
  connect(m_pcFilter, qOverload<int>(&QComboBox::currentIndexChanged), this,
          &CVeskQTLogPanel::ChooseFilter);
  connect(pcClear, &QToolButton::clicked, this, &CVeskQTLogPanel::Clear);
}

void CVeskQTLogPanel::Post(quint16 un_robot, bool b_debug, const QString &str_text) {
  QMutexLocker cLock(&m_cMutex);
  if (b_debug) {
    auto itLast = m_mapLastDebug.find(un_robot);
    if (itLast != m_mapLastDebug.end() && *itLast == str_text) return;
    m_mapLastDebug[un_robot] = str_text;
  }
  m_listPending.append({0, un_robot, b_debug, str_text});
}

void CVeskQTLogPanel::Flush(quint64 un_step) {
  QList<SEntry> listNew;
  {
    QMutexLocker cLock(&m_cMutex);
    listNew.swap(m_listPending);
  }
  if (listNew.isEmpty()) return;
  QStringList listLines;
  for (SEntry &sEntry : listNew) {
    sEntry.Step = un_step;
    m_listEntries.append(sEntry);
    if (!m_mapRobots.contains(sEntry.Robot)) AddRobot(sEntry.Robot);
    if (m_nFilter < 0 || m_nFilter == sEntry.Robot) listLines.append(Line(sEntry));
  }
  while (m_listEntries.size() > MAX_ENTRIES)
    m_listEntries.removeFirst();
  /* One insertion; the view keeps at most MAX_ENTRIES lines itself. */
  QScrollBar *pcScroll = m_pcText->verticalScrollBar();
  const bool bAtEnd = pcScroll->value() == pcScroll->maximum();
  if (!listLines.isEmpty())
    m_pcText->appendPlainText(
        listLines.mid(qMax(0, listLines.size() - MAX_ENTRIES)).join('\n'));
  if (bAtEnd) pcScroll->setValue(pcScroll->maximum());
}

/* The filter's list stays in numeric order: R2 before R10. */
void CVeskQTLogPanel::AddRobot(quint16 un_robot) {
  m_mapRobots.insert(un_robot, true);
  const int nAt = static_cast<int>(m_mapRobots.keys().indexOf(un_robot)) + 1;
  QSignalBlocker cBlocker(m_pcFilter);
  m_pcFilter->insertItem(nAt, QString("R%1").arg(un_robot), un_robot);
}

void CVeskQTLogPanel::SetFilter(int n_robot) {
  const int nIndex = m_pcFilter->findData(n_robot);
  m_pcFilter->setCurrentIndex(nIndex >= 0 ? nIndex : 0);
}

void CVeskQTLogPanel::ChooseFilter(int n_index) {
  m_nFilter = m_pcFilter->itemData(n_index).toInt();
  ShowEntries();
}

void CVeskQTLogPanel::ShowEntries() {
  QStringList listLines;
  for (const SEntry &sEntry : m_listEntries)
    if (m_nFilter < 0 || m_nFilter == sEntry.Robot) listLines.append(Line(sEntry));
  m_pcText->setPlainText(listLines.join('\n'));
  m_pcText->verticalScrollBar()->setValue(m_pcText->verticalScrollBar()->maximum());
}

QStringList CVeskQTLogPanel::GetVisibleLines() const {
  const QString strText = m_pcText->toPlainText();
  return strText.isEmpty() ? QStringList() : strText.split('\n');
}

QString CVeskQTLogPanel::Line(const SEntry &s_entry) {
  return QString("[%1] R%2%3: %4")
      .arg(s_entry.Step)
      .arg(s_entry.Robot)
      .arg(s_entry.Debug ? QStringLiteral(" debug") : QString())
      .arg(QString(s_entry.Text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

void CVeskQTLogPanel::Clear() {
  {
    QMutexLocker cLock(&m_cMutex);
    m_listPending.clear();
    m_mapLastDebug.clear();
  }
  m_listEntries.clear();
  m_mapRobots.clear();
  QSignalBlocker cBlocker(m_pcFilter);
  while (m_pcFilter->count() > 1)
    m_pcFilter->removeItem(1);
  m_pcFilter->setCurrentIndex(0);
  m_nFilter = -1;
  m_pcText->clear();
}
