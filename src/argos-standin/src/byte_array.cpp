// Byte arrays: big-endian numbers, NUL-terminated strings, bounds-checked
// extraction.
#include <argos3/core/utility/configuration/argos_exception.h>
#include <argos3/core/utility/datatypes/byte_array.h>
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <ostream>

namespace argos {

namespace {

// Mantissas are scaled to 53 bits, enough for every double exactly.
constexpr int MANTISSA_BITS = 53;
// Exponent value that marks infinities and NaN; the mantissa then says which.
constexpr SInt32 SPECIAL_EXPONENT = INT32_MAX;

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

CByteArray *CByteArray::operator()(size_t un_start, ssize_t un_end) {
  const size_t unEnd = un_end < 0 ? m_vecBuffer.size() : static_cast<size_t>(un_end);
  if (un_start > unEnd || unEnd > m_vecBuffer.size())
    THROW_ARGOSEXCEPTION("CByteArray: slice [" << un_start << ", " << un_end
                                               << ") out of bounds (size "
                                               << m_vecBuffer.size() << ")");
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

CByteArray &CByteArray::operator<<(double f_value) {
  SInt64 nMantissa;
  SInt32 nExponent;
  if (std::isnan(f_value)) {
    nMantissa = 0;
    nExponent = SPECIAL_EXPONENT;
  } else if (std::isinf(f_value)) {
    nMantissa = f_value > 0 ? 1 : -1;
    nExponent = SPECIAL_EXPONENT;
  } else {
    int nExp = 0;
    const double fFraction = std::frexp(f_value, &nExp); // |fraction| in [0.5, 1) or 0
    nMantissa = static_cast<SInt64>(std::ldexp(fFraction, MANTISSA_BITS));
    nExponent = nExp;
  }
  return *this << nMantissa << nExponent;
}

CByteArray &CByteArray::operator>>(double &f_value) {
  CheckAvailable(sizeof(SInt64) + sizeof(SInt32));
  SInt64 nMantissa;
  SInt32 nExponent;
  *this >> nMantissa >> nExponent;
  if (nExponent == SPECIAL_EXPONENT) {
    f_value = nMantissa == 0 ? NAN : (nMantissa > 0 ? INFINITY : -INFINITY);
  } else {
    // Exponents far outside double's range only saturate to 0 or infinity;
    // clamping keeps the int arithmetic below from overflowing.
    const int nExp = static_cast<int>(std::clamp<SInt64>(
        static_cast<SInt64>(nExponent) - MANTISSA_BITS, INT_MIN / 2, INT_MAX / 2));
    f_value = std::ldexp(static_cast<double>(nMantissa), nExp);
  }
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

CByteArray &CByteArray::operator>>(std::string &str_value) {
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

std::ostream &operator<<(std::ostream &c_os, const CByteArray &c_byte_array) {
  const std::ios::fmtflags tFlags = c_os.flags();
  const char cFill = c_os.fill('0');
  for (size_t i = 0; i < c_byte_array.m_vecBuffer.size(); ++i) {
    if (i > 0) c_os << ' ';
    c_os << std::hex << std::setw(2)
         << static_cast<unsigned>(c_byte_array.m_vecBuffer[i]);
  }
  c_os.fill(cFill);
  c_os.flags(tFlags);
  return c_os;
}

} // namespace argos
