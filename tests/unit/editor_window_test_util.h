/*
 * Helpers of the editor window tests: script files in the run's scratch
 * directory, robots running Vesk controllers in the headless world's robot
 * harness (listed, while they exist, by LiveControllers(), the tests' source
 * of controllers for the window), and reading a state tree model by row name.
 */
#ifndef EDITOR_WINDOW_TEST_UTIL_H
#define EDITOR_WINDOW_TEST_UTIL_H

#include "test_gui_app.h"

#include "sim_robot.h"
#include "vesk_qt_main_window.h"
#include "vesk_controller.h"

#include <argos3/core/utility/configuration/argos_configuration.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTextStream>

#include <gtest/gtest.h>

#include <QVector>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace editor_test {

/* Writes a file under the scratch directory and returns its canonical path. */
inline QString WriteScript(const QString &str_name, const QString &str_text) {
  const QString strPath = QDir(GuiTestDir()).filePath(str_name);
  QFile cFile(strPath);
  EXPECT_TRUE(cFile.open(QFile::WriteOnly | QFile::Truncate | QFile::Text));
  QTextStream(&cFile) << str_text;
  cFile.close();
  return QFileInfo(strPath).canonicalFilePath();
}

inline QString ReadFile(const QString &str_path) {
  QFile cFile(str_path);
  if (!cFile.open(QFile::ReadOnly | QFile::Text)) return QString();
  return QTextStream(&cFile).readAll();
}

/* A robot whose controller is built from XML by the robot harness;
 * str_params is the attribute text of <params>. */
class CRobot {
public:
  CRobot(const std::string &str_id, const std::string &str_label,
         const std::string &str_params = "") {
    m_cDocument.Parse(
        "<" + str_label +
        " id=\"c\"><actuators><range_and_bearing implementation=\"default\"/>"
        "</actuators><sensors><range_and_bearing implementation=\"medium\" "
        "medium=\"rab\"/></sensors><params " +
        str_params + "/></" + str_label + ">");
    vesksim::SRobotSettings sSettings;
    sSettings.RABDataSize = 64;
    m_pcRobot = std::make_unique<vesksim::CRobot>(
        str_id, *m_cDocument.FirstChildElement(), sSettings);
    Live()[str_id] = this;
  }
  ~CRobot() { Live().erase(m_pcRobot->GetId()); }
  vesksim::CRobot &Robot() { return *m_pcRobot; }
  CVeskController *Vesk() {
    return dynamic_cast<CVeskController *>(&m_pcRobot->GetController());
  }
  /* The robots that exist, by id. */
  static std::map<std::string, CRobot *> &Live() {
    static std::map<std::string, CRobot *> mapLive;
    return mapLive;
  }

private:
  ticpp::Document m_cDocument;
  std::unique_ptr<vesksim::CRobot> m_pcRobot;
};

/* The Vesk controllers of the robots that exist, ordered by robot id as the
 * simulator's space orders them. */
inline QVector<CVeskController *> LiveControllers() {
  QVector<CVeskController *> vecControllers;
  for (auto &tEntry : CRobot::Live())
    if (CVeskController *pcVesk = tEntry.second->Vesk()) vecControllers.append(pcVesk);
  return vecControllers;
}

/* Params naming a compiled script. */
inline std::string ScriptParams(const QString &str_bytecode, const QString &str_debug) {
  return "bytecode_file=\"" + str_bytecode.toStdString() + "\" debug_file=\"" +
         str_debug.toStdString() + "\"";
}

/* The row named str_name under the parent, or an invalid index. */
inline QModelIndex Row(const QAbstractItemModel &c_model, const QString &str_name,
                       const QModelIndex &c_parent = QModelIndex()) {
  for (int i = 0; i < c_model.rowCount(c_parent); ++i) {
    QModelIndex cIndex = c_model.index(i, 0, c_parent);
    if (c_model.data(cIndex).toString() == str_name) return cIndex;
  }
  return QModelIndex();
}

/* The value column of the row named str_name (empty when there is none). */
inline QString Value(const QAbstractItemModel &c_model, const QString &str_name) {
  QModelIndex cIndex = Row(c_model, str_name);
  return cIndex.isValid() ? c_model.data(cIndex.siblingAtColumn(1)).toString()
                          : QString();
}

/* A foot-bot of an experiment: "fb<Id>" at (X, Y). */
struct SRobotAt {
  int Id;
  double X, Y;
};

/* Writes the experiment file str_name: foot-bots with LEDs running the
 * script str_script (compiled beside it) in a 4 x 4 m arena at 2 ticks a
 * second, for n_length seconds (twice as many steps). */
inline QString WriteFootBotExperiment(const QString &str_name, const QString &str_script,
                                      const std::vector<SRobotAt> &vec_robots,
                                      int n_length) {
  CVeskQTMainWindow::SBuild sBuild;
  EXPECT_TRUE(CVeskQTMainWindow::BuildScript(str_script, sBuild));
  QString strRobots;
  for (const SRobotAt &sRobot : vec_robots)
    strRobots += QString("<foot-bot id=\"fb%1\" rab_data_size=\"64\">"
                         "<body position=\"%2,%3,0\" orientation=\"0,0,0\"/>"
                         "<controller config=\"fbc\"/></foot-bot>\n")
                     .arg(sRobot.Id)
                     .arg(sRobot.X)
                     .arg(sRobot.Y);
  return WriteScript(
      str_name,
      QString("<?xml version=\"1.0\"?>\n<argos-configuration>\n"
              "<framework><system threads=\"0\"/>"
              "<experiment length=\"%4\" ticks_per_second=\"2\" "
              "random_seed=\"1\"/></framework>\n"
              "<controllers><vesk_controller_footbot id=\"fbc\" library=\"x\">"
              "<actuators><range_and_bearing implementation=\"default\"/>"
              "<differential_steering implementation=\"default\"/>"
              "<leds implementation=\"default\" medium=\"leds\"/></actuators>"
              "<sensors><range_and_bearing implementation=\"medium\" "
              "medium=\"rab\"/></sensors>"
              "<params bytecode_file=\"%1\" debug_file=\"%2\"/>"
              "</vesk_controller_footbot></controllers>\n"
              "<arena size=\"4,4,1\" center=\"0,0,0.5\">\n%3</arena>\n"
              "<physics_engines><dynamics2d id=\"d\"/></physics_engines>\n"
              "<media><range_and_bearing id=\"rab\"/><led id=\"leds\"/></media>\n"
              "</argos-configuration>\n")
          .arg(sBuild.BytecodeFile, sBuild.DebugFile, strRobots)
          .arg(n_length));
}

} // namespace editor_test

#endif
