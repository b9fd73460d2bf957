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

} // namespace editor_test

#endif
