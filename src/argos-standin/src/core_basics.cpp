/*
 * Byte printing, the exception type and the two simulator logs.
 */
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/datatypes.h>
#include <argos3/core/utility/logging/argos_log.h>
#include <ostream>

namespace argos {

std::ostream &operator<<(std::ostream &c_os, const SInt8 n_value) {
  return c_os << static_cast<int>(n_value);
}

std::ostream &operator<<(std::ostream &c_os, const UInt8 un_value) {
  return c_os << static_cast<unsigned>(un_value);
}

CARGoSException::CARGoSException(const std::string &str_what,
                                 std::exception *pc_nested) throw()
    : m_strWhat("[FATAL] " + str_what) {
  if (pc_nested != nullptr) {
    m_strWhat += "\n";
    m_strWhat += pc_nested->what();
  }
}

size_t DEBUG_INDENTATION = 0;

CARGoSLog::CARGoSLog(std::ostream &c_stream, const SLogColor &s_log_color,
                     bool b_colored_output_enabled)
    : m_pcStream(&c_stream), m_sLogColor(s_log_color),
      m_bColoredOutput(b_colored_output_enabled) {}

CARGoSLog::~CARGoSLog() {
  if (m_bColoredOutput) reset(*m_pcStream);
}

void CARGoSLog::RedirectToFile(const std::string &str_fname) {
  Flush();
  std::unique_ptr<std::ofstream> pcFile(new std::ofstream(str_fname.c_str()));
  if (!pcFile->is_open())
    THROW_ARGOSEXCEPTION("Can't open log file \"" << str_fname << "\"");
  m_pcFile = std::move(pcFile);
  m_pcStream = m_pcFile.get();
}

void CARGoSLog::Flush() {
  const std::string strText = m_cBuffer.str();
  if (!strText.empty()) {
    *m_pcStream << strText;
    m_cBuffer.str("");
    m_cBuffer.clear();
  }
  m_pcStream->flush();
}

CARGoSLog LOG(std::cout, SLogColor(ARGOS_LOG_ATTRIBUTE_BRIGHT, ARGOS_LOG_COLOR_GREEN));
CARGoSLog LOGERR(std::cerr, SLogColor(ARGOS_LOG_ATTRIBUTE_BRIGHT, ARGOS_LOG_COLOR_RED));

} // namespace argos
