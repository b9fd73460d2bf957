/*
 * Editor widget for one Vesk script. The line-number margin is a child widget
 * placed over the viewport's left margin; its width follows the number of
 * digits of the line count.
 */
#include "vesk_qt_editor.h"
#include "vesk_qt_syntax_highlighter.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QTextBlock>
#include <QTextStream>

const char *const CVeskQTEditor::RECENT_FILES_GROUP = "VeskEditor";
const char *const CVeskQTEditor::RECENT_FILES_KEY = "recentFiles";

namespace {

/* Canonical form of a path that names an existing file; any other path as given. */
QString CanonicalOrGiven(const QString &str_path) {
  QFileInfo cInfo(str_path);
  return cInfo.exists() ? cInfo.canonicalFilePath() : str_path;
}

/* Shows the wait cursor for the lifetime of the object. */
struct CWaitCursor {
  CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
  CWaitCursor(const CWaitCursor &) = delete;
  CWaitCursor &operator=(const CWaitCursor &) = delete;
};

} // namespace

const QString &CVeskQTEditor::NewFileText() {
  static const QString strText(
      "# Use Shift + Click to select a robot\n"
      "# When a robot is selected, its variables appear in this editor\n"
      "\n"
      "# Use Ctrl + Click (Cmd + Click on Mac) to move a selected robot to a different "
      "location\n"
      "\n"
      "\n"
      "\n"
      "# Put your global variables here\n"
      "\n"
      "\n"
      "\n"
      "# This function is executed every time you press the 'execute' button\n"
      "function init() {\n"
      "   # put your code here\n"
      "}\n"
      "\n"
      "\n"
      "\n"
      "# This function is executed at each time step\n"
      "# It must contain the logic of your controller\n"
      "function step() {\n"
      "   # put your code here\n"
      "}\n"
      "\n"
      "\n"
      "\n"
      "# This function is executed every time you press the 'reset'\n"
      "# button in the GUI. It is supposed to restore the state\n"
      "# of the controller to whatever it was right after init() was\n"
      "# called. The state of sensors and actuators is reset\n"
      "# automatically by ARGoS.\n"
      "function reset() {\n"
      "   # put your code here\n"
      "}\n"
      "\n"
      "\n"
      "\n"
      "# This function is executed only once, when the robot is removed\n"
      "# from the simulation\n"
      "function destroy() {\n"
      "   # put your code here\n"
      "}\n");
  return strText;
}

CVeskQTEditor::CVeskQTEditor(const QString &str_path)
    : m_strFilePath(CanonicalOrGiven(str_path)) {
  setAttribute(Qt::WA_DeleteOnClose);
  QFont cFont;
  cFont.setFamily("Monospace");
  cFont.setStyleHint(QFont::Monospace, QFont::PreferDefault);
  cFont.setFixedPitch(true);
  cFont.setWeight(75);
  setFont(cFont);
  setTabStopDistance(2 * QFontMetricsF(cFont).horizontalAdvance(' '));
  m_pcSyntaxHighlighter = new CVeskQTSyntaxHighlighter(document());
  m_pcLineNumberArea = new CLineNumberArea(this);
  connect(this, &QPlainTextEdit::blockCountChanged, this,
          &CVeskQTEditor::UpdateLineNumberAreaWidth);
  connect(this, &QPlainTextEdit::updateRequest, this,
          &CVeskQTEditor::UpdateLineNumberArea);
  connect(this, &QPlainTextEdit::cursorPositionChanged, this,
          &CVeskQTEditor::HighlightCurrentLine);
  UpdateLineNumberAreaWidth(0);
  HighlightCurrentLine();
}

void CVeskQTEditor::New() {
  setPlainText(NewFileText());
  WatchModifications();
  document()->setModified(true);
  UpdateRecentFiles();
}

bool CVeskQTEditor::Open() {
  QFile cFile(m_strFilePath);
  if (!cFile.open(QFile::ReadOnly | QFile::Text)) return false;
  {
    CWaitCursor cWait;
    QTextStream cStream(&cFile);
    cStream.setCodec("UTF-8");
    setPlainText(cStream.readAll());
    WatchModifications();
    UpdateRecentFiles();
  }
  return true;
}

bool CVeskQTEditor::Save() {
  QFile cFile(m_strFilePath);
  if (!cFile.open(QFile::WriteOnly | QFile::Truncate | QFile::Text)) {
    QMessageBox::warning(
        this, tr("Vesk Editor"),
        tr("Cannot write file %1:\n%2.").arg(m_strFilePath).arg(cFile.errorString()),
        QMessageBox::Ok);
    return false;
  }
  CWaitCursor cWait;
  QTextStream cStream(&cFile);
  cStream.setCodec("UTF-8");
  cStream << toPlainText();
  cStream.flush();
  document()->setModified(false);
  return true;
}

bool CVeskQTEditor::SaveAs() {
  QString strNewPath = QFileDialog::getSaveFileName(this, tr("Save file"), m_strFilePath,
                                                    tr("Vesk scripts (*.vsk)"));
  if (strNewPath.isEmpty()) return false;
  m_strFilePath = CanonicalOrGiven(strNewPath);
  UpdateRecentFiles();
  return Save();
}

