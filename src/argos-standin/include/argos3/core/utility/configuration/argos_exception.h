/*
 * The simulator's exception type. Messages are built with stream syntax and
 * an exception may carry the text of the one that caused it.
 */
#ifndef ARGOS_EXCEPTION_H
#define ARGOS_EXCEPTION_H

#include <exception>
#include <sstream>
#include <string>

namespace argos {

class CARGoSException : public std::exception {
public:
  // The nested exception's text is copied at once: the pointer may dangle
  // afterwards (it usually points at a caught temporary).
  CARGoSException(const std::string &str_what,
                  std::exception *pc_nested = nullptr) throw();
  virtual ~CARGoSException() throw() {}
  virtual const char *what() const throw() { return m_strWhat.c_str(); }

private:
  std::string m_strWhat;
};

} // namespace argos

// Both macros name CARGoSException unqualified, so they work only inside
// namespace argos or after "using namespace argos;".
#define THROW_ARGOSEXCEPTION(message)                                                    \
  {                                                                                      \
    std::ostringstream w;                                                                \
    w << message;                                                                        \
    throw CARGoSException(w.str());                                                      \
  }

#define THROW_ARGOSEXCEPTION_NESTED(message, nested)                                     \
  {                                                                                      \
    std::ostringstream w;                                                                \
    w << message;                                                                        \
    throw CARGoSException(w.str(), &(nested));                                           \
  }

#endif
