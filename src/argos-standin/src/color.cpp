/*
 * Named colours and the text form of colours.
 */
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/string_utilities.h>
#include <istream>
#include <ostream>

namespace argos {

CColor CColor::BLACK(0, 0, 0);
CColor CColor::WHITE(255, 255, 255);
CColor CColor::RED(255, 0, 0);
CColor CColor::GREEN(0, 255, 0);
CColor CColor::BLUE(0, 0, 255);
CColor CColor::MAGENTA(255, 0, 255);
CColor CColor::CYAN(0, 255, 255);
CColor CColor::YELLOW(255, 255, 0);
CColor CColor::ORANGE(255, 140, 0);
CColor CColor::BROWN(165, 42, 42);
CColor CColor::PURPLE(160, 32, 240);
CColor CColor::GRAY10(26, 26, 26);
CColor CColor::GRAY20(51, 51, 51);
CColor CColor::GRAY30(77, 77, 77);
CColor CColor::GRAY40(102, 102, 102);
CColor CColor::GRAY50(127, 127, 127);
CColor CColor::GRAY60(153, 153, 153);
CColor CColor::GRAY70(179, 179, 179);
CColor CColor::GRAY80(204, 204, 204);
CColor CColor::GRAY90(229, 229, 229);

namespace {

struct SNamedColor {
  const char *Name;
  const CColor *Color;
};

// Read at use, not copied at start-up, so the table never sees the statics
// before they are initialised.
const SNamedColor NAMED_COLORS[] = {
    {"black", &CColor::BLACK},   {"white", &CColor::WHITE},
    {"red", &CColor::RED},       {"green", &CColor::GREEN},
    {"blue", &CColor::BLUE},     {"magenta", &CColor::MAGENTA},
    {"cyan", &CColor::CYAN},     {"yellow", &CColor::YELLOW},
    {"orange", &CColor::ORANGE}, {"brown", &CColor::BROWN},
    {"purple", &CColor::PURPLE}, {"gray10", &CColor::GRAY10},
    {"gray20", &CColor::GRAY20}, {"gray30", &CColor::GRAY30},
    {"gray40", &CColor::GRAY40}, {"gray50", &CColor::GRAY50},
    {"gray60", &CColor::GRAY60}, {"gray70", &CColor::GRAY70},
    {"gray80", &CColor::GRAY80}, {"gray90", &CColor::GRAY90}};

const SNamedColor *FindByName(const std::string &str_name) {
  for (const SNamedColor &sEntry : NAMED_COLORS)
    if (str_name == sEntry.Name) return &sEntry;
  return nullptr;
}

// "r,g,b,a" read with ParseValues: each component a number up to 255.
CColor ParseComponents(const std::string &str_text) {
  UInt16 punValues[4];
  ParseValues<UInt16>(str_text, 4, punValues, ',');
  for (UInt16 unValue : punValues)
    if (unValue > 255)
      THROW_ARGOSEXCEPTION("Color value " << unValue << " is larger than 255.");
  return CColor(punValues[0], punValues[1], punValues[2], punValues[3]);
}

} // namespace

void CColor::Set(const std::string &str_color) {
  try {
    const SNamedColor *psNamed = FindByName(str_color);
    *this = psNamed != nullptr ? *psNamed->Color : ParseComponents(str_color);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error while parsing color input string", ex);
  }
}

// Single-precision weights, as ARGoS uses.
Real CColor::ToGrayScale() const throw() {
  return 0.299f * m_unRed + 0.587f * m_unGreen + 0.114f * m_unBlue;
}

std::ostream &operator<<(std::ostream &c_os, const CColor &c_color) {
  for (const SNamedColor &sEntry : NAMED_COLORS)
    if (*sEntry.Color == c_color) return c_os << sEntry.Name;
  return c_os << static_cast<unsigned>(c_color.GetRed()) << ","
              << static_cast<unsigned>(c_color.GetGreen()) << ","
              << static_cast<unsigned>(c_color.GetBlue()) << ","
              << static_cast<unsigned>(c_color.GetAlpha());
}

std::istream &operator>>(std::istream &c_is, CColor &c_color) {
  std::string strText;
  c_is >> strText;
  c_color.Set(strText);
  return c_is;
}

} // namespace argos
