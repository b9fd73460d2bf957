/*
 * Tabs of the script editor window: one CVeskQTEditor per tab, closable,
 * reporting every removed tab so that the window can update its actions.
 */
#ifndef VESK_QT_TAB_WIDGET_H
#define VESK_QT_TAB_WIDGET_H

#include <QTabWidget>

class CVeskQTEditor;

class CVeskQTTabWidget : public QTabWidget {
  Q_OBJECT

public:
  explicit CVeskQTTabWidget(QWidget *pc_parent = nullptr);

  /* The editor of tab n_idx; null for an index out of range. */
  CVeskQTEditor *Editor(int n_idx) const;
  /* The tab of the editor, or -1. */
  int IndexOf(const CVeskQTEditor *pc_editor) const;

signals:
  void TabRemoved();

protected:
  void tabRemoved(int n_idx) override;
};

#endif
