/*
 * Reads an ARGoS experiment file for the headless world.
 */
#include "sim_experiment.h"
#include <tinyxml2.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>

namespace vesksim {

using tinyxml2::XMLElement;

Real RadiusOf(ERobotKind e_kind) {
  return e_kind == ERobotKind::SPIRI ? SPIRI_RADIUS : FOOTBOT_RADIUS;
}

const char *NameOf(ERobotKind e_kind) {
  return e_kind == ERobotKind::SPIRI ? "spiri" : "foot-bot";
}

namespace {

const Real DEG_TO_RAD = M_PI / 180.0;

// Draws from the experiment's seed with arithmetic of our own, so that the
// placement does not depend on the standard library's distributions.
class CRandom {
public:
  explicit CRandom(uint32_t un_seed) : m_cEngine(un_seed) {}
  // In [0, 1), 53 random bits.
  Real Uniform() {
    const uint64_t unA = m_cEngine() >> 5, unB = m_cEngine() >> 6;
    return (unA * 67108864.0 + unB) / 9007199254740992.0;
  }
  Real Uniform(Real f_min, Real f_max) { return f_min + (f_max - f_min) * Uniform(); }
  Real Gaussian(Real f_mean, Real f_std_dev) {
    const Real fU1 = 1.0 - Uniform(), fU2 = Uniform();
    return f_mean +
           f_std_dev * std::sqrt(-2.0 * std::log(fU1)) * std::cos(2 * M_PI * fU2);
  }

private:
  std::mt19937 m_cEngine;
};

// Parses one file; each Read* method handles one element kind.
class CParser {
public:
  CParser(const std::string &str_name, SExperiment &s_out, std::optional<uint32_t> o_seed)
      : m_strName(str_name), m_sOut(s_out), m_oSeed(o_seed) {}
  void Read(tinyxml2::XMLDocument &c_doc);

private:
  [[noreturn]] void Fail(const XMLElement *pc_elem, const std::string &str_msg) const;
  void CheckAttributes(const XMLElement *pc_elem,
                       std::initializer_list<const char *> il_allowed);
  const XMLElement *Child(const XMLElement *pc_parent, const char *pch_tag,
                          bool b_required);
  std::string Text(const XMLElement *pc_elem, const char *pch_attr, bool b_required);
  Real Number(const XMLElement *pc_elem, const char *pch_attr, bool b_required,
              Real f_default);
  std::vector<Real> Numbers(const XMLElement *pc_elem, const char *pch_attr,
                            size_t un_count);
  CVector3 Vector(const XMLElement *pc_elem, const char *pch_attr, bool b_required,
                  const CVector3 &c_default = CVector3());
  Real Yaw(const XMLElement *pc_elem, const char *pch_attr, const CVector3 &c_degrees);

  void ReadFramework(const XMLElement *pc_framework);
  void ReadControllers(const XMLElement *pc_controllers);
  void ReadArena(const XMLElement *pc_arena);
  void ReadBox(const XMLElement *pc_box);
  SRobotSpec ReadRobot(const XMLElement *pc_robot, bool b_placed);
  void ReadDistribute(const XMLElement *pc_distribute);
  void CheckUniqueId(const XMLElement *pc_elem, const std::string &str_id);
  bool Fits(const SRobotSpec &s_robot) const;

  // A position or orientation generator of <distribute>.
  struct SGenerator {
    std::string Method;
    CVector3 A, B; // min/max, values/-, mean/std_dev
  };
  SGenerator ReadGenerator(const XMLElement *pc_elem);
  CVector3 Draw(const SGenerator &s_gen);

