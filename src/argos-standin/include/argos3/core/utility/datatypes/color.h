/*
 * RGBA colour with 8-bit components and a set of named colours.
 */
#ifndef ARGOS_COLOR_H
#define ARGOS_COLOR_H

#include <argos3/core/utility/datatypes/datatypes.h>
#include <iosfwd>
#include <string>

namespace argos {

class CColor {
public:
  // Named colours (ARGoS's values). Not const: the simulator's API declares them
  // modifiable, and code may take non-const references to them.
  static CColor BLACK;
  static CColor WHITE;
  static CColor RED;
  static CColor GREEN;
  static CColor BLUE;
  static CColor MAGENTA;
  static CColor CYAN;
  static CColor YELLOW;
  static CColor ORANGE;
  static CColor BROWN;
  static CColor PURPLE;
  static CColor GRAY10;
  static CColor GRAY20;
  static CColor GRAY30;
  static CColor GRAY40;
  static CColor GRAY50;
  static CColor GRAY60;
  static CColor GRAY70;
  static CColor GRAY80;
  static CColor GRAY90;

  CColor() throw() : m_unRed(0), m_unGreen(0), m_unBlue(0), m_unAlpha(255) {}
  explicit CColor(UInt8 un_red, UInt8 un_green, UInt8 un_blue,
                  UInt8 un_alpha = 255) throw()
      : m_unRed(un_red), m_unGreen(un_green), m_unBlue(un_blue), m_unAlpha(un_alpha) {}

  UInt8 GetRed() const throw() { return m_unRed; }
  UInt8 GetGreen() const throw() { return m_unGreen; }
  UInt8 GetBlue() const throw() { return m_unBlue; }
  UInt8 GetAlpha() const throw() { return m_unAlpha; }
  void SetRed(UInt8 un_red) throw() { m_unRed = un_red; }
  void SetGreen(UInt8 un_green) throw() { m_unGreen = un_green; }
  void SetBlue(UInt8 un_blue) throw() { m_unBlue = un_blue; }
  void SetAlpha(UInt8 un_alpha) throw() { m_unAlpha = un_alpha; }
  void Set(UInt8 un_red, UInt8 un_green, UInt8 un_blue, UInt8 un_alpha = 255) throw() {
    m_unRed = un_red;
    m_unGreen = un_green;
    m_unBlue = un_blue;
    m_unAlpha = un_alpha;
  }
  // Accepts a colour name ("red", "gray50") or "r,g,b,a" read with
  // ParseValues: fields past the fourth are ignored, and so is text after
  // a field's number. Too few fields or a component above 255 throw
  // CARGoSException ("Error while parsing color input string" nesting the
  // reason) and leave the colour unchanged.
  void Set(const std::string &str_color);

  // Luminance 0.299 R + 0.587 G + 0.114 B, in 0-255.
  Real ToGrayScale() const throw();

  bool operator==(const CColor &c_other) const {
    return m_unRed == c_other.m_unRed && m_unGreen == c_other.m_unGreen &&
           m_unBlue == c_other.m_unBlue && m_unAlpha == c_other.m_unAlpha;
  }
  bool operator!=(const CColor &c_other) const { return !(*this == c_other); }

private:
  UInt8 m_unRed;
  UInt8 m_unGreen;
  UInt8 m_unBlue;
  UInt8 m_unAlpha;
};

// Named colours print as their name, others as "r,g,b,a". Input reads one
// word and passes it to Set(const std::string&), which throws on bad text.
std::ostream &operator<<(std::ostream &c_os, const CColor &c_color);
std::istream &operator>>(std::istream &c_is, CColor &c_color);

} // namespace argos

#endif
