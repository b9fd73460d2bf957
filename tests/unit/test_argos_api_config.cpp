/*
 * ARGoS stand-in: XML configuration access and its errors.
 */
#include <gtest/gtest.h>

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector3.h>

#include <string>
#include <vector>

using namespace argos;

namespace {

// The text of the exception of type E that f throws.
template <typename E, typename F> std::string ThrownText(F f) {
  try {
    f();
  } catch (E &ex) {
    return ex.what();
  }
  return "<nothing thrown>";
}

// A parsed experiment fragment shared by the tests.
class ArgosConfiguration : public testing::Test {
protected:
  void SetUp() override {
    m_cDocument.Parse(R"(<?xml version="1.0" ?>
<controller id="fbc">
  <actuators><leds implementation="default" medium="leds"/></actuators>
  <params bytecode_file="my script.vo" debug_file="script.vdb" count="10abc" bad="abc"
          speed="2.5" flag="true" other_flag="1" small="200" big="300" negative="-100"
          angle="90" position="1, 2, 3" orientation="90,0,0" color="red" rgba="1,2,3,4">
    <wheel_turning max_speed="10"/>
    <item name="a"/><skip/><item name="b"/><item name="c"/>
  </params>
</controller>)");
    m_pcRoot = m_cDocument.FirstChildElement();
    m_pcParams = &GetNode(*m_pcRoot, "params");
  }

  template <typename F> static std::string ThrownText(F f) {
    try {
      f();
    } catch (CARGoSException &ex) {
      return ex.what();
    }
    return "<nothing thrown>";
  }

  ticpp::Document m_cDocument;
  TConfigurationNode *m_pcRoot = nullptr;
  TConfigurationNode *m_pcParams = nullptr;
};

} // namespace

TEST_F(ArgosConfiguration, GetNodeFindsTheFirstChildOrThrows) {
  EXPECT_EQ(GetNode(*m_pcParams, "item").GetAttribute("name"), "a");
  // Every look-up makes a new wrapper of the same node: compare with ==.
  EXPECT_NE(&GetNode(*m_pcParams, "item"), &GetNode(*m_pcParams, "item"));
  EXPECT_TRUE(GetNode(*m_pcParams, "item") == GetNode(*m_pcParams, "item"));
  EXPECT_TRUE(GetNode(*m_pcParams, "item") != GetNode(*m_pcParams, "skip"));
  EXPECT_EQ(ThrownText([&] { GetNode(*m_pcParams, "nothing"); }),
            "[FATAL] Node 'nothing' not found");
  EXPECT_TRUE(NodeExists(*m_pcRoot, "actuators"));
  EXPECT_FALSE(NodeExists(*m_pcRoot, "sensors"));
  EXPECT_FALSE(NodeExists(GetNode(*m_pcParams, "skip"), "anything"));
}

TEST_F(ArgosConfiguration, AttributesConvertWithStreamRules) {
  std::string strFile;
  GetNodeAttribute(*m_pcParams, "bytecode_file", strFile);
  EXPECT_EQ(strFile, "my script.vo");
  int nCount = 0;
  GetNodeAttribute(*m_pcParams, "count", nCount);
  EXPECT_EQ(nCount, 10);
  Real fSpeed = 0;
  GetNodeAttribute(*m_pcParams, "speed", fSpeed);
  EXPECT_EQ(fSpeed, 2.5);
  CDegrees cAngle;
  GetNodeAttribute(*m_pcParams, "angle", cAngle);
  EXPECT_NEAR(ToRadians(cAngle).GetValue(), ARGOS_PI / 2, 1e-12);
  CVector3 cPosition;
  GetNodeAttribute(*m_pcParams, "position", cPosition);
  EXPECT_EQ(cPosition, CVector3(1, 2, 3));
  CQuaternion cOrientation;
  GetNodeAttribute(*m_pcParams, "orientation", cOrientation);
  CRadians cZ, cY, cX;
  cOrientation.ToEulerAngles(cZ, cY, cX);
  EXPECT_NEAR(cZ.GetValue(), ARGOS_PI / 2, 1e-12);
  CColor cColor;
  GetNodeAttribute(*m_pcParams, "color", cColor);
  EXPECT_EQ(cColor, CColor::RED);
  GetNodeAttribute(*m_pcParams, "rgba", cColor);
  EXPECT_EQ(cColor, CColor(1, 2, 3, 4));
}

