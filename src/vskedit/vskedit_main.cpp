/*
 * vskedit: the Vesk script editor with a headless simulator behind it.
 * `vskedit [EXPERIMENT.argos]` runs the experiment's robots in vesksim's
 * world, shows them from above, and opens the editor window on their scripts.
 */
#include "vskedit_window.h"

#include "vesk_qt_main_window.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
  vesksim::UsePlainLogs();
  /* The command line is checked before Qt starts, so that --help needs no
   * display. */
  const bool bHelp = argc == 2 && (std::strcmp(argv[1], "--help") == 0 ||
                                   std::strcmp(argv[1], "-h") == 0);
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(bHelp ? stdout : stderr, "Usage: %s [EXPERIMENT.argos]\n", argv[0]);
    return bHelp ? 0 : 2;
  }
  QApplication cApp(argc, argv);
  QCoreApplication::setOrganizationName("Vesk");
  QCoreApplication::setApplicationName("vskedit");
  CVskEditWindow cWindow;
  cWindow.show();
  cWindow.GetEditor().show();
  if (argc == 2 && !cWindow.LoadExperiment(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "vskedit: %s\n",
                 cWindow.GetLastError().toLocal8Bit().constData());
    QMessageBox::warning(&cWindow, QObject::tr("vskedit"), cWindow.GetLastError());
  }
  return cApp.exec();
}
