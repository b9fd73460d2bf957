/*
 * ARGoS stand-in: byte arrays, angles, vectors, quaternions, colours,
 * exceptions and logs.
 */
#include <gtest/gtest.h>

#include "thrown_text.h"

#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/byte_array.h>
#include <argos3/core/utility/datatypes/color.h>
#include <argos3/core/utility/logging/argos_log.h>
#include <argos3/core/utility/math/quaternion.h>
#include <argos3/core/utility/math/vector2.h>
#include <argos3/core/utility/math/vector3.h>
#include <argos3/core/utility/string_utilities.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <sstream>
#include <type_traits>
#include <vector>

using namespace argos;

namespace {

std::vector<unsigned> Bytes(const CByteArray &c_array) {
  std::vector<unsigned> vecBytes;
  for (size_t i = 0; i < c_array.Size(); ++i)
    vecBytes.push_back(c_array[i]);
  return vecBytes;
}

// The text of the CARGoSException that f throws.

constexpr Real EPS = 1e-9;

} // namespace

/* Byte arrays */

TEST(ArgosByteArray, MultiByteNumbersAreBigEndian) {
  CByteArray cArray;
  cArray << static_cast<UInt16>(0x0102) << static_cast<UInt32>(0x03040506)
         << static_cast<UInt64>(0x0708090A0B0C0D0EULL);
  EXPECT_EQ(Bytes(cArray),
            (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
}

TEST(ArgosByteArray, WidthFollowsTheStaticType) {
  CByteArray cInt, cSize, cChar, cByte, cShort;
  cInt << 0;
  cSize << static_cast<size_t>(1);
  cChar << 'c';
  cByte << static_cast<UInt8>(7);
  cShort << static_cast<SInt16>(-1);
  EXPECT_EQ(cInt.Size(), 4u);
  EXPECT_EQ(cSize.Size(), 8u);
  EXPECT_EQ(cChar.Size(), 4u);
  EXPECT_EQ(Bytes(cChar), (std::vector<unsigned>{0, 0, 0, 'c'}));
  EXPECT_EQ(Bytes(cByte), (std::vector<unsigned>{7}));
  EXPECT_EQ(Bytes(cShort), (std::vector<unsigned>{0xFF, 0xFF}));
}

TEST(ArgosByteArray, ExtractionTakesFromTheFrontInOrder) {
  CByteArray cArray;
  cArray << static_cast<UInt16>(7) << static_cast<SInt32>(-123456)
         << static_cast<SInt8>(-5) << static_cast<SInt64>(LLONG_MIN)
         << static_cast<unsigned long>(ULONG_MAX);
  EXPECT_EQ(cArray.PopFront<UInt16>(), 7u);
  EXPECT_EQ(cArray.Size(), 4u + 1 + 8 + 8);
  EXPECT_EQ(cArray.PopFront<SInt32>(), -123456);
  EXPECT_EQ(cArray.PopFront<SInt8>(), -5);
  EXPECT_EQ(cArray.PopFront<SInt64>(), LLONG_MIN);
  EXPECT_EQ(cArray.PopFront<unsigned long>(), ULONG_MAX);
  EXPECT_TRUE(cArray.Empty());
}

TEST(ArgosByteArray, ReadingTwoBytesPutThereByHandGivesBigEndianValue) {
  const UInt8 punPacket[] = {0x00, 0x01, 0x12, 0x34};
  CByteArray cArray(punPacket, sizeof(punPacket));
  UInt16 unSender, unLength;
  cArray >> unSender >> unLength;
  EXPECT_EQ(unSender, 1u);
  EXPECT_EQ(unLength, 0x1234u);
}

TEST(ArgosByteArray, ExtractingTooMuchThrowsAndKeepsTheBytes) {
  CByteArray cArray;
  cArray << static_cast<UInt8>(9);
  EXPECT_EQ(
      ThrownText([&] { cArray.PopFront<UInt16>(); }),
      "[FATAL] Attempting to extract too many bytes from byte array (2 requested, 1 "
      "available)");
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{9}));
  UInt8 punOut[4];
  EXPECT_THROW(cArray.FetchBuffer(punOut, 2), CARGoSException);
  double fValue;
  EXPECT_THROW(cArray >> fValue, CARGoSException);
  EXPECT_EQ(cArray.Size(), 1u);
}