TEST_F(ArgosConfiguration, MissingOrBadAttributesThrowNested) {
  int nValue = 7;
  const std::string strMissing =
      ThrownText([&] { GetNodeAttribute(*m_pcParams, "absent", nValue); });
  EXPECT_EQ(strMissing.rfind("[FATAL] Error parsing attribute \"absent\"\n"
                             "Attribute does not exist",
                             0),
            0u)
      << strMissing;
  EXPECT_EQ(nValue, 7);
  const std::string strBad =
      ThrownText([&] { GetNodeAttribute(*m_pcParams, "bad", nValue); });
  EXPECT_EQ(strBad.rfind("[FATAL] Error parsing attribute \"bad\"\n"
                         "Could not convert \"abc\" to target type",
                         0),
            0u)
      << strBad;
  // The failed conversion has already written the buffer.
  EXPECT_EQ(nValue, 0);
  // An error of the type's own reader is not nested.
  CVector3 cVector;
  EXPECT_EQ(ThrownText([&] {
              GetNodeAttribute(*m_pcParams, "bad", cVector);
            }).rfind("[FATAL] Parse error: expected 3 values, but 1 have been found", 0),
            0u);
}

TEST_F(ArgosConfiguration, OrDefaultOnlyCoversMissingAttributes) {
  std::string strFile = "unchanged";
  GetNodeAttributeOrDefault(*m_pcParams, "absent_file", strFile, std::string());
  EXPECT_EQ(strFile, "");
  GetNodeAttributeOrDefault<std::string>(*m_pcParams, "debug_file", strFile, "x");
  EXPECT_EQ(strFile, "script.vdb");
  Real fValue = 1;
  GetNodeAttributeOrDefault(*m_pcParams, "absent", fValue, 4.5);
  EXPECT_EQ(fValue, 4.5);
  fValue = 1;
  EXPECT_THROW(GetNodeAttributeOrDefault(*m_pcParams, "bad", fValue, 0.5),
               CARGoSException);
  EXPECT_EQ(fValue, 0);
  bool bFlag = false;
  GetNodeAttributeOrDefault(*m_pcParams, "absent", bFlag, true);
  EXPECT_TRUE(bFlag);
  EXPECT_THROW(GetNodeAttributeOrDefault(*m_pcParams, "other_flag", bFlag, false),
               CARGoSException);
  UInt8 unByte = 0;
  GetNodeAttributeOrDefault(*m_pcParams, "absent", unByte, static_cast<UInt8>(9));
  EXPECT_EQ(unByte, 9);
  GetNodeAttributeOrDefault(*m_pcParams, "big", unByte, static_cast<UInt8>(9));
  EXPECT_EQ(unByte, 44);
}

TEST_F(ArgosConfiguration, BooleansAndBytesHaveTheirOwnRules) {
  bool bFlag = false;
  GetNodeAttribute(*m_pcParams, "flag", bFlag);
  EXPECT_TRUE(bFlag);
  EXPECT_EQ(ThrownText([&] { GetNodeAttribute(*m_pcParams, "other_flag", bFlag); }),
            "[FATAL] Cannot convert '1' into a bool. Accepted values: 'true', 'false'.");
  EXPECT_TRUE(bFlag);
  // Bytes are read as 32-bit numbers and cut to 8 bits.
  UInt8 unSmall = 0;
  GetNodeAttribute(*m_pcParams, "small", unSmall);
  EXPECT_EQ(unSmall, 200);
  GetNodeAttribute(*m_pcParams, "big", unSmall);
  EXPECT_EQ(unSmall, 44);
  SInt8 nSmall = 0;
  GetNodeAttribute(*m_pcParams, "negative", nSmall);
  EXPECT_EQ(nSmall, -100);
  GetNodeAttribute(*m_pcParams, "small", nSmall);
  EXPECT_EQ(nSmall, -56);
  EXPECT_THROW(GetNodeAttribute(*m_pcParams, "bad", nSmall), CARGoSException);
  EXPECT_EQ(nSmall, -56);
  // Written back as numbers, not as characters.
  SetNodeAttribute(*m_pcParams, "byte", static_cast<UInt8>(65));
  EXPECT_EQ(m_pcParams->GetAttribute("byte"), "65");
}

