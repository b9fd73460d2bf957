/*
 * Application object of the GUI tests. Widgets run on the offscreen platform
 * (set here too, for runs outside CTest) and settings go to a temporary
 * directory, so the tests need no display and leave the user's settings alone.
 */
#include "test_gui_app.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
/* Qt's offscreen platform never frees its screen objects; those leaks are
 * not ours. Full stacks let the suppression see the plug-in's frames. */
extern "C" const char *__lsan_default_suppressions() {
  return "leak:libqoffscreen.so\n";
}
extern "C" const char *__asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
#endif

namespace {

QTemporaryDir *g_pcTestDir = nullptr;

class CGuiEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    g_pcTestDir = new QTemporaryDir();
    ASSERT_TRUE(g_pcTestDir->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       g_pcTestDir->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, g_pcTestDir->path());
    QCoreApplication::setOrganizationName("VeskTests");
    QCoreApplication::setApplicationName("test_gui");
    m_pcApp = new QApplication(m_nArgc, m_ppchArgv);
  }
  void TearDown() override {
    delete m_pcApp;
    delete g_pcTestDir;
    g_pcTestDir = nullptr;
  }

private:
  int m_nArgc = 1;
  char m_pchName[9] = "test_gui";
  char *m_ppchArgv[2] = {m_pchName, nullptr};
  QApplication *m_pcApp = nullptr;
};

[[maybe_unused]] ::testing::Environment *const g_pcEnvironment =
    ::testing::AddGlobalTestEnvironment(new CGuiEnvironment);

} // namespace

QString GuiTestDir() {
  return g_pcTestDir->path();
}

CModalResponder::CModalResponder(QList<THandler> list_handlers)
    : m_listHandlers(std::move(list_handlers)) {
  m_cTimer.setInterval(0);
  connect(&m_cTimer, &QTimer::timeout, this, &CModalResponder::Poll);
  m_cTimer.start();
}

void CModalResponder::Poll() {
  QWidget *pcModal = QApplication::activeModalWidget();
  if (pcModal == nullptr || m_listHandlers.isEmpty()) return;
  m_listHandlers.takeFirst()(pcModal);
}