TEST(ArgosByteArray, FloatingPointRoundTripsExactlyInTwelveBytes) {
  const double pfValues[] = {0.0,    1.0,     -2.5,     3.141592653589793,
                             1e-310, DBL_MAX, -DBL_MIN, 123456789.25};
  for (double fValue : pfValues) {
    CByteArray cArray;
    cArray << fValue;
    EXPECT_EQ(cArray.Size(), 12u);
    double fBack = 0;
    cArray >> fBack;
    EXPECT_EQ(fBack, fValue);
    EXPECT_TRUE(cArray.Empty());
  }
  CByteArray cFloat;
  cFloat << 0.1f;
  EXPECT_EQ(cFloat.Size(), 12u);
  EXPECT_EQ(cFloat.PopFront<float>(), 0.1f);
}

TEST(ArgosByteArray, DoubleIsAMantissaFromOneUpAndFrexpExponent) {
  // |significand| in [0.5, 1) maps onto [1, 2^63): 1.0 = 0.5 * 2^1 has
  // mantissa 1, -2.5 = -0.625 * 2^2 has -(0.25 * 2^63 + 1).
  CByteArray cArray;
  cArray << 1.0 << -2.5 << 0.0;
  EXPECT_EQ(cArray.PopFront<SInt64>(), 1);
  EXPECT_EQ(cArray.PopFront<SInt32>(), 1);
  EXPECT_EQ(cArray.PopFront<SInt64>(), -(1LL << 61) - 1);
  EXPECT_EQ(cArray.PopFront<SInt32>(), 2);
  EXPECT_EQ(cArray.PopFront<SInt64>(), 0);
  EXPECT_EQ(cArray.PopFront<SInt32>(), 0);
  // A zero mantissa reads as 0 whatever the exponent.
  cArray << static_cast<SInt64>(0) << static_cast<SInt32>(INT_MAX);
  EXPECT_EQ(cArray.PopFront<double>(), 0.0);
}

#if defined(VESK_ARGOS_STANDIN)
/* ARGoS converts an infinite or NaN significand to an integer, which is
 * undefined (on x86-64 both infinities read back as -1 or 1). */
TEST(ArgosByteArray, InfinitiesRoundTripAndNaNReadsAsZero) {
  CByteArray cArray;
  cArray << static_cast<double>(INFINITY) << static_cast<double>(-INFINITY)
         << static_cast<double>(NAN);
  EXPECT_EQ(cArray.PopFront<double>(), INFINITY);
  EXPECT_EQ(cArray.PopFront<double>(), -INFINITY);
  EXPECT_EQ(cArray.PopFront<double>(), 0.0);
}
#endif

TEST(ArgosByteArray, HostileFloatEncodingsDecodeWithoutOverflow) {
  CByteArray cHuge;
  cHuge << static_cast<SInt64>(LLONG_MAX) << static_cast<SInt32>(INT_MAX - 1);
  EXPECT_EQ(cHuge.PopFront<double>(), INFINITY);
  CByteArray cTiny;
  cTiny << static_cast<SInt64>(LLONG_MIN) << static_cast<SInt32>(INT_MIN);
  EXPECT_EQ(cTiny.PopFront<double>(), 0.0);
  CByteArray cTooBigForFloat;
  cTooBigForFloat << 1e300;
  EXPECT_EQ(cTooBigForFloat.PopFront<float>(), INFINITY);
}

TEST(ArgosByteArray, StringsAreNulTerminated) {
  CByteArray cArray;
  cArray << std::string("ab") << std::string("");
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{'a', 'b', 0, 0}));
  EXPECT_EQ(cArray.PopFront<std::string>(), "ab");
  EXPECT_EQ(cArray.PopFront<std::string>(), "");
  EXPECT_EQ(ThrownText([&] { cArray.PopFront<std::string>(); }),
            "[FATAL] Attempting to extract values from empty byte array");
#if defined(VESK_ARGOS_STANDIN)
  // ARGoS reads one byte past the end looking for the missing NUL.
  cArray << static_cast<UInt8>('x');
  EXPECT_THROW(cArray.PopFront<std::string>(), CARGoSException);
  EXPECT_EQ(cArray.Size(), 1u);
#endif
}

