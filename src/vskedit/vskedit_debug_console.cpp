/*
 * vskedit's debugger console. The debugger writes into a memory stream that
 * the console shows after every command and whenever the robot stops.
 */
#include "vskedit_debug_console.h"

#include "vesk_controller.h"

#include <QEventLoop>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <cstring>

CVskEditDebugConsole::CVskEditDebugConsole(QWidget *pc_parent)
    : QWidget(pc_parent), m_pcView(new QPlainTextEdit(this)),
      m_pcInput(new QLineEdit(this)), m_pcStop(new QPushButton(tr("Stop"), this)),
      m_pcDetach(new QPushButton(tr("Detach"), this)) {
  auto *pcLayout = new QVBoxLayout(this);
  pcLayout->setContentsMargins(2, 2, 2, 2);
  m_pcView->setReadOnly(true);
  m_pcView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  pcLayout->addWidget(m_pcView);
  auto *pcBar = new QHBoxLayout();
  m_pcInput->setPlaceholderText(tr("debugger command (help lists them)"));
  pcBar->addWidget(m_pcInput);
  pcBar->addWidget(m_pcStop);
  pcBar->addWidget(m_pcDetach);
  pcLayout->addLayout(pcBar);
  connect(m_pcInput, &QLineEdit::returnPressed, this, [this] {
    const QString strLine = m_pcInput->text();
    m_pcInput->clear();
    Enter(strLine);
  });
  connect(m_pcStop, &QPushButton::clicked, this, &CVskEditDebugConsole::Interrupt);
  connect(m_pcDetach, &QPushButton::clicked, this, &CVskEditDebugConsole::Detach);
  UpdateControls();
}

CVskEditDebugConsole::~CVskEditDebugConsole() {
  Detach();
}

bool CVskEditDebugConsole::Attach(CVeskController *pc_controller) {
  Detach();
  if (IsAttached() || pc_controller == nullptr || pc_controller->GetVeskVM() == nullptr)
    return false;
  m_pfOut = open_memstream(&m_pchOut, &m_unOutSize);
  if (m_pfOut == nullptr) return false;
  m_unShown = 0;
  m_pcController = pc_controller;
  const std::string strName = pc_controller->GetBytecodeFile();
  m_tSession =
      veskdbgcli_attach(strName.c_str(), pc_controller->GetVeskVM(),
                        pc_controller->GetDebugInfo(), ReadLine, this, m_pfOut, m_pfOut);
  Append(tr("Attached to robot R%1 (%2); Stop stops it, help lists the commands\n")
             .arg(pc_controller->GetVeskVM()->robot)
             .arg(QString::fromStdString(pc_controller->GetId())));
  ShowOutput();
  UpdateControls();
  emit AttachedChanged(true);
  return true;
}

void CVskEditDebugConsole::Detach() {
  if (!IsAttached()) return;
  /* A stopped robot first leaves its nested loop: it reads the end of the
   * input, the debugger lets it run on, and the session ends when the
   * event loop runs again, after the step. */
  if (IsStopped()) {
    m_bDetaching = true;
    m_pcWaiting->quit();
    QTimer::singleShot(0, this, &CVskEditDebugConsole::Detach);
    return;
  }
  ShowOutput();
  veskdbgcli_destroy(&m_tSession);
  std::fclose(m_pfOut);
  std::free(m_pchOut);
  m_pfOut = nullptr;
  m_pchOut = nullptr;
  m_unOutSize = m_unShown = 0;
  m_pcController = nullptr;
  m_listLines.clear();
  m_bDetaching = false;
  Append(tr("Detached\n"));
  UpdateControls();
  emit AttachedChanged(false);
}

void CVskEditDebugConsole::Interrupt() {
  if (IsAttached()) veskdbgcli_interrupt(m_tSession);
}

void CVskEditDebugConsole::Enter(const QString &str_line) {
  if (!IsAttached()) return;
  if (m_pcWaiting != nullptr) {
    m_listLines.append(str_line);
    m_pcWaiting->quit();
    return;
  }
  Append("(vskdbg) " + str_line + "\n");
  const QByteArray cLine = str_line.toUtf8();
  if (veskdbgcli_execute(m_tSession, cLine.constData()) == 0) {
    Detach();
    return;
  }
  ShowOutput();
}

void CVskEditDebugConsole::FocusInput() {
  m_pcInput->setFocus();
}

bool CVskEditDebugConsole::GetStopPosition(QString &str_file, int &n_line,
                                           int &n_column) const {
  if (!IsStopped() || m_pcController->GetDebugInfo() == nullptr) return false;
  veskvm_t tVM = m_pcController->GetVeskVM();
  veskdebug_entry_t tEntry = veskdebug_info_get_fromoffset(
      m_pcController->GetDebugInfo(), static_cast<uint32_t>(tVM->pc));
  if (tEntry == nullptr || tEntry->fname == nullptr) return false;
  str_file = QString::fromLocal8Bit(tEntry->fname);
  n_line = static_cast<int>(tEntry->line);
  n_column = static_cast<int>(tEntry->col);
  return true;
}

QString CVskEditDebugConsole::GetOutput() const {
  return m_pcView->toPlainText();
}

int CVskEditDebugConsole::ReadLine(void *pt_data, char *pch_line, size_t un_size) {
  return static_cast<CVskEditDebugConsole *>(pt_data)->WaitForLine(pch_line, un_size);
}

/* Runs the event loop until a command is entered; the end of the input when
 * the session ends or the application quits meanwhile. */
int CVskEditDebugConsole::WaitForLine(char *pch_line, size_t un_size) {
  ShowOutput();
  if (m_listLines.isEmpty() && !m_bDetaching) {
    QEventLoop cLoop;
    m_pcWaiting = &cLoop;
    UpdateControls();
    emit Stopped();
    cLoop.exec();
    m_pcWaiting = nullptr;
    UpdateControls();
  }
  if (m_listLines.isEmpty() || m_bDetaching || un_size == 0) return 0;
  const QString strLine = m_listLines.takeFirst();
  Append("(vskdbg) " + strLine + "\n");
  const QByteArray cLine = strLine.toUtf8();
  const size_t unLength = std::min(un_size - 1, static_cast<size_t>(cLine.size()));
  std::memcpy(pch_line, cLine.constData(), unLength);
  pch_line[unLength] = '\0';
  QTimer::singleShot(0, this, &CVskEditDebugConsole::CheckQuit);
  return 1;
}

void CVskEditDebugConsole::CheckQuit() {
  if (IsAttached() && !IsStopped() && veskdbgcli_quitted(m_tSession)) Detach();
}

void CVskEditDebugConsole::ShowOutput() {
  if (m_pfOut == nullptr) return;
  std::fflush(m_pfOut);
  if (m_unOutSize <= m_unShown) return;
  Append(
      QString::fromUtf8(m_pchOut + m_unShown, static_cast<int>(m_unOutSize - m_unShown)));
  m_unShown = m_unOutSize;
}

void CVskEditDebugConsole::Append(const QString &str_text) {
  QTextCursor cCursor(m_pcView->document());
  cCursor.movePosition(QTextCursor::End);
  cCursor.insertText(str_text);
  m_pcView->ensureCursorVisible();
}

void CVskEditDebugConsole::UpdateControls() {
  m_pcInput->setEnabled(IsAttached());
  m_pcStop->setEnabled(IsAttached() && !IsStopped());
  m_pcDetach->setEnabled(IsAttached());
}
