/*
 * CVeskQTProbe: test-only user functions, registered as "vesk_qt_probe",
 * that run the plug-in's CVeskQT unchanged inside ARGoS's Qt/OpenGL view and
 * write down what it shows: the labels drawn above the robots (and whether
 * they reach the picture), the editor window's tabs and main script, the
 * state trees of a robot selected through the view, and where the two
 * windows lie. Then it closes the simulator's window, which ends argos3.
 *
 * Attributes of the <user_functions> node (all optional):
 *   select="fb2"         entity selected in the view;
 *   select_step="3"      step after which it is selected;
 *   report_step="5"      step after which the report is written (> select_step);
 *   report="gui.txt"     the report, one finding per line;
 *   shots="."            directory of the pictures argos-view.png,
 *                        argos-editor.png and argos-screen.png;
 *   variables="a,b"      globals whose rows of the variable tree are reported;
 *   functions="f,g"      globals whose rows of the function tree are reported;
 *   expand="a"           rows of the variable tree expanded before the pictures.
 * Everything happens on the view's StepDone signal, so the findings depend on
 * step numbers only, never on time.
 */
#ifndef VESK_QT_PROBE_H
#define VESK_QT_PROBE_H

#include "vesk_qt.h"

#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

class CVeskQTProbe : public CVeskQT {
public:
  CVeskQTProbe();

  void Init(argos::TConfigurationNode &t_tree) override;

  using CVeskQT::Draw;
  /* Counts the call and notes the label, then lets CVeskQT draw it, unless
   * this robot's label is held back for the visibility check. */
  void Draw(CVeskController &c_controller) override;

private:
  /* What Draw saw of one robot since the counts were last cleared. */
  struct SDrawn {
    int Calls = 0;
    QStringList Labels; /* distinct, in order of first appearance */
  };

  void OnStep(int n_step);
  void SelectRobot();
  void WriteReport();
  void ReportFactory();
  void ReportLabels();
  void ReportLabelsVisible();
  void ReportTabs();
  void ReportSelection();
  void ReportTrees();
  void ReportWindows();
  void SavePictures();
  /* The view drawn afresh, with the label of m_strHeldBack left out. */
  QImage GrabView(const QString &str_held_back);
  void Finish(const QString &str_last_line);

  QString m_strSelect, m_strReport, m_strShots;
  QStringList m_listVariables, m_listFunctions, m_listExpand;
  int m_nSelectStep = 3, m_nReportStep = 5;
  bool m_bDone = false;
  QMap<QString, SDrawn> m_mapDrawn; /* by the controller's robot id */
  QString m_strHeldBack;
  QImage m_cView; /* the view with every label */
  QStringList m_listLines;
};

#endif
