// SPDX-License-Identifier: GPL-3.0-or-later
// Little-endian access to the byte images of on-disk records.
//
// Every integer of a database file is little-endian. Records are kept as
// byte images of their on-disk layout and their fields are read and written
// through these helpers at a byte offset of the image; nothing casts a byte
// buffer to a struct. Each helper requires offset + width to lie inside the
// image it is given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kinscope {

inline uint8_t DecodeU8(const uint8_t* image, size_t offset) { return image[offset]; }

inline int8_t DecodeI8(const uint8_t* image, size_t offset) {
  return static_cast<int8_t>(image[offset]);
}

inline uint16_t DecodeU16(const uint8_t* image, size_t offset) {
  return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

inline int16_t DecodeI16(const uint8_t* image, size_t offset) {
  return static_cast<int16_t>(DecodeU16(image, offset));
}

inline uint32_t DecodeU32(const uint8_t* image, size_t offset) {
  return static_cast<uint32_t>(image[offset]) | (static_cast<uint32_t>(image[offset + 1]) << 8) |
         (static_cast<uint32_t>(image[offset + 2]) << 16) |
         (static_cast<uint32_t>(image[offset + 3]) << 24);
}

inline int32_t DecodeI32(const uint8_t* image, size_t offset) {
  return static_cast<int32_t>(DecodeU32(image, offset));
}

inline void EncodeU8(uint8_t* image, size_t offset, uint8_t value) { image[offset] = value; }

inline void EncodeI8(uint8_t* image, size_t offset, int8_t value) {
  image[offset] = static_cast<uint8_t>(value);
}

inline void EncodeU16(uint8_t* image, size_t offset, uint16_t value) {
  image[offset] = static_cast<uint8_t>(value);
  image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void EncodeI16(uint8_t* image, size_t offset, int16_t value) {
  EncodeU16(image, offset, static_cast<uint16_t>(value));
}

inline void EncodeU32(uint8_t* image, size_t offset, uint32_t value) {
  image[offset] = static_cast<uint8_t>(value);
  image[offset + 1] = static_cast<uint8_t>(value >> 8);
  image[offset + 2] = static_cast<uint8_t>(value >> 16);
  image[offset + 3] = static_cast<uint8_t>(value >> 24);
}

inline void EncodeI32(uint8_t* image, size_t offset, int32_t value) {
  EncodeU32(image, offset, static_cast<uint32_t>(value));
}

}  // namespace kinscope