TEST(ArgosByteArray, BufferOperations) {
  CByteArray cEmpty;
  EXPECT_EQ(cEmpty.ToCArray(), nullptr);
  CByteArray cArray(3, 0xAA);
  const UInt8 punMore[] = {1, 2};
  cArray.AddBuffer(punMore, 2);
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{0xAA, 0xAA, 0xAA, 1, 2}));
  UInt8 punOut[3];
  cArray.FetchBuffer(punOut, 3);
  EXPECT_EQ(punOut[2], 0xAA);
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{1, 2}));
  cArray.Resize(4, 9);
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{1, 2, 9, 9}));
  cArray.Zero();
  EXPECT_EQ(Bytes(cArray), (std::vector<unsigned>{0, 0, 0, 0}));
  EXPECT_THROW(cArray[4], CARGoSException);
  const CByteArray &cConst = cArray;
  EXPECT_THROW(cConst[4], CARGoSException);
  EXPECT_TRUE(cArray == CByteArray(4, 0));
  cArray.Clear();
  EXPECT_TRUE(cArray.Empty());
}

TEST(ArgosByteArray, SliceIsANewCopy) {
  const UInt8 punData[] = {1, 2, 3, 4, 5};
  CByteArray cArray(punData, 5);
  std::unique_ptr<CByteArray> pcMiddle(cArray(1, 3));
  std::unique_ptr<CByteArray> pcTail(cArray(3));
  EXPECT_EQ(Bytes(*pcMiddle), (std::vector<unsigned>{2, 3}));
  EXPECT_EQ(Bytes(*pcTail), (std::vector<unsigned>{4, 5}));
  (*pcMiddle)[0] = 42;
  EXPECT_EQ(cArray[1], 2);
  /* The end is cut to the size; a start beyond the last byte throws. */
  std::unique_ptr<CByteArray> pcLast(cArray(4, 6));
  EXPECT_EQ(Bytes(*pcLast), (std::vector<unsigned>{5}));
  EXPECT_THROW(cArray(5, 6), CARGoSException);
#if defined(VESK_ARGOS_STANDIN)
  // ARGoS copies a negative length's worth of bytes, reading out of bounds.
  EXPECT_THROW(cArray(3, 2), CARGoSException);
#endif
}

TEST(ArgosByteArray, PrintsDecimalBytesInBracketsAndEndsTheLine) {
  const UInt8 punData[] = {0, 0x1f, 0xff};
  std::ostringstream ss;
  ss << CByteArray(punData, 3) << CByteArray() << 10;
  EXPECT_EQ(ss.str(), "CByteArray [ 0 31 255 ]\nCByteArray [ ]\n10");
}

/* Angles */

static_assert(!std::is_convertible_v<Real, CRadians>, "CRadians(Real) must be explicit");
static_assert(!std::is_convertible_v<Real, CDegrees>, "CDegrees(Real) must be explicit");
static_assert(!std::is_convertible_v<CDegrees, CRadians>, "no implicit unit change");

TEST(ArgosAngles, ConversionsBetweenUnits) {
  EXPECT_NEAR(ToRadians(CDegrees(180)).GetValue(), ARGOS_PI, EPS);
  EXPECT_NEAR(ToDegrees(CRadians::PI_OVER_TWO).GetValue(), 90.0, EPS);
  EXPECT_NEAR(ToRadians(CDegrees(-45)).GetValue(), -ARGOS_PI / 4, EPS);
  CRadians cAngle;
  cAngle.FromValueInDegrees(90);
  EXPECT_NEAR(cAngle.GetValue(), ARGOS_PI / 2, EPS);
  EXPECT_NEAR(CRadians::RADIANS_TO_DEGREES, 57.29577951308232, EPS);
  EXPECT_NEAR((CRadians::PI / CRadians::PI_OVER_FOUR), 4.0, EPS);
  EXPECT_NEAR((2.0 * CRadians::PI_OVER_SIX).GetValue(),
              CRadians::PI_OVER_THREE.GetValue(), EPS);
}

