/*
 * Shared helpers of the GUI tests: the application object, per-run settings
 * in a temporary directory, and answering modal dialogs from inside their
 * event loops.
 */
#ifndef TEST_GUI_APP_H
#define TEST_GUI_APP_H

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>

/* Shows texts readably in failure messages. */
inline void PrintTo(const QString &str_text, std::ostream *pc_out) {
  *pc_out << '"' << str_text.toStdString() << '"';
}

/* Directory that holds this run's settings and scratch files. */
QString GuiTestDir();

/* Hands each modal widget that opens, in order, to the next handler. The
 * check runs whenever a dialog's event loop is idle, so no timing is involved;
 * handlers left over when the responder dies were never needed. */
class CModalResponder : public QObject {
public:
  using THandler = std::function<void(QWidget *)>;
  explicit CModalResponder(QList<THandler> list_handlers);
  int Pending() const { return m_listHandlers.size(); }

private:
  void Poll();
  QList<THandler> m_listHandlers;
  QTimer m_cTimer;
};

#endif
