// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordLinks.h"

#include "Coding.h"

namespace kinscope {

std::optional<int32_t> ChosenLinkCode(const RecordLayout& layout, const uint8_t* bytes,
                                      const FieldSpec& field) {
  if (field.link != kLinkByType) return std::nullopt;
  if (&layout == &cit::kLayout) {
    const int8_t type = DecodeI8(bytes, cit::kOwnerType);
    return type == 'A' || type == 'B' ? int32_t{kIndividualCode} : int32_t{type};
  }
  if (&layout == &media::kLayout) {
    return DecodeU8(bytes, media::kOwnerType) == media::kCitationOwner ? int32_t{kCitationCode}
                                                                       : int32_t{-45};
  }
  if (&layout == &userev::kLayout || &layout == &uetype::kLayout) {
    const uint8_t type =
        DecodeU8(bytes, &layout == &userev::kLayout ? userev::kOwnerType : uetype::kType);
    if (type == 'I') return int32_t{kIndividualCode};
    if (type == 'M') return int32_t{kMarriageCode};
    if (&layout == &userev::kLayout) return int32_t{-1};
    return std::nullopt;
  }
  if (&layout == &namerec::kLayout) {
    constexpr int32_t kParent[] = {kMarriageCode, kFamilyCode, kNameCode, kNoteCode};
    const int8_t type = DecodeI8(bytes, namerec::kType);
    if (type >= 0 && type < 4) return kParent[type];
    return std::nullopt;
  }
  if (&layout == &iname::kLayout) {
    constexpr int32_t kOwner[] = {kMarriageCode, kIndividualCode, kNameCode, kNoteCode};
    const uint8_t type = DecodeU8(bytes, iname::kType);
    if (type < 4) return kOwner[type];
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace kinscope
