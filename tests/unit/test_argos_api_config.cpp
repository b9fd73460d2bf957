// ARGoS stand-in: XML configuration access and its errors.
#include <gtest/gtest.h>

#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector3.h>

#include <string>
#include <vector>

using namespace argos;

namespace {

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
  EXPECT_EQ(&GetNode(*m_pcParams, "item"), &GetNode(*m_pcParams, "item"));
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

TEST_F(ArgosConfiguration, MissingOrBadAttributesThrowNestedAndKeepTheBuffer) {
  int nValue = 7;
  const std::string strMissing =
      ThrownText([&] { GetNodeAttribute(*m_pcParams, "absent", nValue); });
  EXPECT_EQ(strMissing.rfind("[FATAL] Error parsing attribute \"absent\"\n"
                             "Attribute does not exist",
                             0),
            0u)
      << strMissing;
  EXPECT_NE(strMissing.find("absent", 40), std::string::npos) << strMissing;
  const std::string strBad =
      ThrownText([&] { GetNodeAttribute(*m_pcParams, "bad", nValue); });
  EXPECT_EQ(strBad.rfind("[FATAL] Error parsing attribute \"bad\"\n", 0), 0u) << strBad;
  EXPECT_NE(strBad.find("\"abc\""), std::string::npos) << strBad;
  EXPECT_EQ(nValue, 7);
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
  EXPECT_THROW(GetNodeAttributeOrDefault(*m_pcParams, "bad", fValue, 0.0),
               CARGoSException);
  EXPECT_EQ(fValue, 4.5);
  bool bFlag = false;
  GetNodeAttributeOrDefault(*m_pcParams, "absent", bFlag, true);
  EXPECT_TRUE(bFlag);
  EXPECT_THROW(GetNodeAttributeOrDefault(*m_pcParams, "other_flag", bFlag, false),
               CARGoSException);
}

TEST_F(ArgosConfiguration, BooleansAndBytesHaveTheirOwnRules) {
  bool bFlag = false;
  GetNodeAttribute(*m_pcParams, "flag", bFlag);
  EXPECT_TRUE(bFlag);
  EXPECT_NE(ThrownText([&] {
              GetNodeAttribute(*m_pcParams, "other_flag", bFlag);
            }).find("'true', 'false'"),
            std::string::npos);
  UInt8 unSmall = 0;
  GetNodeAttribute(*m_pcParams, "small", unSmall);
  EXPECT_EQ(unSmall, 200);
  EXPECT_THROW(GetNodeAttribute(*m_pcParams, "big", unSmall), CARGoSException);
  SInt8 nSmall = 0;
  GetNodeAttribute(*m_pcParams, "negative", nSmall);
  EXPECT_EQ(nSmall, -100);
  EXPECT_THROW(GetNodeAttribute(*m_pcParams, "small", nSmall), CARGoSException);
  EXPECT_EQ(nSmall, -100);
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
  ticpp::Document cDocument;
  EXPECT_THROW(cDocument.Parse("<root><unclosed></root>"), ticpp::Exception);
  EXPECT_NO_THROW(cDocument.Parse("<root", false));
  cDocument.Parse("<root/>");
  EXPECT_THROW(cDocument.FirstChildElement()->FirstChildElement(), ticpp::Exception);
  EXPECT_EQ(cDocument.FirstChildElement()->FirstChildElement(false), nullptr);
  EXPECT_THROW(cDocument.LoadFile("/nonexistent/dir/file.argos"), ticpp::Exception);
}