TEST(ArgosAngles, SignedNormalizeWrapsInPlace) {
  CRadians cAngle(1.5 * ARGOS_PI);
  CRadians &cResult = cAngle.SignedNormalize();
  EXPECT_EQ(&cResult, &cAngle);
  EXPECT_NEAR(cAngle.GetValue(), -ARGOS_PI / 2, EPS);
  EXPECT_NEAR(CRadians(-1.5 * ARGOS_PI).SignedNormalize().GetValue(), ARGOS_PI / 2, EPS);
  EXPECT_NEAR(CRadians(2.5 * ARGOS_PI).SignedNormalize().GetValue(), ARGOS_PI / 2, EPS);
  EXPECT_NEAR(CRadians(-6.5 * ARGOS_PI).SignedNormalize().GetValue(), -ARGOS_PI / 2, EPS);
  // Both ends of the range are kept: a heading straight back stays +PI.
  EXPECT_EQ(CRadians::PI.GetValue(), CRadians(CRadians::PI).SignedNormalize().GetValue());
  EXPECT_EQ(-ARGOS_PI, CRadians(-ARGOS_PI).SignedNormalize().GetValue());
  EXPECT_EQ(CVector2(-1, 0).Angle().SignedNormalize().GetValue(), ARGOS_PI);
}

TEST(ArgosAngles, UnsignedNormalizeAndDegrees) {
  EXPECT_NEAR(CRadians(-ARGOS_PI / 2).UnsignedNormalize().GetValue(), 1.5 * ARGOS_PI,
              EPS);
  EXPECT_NEAR(CRadians(5 * ARGOS_PI).UnsignedNormalize().GetValue(), ARGOS_PI, EPS);
  EXPECT_NEAR(CDegrees(190).SignedNormalize().GetValue(), -170, EPS);
  EXPECT_NEAR(CDegrees(-190).SignedNormalize().GetValue(), 170, EPS);
  EXPECT_NEAR(CDegrees(-10).UnsignedNormalize().GetValue(), 350, EPS);
  EXPECT_NEAR(CDegrees(725).UnsignedNormalize().GetValue(), 5, EPS);
}

#if defined(VESK_ARGOS_STANDIN)
/* The stand-in wraps at once; ARGoS takes 2 pi off until it gets there, so
 * code that may meet huge angles wraps them itself (vesksim::WrappedAngle). */
TEST(ArgosAngles, NormalizationOfHugeValuesTerminatesInRange) {
  const Real fWrapped = CRadians(1e300).SignedNormalize().GetValue();
  EXPECT_GE(fWrapped, -ARGOS_PI);
  EXPECT_LE(fWrapped, ARGOS_PI);
  EXPECT_TRUE(std::isnan(CRadians(NAN).SignedNormalize().GetValue()));
}
#endif

TEST(ArgosAngles, DifferenceTrigonometryAndStreams) {
  const CRadians cDiff =
      NormalizedDifference(ToRadians(CDegrees(170)), ToRadians(CDegrees(-170)));
  EXPECT_NEAR(ToDegrees(cDiff).GetValue(), -20, 1e-9);
  EXPECT_NEAR(Sin(CRadians::PI_OVER_SIX), 0.5, EPS);
  EXPECT_NEAR(Cos(CRadians::PI_OVER_THREE), 0.5, EPS);
  EXPECT_NEAR(ATan2(1, -1).GetValue(), 0.75 * ARGOS_PI, EPS);
  EXPECT_NEAR(ACos(0).GetValue(), ARGOS_PI / 2, EPS);
  EXPECT_NEAR(Abs(CRadians(-2)).GetValue(), 2, EPS);
  EXPECT_TRUE(CRadians(1) < CRadians(2));
  CDegrees cDegrees;
  std::istringstream("90") >> cDegrees;
  EXPECT_NEAR(ToRadians(cDegrees).GetValue(), ARGOS_PI / 2, EPS);
  std::istringstream("x") >> cDegrees;
  EXPECT_EQ(cDegrees.GetValue(), 0);
  std::ostringstream ss;
  ss << CRadians(1.5) << " " << CDegrees(30);
  EXPECT_EQ(ss.str(), "CRadians(1.5 -> 85.9437 degrees) CDegrees(30)");
}

/* Vectors and quaternions */

TEST(ArgosVectors, TwoDimensional) {
  const CVector2 cPolar(2.0, CRadians::PI_OVER_TWO);
  EXPECT_NEAR(cPolar.GetX(), 0, EPS);
  EXPECT_NEAR(cPolar.GetY(), 2, EPS);
  CVector2 cVector(3, 4);
  EXPECT_EQ(cVector.Length(), 5);
  CVector2 &cSame = cVector.Normalize();
  EXPECT_EQ(&cSame, &cVector);
  EXPECT_NEAR(cVector.GetX(), 0.6, EPS);
  cVector.Rotate(CRadians::PI_OVER_TWO);
  EXPECT_NEAR(cVector.GetX(), -0.8, EPS);
  EXPECT_NEAR(cVector.GetY(), 0.6, EPS);
  EXPECT_NEAR(CVector2(0, -1).Angle().GetValue(), -ARGOS_PI / 2, EPS);
  EXPECT_EQ(CVector2(1, 2) + CVector2(3, 4) * 2.0, CVector2(7, 10));
  CVector2 cRead;
  std::istringstream("1.5, -2") >> cRead;
  EXPECT_EQ(cRead, CVector2(1.5, -2));
}

