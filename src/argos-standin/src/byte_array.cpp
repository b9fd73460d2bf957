/*
 * Byte arrays: big-endian numbers, NUL-terminated strings, bounds-checked
 * extraction.
 */
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/byte_array.h>
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <ostream>

namespace argos {

namespace {

// A double travels as a signed 64-bit mantissa and a signed 32-bit exponent
// (frexp's). The mantissa maps the significand's magnitude, in [0.5, 1), onto
// [1, 2^63): 0 is kept for a zero value. The scale is this number as a double,
// which rounds to 2^63.
constexpr SInt64 MAX_MANTISSA = 9223372036854775806LL;
// Exponent written for infinities: with mantissa +-1 it decodes as +-infinity.
constexpr SInt32 INFINITY_EXPONENT = INT32_MAX;

} // namespace

CByteArray::CByteArray(const UInt8 *pun_buffer, size_t un_size) {
  if (un_size > 0) m_vecBuffer.assign(pun_buffer, pun_buffer + un_size);
}

void CByteArray::Zero() {
  std::fill(m_vecBuffer.begin(), m_vecBuffer.end(), 0);
}

UInt8 &CByteArray::operator[](size_t un_index) {
  if (un_index >= m_vecBuffer.size())
    THROW_ARGOSEXCEPTION("CByteArray: index out of bounds [index = "
                         << un_index << ", size=" << m_vecBuffer.size() << "]");
  return m_vecBuffer[un_index];
}

UInt8 CByteArray::operator[](size_t un_index) const {
  if (un_index >= m_vecBuffer.size())
    THROW_ARGOSEXCEPTION("CByteArray: index out of bounds [index = "
                         << un_index << ", size=" << m_vecBuffer.size() << "]");
  return m_vecBuffer[un_index];
}

CByteArray &CByteArray::AddBuffer(const UInt8 *pun_buffer, size_t un_size) {
  if (un_size > 0)
    m_vecBuffer.insert(m_vecBuffer.end(), pun_buffer, pun_buffer + un_size);
  return *this;
}

CByteArray &CByteArray::FetchBuffer(UInt8 *pun_buffer, size_t un_size) {
  CheckAvailable(un_size);
  if (un_size > 0) {
    std::memcpy(pun_buffer, m_vecBuffer.data(), un_size);
    m_vecBuffer.erase(m_vecBuffer.begin(), m_vecBuffer.begin() + un_size);
  }
  return *this;
}

// As in ARGoS: the start must lie inside, the end is cut to the size. ARGoS
// leaves an end before the start undefined; here it throws.
CByteArray *CByteArray::operator()(size_t un_start, ssize_t un_end) {
  if (un_start >= m_vecBuffer.size())
    THROW_ARGOSEXCEPTION("Attempting to extract from byte array beyond the limits ("
                         << un_start << " requested, " << m_vecBuffer.size() << " size)");
  const size_t unEnd = un_end < 0
                           ? m_vecBuffer.size()
                           : std::min(static_cast<size_t>(un_end), m_vecBuffer.size());
  if (unEnd < un_start)
    THROW_ARGOSEXCEPTION("CByteArray: slice [" << un_start << ", " << un_end
                                               << ") ends before it starts");
  return new CByteArray(m_vecBuffer.data() + un_start, unEnd - un_start);
}

void CByteArray::CheckAvailable(size_t un_requested) const {
  if (un_requested > m_vecBuffer.size())
    THROW_ARGOSEXCEPTION("Attempting to extract too many bytes from byte array ("
                         << un_requested << " requested, " << m_vecBuffer.size()
                         << " available)");
}

void CByteArray::AppendBigEndian(UInt64 un_value, size_t un_bytes) {
  for (size_t i = un_bytes; i > 0; --i)
    m_vecBuffer.push_back(static_cast<UInt8>(un_value >> (8 * (i - 1))));
}

UInt64 CByteArray::ExtractBigEndian(size_t un_bytes) {
  CheckAvailable(un_bytes);
  UInt64 unValue = 0;
  for (size_t i = 0; i < un_bytes; ++i)
    unValue = (unValue << 8) | m_vecBuffer[i];
  m_vecBuffer.erase(m_vecBuffer.begin(), m_vecBuffer.begin() + un_bytes);
  return unValue;
}

// Every integer type goes through the same pair: its width picks the number
// of bytes, and the conversion through the unsigned 64-bit value keeps the
// two's-complement bits of signed values.
#define ARGOS_BYTE_ARRAY_INTEGER(TYPE)                                                   \
  CByteArray &CByteArray::operator<<(TYPE t_value) {                                     \
    AppendBigEndian(static_cast<UInt64>(t_value), sizeof(TYPE));                         \
    return *this;                                                                        \
  }                                                                                      \
  CByteArray &CByteArray::operator>>(TYPE &t_value) {                                    \
    t_value = static_cast<TYPE>(ExtractBigEndian(sizeof(TYPE)));                         \
    return *this;                                                                        \
  }

ARGOS_BYTE_ARRAY_INTEGER(UInt8)
ARGOS_BYTE_ARRAY_INTEGER(SInt8)
ARGOS_BYTE_ARRAY_INTEGER(UInt16)
ARGOS_BYTE_ARRAY_INTEGER(SInt16)
ARGOS_BYTE_ARRAY_INTEGER(UInt32)
ARGOS_BYTE_ARRAY_INTEGER(SInt32)
ARGOS_BYTE_ARRAY_INTEGER(UInt64)
ARGOS_BYTE_ARRAY_INTEGER(SInt64)
ARGOS_BYTE_ARRAY_INTEGER(unsigned long int)
ARGOS_BYTE_ARRAY_INTEGER(signed long int)

#undef ARGOS_BYTE_ARRAY_INTEGER

// Finite values are written as ARGoS writes them. ARGoS converts infinities
// and NaN to an integer, which is undefined; here an infinity is written so
// that it reads back as itself, and NaN is written as zero.
CByteArray &CByteArray::operator<<(double f_value) {
  SInt64 nMantissa = 0;
  int nExponent = 0;
  if (std::isinf(f_value)) {
    nMantissa = f_value > 0 ? 1 : -1;
    nExponent = INFINITY_EXPONENT;
  } else if (!std::isnan(f_value)) {
    const double fShifted = std::fabs(std::frexp(f_value, &nExponent)) - 0.5;
    if (fShifted >= 0.0) {
      nMantissa =
          static_cast<SInt64>(fShifted * 2.0 * static_cast<double>(MAX_MANTISSA)) + 1;
      if (f_value < 0.0) nMantissa = -nMantissa;
    }
  }
  return *this << nMantissa << static_cast<SInt32>(nExponent);
}

// The inverse map; the magnitude is taken unsigned so that the most negative
// mantissa does not overflow.
CByteArray &CByteArray::operator>>(double &f_value) {
  CheckAvailable(sizeof(SInt64) + sizeof(SInt32));
  SInt64 nMantissa;
  SInt32 nExponent;
  *this >> nMantissa >> nExponent;
  if (nMantissa == 0) {
    f_value = 0.0;
    return *this;
  }
  const UInt64 unMagnitude =
      nMantissa < 0 ? 0 - static_cast<UInt64>(nMantissa) : static_cast<UInt64>(nMantissa);
  const double fSignificand =
      static_cast<double>(unMagnitude - 1) / static_cast<double>(MAX_MANTISSA) / 2.0 +
      0.5;
  f_value = std::ldexp(fSignificand, nExponent);
  if (nMantissa < 0) f_value = -f_value;
  return *this;
}

CByteArray &CByteArray::operator<<(float f_value) {
  return *this << static_cast<double>(f_value);
}

CByteArray &CByteArray::operator>>(float &f_value) {
  double fValue;
  *this >> fValue;
  // Out-of-range doubles saturate instead of invoking an undefined cast.
  if (fValue > FLT_MAX)
    f_value = INFINITY;
  else if (fValue < -FLT_MAX)
    f_value = -INFINITY;
  else
    f_value = static_cast<float>(fValue);
  return *this;
}

CByteArray &CByteArray::operator<<(const std::string &str_value) {
  AddBuffer(reinterpret_cast<const UInt8 *>(str_value.data()), str_value.size());
  m_vecBuffer.push_back(0);
  return *this;
}

// Takes the bytes up to the first NUL and the NUL. ARGoS reads one byte past
// the end when no NUL is left; here that throws and keeps the bytes.
CByteArray &CByteArray::operator>>(std::string &str_value) {
  if (m_vecBuffer.empty())
    THROW_ARGOSEXCEPTION("Attempting to extract values from empty byte array");
  std::vector<UInt8>::iterator itEnd =
      std::find(m_vecBuffer.begin(), m_vecBuffer.end(), 0);
  if (itEnd == m_vecBuffer.end())
    THROW_ARGOSEXCEPTION("Attempting to extract a string from a byte array that holds no "
                         "string terminator ("
                         << m_vecBuffer.size() << " bytes available)");
  str_value.assign(m_vecBuffer.begin(), itEnd);
  m_vecBuffer.erase(m_vecBuffer.begin(), itEnd + 1);
  return *this;
}

// "CByteArray [ 0 31 255 ]" and a new line: bytes in decimal.
std::ostream &operator<<(std::ostream &c_os, const CByteArray &c_byte_array) {
  c_os << "CByteArray [";
  for (UInt8 unByte : c_byte_array.m_vecBuffer)
    c_os << " " << unByte;
  return c_os << " ]" << std::endl;
}

} // namespace argos