  std::string m_strName;
  SExperiment &m_sOut;
  std::optional<uint32_t> m_oSeed; // replaces the file's random_seed
  std::set<std::string> m_setIds;
  std::unique_ptr<CRandom> m_pcRandom;
};

void CParser::Fail(const XMLElement *pc_elem, const std::string &str_msg) const {
  std::ostringstream cMsg;
  cMsg << m_strName;
  if (pc_elem != nullptr)
    cMsg << ":" << pc_elem->GetLineNum() << ": <" << pc_elem->Name() << ">";
  cMsg << ": " << str_msg;
  throw CExperimentError(cMsg.str());
}

void CParser::CheckAttributes(const XMLElement *pc_elem,
                              std::initializer_list<const char *> il_allowed) {
  for (const tinyxml2::XMLAttribute *pcAttr = pc_elem->FirstAttribute();
       pcAttr != nullptr; pcAttr = pcAttr->Next()) {
    const bool bKnown =
        std::any_of(il_allowed.begin(), il_allowed.end(), [&](const char *pch) {
          return std::strcmp(pch, pcAttr->Name()) == 0;
        });
    if (!bKnown)
      Fail(pc_elem, std::string("unsupported attribute \"") + pcAttr->Name() + "\"");
  }
}

const XMLElement *CParser::Child(const XMLElement *pc_parent, const char *pch_tag,
                                 bool b_required) {
  const XMLElement *pcChild = pc_parent->FirstChildElement(pch_tag);
  if (pcChild == nullptr && b_required)
    Fail(pc_parent, std::string("missing element <") + pch_tag + ">");
  if (pcChild != nullptr && pcChild->NextSiblingElement(pch_tag) != nullptr)
    Fail(pcChild->NextSiblingElement(pch_tag), "element given twice");
  return pcChild;
}

std::string CParser::Text(const XMLElement *pc_elem, const char *pch_attr,
                          bool b_required) {
  const char *pchValue = pc_elem->Attribute(pch_attr);
  if (pchValue == nullptr) {
    if (b_required) Fail(pc_elem, std::string("missing attribute \"") + pch_attr + "\"");
    return "";
  }
  return pchValue;
}

std::vector<Real> CParser::Numbers(const XMLElement *pc_elem, const char *pch_attr,
                                   size_t un_count) {
  const std::string strText = Text(pc_elem, pch_attr, true);
  std::vector<Real> vecOut;
  std::istringstream cFields(strText);
  std::string strField;
  while (std::getline(cFields, strField, ',')) {
    const char *pchStart = strField.c_str();
    char *pchEnd = nullptr;
    errno = 0;
    const Real fValue = std::strtod(pchStart, &pchEnd);
    while (*pchEnd == ' ' || *pchEnd == '\t')
      ++pchEnd;
    if (pchEnd == pchStart || *pchEnd != '\0' || errno != 0 || !std::isfinite(fValue))
      Fail(pc_elem, std::string("attribute \"") + pch_attr + "\": \"" + strText +
                        "\" is not a list of " + std::to_string(un_count) + " numbers");
    vecOut.push_back(fValue);
  }
  if (vecOut.size() != un_count)
    Fail(pc_elem, std::string("attribute \"") + pch_attr + "\": expected " +
                      std::to_string(un_count) + " numbers, got \"" + strText + "\"");
  return vecOut;
}

Real CParser::Number(const XMLElement *pc_elem, const char *pch_attr, bool b_required,
                     Real f_default) {
  if (pc_elem->Attribute(pch_attr) == nullptr && !b_required) return f_default;
  return Numbers(pc_elem, pch_attr, 1)[0];
}

CVector3 CParser::Vector(const XMLElement *pc_elem, const char *pch_attr, bool b_required,
                         const CVector3 &c_default) {
  if (pc_elem->Attribute(pch_attr) == nullptr && !b_required) return c_default;
  const std::vector<Real> vecXYZ = Numbers(pc_elem, pch_attr, 3);
  return CVector3(vecXYZ[0], vecXYZ[1], vecXYZ[2]);
}

// Orientations are "z,y,x" in degrees; the plane world only turns about Z.
Real CParser::Yaw(const XMLElement *pc_elem, const char *pch_attr,
                  const CVector3 &c_degrees) {
  if (c_degrees.GetY() != 0 || c_degrees.GetZ() != 0)
    Fail(pc_elem, std::string("attribute \"") + pch_attr +
                      "\": only rotations about Z (the first angle) are supported");
  return c_degrees.GetX() * DEG_TO_RAD;
}

void CParser::Read(tinyxml2::XMLDocument &c_doc) {
  const XMLElement *pcRoot = c_doc.RootElement();
  if (pcRoot == nullptr || std::strcmp(pcRoot->Name(), "argos-configuration") != 0)
    Fail(pcRoot, "the root element must be <argos-configuration>");
  for (const XMLElement *pcChild = pcRoot->FirstChildElement(); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement()) {
    static const char *const apchKnown[] = {
        "framework", "controllers", "arena", "physics_engines", "media", "visualization"};
    if (std::none_of(std::begin(apchKnown), std::end(apchKnown), [&](const char *pch) {
          return std::strcmp(pch, pcChild->Name()) == 0;
        }))
      Fail(pcChild, std::strcmp(pcChild->Name(), "loop_functions") == 0
                        ? "loop functions are not supported by the headless simulator"
                        : "unknown element");
  }
  // Engines, media and visualization do not change what a robot senses here.
  Child(pcRoot, "physics_engines", true);
  Child(pcRoot, "media", true);
  Child(pcRoot, "visualization", false);
  ReadFramework(Child(pcRoot, "framework", true));
  ReadControllers(Child(pcRoot, "controllers", true));
  ReadArena(Child(pcRoot, "arena", true));
}

void CParser::ReadFramework(const XMLElement *pc_framework) {
  CheckAttributes(pc_framework, {});
  for (const XMLElement *pcChild = pc_framework->FirstChildElement(); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement()) {
    const std::string strTag = pcChild->Name();
    if (strTag == "system") {
      // Controllers always run one after another here, whatever the thread count.
      CheckAttributes(pcChild, {"threads", "method", "pin_threads_to_cores"});
    } else if (strTag != "experiment" && strTag != "profiling") {
      Fail(pcChild, "unknown element");
    }
  }
  const XMLElement *pcExperiment = Child(pc_framework, "experiment", true);
  CheckAttributes(pcExperiment, {"length", "ticks_per_second", "random_seed", "real_time",
                                 "real_time_factor", "vis_steps"});
  const Real fTicks = Number(pcExperiment, "ticks_per_second", true, 0);
  if (!(fTicks >= 1) || fTicks != std::floor(fTicks) || fTicks > 1e6)
    Fail(pcExperiment, "ticks_per_second must be a positive whole number");
  const Real fLength = Number(pcExperiment, "length", false, 0);
  if (!(fLength >= 0) || fLength * fTicks > 1e12)
    Fail(pcExperiment, "length must be a number of seconds, 0 or more");
  const Real fSeed = Number(pcExperiment, "random_seed", false, 0);
  if (!(fSeed >= 0) || fSeed > 4294967295.0 || fSeed != std::floor(fSeed))
    Fail(pcExperiment, "random_seed must be a whole number from 0 to 4294967295");
  m_sOut.TicksPerSecond = fTicks;
  m_sOut.Steps = static_cast<uint64_t>(std::llround(fLength * fTicks));
  m_sOut.RandomSeed = m_oSeed.value_or(static_cast<uint32_t>(fSeed));
  m_pcRandom = std::make_unique<CRandom>(m_sOut.RandomSeed);
}

void CParser::ReadControllers(const XMLElement *pc_controllers) {
  for (const XMLElement *pcCtrl = pc_controllers->FirstChildElement(); pcCtrl != nullptr;
       pcCtrl = pcCtrl->NextSiblingElement()) {
    SControllerConfig sConfig;
    sConfig.Id = Text(pcCtrl, "id", true);
    sConfig.Label = pcCtrl->Name();
    if (m_sOut.Controllers.count(sConfig.Id) != 0)
      Fail(pcCtrl, "controller id \"" + sConfig.Id + "\" used twice");
    for (const char *pchPart : {"actuators", "sensors", "params"})
      Child(pcCtrl, pchPart, true);
    // The robot harness reads the controller from an element of its own.
    tinyxml2::XMLPrinter cPrinter;
    pcCtrl->Accept(&cPrinter);
    sConfig.Document = std::make_shared<ticpp::Document>();
    sConfig.Document->Parse(cPrinter.CStr());
    m_sOut.Controllers[sConfig.Id] = sConfig;
  }
}

void CParser::ReadArena(const XMLElement *pc_arena) {
  CheckAttributes(pc_arena,
                  {"size", "center", "positional_grid_size", "positional_index"});
  m_sOut.ArenaSize = Vector(pc_arena, "size", true);
  m_sOut.ArenaCenter = Vector(pc_arena, "center", false);
  if (!(m_sOut.ArenaSize.GetX() > 0 && m_sOut.ArenaSize.GetY() > 0 &&
        m_sOut.ArenaSize.GetZ() > 0))
    Fail(pc_arena, "every side of the arena's size must be positive");
  if (m_sOut.ArenaSize.GetX() > 1e5 || m_sOut.ArenaSize.GetY() > 1e5)
    Fail(pc_arena, "the arena is larger than 100 km");
  // Walls first, so that distributed robots avoid them wherever they appear.
  for (const XMLElement *pcChild = pc_arena->FirstChildElement("box"); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement("box"))
    ReadBox(pcChild);
  for (const XMLElement *pcChild = pc_arena->FirstChildElement(); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement()) {
    const std::string strTag = pcChild->Name();
    if (strTag == "foot-bot" || strTag == "spiri")
      m_sOut.Robots.push_back(ReadRobot(pcChild, true));
    else if (strTag == "distribute")
      ReadDistribute(pcChild);
    else if (strTag != "box" && strTag != "floor")
      Fail(pcChild, "unknown element (the headless simulator knows box, foot-bot, spiri, "
                    "distribute and floor)");
  }
}

void CParser::CheckUniqueId(const XMLElement *pc_elem, const std::string &str_id) {
  if (!m_setIds.insert(str_id).second) Fail(pc_elem, "id \"" + str_id + "\" used twice");
}

void CParser::ReadBox(const XMLElement *pc_box) {
  CheckAttributes(pc_box, {"id", "size", "movable", "mass"});
  SWall sWall;
  sWall.Id = Text(pc_box, "id", true);
  CheckUniqueId(pc_box, sWall.Id);
  const std::string strMovable = Text(pc_box, "movable", false);
  if (strMovable == "true")
    Fail(pc_box, "movable boxes are not supported: boxes are walls here");
  const CVector3 cSize = Vector(pc_box, "size", true);
  if (!(cSize.GetX() > 0 && cSize.GetY() > 0 && cSize.GetZ() > 0))
    Fail(pc_box, "every side of a box's size must be positive");
  const XMLElement *pcBody = Child(pc_box, "body", true);
  CheckAttributes(pcBody, {"position", "orientation"});
  const CVector3 cPosition = Vector(pcBody, "position", true);
  sWall.Center.Set(cPosition.GetX(), cPosition.GetY());
  sWall.HalfSize.Set(cSize.GetX() / 2, cSize.GetY() / 2);
  sWall.Height = cSize.GetZ();
  sWall.Yaw = Yaw(pcBody, "orientation", Vector(pcBody, "orientation", false));
  m_sOut.Walls.push_back(sWall);
}

SRobotSpec CParser::ReadRobot(const XMLElement *pc_robot, bool b_placed) {
  CheckAttributes(pc_robot, {"id", "rab_range", "rab_data_size"});
  SRobotSpec sRobot;
  sRobot.Kind = std::strcmp(pc_robot->Name(), "spiri") == 0 ? ERobotKind::SPIRI
                                                            : ERobotKind::FOOT_BOT;
  sRobot.Id = Text(pc_robot, "id", true);
  sRobot.RABRange = Number(pc_robot, "rab_range", false, 3);
  if (!(sRobot.RABRange >= 0) || sRobot.RABRange > 1e5)
    Fail(pc_robot, "rab_range must be a distance in metres, 0 or more");
  const Real fSize = Number(pc_robot, "rab_data_size", false, 10);
  if (!(fSize >= 0) || fSize > 65535 || fSize != std::floor(fSize))
    Fail(pc_robot, "rab_data_size must be a whole number of bytes from 0 to 65535");
  sRobot.RABDataSize = static_cast<size_t>(fSize);
  for (const XMLElement *pcChild = pc_robot->FirstChildElement(); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement())
    if (std::strcmp(pcChild->Name(), "body") != 0 &&
        std::strcmp(pcChild->Name(), "controller") != 0)
      Fail(pcChild, "unknown element");
  const XMLElement *pcController = Child(pc_robot, "controller", true);
  CheckAttributes(pcController, {"config"});
  sRobot.ControllerId = Text(pcController, "config", true);
  if (m_sOut.Controllers.count(sRobot.ControllerId) == 0)
    Fail(pcController,
         "no controller with id \"" + sRobot.ControllerId + "\" in <controllers>");
  const XMLElement *pcBody = Child(pc_robot, "body", b_placed);
  if (pcBody != nullptr) {
    if (!b_placed)
      Fail(pcBody, "a distributed robot has no <body>: <distribute> places it");
    CheckAttributes(pcBody, {"position", "orientation"});
    sRobot.Position = Vector(pcBody, "position", true);
    sRobot.Yaw = Yaw(pcBody, "orientation", Vector(pcBody, "orientation", false));
  }
  if (b_placed) CheckUniqueId(pc_robot, sRobot.Id);
  return sRobot;
}

CParser::SGenerator CParser::ReadGenerator(const XMLElement *pc_elem) {
  SGenerator sGen;
  sGen.Method = Text(pc_elem, "method", true);
  if (sGen.Method == "uniform") {
    CheckAttributes(pc_elem, {"method", "min", "max"});
    sGen.A = Vector(pc_elem, "min", true);
    sGen.B = Vector(pc_elem, "max", true);
  } else if (sGen.Method == "constant") {
    CheckAttributes(pc_elem, {"method", "values"});
    sGen.A = Vector(pc_elem, "values", true);
  } else if (sGen.Method == "gaussian") {
    CheckAttributes(pc_elem, {"method", "mean", "std_dev"});
    sGen.A = Vector(pc_elem, "mean", true);
    sGen.B = Vector(pc_elem, "std_dev", true);
  } else {
    Fail(pc_elem,
         "unknown method \"" + sGen.Method + "\" (uniform, constant or gaussian)");
  }
  return sGen;
}

CVector3 CParser::Draw(const SGenerator &s_gen) {
  if (s_gen.Method == "constant") return s_gen.A;
  Real afOut[3];
  const Real afA[3] = {s_gen.A.GetX(), s_gen.A.GetY(), s_gen.A.GetZ()};
  const Real afB[3] = {s_gen.B.GetX(), s_gen.B.GetY(), s_gen.B.GetZ()};
  for (int i = 0; i < 3; ++i)
    afOut[i] = s_gen.Method == "uniform" ? m_pcRandom->Uniform(afA[i], afB[i])
                                         : m_pcRandom->Gaussian(afA[i], afB[i]);
  return CVector3(afOut[0], afOut[1], afOut[2]);
}

// Inside the arena, off the walls and off the robots of its kind placed so far.
bool CParser::Fits(const SRobotSpec &s_robot) const {
  const Real fRadius = RadiusOf(s_robot.Kind);
  const CVector2 cAt(s_robot.Position.GetX(), s_robot.Position.GetY());
  const CVector3 cHalf = m_sOut.ArenaSize * 0.5;
  if (std::abs(cAt.GetX() - m_sOut.ArenaCenter.GetX()) > cHalf.GetX() - fRadius ||
      std::abs(cAt.GetY() - m_sOut.ArenaCenter.GetY()) > cHalf.GetY() - fRadius)
    return false;
  if (s_robot.Kind == ERobotKind::FOOT_BOT)
    for (const SWall &sWall : m_sOut.Walls)
      if (SignedDistance(sWall, cAt) < fRadius) return false;
  for (const SRobotSpec &sOther : m_sOut.Robots) {
    if (sOther.Kind != s_robot.Kind) continue;
    const Real fMin = fRadius + RadiusOf(sOther.Kind);
    if ((sOther.Position - s_robot.Position).SquareLength() < fMin * fMin) return false;
  }
  return true;
}

void CParser::ReadDistribute(const XMLElement *pc_distribute) {
  CheckAttributes(pc_distribute, {});
  for (const XMLElement *pcChild = pc_distribute->FirstChildElement(); pcChild != nullptr;
       pcChild = pcChild->NextSiblingElement())
    if (std::strcmp(pcChild->Name(), "position") != 0 &&
        std::strcmp(pcChild->Name(), "orientation") != 0 &&
        std::strcmp(pcChild->Name(), "entity") != 0)
      Fail(pcChild, "unknown element");
  const SGenerator sPosition = ReadGenerator(Child(pc_distribute, "position", true));
  const XMLElement *pcOrientation = Child(pc_distribute, "orientation", true);
  const SGenerator sOrientation = ReadGenerator(pcOrientation);
  const XMLElement *pcEntity = Child(pc_distribute, "entity", true);
  CheckAttributes(pcEntity, {"quantity", "max_trials", "base_num"});
  const Real fQuantity = Number(pcEntity, "quantity", true, 0);
  const Real fTrials = Number(pcEntity, "max_trials", true, 0);
  const Real fBase = Number(pcEntity, "base_num", false, 0);
  for (Real fValue : {fQuantity, fTrials, fBase})
    if (!(fValue >= 0) || fValue != std::floor(fValue) || fValue > 1e7)
      Fail(pcEntity,
           "quantity, max_trials and base_num must be whole numbers, 0 or more");
  const XMLElement *pcRobot = pcEntity->FirstChildElement();
  if (pcRobot == nullptr || pcRobot->NextSiblingElement() != nullptr ||
      (std::strcmp(pcRobot->Name(), "foot-bot") != 0 &&
       std::strcmp(pcRobot->Name(), "spiri") != 0))
    Fail(pcEntity, "must hold exactly one <foot-bot> or <spiri>");
  const SRobotSpec sTemplate = ReadRobot(pcRobot, false);
  for (uint64_t i = 0; i < static_cast<uint64_t>(fQuantity); ++i) {
    SRobotSpec sRobot = sTemplate;
    sRobot.Id = sTemplate.Id + std::to_string(i + static_cast<uint64_t>(fBase));
    CheckUniqueId(pcRobot, sRobot.Id);
    bool bPlaced = false;
    for (uint64_t t = 0; t < static_cast<uint64_t>(fTrials) && !bPlaced; ++t) {
      sRobot.Position = Draw(sPosition);
      sRobot.Yaw = Yaw(pcOrientation, "orientation", Draw(sOrientation));
      bPlaced = Fits(sRobot);
    }
    if (!bPlaced)
      Fail(pcEntity, "could not place \"" + sRobot.Id + "\" in " +
                         std::to_string(static_cast<uint64_t>(fTrials)) +
                         " trials: the area is too crowded");
    m_sOut.Robots.push_back(sRobot);
  }
}

} // namespace

SExperiment ParseExperiment(const std::string &str_text, const std::string &str_name,
                            std::optional<uint32_t> o_seed) {
  tinyxml2::XMLDocument cDoc;
  if (cDoc.Parse(str_text.c_str(), str_text.size()) != tinyxml2::XML_SUCCESS)
    throw CExperimentError(str_name + ":" + std::to_string(cDoc.ErrorLineNum()) +
                           ": malformed XML: " + cDoc.ErrorStr());
  SExperiment sOut;
  sOut.Path = str_name;
  try {
    CParser(str_name, sOut, o_seed).Read(cDoc);
  } catch (ticpp::Exception &ex) {
    throw CExperimentError(str_name + ": " + ex.what());
  }
  return sOut;
}

SExperiment LoadExperiment(const std::string &str_path, std::optional<uint32_t> o_seed) {
  std::ifstream cFile(str_path, std::ios::binary);
  if (!cFile)
    throw CExperimentError("Can't open experiment file \"" + str_path +
                           "\": " + std::strerror(errno));
  std::ostringstream cText;
  cText << cFile.rdbuf();
  return ParseExperiment(cText.str(), str_path, o_seed);
}

} // namespace vesksim