void CVeskQTEditor::GoTo(int n_line, int n_column) {
  QTextCursor cCursor(document());
  cCursor.movePosition(QTextCursor::Start);
  /* Moves by text lines (blocks), not by wrapped screen lines. */
  cCursor.movePosition(QTextCursor::NextBlock, QTextCursor::MoveAnchor,
                       qMax(0, n_line - 1));
  cCursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor,
                       qMax(0, n_column + 1));
  setTextCursor(cCursor);
}

int CVeskQTEditor::LineNumberAreaWidth() {
  int nDigits = 1;
  for (int nMax = qMax(1, blockCount()); nMax >= 10; nMax /= 10)
    ++nDigits;
  return nDigits * fontMetrics().horizontalAdvance(QLatin1Char('9')) + 3;
}

void CVeskQTEditor::UpdateLineNumberAreaWidth(int) {
  setViewportMargins(LineNumberAreaWidth(), 0, 0, 0);
}

void CVeskQTEditor::resizeEvent(QResizeEvent *pc_event) {
  QPlainTextEdit::resizeEvent(pc_event);
  QRect cContents = contentsRect();
  m_pcLineNumberArea->setGeometry(QRect(cContents.left(), cContents.top(),
                                        LineNumberAreaWidth(), cContents.height()));
}

void CVeskQTEditor::UpdateLineNumberArea(const QRect &c_rect, int n_dy) {
  if (n_dy != 0) {
    m_pcLineNumberArea->scroll(0, n_dy);
  } else {
    m_pcLineNumberArea->update(0, c_rect.y(), m_pcLineNumberArea->width(),
                               c_rect.height());
  }
  if (c_rect.contains(viewport()->rect())) UpdateLineNumberAreaWidth(0);
}

void CVeskQTEditor::LineNumberAreaPaintEvent(QPaintEvent *pc_event) {
  QPainter cPainter(m_pcLineNumberArea);
  const QRect &cArea = pc_event->rect();
  cPainter.fillRect(cArea, Qt::lightGray);
  cPainter.setPen(Qt::black);
  QTextBlock cBlock = firstVisibleBlock();
  int nTop = qRound(blockBoundingGeometry(cBlock).translated(contentOffset()).top());
  int nBottom = nTop + qRound(blockBoundingRect(cBlock).height());
  while (cBlock.isValid() && nTop <= cArea.bottom()) {
    if (cBlock.isVisible() && nBottom >= cArea.top()) {
      cPainter.drawText(0, nTop, m_pcLineNumberArea->width(), fontMetrics().height(),
                        Qt::AlignRight, QString::number(cBlock.blockNumber() + 1));
    }
    cBlock = cBlock.next();
    nTop = nBottom;
    nBottom = nTop + qRound(blockBoundingRect(cBlock).height());
  }
}

void CVeskQTEditor::HighlightCurrentLine() {
  QList<QTextEdit::ExtraSelection> lstSelections;
  if (!isReadOnly()) {
    QTextEdit::ExtraSelection sSelection;
    sSelection.format.setBackground(QColor(Qt::yellow).lighter(160));
    sSelection.format.setProperty(QTextFormat::FullWidthSelection, true);
    sSelection.cursor = textCursor();
    sSelection.cursor.clearSelection();
    lstSelections.append(sSelection);
  }
  setExtraSelections(lstSelections);
}

void CVeskQTEditor::CodeModified() {
  setWindowModified(document()->isModified());
}

/* Unique, so that opening a file twice in one editor reports changes once. */
void CVeskQTEditor::WatchModifications() {
  connect(document(), &QTextDocument::contentsChanged, this, &CVeskQTEditor::CodeModified,
          Qt::UniqueConnection);
}

void CVeskQTEditor::closeEvent(QCloseEvent *pc_event) {
  if (!document()->isModified()) {
    pc_event->accept();
    return;
  }
  QMessageBox::StandardButton eAnswer = QMessageBox::warning(
      this, tr("Vesk editor"),
      tr("'%1' has been modified. Do you want to save your changes?").arg(m_strFilePath),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  if (eAnswer == QMessageBox::Save) {
    pc_event->setAccepted(Save());
  } else if (eAnswer == QMessageBox::Discard) {
    pc_event->accept();
  } else {
    pc_event->ignore();
  }
}

void CVeskQTEditor::UpdateRecentFiles() {
  QSettings cSettings;
  cSettings.beginGroup(RECENT_FILES_GROUP);
  QStringList lstFiles = cSettings.value(RECENT_FILES_KEY).toStringList();
  lstFiles.removeAll(m_strFilePath);
  lstFiles.prepend(m_strFilePath);
  while (lstFiles.size() > MAX_RECENT_FILES)
    lstFiles.removeLast();
  cSettings.setValue(RECENT_FILES_KEY, lstFiles);
  cSettings.endGroup();
  emit RecentFilesChanged();
}
