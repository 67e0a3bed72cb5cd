// SPDX-License-Identifier: GPL-3.0-or-later
// Links whose record type is chosen by another field of the record: the
// owner or parent type bytes of citations, multimedia records, user-defined
// events and their types, name records and individuals' name records.
#pragma once

#include <cstdint>
#include <optional>

#include "RecordLayouts.h"

namespace kinscope {

// The record-type code that the kLinkByType field `field` of the record
// `bytes` (laid out as `layout`, at least layout.size bytes) opens, as the
// windows choose it; none when its type byte leads to no record type.
std::optional<int32_t> ChosenLinkCode(const RecordLayout& layout, const uint8_t* bytes,
                                      const FieldSpec& field);

}  // namespace kinscope
