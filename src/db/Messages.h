// SPDX-License-Identifier: GPL-3.0-or-later
// Messages that more than one part of the program gives, each worded once.
// kinscope-dump prints them after its name on standard error; the windows
// show them inside their own sentences, or as a sentence (Sentence).
#pragma once

#include <cstdint>
#include <string>

namespace kinscope {

// A file whose header, page maps or page-count table cannot be read: the
// open gave kOpenCorrupt.
inline constexpr char kCorruptFileText[] =
    "the file is corrupt: its header, a page map or the page-count table cannot be read";

// A search of the name index that damage at index node `node` stopped.
std::string FindStoppedText(int32_t node);

// `text` as a sentence of its own: its first letter a capital, a full stop
// at its end.
std::string Sentence(std::string text);

}  // namespace kinscope
