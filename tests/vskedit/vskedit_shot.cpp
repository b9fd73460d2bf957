/*
 * Takes a picture of vskedit's window for the documentation, from a real
 * run: loads an experiment, runs it for some steps and saves the window as
 * a PNG file. Options set the scene up before the steps:
 *   vskedit_shot EXPERIMENT OUT.png STEPS [--select N] [--insert LINE TEXT]
 *                [--log] [--expand NAME] [--break LINE]
 * --select N       selects robot N (its index in the experiment);
 * --insert LINE T  inserts the line T before line LINE of the main script
 *                  and executes it (the file is saved);
 * --log            brings the log panel to the front;
 * --expand NAME    expands the row NAME of the swarm state tree;
 * --break LINE     attaches the debugger to the selected robot with a
 *                  breakpoint at LINE of its script, after the steps, and
 *                  takes the picture when the robot stops there.
 */
#include "vesk_qt_editor.h"
#include "vesk_qt_main_window.h"
#include "vesk_qt_statetree_model.h"
#include "vskedit_arena_view.h"
#include "vskedit_debug_console.h"
#include "vskedit_window.h"

#include <QApplication>
#include <QDockWidget>
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct SOptions {
  int Select = -1;
  int InsertLine = 0;
  QString InsertText;
  bool ShowLog = false;
  QStringList Expand;
  int Break = 0;
};

bool ParseOptions(int argc, char **argv, SOptions &s_options) {
  for (int i = 4; i < argc; ++i) {
    const bool bNext = i + 1 < argc;
    if (std::strcmp(argv[i], "--select") == 0 && bNext) {
      s_options.Select = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--insert") == 0 && i + 2 < argc) {
      s_options.InsertLine = std::atoi(argv[++i]);
      s_options.InsertText = QString::fromLocal8Bit(argv[++i]);
    } else if (std::strcmp(argv[i], "--log") == 0) {
      s_options.ShowLog = true;
    } else if (std::strcmp(argv[i], "--expand") == 0 && bNext) {
      s_options.Expand.append(QString::fromLocal8Bit(argv[++i]));
    } else if (std::strcmp(argv[i], "--break") == 0 && bNext) {
      s_options.Break = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

void InsertLine(CVeskQTMainWindow &c_editor, int n_line, const QString &str_text) {
  CVeskQTEditor *pcEditor = c_editor.EditorOf(c_editor.GetMainScript());
  if (pcEditor == nullptr) return;
  QTextCursor cCursor(pcEditor->document()->findBlockByNumber(n_line - 1));
  cCursor.insertText(str_text + "\n");
  c_editor.Execute();
}

void Expand(CVeskQTMainWindow &c_editor, const QStringList &list_names) {
  for (QTreeView *pcTree : c_editor.findChildren<QTreeView *>()) {
    if (pcTree->model() != c_editor.GetSwarmModel()) continue;
    for (int i = 0; i < pcTree->model()->rowCount(); ++i) {
      const QModelIndex cIndex = pcTree->model()->index(i, 0);
      if (list_names.contains(cIndex.data().toString())) pcTree->expand(cIndex);
    }
    for (int i = 0; i < pcTree->model()->columnCount(); ++i)
      pcTree->resizeColumnToContents(i);
  }
}

} // namespace

int main(int argc, char **argv) {
  vesksim::UsePlainLogs();
  SOptions sOptions;
  if (argc < 4 || !ParseOptions(argc, argv, sOptions)) {
    std::fprintf(stderr,
                 "Usage: %s EXPERIMENT OUT.png STEPS [--select N] [--insert LINE TEXT] "
                 "[--log] [--expand NAME] [--break LINE]\n",
                 argv[0]);
    return 2;
  }
  QApplication cApp(argc, argv);
  QCoreApplication::setOrganizationName("Vesk");
  QCoreApplication::setApplicationName("vskedit");
  CVskEditWindow cWindow;
  cWindow.resize(1600, 900);
  cWindow.show();
  if (!cWindow.LoadExperiment(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "%s\n", cWindow.GetLastError().toLocal8Bit().constData());
    return 1;
  }
  CVeskQTMainWindow &cEditor = cWindow.GetEditor();
  const QString strOut = QString::fromLocal8Bit(argv[2]);
  int nStatus = 1;
  auto Shoot = [&] { nStatus = cWindow.grab().save(strOut) ? 0 : 1; };
  QTimer::singleShot(0, [&] {
    if (sOptions.Select >= 0) cWindow.GetView().Select(sOptions.Select);
    if (sOptions.InsertLine > 0)
      InsertLine(cEditor, sOptions.InsertLine, sOptions.InsertText);
    if (sOptions.ShowLog) cEditor.findChild<QDockWidget *>("LogDock")->raise();
    for (int i = std::atoi(argv[3]); i > 0; --i)
      cWindow.Step();
    Expand(cEditor, sOptions.Expand);
    if (sOptions.Break > 0 && cWindow.AttachDebugger()) {
      CVskEditDebugConsole &cConsole = cWindow.GetDebugConsole();
      QObject::connect(&cConsole, &CVskEditDebugConsole::Stopped, [&] {
        QTimer::singleShot(0, [&] {
          cConsole.Enter("print steps");
          QTimer::singleShot(0, [&] {
            Shoot();
            cConsole.Enter("continue");
          });
        });
      });
      cConsole.Enter(QString("break %1").arg(sOptions.Break));
      cWindow.Step();
      cConsole.Detach();
    } else {
      Shoot();
    }
    cApp.quit();
  });
  cApp.exec();
  return nStatus;
}