TEST(ArgosVectors, ThreeDimensional) {
  CVector3 cVector(1, 2, 2);
  EXPECT_EQ(cVector.Length(), 3);
  cVector.Normalize();
  EXPECT_NEAR(cVector.GetZ(), 2.0 / 3, EPS);
  CVector3 cRotated = CVector3::X;
  cRotated.Rotate(CQuaternion(CRadians::PI_OVER_TWO, CVector3::Z));
  EXPECT_NEAR(cRotated.GetX(), 0, EPS);
  EXPECT_NEAR(cRotated.GetY(), 1, EPS);
  CVector3 cTurned(1, 0, 5);
  cTurned.RotateZ(CRadians::PI);
  EXPECT_NEAR(cTurned.GetX(), -1, EPS);
  EXPECT_EQ(cTurned.GetZ(), 5);
  const CVector3 cSpherical(2, CRadians::PI_OVER_TWO, CRadians::PI_OVER_TWO);
  EXPECT_NEAR(cSpherical.GetY(), 2, EPS);
  EXPECT_NEAR(cSpherical.GetZ(), 0, EPS);
  EXPECT_EQ(Distance(CVector3(1, 1, 1), CVector3(1, 4, 5)), 5);
  EXPECT_EQ(-CVector3(1, -2, 3), CVector3(-1, 2, -3));
  CVector3 cRead;
  std::istringstream("10, 10, 4") >> cRead;
  EXPECT_EQ(cRead, CVector3(10, 10, 4));
  // Fields are split at commas, each read as a number on its own: a field
  // that is not one gives 0, text after the third field is left.
  std::istringstream ssOdd("1x,y,3,4");
  ssOdd >> cRead;
  EXPECT_EQ(cRead, CVector3(1, 0, 3));
  EXPECT_EQ(ssOdd.rdbuf()->in_avail(), 1);
  for (const char *pchBad : {"1;2;3", "1,2", ""}) {
    std::istringstream ssBad(pchBad);
    EXPECT_EQ(ThrownText([&] { ssBad >> cRead; })
                  .rfind("[FATAL] Parse error: expected 3 "
                         "values, but ",
                         0),
              0u)
        << pchBad;
  }
  EXPECT_EQ(cRead, CVector3(1, 0, 3));
  std::ostringstream ss;
  ss << CVector3(1, -2.5, 3);
  EXPECT_EQ(ss.str(), "1,-2.5,3");
}

TEST(ArgosQuaternion, EulerAnglesRoundTripInZYXOrder) {
  const CQuaternion cIdentity;
  EXPECT_EQ(cIdentity.GetW(), 1);
  EXPECT_EQ(cIdentity.GetX(), 0);
  const Real pfAngles[][3] = {
      {0.3, -0.2, 0.1}, {-2.5, 1.2, 3.0}, {1.5708, 0, 0}, {0, 0, -1}};
  for (const auto &pfZYX : pfAngles) {
    CQuaternion cQuat;
    cQuat.FromEulerAngles(CRadians(pfZYX[0]), CRadians(pfZYX[1]), CRadians(pfZYX[2]));
    CRadians cZ, cY, cX;
    cQuat.ToEulerAngles(cZ, cY, cX);
    EXPECT_NEAR(cZ.GetValue(), pfZYX[0], 1e-9);
    EXPECT_NEAR(cY.GetValue(), pfZYX[1], 1e-9);
    EXPECT_NEAR(cX.GetValue(), pfZYX[2], 1e-9);
  }
  // Yaw alone is a rotation about Z: the X axis turns towards Y.
  CQuaternion cYaw;
  cYaw.FromEulerAngles(CRadians::PI_OVER_TWO, CRadians::ZERO, CRadians::ZERO);
  CVector3 cAxis = CVector3::X;
  EXPECT_NEAR(cAxis.Rotate(cYaw).GetY(), 1, EPS);
}

