/*
 * Editor widget for one Vesk script: plain-text editing with a line-number
 * margin, current-line highlight, syntax highlighting, file load and save,
 * and the list of recently used files kept in the application settings.
 */
#ifndef VESK_QT_EDITOR_H
#define VESK_QT_EDITOR_H

#include <QPlainTextEdit>
#include <QString>

class CVeskQTSyntaxHighlighter;

class CVeskQTEditor : public QPlainTextEdit {
  Q_OBJECT

public:
  /* Line-number margin drawn at the left of the editor's viewport. */
  class CLineNumberArea : public QWidget {
  public:
    explicit CLineNumberArea(CVeskQTEditor *pc_editor)
        : QWidget(pc_editor), m_pcEditor(pc_editor) {}
    QSize sizeHint() const override {
      return QSize(m_pcEditor->LineNumberAreaWidth(), 0);
    }

  protected:
    void paintEvent(QPaintEvent *pc_event) override {
      m_pcEditor->LineNumberAreaPaintEvent(pc_event);
    }

  private:
    CVeskQTEditor *m_pcEditor;
  };

  /* Settings group and key of the recent-file list, and its length. */
  static const char *const RECENT_FILES_GROUP;
  static const char *const RECENT_FILES_KEY;
  static const int MAX_RECENT_FILES = 5;

  /* Prepares an editor for the file; the caller then calls Open() or New(). */
  explicit CVeskQTEditor(const QString &str_path);

  void LineNumberAreaPaintEvent(QPaintEvent *pc_event);
  int LineNumberAreaWidth();
  /* Puts the cursor on a source position: line from 1, column from 0. */
  void GoTo(int n_line, int n_column);
  /* Canonical path of the file when it exists, else the path as given. */
  const QString &GetFilePath() const { return m_strFilePath; }

  /* The text New() puts into the editor. */
  static const QString &NewFileText();

signals:
  void RecentFilesChanged();

public slots:
  void New();
  bool Open();
  bool Save();
  bool SaveAs();

protected:
  void resizeEvent(QResizeEvent *pc_event) override;
  void closeEvent(QCloseEvent *pc_event) override;

private slots:
  void UpdateLineNumberAreaWidth(int n_block_count);
  void HighlightCurrentLine();
  void UpdateLineNumberArea(const QRect &c_rect, int n_dy);
  void CodeModified();
  void UpdateRecentFiles();

private:
  void WatchModifications();

  QString m_strFilePath;
  CLineNumberArea *m_pcLineNumberArea;
  CVeskQTSyntaxHighlighter *m_pcSyntaxHighlighter;
};

#endif
