#include "posstream/BinaryPositionStreamFrame.h"

#include "posstream/PositionStreamItem.h"

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include <tervo/GeoCoordinates.h>

#include <cmath>

namespace orva {
namespace keldra {
namespace internal {

namespace {

typedef BinaryPositionStreamFrame Frame;

const unsigned int kMaxMbiBytes = 9;
const unsigned int kMbiBufferSize = 10;
// Marker, mask and 12 values of at most 9 bytes each.
const unsigned int kMaxFrameBytes = 2 + 13 * kMaxMbiBytes;
// Bits that write() puts into the stream.
const unsigned long long kWritableBits = 0x2FF;

const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

typedef PositionStreamItem Item;

const int kCoordinateDecimals = 7;

// Times from here on would overflow milliseconds in an encoder's difference from its
// first item (2^55 tenths of a second, about 114 million years).
const long long kMaxTenths = 1LL << 55;

// The values scaled to integers, each under its own bit, in the order of the frame
// bytes (the coordinates, two values under one bit, and the byte value are handled
// apart). The item's values are taken and given as doubles.
struct ScaledValue {
  unsigned int bit;
  long long Frame::*member;
  int decimals;
  double (*get)(const Item&);
  void (*set)(Item&, double);
};
const ScaledValue kScaledValues[] = {
    {Item::FLAG_HORIZONTAL_ACCURACY, &Frame::horizontal_accuracy, 1,
     [](const Item& i) -> double { return i.horizontal_accuracy; },
     [](Item& i, double v) { i.horizontal_accuracy = static_cast<float>(v); }},
    {Item::FLAG_ALTITUDE, &Frame::altitude, 1, [](const Item& i) { return i.altitude; },
     [](Item& i, double v) { i.altitude = v; }},
    {Item::FLAG_ADDITIONAL_VALUE, &Frame::additional_value, 1,
     [](const Item& i) -> double { return i.additional_value; },
     [](Item& i, double v) { i.additional_value = static_cast<float>(v); }},
    {Item::FLAG_VERTICAL_ACCURACY, &Frame::vertical_accuracy, 1,
     [](const Item& i) -> double { return i.vertical_accuracy; },
     [](Item& i, double v) { i.vertical_accuracy = static_cast<float>(v); }},
    {Item::FLAG_SPEED, &Frame::speed, 2, [](const Item& i) { return i.speed; },
     [](Item& i, double v) { i.speed = v; }},
    {Item::FLAG_COURSE, &Frame::course, 0, [](const Item& i) { return i.course; },
     [](Item& i, double v) { i.course = v; }},
};

// Arithmetic of stream values wraps instead of overflowing: a hostile stream may
// accumulate deltas without bound, and such results fail the item's checks later.
long long wrap_add(long long a, long long b) {
  return static_cast<long long>(static_cast<unsigned long long>(a) +
                                static_cast<unsigned long long>(b));
}
long long wrap_sub(long long a, long long b) {
  return static_cast<long long>(static_cast<unsigned long long>(a) -
                                static_cast<unsigned long long>(b));
}

// x * 10^n rounded half away from zero: truncated at one more decimal, then +5 / 10.
// False when x is not finite or too large: results stay below 2^59, so that the
// difference of two of them always fits an MBI.
bool scale(double x, int n, long long& out) {
  out = 0;
  if (!std::isfinite(x) || n < 0 || n > 8) return false;
  const double t = std::trunc(std::fabs(x) * kPow10[n + 1]);
  if (!(t < 4611686018427387904.0)) return false;  // 2^62
  const long long r = (static_cast<long long>(t) + 5) / 10;
  out = x < 0 ? -r : r;
  return true;
}

// Appends the MBI of v to out at pos; false when v cannot be encoded.
bool put_mbi(long long v, unsigned char* out, unsigned int& pos) {
  unsigned int len = 0;
  const unsigned char* bytes = Frame::encode_mbi(v, len);
  if (!bytes) return false;
  for (unsigned int i = 0; i < len; ++i) out[pos++] = bytes[i];
  return true;
}

}  // namespace

Frame::BinaryPositionStreamFrame() { reset(); }

void Frame::reset() {
  key = true;
  mask = 0;
  time = 0;
  latitude = 0;
  longitude = 0;
  altitude = 0;
  horizontal_accuracy = 0;
  vertical_accuracy = 0;
  speed = 0;
  course = 0;
  byte_value = 0;
  additional_value = 0;
  two_bit_value = 0;
}

const unsigned char* Frame::encode_mbi(long long v, unsigned int& len) {
  static thread_local unsigned char buffer[kMbiBufferSize];
  len = 0;
  const bool negative = v < 0;
  // Magnitude through unsigned arithmetic: -LLONG_MIN does not fit a long long.
  unsigned long long a = negative ? 0ULL - static_cast<unsigned long long>(v)
                                  : static_cast<unsigned long long>(v);
  if (a > MAX_MBI_MAGNITUDE) return nullptr;

  // Low groups first, from the end of the buffer backwards.
  unsigned int start = kMbiBufferSize;
  bool last = true;
  while (a >= 64) {
    buffer[--start] = static_cast<unsigned char>((a & 0x7F) | (last ? 0 : 0x80));
    last = false;
    a >>= 7;
  }
  buffer[--start] = static_cast<unsigned char>(a | (negative ? 0x40 : 0) | (last ? 0 : 0x80));
  len = kMbiBufferSize - start;
  return buffer + start;
}

bool Frame::decode_mbi(const unsigned char* bytes, unsigned int len, long long& v) {
  if (!bytes || len == 0 || len > kMaxMbiBytes) return false;
  for (unsigned int i = 0; i + 1 < len; ++i) {
    if (!(bytes[i] & 0x80)) return false;
  }
  if (bytes[len - 1] & 0x80) return false;  // cut short
  // Leading groups without magnitude bits are never written, and 80 80 is the marker.
  if (len >= 2 && (bytes[0] & 0x3F) == 0 && (bytes[1] & 0x7F) == 0) return false;

  unsigned long long a = bytes[0] & 0x3F;
  for (unsigned int i = 1; i < len; ++i) a = (a << 7) | (bytes[i] & 0x7F);
  const long long magnitude = static_cast<long long>(a);  // at most 62 bits
  v = (bytes[0] & 0x40) ? -magnitude : magnitude;
  return true;
}

const unsigned char* Frame::read_mbi(ReadStream& s, unsigned int& len) {
  static thread_local unsigned char buffer[kMbiBufferSize];
  len = 0;
  if (!s.is_ok()) return nullptr;
  for (unsigned int i = 0; i < kMbiBufferSize; ++i) {
    if (!s.read_uint8(buffer[i])) return nullptr;
    if (!(buffer[i] & 0x80)) {
      len = i + 1;
      return buffer;
    }
  }
  return nullptr;
}

bool Frame::read_and_decode_mbi(ReadStream& s, long long& v) {
  unsigned int len = 0;
  const unsigned char* bytes = read_mbi(s, len);
  return bytes && decode_mbi(bytes, len, v);
}

bool Frame::encode_and_write_mbi(long long v, WriteStream& s) {
  if (!s.is_ok()) return false;
  unsigned int len = 0;
  const unsigned char* bytes = encode_mbi(v, len);
  return bytes && s.write_block(bytes, len);
}

long long Frame::round_to_int(double x, int n) {
  long long r = 0;
  scale(x, n, r);
  return r;
}

double Frame::int_to_double(long long i, int n) {
  if (n < 0 || n > 9) return static_cast<double>(i) / std::pow(10.0, n);
  return static_cast<double>(i) / kPow10[n];
}

bool Frame::from_item(const PositionStreamItem& item) {
  reset();
  time = item.time / 100;
  const unsigned int f = item.flags;
  bool ok = true;
  if (f & Item::FLAG_COORDINATES) {
    ok = scale(item.latitude, kCoordinateDecimals, latitude) &&
         scale(item.longitude, kCoordinateDecimals, longitude);
    // A longitude just below 180 that rounds up to 180 is the same meridian as -180,
    // which, unlike 180, is a valid longitude when read back.
    if (longitude == 1800000000LL && item.longitude < 180.0) longitude = -1800000000LL;
    mask |= Item::FLAG_COORDINATES;
  }
  for (const ScaledValue& value : kScaledValues) {
    if (!(f & value.bit)) continue;
    ok = ok && scale(value.get(item), value.decimals, this->*value.member);
    mask |= value.bit;
  }
  if (f & Item::FLAG_BYTE_VALUE) {
    byte_value = item.byte_value;
    mask |= Item::FLAG_BYTE_VALUE;
  }
  if (!ok) reset();
  return ok;
}

void Frame::to_item(PositionStreamItem& item) const {
  item.time = static_cast<long long>(static_cast<unsigned long long>(time) * 100ULL);
  item.flags |= Item::FLAG_TIME;
  if (mask & Item::FLAG_COORDINATES) {
    double lat = int_to_double(latitude, kCoordinateDecimals);
    double lon = int_to_double(longitude, kCoordinateDecimals);
    orva::GeoCoordinates::normalize_coordinates(lat, lon);
    item.latitude = lat;
    item.longitude = lon;
    item.flags |= Item::FLAG_COORDINATES;
  }
  for (const ScaledValue& value : kScaledValues) {
    if (!(mask & value.bit)) continue;
    value.set(item, int_to_double(this->*value.member, value.decimals));
    item.flags |= value.bit;
  }
  if (mask & Item::FLAG_BYTE_VALUE) {
    item.byte_value = byte_value;
    item.flags |= Item::FLAG_BYTE_VALUE;
  }
}

bool Frame::writes_back(const PositionStreamItem& item) const {
  if (time >= kMaxTenths || time <= -kMaxTenths) return false;
  for (const ScaledValue& value : kScaledValues) {
    if (!(mask & value.bit)) continue;
    long long back = 0;
    if (!scale(value.get(item), value.decimals, back) || back != this->*value.member) return false;
  }
  return true;
}

void Frame::get_delta_from(const BinaryPositionStreamFrame& previous,
                           BinaryPositionStreamFrame& delta) const {
  delta.reset();
  delta.key = false;
  delta.time = wrap_sub(time, previous.time);
  if (mask & Item::FLAG_COORDINATES) {
    const long long dlat = wrap_sub(latitude, previous.latitude);
    const long long dlon = wrap_sub(longitude, previous.longitude);
    if (dlat != 0 || dlon != 0) {
      delta.latitude = dlat;
      delta.longitude = dlon;
      delta.mask |= Item::FLAG_COORDINATES;
    }
  }
  for (const ScaledValue& value : kScaledValues) {
    if (!(mask & value.bit)) continue;
    const long long d = wrap_sub(this->*value.member, previous.*value.member);
    if (d != 0) {
      delta.*value.member = d;
      delta.mask |= value.bit;
    }
  }
}

void Frame::add_delta(const BinaryPositionStreamFrame& delta) {
  time = wrap_add(time, delta.time);
  if (delta.mask & Item::FLAG_COORDINATES) {
    latitude = wrap_add(latitude, delta.latitude);
    longitude = wrap_add(longitude, delta.longitude);
  }
  for (const ScaledValue& value : kScaledValues) {
    if (delta.mask & value.bit)
      this->*value.member = wrap_add(this->*value.member, delta.*value.member);
  }
  if (delta.mask & Item::FLAG_BYTE_VALUE)
    byte_value = static_cast<unsigned char>(byte_value + delta.byte_value);
}

bool Frame::write(WriteStream& s) const {
  if (!s.is_ok()) return false;
  // The frame is put together first so that a failure appends nothing.
  unsigned char bytes[kMaxFrameBytes];
  unsigned int pos = 0;
  if (key) {
    bytes[pos++] = 0x80;
    bytes[pos++] = 0x80;
  }
  const unsigned long long m = mask & kWritableBits;
  bool ok = put_mbi(static_cast<long long>(m), bytes, pos);
  if (m & BIT_TWO_BIT_VALUE) ok = ok && put_mbi(two_bit_value & 3, bytes, pos);
  ok = ok && put_mbi(time, bytes, pos);
  if (m & Item::FLAG_BYTE_VALUE) ok = ok && put_mbi(byte_value, bytes, pos);
  if (m & Item::FLAG_COORDINATES) {
    ok = ok && put_mbi(latitude, bytes, pos);
    ok = ok && put_mbi(longitude, bytes, pos);
  }
  for (const ScaledValue& value : kScaledValues) {
    if (m & value.bit) ok = ok && put_mbi(this->*value.member, bytes, pos);
  }
  if (!ok) return false;
  return s.write_block(bytes, pos) && s.is_ok();
}

bool Frame::read(ReadStream& s) {
  unsigned int len = 0;
  const unsigned char* bytes = read_mbi(s, len);
  if (!bytes) return false;
  bool key_frame = false;
  if (len > 2 && bytes[0] == 0x80 && bytes[1] == 0x80) {
    key_frame = true;
    bytes += 2;
    len -= 2;
  }
  long long mask_value = 0;
  if (!decode_mbi(bytes, len, mask_value)) return false;
  return read_fields(s, mask_value, key_frame);
}

bool Frame::read_after_marker(ReadStream& s) {
  long long mask_value = 0;
  if (!read_and_decode_mbi(s, mask_value)) return false;
  return read_fields(s, mask_value, true);
}

bool Frame::read_fields(ReadStream& s, long long mask_value, bool key_frame) {
  reset();
  if (mask_value < 0) return false;
  key = key_frame;
  mask = static_cast<unsigned long long>(mask_value);
  const unsigned long long m = mask;
  int unread = __builtin_popcountll(m);
  long long v = 0;

  if (m & BIT_TWO_BIT_VALUE) {
    if (!read_and_decode_mbi(s, v)) return false;
    two_bit_value = static_cast<unsigned char>(v & 3);
    --unread;
  }
  if (!read_and_decode_mbi(s, time)) return false;
  if (m & Item::FLAG_BYTE_VALUE) {
    if (!read_and_decode_mbi(s, v) || v < 0 || v > 255) return false;
    byte_value = static_cast<unsigned char>(v);
    --unread;
  }
  if (m & Item::FLAG_COORDINATES) {
    if (!read_and_decode_mbi(s, latitude) || !read_and_decode_mbi(s, longitude)) return false;
    --unread;
  }
  for (const ScaledValue& value : kScaledValues) {
    if (!(m & value.bit)) continue;
    if (!read_and_decode_mbi(s, this->*value.member)) return false;
    --unread;
  }
  if (m & BIT_SKIPPED_BLOCK) {
    // The block must lie within the stream: a file stream would seek past its end.
    if (!read_and_decode_mbi(s, v) || v < 0) return false;
    const unsigned int here = s.tell();
    const unsigned int size = s.size();
    if (here > size || static_cast<unsigned long long>(v) > size - here) return false;
    if (!s.skip(static_cast<unsigned int>(v))) return false;
    --unread;
  }
  // Values of later versions.
  for (; unread > 0; --unread) {
    if (!read_and_decode_mbi(s, v)) return false;
  }
  return s.is_ok();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