TEST(ArgosQuaternion, GimbalLockReportsZeroRollWithTheSameRotation) {
  for (Real fPitch : {ARGOS_PI / 2, -ARGOS_PI / 2}) {
    CQuaternion cQuat;
    cQuat.FromEulerAngles(CRadians(0.7), CRadians(fPitch), CRadians(0.3));
    CRadians cZ, cY, cX;
    cQuat.ToEulerAngles(cZ, cY, cX);
    EXPECT_EQ(cX.GetValue(), 0);
    EXPECT_NEAR(cY.GetValue(), fPitch, 1e-6);
    CQuaternion cBack;
    cBack.FromEulerAngles(cZ, cY, cX);
    for (const CVector3 &cProbe : {CVector3::X, CVector3::Y, CVector3::Z}) {
      CVector3 cA = cProbe, cB = cProbe;
      cA.Rotate(cQuat);
      cB.Rotate(cBack);
      EXPECT_NEAR(Distance(cA, cB), 0, 1e-6);
    }
  }
}

TEST(ArgosQuaternion, TextIsZYXInDegrees) {
  CQuaternion cQuat;
  std::istringstream("90,0,0") >> cQuat;
  CRadians cZ, cY, cX;
  cQuat.ToEulerAngles(cZ, cY, cX);
  EXPECT_NEAR(cZ.GetValue(), 1.5708, 1e-4);
  std::ostringstream ss;
  ss << cQuat;
  EXPECT_EQ(ss.str(), "90,0,0");
  const CQuaternion cInverse = cQuat.Inverse();
  const CQuaternion cProduct = cQuat * cInverse;
  EXPECT_NEAR(cProduct.GetW(), 1, EPS);
  EXPECT_NEAR(cProduct.GetZ(), 0, EPS);
  CRadians cAngle;
  CVector3 cAxis;
  cQuat.ToAngleAxis(cAngle, cAxis);
  EXPECT_NEAR(cAngle.GetValue(), ARGOS_PI / 2, EPS);
  EXPECT_NEAR(cAxis.GetZ(), 1, EPS);
}

/* Colours */

TEST(ArgosColor, ConstructionAndNames) {
  EXPECT_EQ(CColor(), CColor::BLACK);
  EXPECT_EQ(CColor().GetAlpha(), 255);
  EXPECT_EQ(CColor(static_cast<UInt8>(300), 0, 0).GetRed(), 44);
  EXPECT_EQ(CColor::ORANGE, CColor(255, 140, 0));
  CColor cColor;
  cColor.Set("red");
  EXPECT_EQ(cColor, CColor::RED);
  cColor.Set("1,2,3,4");
  EXPECT_EQ(cColor, CColor(1, 2, 3, 4));
  // Four fields, each read as a number on its own; more fields are ignored.
  cColor.Set("10, 20x, 30, 40, 50");
  EXPECT_EQ(cColor, CColor(10, 20, 30, 40));
  EXPECT_EQ(ThrownText([&] { cColor.Set("1,2,3"); }),
            "[FATAL] Error while parsing color input string\n"
            "[FATAL] Parse error: expected 4 values, but 3 have been found in \"");
  EXPECT_EQ(ThrownText([&] { cColor.Set("1,256,0,0"); }),
            "[FATAL] Error while parsing color input string\n"
            "[FATAL] Color value 256 is larger than 255.");
  for (const char *pchBad : {"bogus", "Red", "", "-1,0,0,0"}) {
    EXPECT_THROW(cColor.Set(pchBad), CARGoSException) << pchBad;
    EXPECT_EQ(cColor, CColor(10, 20, 30, 40)) << pchBad;
  }
  EXPECT_NEAR(CColor::WHITE.ToGrayScale(), 255, 1e-9);
  EXPECT_EQ(CColor(100, 0, 0).ToGrayScale(), 0.299f * 100);
}

TEST(ArgosColor, Streams) {
  std::ostringstream ss;
  ss << CColor::RED << " " << CColor(1, 2, 3) << " " << CColor::GRAY50;
  EXPECT_EQ(ss.str(), "red 1,2,3,255 gray50");
  CColor cColor;
  std::istringstream("yellow") >> cColor;
  EXPECT_EQ(cColor, CColor::YELLOW);
  std::istringstream("5,6,7,8 rest") >> cColor;
  EXPECT_EQ(cColor, CColor(5, 6, 7, 8));
  std::istringstream ssBad("nocolor");
  EXPECT_THROW(ssBad >> cColor, CARGoSException);
  EXPECT_EQ(cColor, CColor(5, 6, 7, 8));
}

