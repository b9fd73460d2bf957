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
  QApplication cApp(argc, argv);
  QCoreApplication::setOrganizationName("Vesk");
  QCoreApplication::setApplicationName("vskedit");
  const QStringList listArgs = QCoreApplication::arguments().mid(1);
  if (listArgs.size() > 1 || (listArgs.size() == 1 && listArgs[0].startsWith('-'))) {
    std::fprintf(stderr, "Usage: %s [EXPERIMENT.argos]\n", argv[0]);
    return listArgs.size() == 1 && (listArgs[0] == "--help" || listArgs[0] == "-h") ? 0
                                                                                    : 2;
  }
  CVskEditWindow cWindow;
  cWindow.show();
  cWindow.GetEditor().show();
  if (!listArgs.isEmpty() && !cWindow.LoadExperiment(listArgs[0])) {
    std::fprintf(stderr, "vskedit: %s\n",
                 cWindow.GetLastError().toLocal8Bit().constData());
    QMessageBox::warning(&cWindow, QObject::tr("vskedit"), cWindow.GetLastError());
  }
  return cApp.exec();
}
