// SPDX-License-Identifier: GPL-3.0-or-later
#include "Messages.h"

namespace kinscope {

std::string FindStoppedText(int32_t node) {
  return "the name index is damaged at index node " + std::to_string(node) +
         ": the search stopped there";
}

std::string Sentence(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text + ".";
}

}  // namespace kinscope