/* Exceptions */

TEST(ArgosException, MessagePrefixAndNesting) {
  EXPECT_EQ(CARGoSException("boom").what(), std::string("[FATAL] boom"));
  const std::string strText = ThrownText([] {
    try {
      try {
        THROW_ARGOSEXCEPTION("Can't open file \""
                             << "a.vo"
                             << "\": " << 42);
      } catch (CARGoSException &ex) {
        THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller", ex);
      }
    } catch (CARGoSException &ex) {
      THROW_ARGOSEXCEPTION_NESTED("Failed to initialize the space.", ex);
    }
  });
  EXPECT_EQ(strText, "[FATAL] Failed to initialize the space.\n"
                     "[FATAL] Error initializing the Vesk controller\n"
                     "[FATAL] Can't open file \"a.vo\": 42");
}

TEST(ArgosException, NestedTextIsCopiedAtConstruction) {
  std::unique_ptr<CARGoSException> pcOuter;
  {
    std::runtime_error cInner("inner reason");
    pcOuter.reset(new CARGoSException("outer", &cInner));
  }
  EXPECT_EQ(pcOuter->what(), std::string("[FATAL] outer\ninner reason"));
}

/* String conversion */

TEST(ArgosStrings, ToStringAndFromString) {
  EXPECT_EQ(FromString<unsigned short>(std::string("fb12").substr(2)), 12);
  EXPECT_EQ(FromString<unsigned short>("abc"), 0);
  EXPECT_EQ(FromString<int>("-7"), -7);
  EXPECT_EQ(ToString(static_cast<UInt16>(5)), "5");
  EXPECT_EQ(ToString(true), "true");
  EXPECT_EQ(ToString(static_cast<UInt8>(65)), "65");
  EXPECT_TRUE(FromString<bool>("true"));
}

/* Logging */

namespace {

// Sends std::cout into a string while it lives.
class CCoutCapture {
public:
  CCoutCapture() : m_pcOld(std::cout.rdbuf(m_cText.rdbuf())) {}
  ~CCoutCapture() { std::cout.rdbuf(m_pcOld); }
  std::string Text() const { return m_cText.str(); }

private:
  std::ostringstream m_cText;
  std::streambuf *m_pcOld;
};

} // namespace

TEST(ArgosLog, TextAppearsOnFlush) {
  LOG.DisableColoredOutput();
  LOG.Flush();
  CCoutCapture cCapture;
  LOG << "VESK: " << 1 << 2.5 << std::endl;
  EXPECT_EQ(cCapture.Text(), "");
  LOG.Flush();
  EXPECT_EQ(cCapture.Text(), "VESK: 12.5\n");
  LOG.Flush();
  EXPECT_EQ(cCapture.Text(), "VESK: 12.5\n");
}

TEST(ArgosLog, ColouredOutputWrapsEveryValueButNotManipulators) {
  LOG.Flush();
  CCoutCapture cCapture;
  LOG.EnableColoredOutput();
  LOG << "a" << static_cast<UInt8>(7) << std::endl;
  LOG.DisableColoredOutput();
  LOG << "b" << std::endl;
  LOG.Flush();
  EXPECT_EQ(cCapture.Text(), "\033[1;32ma\033[0m\033[1;32m7\033[0m\nb\n");
  std::ostringstream ss;
  ss << SLogColor(ARGOS_LOG_ATTRIBUTE_BRIGHT, ARGOS_LOG_COLOR_RED) << "x" << reset;
  EXPECT_EQ(ss.str(), "\033[1;31mx\033[0m");
}

TEST(ArgosLog, DebugIndentsTwoSpacesPerLevel) {
  testing::internal::CaptureStderr();
  DEBUG("SetWheels(%f, %f)\n", 1.0, 2.0);
  DEBUG_INDENTATION = 2;
  DEBUG("plain\n");
  DEBUG_INDENTATION = 0;
  int nTraced = 0;
  TRACE(nTraced = 3)
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[DEBUG] SetWheels(1.000000, 2.000000)\n[DEBUG]     plain\n"
            "[DEBUG] nTraced = 3\n");
  EXPECT_EQ(nTraced, 3);
}
