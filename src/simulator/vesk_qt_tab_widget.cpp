/*
 * Tabs of the script editor window.
 */
#include "vesk_qt_tab_widget.h"
#include "vesk_qt_editor.h"

CVeskQTTabWidget::CVeskQTTabWidget(QWidget *pc_parent) : QTabWidget(pc_parent) {
  setTabsClosable(true);
  setMovable(true);
  setDocumentMode(true);
}

CVeskQTEditor *CVeskQTTabWidget::Editor(int n_idx) const {
  return qobject_cast<CVeskQTEditor *>(widget(n_idx));
}

int CVeskQTTabWidget::IndexOf(const CVeskQTEditor *pc_editor) const {
  for (int i = 0; i < count(); ++i)
    if (widget(i) == pc_editor) return i;
  return -1;
}

void CVeskQTTabWidget::tabRemoved(int) {
  emit TabRemoved();
}