TEST_F(ArgosConfiguration, IteratorsWalkChildrenAndAttributes) {
  std::vector<std::string> vecNames;
  TConfigurationNodeIterator itItem("item");
  for (itItem = itItem.begin(m_pcParams); itItem != itItem.end(); ++itItem)
    vecNames.push_back(itItem->GetAttribute("name"));
  EXPECT_EQ(vecNames, (std::vector<std::string>{"a", "b", "c"}));
  size_t unChildren = 0;
  TConfigurationNodeIterator itAll;
  for (itAll = itAll.begin(m_pcParams); itAll != itAll.end(); ++itAll)
    ++unChildren;
  EXPECT_EQ(unChildren, 5u);
  std::vector<std::string> vecAttributes;
  TConfigurationAttributeIterator itAttr;
  TConfigurationNode &cLEDs = GetNode(GetNode(*m_pcRoot, "actuators"), "leds");
  for (itAttr = itAttr.begin(&cLEDs); itAttr != itAttr.end(); ++itAttr)
    vecAttributes.push_back(itAttr->Name() + "=" + itAttr->Value());
  EXPECT_EQ(vecAttributes,
            (std::vector<std::string>{"implementation=default", "medium=leds"}));
  TConfigurationNodeIterator itNone("nothing");
  EXPECT_TRUE(itNone.begin(m_pcParams) == itNone.end());
}

TEST_F(ArgosConfiguration, BuildingNodesInCode) {
  TConfigurationNode cNode("wheel_turning");
  SetNodeAttribute(cNode, "max_speed", 12.5);
  SetNodeAttribute(cNode, "enabled", true);
  Real fSpeed = 0;
  GetNodeAttribute(cNode, "max_speed", fSpeed);
  EXPECT_EQ(fSpeed, 12.5);
  bool bEnabled = false;
  GetNodeAttribute(cNode, "enabled", bEnabled);
  EXPECT_TRUE(bEnabled);
  TConfigurationNode cParent("params");
  AddChildNode(cParent, cNode);
  // The child is a copy: changing the original does not reach it.
  SetNodeAttribute(cNode, "max_speed", 1);
  GetNodeAttribute(GetNode(cParent, "wheel_turning"), "max_speed", fSpeed);
  EXPECT_EQ(fSpeed, 12.5);
  // Copies of a node handle share the tree.
  TConfigurationNode cAlias = cParent;
  SetNodeAttribute(cAlias, "shared", 3);
  EXPECT_TRUE(NodeAttributeExists(cParent, "shared"));
}

TEST_F(ArgosConfiguration, NodeText) {
  ticpp::Document cDocument;
  cDocument.Parse("<root><value> 42 </value><empty/></root>");
  TConfigurationNode &cRoot = *cDocument.FirstChildElement();
  int nValue = 0;
  GetNodeText(GetNode(cRoot, "value"), nValue);
  EXPECT_EQ(nValue, 42);
  EXPECT_THROW(GetNodeText(GetNode(cRoot, "empty"), nValue), CARGoSException);
  GetNodeTextOrDefault(GetNode(cRoot, "empty"), nValue, 5);
  EXPECT_EQ(nValue, 5);
}

TEST(ArgosXml, ParseErrorsAndMissingChildren) {
  ticpp::Document cBad;
  EXPECT_THROW(cBad.Parse("<root><unclosed></root>"), ticpp::Exception);
  EXPECT_NO_THROW(cBad.Parse("<root", false));
  ticpp::Document cDocument;
  cDocument.Parse("<root/>");
  ticpp::Element &cRoot = *cDocument.FirstChildElement();
  EXPECT_EQ(ThrownText<ticpp::Exception>([&] {
              cRoot.FirstChildElement();
            }).rfind("Element (root) does NOT contain a child with the value of ''", 0),
            0u);
  EXPECT_EQ(cRoot.FirstChildElement(false), nullptr);
  EXPECT_EQ(ThrownText<ticpp::Exception>([&] {
              cDocument.LoadFile("/nonexistent/dir/file.argos");
            }).rfind("Couldn't load /nonexistent/dir/file.argos", 0),
            0u);
}

TEST(ArgosXml, ParseAppendsToWhatTheDocumentHolds) {
  ticpp::Document cDocument;
  cDocument.Parse("<first/>");
  ticpp::Element *pcFirst = cDocument.FirstChildElement();
  cDocument.Parse("<second a=\"1\"/>");
  EXPECT_EQ(cDocument.FirstChildElement()->Value(), "first");
  EXPECT_EQ(pcFirst->Value(), "first");
  EXPECT_EQ(cDocument.FirstChildElement("second")->GetAttribute("a"), "1");
  EXPECT_EQ(pcFirst->NextSiblingElement()->Value(), "second");
}
