// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: formats and typed arguments from the input through the text
// buffer's operations. Widths and precisions are kept to a few digits, and
// the numbers a '*' may take to a few thousand, so no conversion reaches
// the largest capacity (which ends the process by design).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "TextBuffer.h"

using namespace kinscope;

namespace {

void Check(const TextBuffer& t) {
  if (!t.HasStorage()) {
    if (t.Length() != 0 || t.Capacity() != 0 || t.Text()[0] != 0) fuzz::Fail("empty buffer");
    return;
  }
  if (t.Length() < 0 || t.Length() > t.Capacity()) fuzz::Fail("length above capacity");
  if (t.Text()[t.Length()] != 0) fuzz::Fail("no terminator at the length");
}

// A format from the input with every run of digits cut to three.
std::string Format(fuzz::Input& in) {
  std::string format = in.Text(64);
  std::string out;
  size_t digits = 0;
  for (char c : format) {
    digits = (c >= '0' && c <= '9') ? digits + 1 : 0;
    if (digits <= 3) out.push_back(c == 0 ? '%' : c);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::vector<TextBuffer> texts(3);
  while (!in.Empty()) {
    TextBuffer& t = texts[in.U8() % texts.size()];
    const TextBuffer& other = texts[in.U8() % texts.size()];
    switch (in.U8() % 10) {
      case 0: {
        const std::string format = Format(in);
        std::vector<FormatArg> args;
        std::vector<std::string> held;
        held.reserve(8);
        for (int n = in.U8() % 8; n > 0; --n) {
          const uint8_t kind = in.U8();
          if (kind % 4 == 0) {
            args.emplace_back(static_cast<int32_t>(in.I16() % 4096));
          } else if (kind % 4 == 1) {
            double real = 0;
            const std::vector<uint8_t> bytes = in.Bytes(sizeof real);
            if (!bytes.empty()) std::memcpy(&real, bytes.data(), bytes.size());
            // A '*' reads a double as an integer too: kept to a few thousand.
            if (format.find('*') != std::string::npos) {
              real = std::isfinite(real) ? std::fmod(real, 4096.0) : 0.0;
            }
            args.emplace_back(real);
          } else if (kind % 4 == 2) {
            held.push_back(in.Text(40));
            args.emplace_back(held.back().c_str());
          } else {
            args.emplace_back(other);
          }
        }
        t.FormatList(format.c_str(), args.data(), args.size());
        break;
      }
      case 1:
        t = TextBuffer(static_cast<char>(in.U8()), in.I16() % 300);
        break;
      case 2:
        t = TextBuffer(in.Text(80).c_str());
        break;
      case 3: {
        const std::string bytes = in.Text(80);
        const int32_t count = static_cast<int32_t>(in.U8() % 82) - 1;  // -1 to 80
        t = TextBuffer(bytes.data(), std::min(count, static_cast<int32_t>(bytes.size())));
        break;
      }
      case 4:
        t = other;
        break;
      case 5:
        t = other.Text() + (other.Length() > 0 ? other.Length() / 2 : 0);  // its own storage too
        break;
      case 6:
        t.Reserve(in.I16() % 2000);
        break;
      case 7:
        t.SetLength(in.I16() % 400);
        break;
      case 8:
        t = in.U8() % 2 == 0 ? t + other : static_cast<char>(in.U8()) + other;
        break;
      default:
        t.Compare(other.Text());
        t = t + in.Text(40).c_str();
        break;
    }
    Check(t);
    if (t.Capacity() > 1 << 20) t = TextBuffer();  // keeps memory small
  }
  return 0;
}
