/*
 * What a callable throws, as text: the what() of the exception (ARGoS's
 * CARGoSException among them), or "<nothing thrown>".
 */
#ifndef THROWN_TEXT_H
#define THROWN_TEXT_H

#include <exception>
#include <string>

template <typename F> std::string ThrownText(F f) {
  try {
    f();
  } catch (std::exception &ex) {
    return ex.what();
  }
  return "<nothing thrown>";
}

#endif
