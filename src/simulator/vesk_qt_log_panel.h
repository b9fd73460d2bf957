/*
 * The log panel of the script editor window: what the robots' scripts write
 * with `log` and `debug`, one line per output with the step and the robot,
 * filterable by robot. Controllers may run in other threads than the GUI:
 * they post their output, and the window moves it into the panel after each
 * step (Flush). A `debug` text is listed when it differs from the robot's
 * previous one, so that a script setting the same text at every step does
 * not fill the panel.
 */
#ifndef VESK_QT_LOG_PANEL_H
#define VESK_QT_LOG_PANEL_H

#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QPlainTextEdit;

class CVeskQTLogPanel : public QWidget {
  Q_OBJECT

public:
  /* One output of a script. */
  struct SEntry {
    quint64 Step = 0;
    quint16 Robot = 0;
    bool Debug = false; /* written with `debug`, else with `log` */
    QString Text;
  };

  /* Entries kept; older ones are dropped. */
  static constexpr int MAX_ENTRIES = 20000;

  explicit CVeskQTLogPanel(QWidget *pc_parent = nullptr);

  /* Queues an output of robot un_robot; any thread. */
  void Post(quint16 un_robot, bool b_debug, const QString &str_text);
  /* Shows the queued outputs as written during step un_step; GUI thread. */
  void Flush(quint64 un_step);
  /* Shows only the lines of robot n_robot (-1: of every robot). */
  void SetFilter(int n_robot);
  int GetFilter() const { return m_nFilter; }
  /* The robots that wrote something, in numeric order. */
  QList<quint16> GetRobots() const { return m_mapRobots.keys(); }
  /* The lines shown, oldest first. */
  QStringList GetVisibleLines() const;
  const QList<SEntry> &GetEntries() const { return m_listEntries; }
  /* "[12] R3: text" for a log line, "[12] R3 debug: text" for a debug text. */
  static QString Line(const SEntry &s_entry);

public slots:
  void Clear();

private:
  void ChooseFilter(int n_index);
  void AddRobot(quint16 un_robot);
  void ShowEntries();

  QMutex m_cMutex; /* guards the two members below */
  QList<SEntry> m_listPending;
  QMap<quint16, QString> m_mapLastDebug;

  QList<SEntry> m_listEntries;
  QMap<quint16, bool> m_mapRobots; /* robots in the filter's list */
  int m_nFilter = -1;
  QComboBox *m_pcFilter;
  QPlainTextEdit *m_pcText;
};

#endif
