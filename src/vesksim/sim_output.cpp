/*
 * CSV and SVG output of vesksim.
 */
#include "sim_output.h"
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include "vesk_overlay_label.h"

namespace vesksim {

namespace {

[[noreturn]] void CannotWrite(const std::string &str_path) {
  throw std::runtime_error("Can't write file \"" + str_path +
                           "\": " + std::strerror(errno));
}

std::string XmlEscaped(const std::string &str_text) {
  std::string strOut;
  for (char c : str_text) {
    switch (c) {
    case '&':
      strOut += "&amp;";
      break;
    case '<':
      strOut += "&lt;";
      break;
    case '>':
      strOut += "&gt;";
      break;
    case '"':
      strOut += "&quot;";
      break;
    default:
      // Control characters are not allowed in XML 1.0 text.
      if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') strOut += c;
    }
  }
  return strOut;
}

// A distinct, readable colour per robot.
std::string PathColour(size_t un_index) {
  static const char *const apchPalette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                            "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                                            "#bcbd22", "#17becf"};
  return apchPalette[un_index % 10];
}

// A CSV field: quoted, with its quotes doubled, when it holds a separator,
// a quote or a line break.
std::string CsvField(const std::string &str_text) {
  if (str_text.find_first_of(",\"\r\n") == std::string::npos) return str_text;
  std::string strOut = "\"";
  for (char c : str_text)
    strOut += c == '"' ? std::string("\"\"") : std::string(1, c);
  return strOut + "\"";
}

CVeskController *VeskControllerOf(const SBody &s_body) {
  return dynamic_cast<CVeskController *>(&s_body.Robot->GetController());
}

} // namespace

std::string LEDColour(const SBody &s_body) {
  if (s_body.LEDs == nullptr || s_body.LEDs->GetSettings().empty()) return "";
  const argos::CColor &cColor = s_body.LEDs->GetSettings()[0];
  char pchHex[8];
  std::snprintf(pchHex, sizeof pchHex, "#%02x%02x%02x", cColor.GetRed(),
                cColor.GetGreen(), cColor.GetBlue());
  return pchHex;
}

std::string RobotLabel(SBody &s_body) {
  std::string strLabel = "R";
  if (CVeskController *pcVesk = VeskControllerOf(s_body))
    return VeskOverlayLabel(*pcVesk);
  const std::string &strId = s_body.Spec.Id;
  return strLabel + (strId.size() > 2 ? strId.substr(2) : "");
}

CCsvWriter::CCsvWriter(const std::string &str_path)
    : m_strPath(str_path), m_cOut(str_path) {
  if (!m_cOut) CannotWrite(str_path);
  m_cOut << "step,robot,x,y,z,yaw,leds,debug\n" << std::setprecision(6) << std::fixed;
}

void CCsvWriter::WriteStep(uint64_t un_step, const CWorld &c_world) {
  for (size_t i = 0; i < c_world.GetNumRobots(); ++i) {
    const SBody &sBody = c_world.GetBody(i);
    const argos::CVector3 &cAt = sBody.Position();
    const CVeskController *pcVesk = VeskControllerOf(sBody);
    m_cOut << un_step << ',' << CsvField(sBody.Spec.Id) << ',' << cAt.GetX() << ','
           << cAt.GetY() << ',' << cAt.GetZ() << ',' << sBody.Yaw << ','
           << LEDColour(sBody) << ',' << (pcVesk ? CsvField(pcVesk->GetDebugMsg()) : "")
           << '\n';
  }
  if (!m_cOut) CannotWrite(m_strPath);
}

CTrajectories::CTrajectories(const CWorld &c_world, uint64_t un_steps)
    : m_unEvery(std::max<uint64_t>(1, (un_steps + MAX_POINTS - 1) / MAX_POINTS)),
      m_vecPaths(c_world.GetNumRobots()) {
  Record(0, c_world);
}

void CTrajectories::Record(uint64_t un_step, const CWorld &c_world) {
  if (un_step % m_unEvery != 0) return;
  for (size_t i = 0; i < m_vecPaths.size(); ++i)
    m_vecPaths[i].push_back(c_world.GetBody(i).Floor());
}

CSvgWriter::CSvgWriter(const std::string &str_path)
    : m_strPath(str_path), m_cOut(str_path) {
  if (!m_cOut) CannotWrite(str_path);
}

// Ground robots are filled with the colour of their LEDs, light grey while
// the LEDs are off; flying robots are drawn as rings.
std::string CSvgWriter::BodyFill(const SBody &s_body) {
  if (!s_body.OnGround()) return "none";
  const std::string strLED = LEDColour(s_body);
  return strLED.empty() || strLED == "#000000" ? "#ddd" : strLED;
}

void CSvgWriter::Write(CWorld &c_world, const CTrajectories &c_paths) {
  // One metre is SCALE user units; y grows upwards in the arena, downwards in SVG.
  const Real SCALE = 100;
  const argos::CVector3 &cSize = c_world.GetArenaSize();
  const argos::CVector3 &cCenter = c_world.GetArenaCenter();
  const Real fLeft = cCenter.GetX() - cSize.GetX() / 2;
  const Real fTop = cCenter.GetY() + cSize.GetY() / 2;
  const Real fMargin = 0.5;
  auto X = [&](Real f_x) { return (f_x - fLeft + fMargin) * SCALE; };
  auto Y = [&](Real f_y) { return (fTop - f_y + fMargin) * SCALE; };
  std::ostringstream cSvg;
  cSvg << std::fixed << std::setprecision(1);
  const Real fWidth = (cSize.GetX() + 2 * fMargin) * SCALE;
  const Real fHeight = (cSize.GetY() + 2 * fMargin) * SCALE;
  cSvg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << fWidth << "\" height=\""
       << fHeight << "\" viewBox=\"0 0 " << fWidth << " " << fHeight << "\">\n"
       << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
       << "<rect id=\"arena\" x=\"" << X(fLeft) << "\" y=\"" << Y(fTop) << "\" width=\""
       << cSize.GetX() * SCALE << "\" height=\"" << cSize.GetY() * SCALE
       << "\" fill=\"#f4f4f0\" stroke=\"black\" stroke-width=\"2\"/>\n";
  for (const SWall &sWall : c_world.GetWalls())
    cSvg << "<rect class=\"wall\" x=\"" << -sWall.HalfSize.GetX() * SCALE << "\" y=\""
         << -sWall.HalfSize.GetY() * SCALE << "\" width=\""
         << 2 * sWall.HalfSize.GetX() * SCALE << "\" height=\""
         << 2 * sWall.HalfSize.GetY() * SCALE << "\" transform=\"translate("
         << X(sWall.Center.GetX()) << " " << Y(sWall.Center.GetY()) << ") rotate("
         << -sWall.Yaw * 180 / M_PI << ")\" fill=\"#555\"/>\n";
  for (size_t i = 0; i < c_paths.Paths().size(); ++i) {
    cSvg << "<polyline class=\"path\" fill=\"none\" stroke=\"" << PathColour(i)
         << "\" stroke-width=\"1.5\" stroke-opacity=\"0.7\" points=\"";
    for (const CVector2 &cPoint : c_paths.Paths()[i])
      cSvg << X(cPoint.GetX()) << "," << Y(cPoint.GetY()) << " ";
    cSvg << "\"/>\n";
  }
  for (size_t i = 0; i < c_world.GetNumRobots(); ++i) {
    SBody &sBody = c_world.GetBody(i);
    const Real fX = X(sBody.Position().GetX()), fY = Y(sBody.Position().GetY());
    const Real fR = sBody.Radius * SCALE;
    cSvg << "<g class=\"robot\" id=\"" << XmlEscaped(sBody.Spec.Id) << "\">"
         << "<circle cx=\"" << fX << "\" cy=\"" << fY << "\" r=\"" << fR << "\" fill=\""
         << BodyFill(sBody) << "\" stroke=\"" << PathColour(i)
         << "\" stroke-width=\"2\"/>"
         << "<line x1=\"" << fX << "\" y1=\"" << fY << "\" x2=\""
         << fX + fR * std::cos(sBody.Yaw) << "\" y2=\"" << fY - fR * std::sin(sBody.Yaw)
         << "\" stroke=\"black\" stroke-width=\"1.5\"/>"
         << "<text x=\"" << fX << "\" y=\"" << fY - fR - 4
         << "\" font-family=\"sans-serif\" font-size=\"12\" text-anchor=\"middle\">"
         << XmlEscaped(RobotLabel(sBody)) << "</text></g>\n";
  }
  cSvg << "</svg>\n";
  m_cOut << cSvg.str();
  if (!m_cOut.flush()) CannotWrite(m_strPath);
}

} // namespace vesksim
