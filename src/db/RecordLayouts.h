// SPDX-License-Identifier: GPL-3.0-or-later
// The on-disk layout of every kind of record: each field as a named byte
// offset, and one table per kind listing every field the program knows with
// its offset, width, signedness and, for a link, the record-type code it
// leads to.
//
// Windows, tests and tools read record fields through these names, never
// through bare numbers. Byte stretches that nothing interprets are not
// listed; a field table is in ascending offset order and its fields do not
// overlap. A record's size is stated here, with its fields; the table that
// holds it is its row's in the record-type registry (RecordRegistry.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "NameRecords.h"
#include "RecordTypes.h"

namespace kinscope {

// How a field's bytes are taken.
enum class FieldKind : uint8_t {
  kInt,        // a little-endian integer of 1, 2 or 4 bytes
  kChar,       // one 8-bit character
  kTime,       // 32-bit seconds since 1970-01-01 00:00 UTC
  kText,       // 8-bit characters up to a zero byte or the end of the field
  kDate,       // a 12-byte encoded date
  kEvent,      // 24 bytes of event data (event::kFields)
  kOrdinance,  // 21 bytes of ordinance data (ordinance::kFields)
  kFlags,      // a byte of bit flags
  kBytes,      // bytes taken as they are
};

// `link` of a field that refers to no record.
constexpr int32_t kNoLink = INT32_MIN;
// `link` of a field whose record type is chosen by another field of the
// record (an owner or parent type byte).
constexpr int32_t kLinkByType = INT32_MIN + 1;

struct FieldSpec {
  const char* name;  // the field's name in the file format
  size_t offset;     // from the start of the record
  size_t width;      // bytes
  bool is_signed;    // for kInt and kChar fields
  FieldKind kind;
  int32_t link;  // record-type code the field's value opens, kNoLink or kLinkByType
};

// A link: a signed 32-bit record number or file offset that opens `code`.
constexpr FieldSpec Link(const char* name, size_t offset, int32_t code) {
  return {name, offset, 4, true, FieldKind::kInt, code};
}
constexpr FieldSpec I32(const char* name, size_t offset) {
  return {name, offset, 4, true, FieldKind::kInt, kNoLink};
}
constexpr FieldSpec I16(const char* name, size_t offset) {
  return {name, offset, 2, true, FieldKind::kInt, kNoLink};
}
constexpr FieldSpec U16(const char* name, size_t offset) {
  return {name, offset, 2, false, FieldKind::kInt, kNoLink};
}
constexpr FieldSpec I8(const char* name, size_t offset) {
  return {name, offset, 1, true, FieldKind::kInt, kNoLink};
}
constexpr FieldSpec U8(const char* name, size_t offset) {
  return {name, offset, 1, false, FieldKind::kInt, kNoLink};
}
constexpr FieldSpec Char(const char* name, size_t offset) {
  return {name, offset, 1, true, FieldKind::kChar, kNoLink};
}
constexpr FieldSpec Of(const char* name, size_t offset, size_t width, FieldKind kind) {
  return {name, offset, width, false, kind, kNoLink};
}

// The fields of one kind of record.
struct RecordLayout {
  const char* kind;  // the record's kind, as the file format names it
  size_t size;       // bytes of the record (of its head for name records)
  const FieldSpec* fields;
  size_t count;
};

template <size_t N>
constexpr RecordLayout MakeLayout(const char* kind, size_t size, const FieldSpec (&fields)[N]) {
  return {kind, size, fields, N};
}

// Embedded encoded date, 12 bytes.
namespace date {
constexpr size_t kSize = 12;
constexpr size_t kType = 0;  // bits 0-3 date type, 4-5 and 6-7 sub-types
constexpr size_t kModifier = 1;
constexpr size_t kFirstPart = 2;  // calendar, flags, 24-bit day number
constexpr size_t kSecondPart = 7;
constexpr size_t kPartSize = 5;
inline constexpr FieldSpec kFields[] = {
    Of("type", kType, 1, FieldKind::kFlags),
    U8("modifier", kModifier),
    Of("first part", kFirstPart, kPartSize, FieldKind::kBytes),
    Of("second part", kSecondPart, kPartSize, FieldKind::kBytes),
};
inline constexpr RecordLayout kLayout = MakeLayout("date", kSize, kFields);
}  // namespace date

// Embedded event data, 24 bytes.
namespace event {
constexpr size_t kSize = 24;
constexpr size_t kDate = 0;
constexpr size_t kPlace = 12;  // file offset of the place's name record
constexpr size_t kAgeAt = 16;
constexpr size_t kCit = 20;
inline constexpr FieldSpec kFields[] = {
    Of("edate", kDate, date::kSize, FieldKind::kDate),
    Link("Place", kPlace, kNameCode),
    I32("Age_at", kAgeAt),
    Link("Cit", kCit, kCitationCode),
};
inline constexpr RecordLayout kLayout = MakeLayout("event", kSize, kFields);
}  // namespace event

// Embedded ordinance data, 21 bytes.
namespace ordinance {
constexpr size_t kSize = 21;
constexpr size_t kDate = 0;
constexpr size_t kPlace = 12;  // file offset of a name record: place or temple
constexpr size_t kCit = 16;
constexpr size_t kIsTemple = 20;
inline constexpr FieldSpec kFields[] = {
    Of("odate", kDate, date::kSize, FieldKind::kDate),
    Link("place", kPlace, kNameCode),
    Link("cit", kCit, kCitationCode),
    U8("istemple", kIsTemple),
};
inline constexpr RecordLayout kLayout = MakeLayout("ordinance", kSize, kFields);
}  // namespace ordinance

// Individual, by RIN.
namespace individ {
constexpr size_t kSize = 221;
constexpr size_t kStartnames = 0;  // file offset of the first individual's name record
constexpr size_t kMarriage = 4;
constexpr size_t kFamLink = 8;
constexpr size_t kNote = 12;
constexpr size_t kCit = 16;
constexpr size_t kModify = 20;
constexpr size_t kAFSubmitted = 24;
constexpr size_t kUDEvent = 28;
constexpr size_t kMedia = 32;
constexpr size_t kContact = 36;
constexpr size_t kRelDescr = 40;
constexpr size_t kPrimMarr = 44;
constexpr size_t kBirth = 64;
constexpr size_t kChristening = 88;
constexpr size_t kDeath = 112;
constexpr size_t kBurial = 136;
constexpr size_t kBaptism = 160;
constexpr size_t kEndow = 181;
constexpr size_t kSex = 202;
constexpr size_t kSourceCnt = 203;
constexpr size_t kSPCnt = 204;
inline constexpr FieldSpec kFields[] = {
    Link("Startnames", kStartnames, kIndivNameCode),
    Link("Marriage", kMarriage, kMarriageCode),
    Link("Family Link", kFamLink, kFamilyCode),
    Link("Note", kNote, kNoteCode),
    Link("Cit", kCit, kCitationCode),
    Of("Modify", kModify, 4, FieldKind::kTime),
    Of("AF_submitted", kAFSubmitted, 4, FieldKind::kTime),
    Link("User Defined Event", kUDEvent, kUserDefinedCode),
    Link("Media", kMedia, kMediaCode),
    Link("Contact", kContact, kContactCode),
    Link("Rel Descr", kRelDescr, kIndivIndexCode),
    Link("Prim_Marr", kPrimMarr, kPrimMarrCode),
    Of("Birth", kBirth, event::kSize, FieldKind::kEvent),
    Of("Christening", kChristening, event::kSize, FieldKind::kEvent),
    Of("Death", kDeath, event::kSize, FieldKind::kEvent),
    Of("Burial", kBurial, event::kSize, FieldKind::kEvent),
    Of("Baptism", kBaptism, ordinance::kSize, FieldKind::kOrdinance),
    Of("Endow", kEndow, ordinance::kSize, FieldKind::kOrdinance),
    Char("sex", kSex),
    U8("Source_cnt", kSourceCnt),
    U8("SP_cnt", kSPCnt),
};
inline constexpr RecordLayout kLayout = MakeLayout("individual", kSize, kFields);
}  // namespace individ

// Marriage, by MRIN.
namespace marr {
constexpr size_t kSize = 106;
constexpr size_t kHusband = 4;
constexpr size_t kWife = 8;
constexpr size_t kChild = 12;  // family link of the first child
constexpr size_t kHusNextMar = 16;
constexpr size_t kWifeNextMar = 20;
constexpr size_t kUdEvent = 24;
constexpr size_t kNote = 28;
constexpr size_t kCit = 32;
constexpr size_t kRevent = 52;  // the marriage event
constexpr size_t kOevent = 76;  // the sealing to spouse
inline constexpr FieldSpec kFields[] = {
    Link("Husband", kHusband, kIndividualCode),
    Link("Wife", kWife, kIndividualCode),
    Link("Child", kChild, kFamilyCode),
    Link("hus_next_mar", kHusNextMar, kMarriageCode),
    Link("wife_next_mar", kWifeNextMar, kMarriageCode),
    Link("ud_event", kUdEvent, kUserDefinedCode),
    Link("Note", kNote, kNoteCode),
    Link("cit", kCit, kCitationCode),
    Of("revent", kRevent, event::kSize, FieldKind::kEvent),
    Of("oevent", kOevent, ordinance::kSize, FieldKind::kOrdinance),
};
inline constexpr RecordLayout kLayout = MakeLayout("marriage", kSize, kFields);
}  // namespace marr

// Family link: one child tied to the parents' marriage.
namespace famlink {
constexpr size_t kSize = 46;
constexpr size_t kMarriage = 0;
constexpr size_t kNextYoungerSibling = 4;
constexpr size_t kNextParents = 8;
constexpr size_t kIndi = 12;
constexpr size_t kSealingToParents = 16;
constexpr size_t kLinkType = 37;
inline constexpr FieldSpec kFields[] = {
    Link("Marriage", kMarriage, kMarriageCode),
    Link("next_younger_sibling", kNextYoungerSibling, kFamilyCode),
    Link("next_parents", kNextParents, kFamilyCode),
    Link("indi", kIndi, kIndividualCode),
    Of("sealing_to_parents", kSealingToParents, ordinance::kSize, FieldKind::kOrdinance),
    Char("link_type", kLinkType),
};
inline constexpr RecordLayout kLayout = MakeLayout("family link", kSize, kFields);
}  // namespace famlink

// Note block: one block of a chained text.
namespace note {
constexpr size_t kSize = 256;
constexpr size_t kNextBlock = 0;
constexpr size_t kPrevBlock = 4;
constexpr size_t kFrecNum = 8;
constexpr size_t kOwnerType = 12;
constexpr size_t kText = 13;
constexpr size_t kTextSize = 243;
inline constexpr FieldSpec kFields[] = {
    Link("next_block", kNextBlock, kNoteCode),
    Link("prev_block", kPrevBlock, kNoteCode),
    I32("frec_num", kFrecNum),
    Char("owner_type", kOwnerType),
    Of("text", kText, kTextSize, FieldKind::kText),
};
inline constexpr RecordLayout kLayout = MakeLayout("note", kSize, kFields);
}  // namespace note

// Citation, by CRin.
namespace cit {
constexpr size_t kSize = 145;
constexpr size_t kActualText = 0;
constexpr size_t kPage = 4;
constexpr size_t kPageSize = 92;
constexpr size_t kRecordedDate = 96;
constexpr size_t kComments = 108;
constexpr size_t kMedia = 112;
constexpr size_t kSourcePtr = 116;
constexpr size_t kNextCit = 120;
constexpr size_t kPrevCit = 124;
constexpr size_t kRecPtr = 128;  // owner, its kind given by owner_type
constexpr size_t kOwnerType = 132;
inline constexpr FieldSpec kFields[] = {
    Link("Actual Text", kActualText, kNoteCode),
    Of("Page", kPage, kPageSize, FieldKind::kText),
    Of("recorded_date", kRecordedDate, date::kSize, FieldKind::kDate),
    Link("comments", kComments, kNoteCode),
    Link("media", kMedia, kMediaCode),
    Link("source_ptr", kSourcePtr, kSourceCode),
    Link("next_cit", kNextCit, kCitationCode),
    Link("prev_cit", kPrevCit, kCitationCode),
    Link("rec_ptr", kRecPtr, kLinkByType),
    Char("owner_type", kOwnerType),
};
inline constexpr RecordLayout kLayout = MakeLayout("citation", kSize, kFields);
}  // namespace cit

// Multimedia. Packed: the 16-bit fields from offset 31 on are not
// aligned.
namespace media {
constexpr size_t kSize = 62;
constexpr size_t kRecptr = 0;  // owner, its kind given by ownerType
constexpr size_t kNext = 4;
constexpr size_t kPrevious = 8;
constexpr size_t kPath = 12;  // file offset of a name record
constexpr size_t kCaption = 16;
constexpr size_t kDesc = 20;
constexpr size_t kAudio = 24;  // file offset of a name record
constexpr size_t kMmType = 28;
constexpr size_t kOwnerType = 29;
constexpr size_t kFlagBits = 30;  // wDefault, wSlideShow, wScrapBook, wFlip (2), wRotate (2)
constexpr size_t kWidth = 31;
constexpr size_t kHeight = 33;
constexpr size_t kClipTop = 35;
constexpr size_t kClipBottom = 37;
constexpr size_t kClipLeft = 39;
constexpr size_t kClipRight = 41;
constexpr size_t kSlideTime = 43;
// The owner type of a citation.
constexpr uint8_t kCitationOwner = 132;
inline constexpr FieldSpec kFields[] = {
    Link("recptr", kRecptr, kLinkByType),
    Link("next", kNext, kMediaCode),
    Link("previous", kPrevious, kMediaCode),
    Link("path", kPath, kNameCode),
    Link("caption", kCaption, kNoteCode),
    Link("desc", kDesc, kNoteCode),
    Link("audio", kAudio, kNameCode),
    Char("mm_type", kMmType),
    U8("ownerType", kOwnerType),
    Of("flags", kFlagBits, 1, FieldKind::kFlags),
    I16("nWidth", kWidth),
    I16("nHeight", kHeight),
    I16("nClipTop", kClipTop),
    I16("nClipBottom", kClipBottom),
    I16("nClipLeft", kClipLeft),
    I16("nClipRight", kClipRight),
    U16("wSlideTime", kSlideTime),
};
inline constexpr RecordLayout kLayout = MakeLayout("multimedia", kSize, kFields);
}  // namespace media

// User-defined event, by URin.
namespace userev {
constexpr size_t kSize = 59;
constexpr size_t kNext = 0;
constexpr size_t kPrev = 4;
constexpr size_t kOwner = 8;  // its kind given by OwnerType
constexpr size_t kDescription = 12;
constexpr size_t kEvType = 16;
constexpr size_t kEvent = 20;
constexpr size_t kOwnerType = 44;
constexpr size_t kConfidential = 45;
constexpr size_t kEventFlags = 46;
inline constexpr FieldSpec kFields[] = {
    Link("Next", kNext, kUserDefinedCode),
    Link("Prev", kPrev, kUserDefinedCode),
    Link("Owner", kOwner, kLinkByType),
    Link("Description", kDescription, kUserDefinedCode),
    Link("EvType", kEvType, kUDEventTypeCode),
    Of("Event", kEvent, event::kSize, FieldKind::kEvent),
    Char("OwnerType", kOwnerType),
    I8("Confidential", kConfidential),
    Of("EventFlags", kEventFlags, 1, FieldKind::kFlags),
};
inline constexpr RecordLayout kLayout = MakeLayout("user-defined event", kSize, kFields);
}  // namespace userev

// User-defined event type, by UET number. Its title and twelve
// sentences are name records reached by file offset.
namespace uetype {
constexpr size_t kSize = 143;
constexpr size_t kTitle = 0;
constexpr size_t kLessPtr = 4;
constexpr size_t kGreaterPrt = 8;
constexpr size_t kParentPtr = 12;  // its kind given by type
constexpr size_t kSentences = 16;  // twelve offsets: m, d_m, p_m, dp_m, f, ..., dp_u
constexpr size_t kSentenceCount = 12;
constexpr size_t kShortTitle = 64;
constexpr size_t kShortTitleSize = 20;
constexpr size_t kType = 84;
constexpr size_t kAbbr = 85;
constexpr size_t kAbbrSize = 9;
constexpr size_t kGedTag = 94;
constexpr size_t kGedTagSize = 7;
constexpr size_t kDateType = 101;
constexpr size_t kUserDescr = 102;
constexpr size_t kPermanent = 103;
constexpr size_t kHasPlace = 104;
constexpr size_t kIsLds = 105;
constexpr size_t kUseConfidential = 106;
// Offset of sentence `i` (0 to 11).
constexpr size_t Sentence(size_t i) { return kSentences + 4 * i; }
inline constexpr FieldSpec kFields[] = {
    Link("title", kTitle, kNameCode),
    Link("less_ptr", kLessPtr, kUDEventTypeCode),
    Link("greater_prt", kGreaterPrt, kUDEventTypeCode),
    Link("parent_ptr", kParentPtr, kLinkByType),
    Link("sen_m", Sentence(0), kNameCode),
    Link("sen_d_m", Sentence(1), kNameCode),
    Link("sen_p_m", Sentence(2), kNameCode),
    Link("sen_dp_m", Sentence(3), kNameCode),
    Link("sen_f", Sentence(4), kNameCode),
    Link("sen_d_f", Sentence(5), kNameCode),
    Link("sen_p_f", Sentence(6), kNameCode),
    Link("sen_dp_f", Sentence(7), kNameCode),
    Link("sen_u", Sentence(8), kNameCode),
    Link("sen_d_u", Sentence(9), kNameCode),
    Link("sen_p_u", Sentence(10), kNameCode),
    Link("sen_dp_u", Sentence(11), kNameCode),
    Of("short_title", kShortTitle, kShortTitleSize, FieldKind::kText),
    Char("type", kType),
    Of("abbr", kAbbr, kAbbrSize, FieldKind::kText),
    Of("ged_tag", kGedTag, kGedTagSize, FieldKind::kText),
    I8("date_type", kDateType),
    I8("user_descr", kUserDescr),
    U8("permanent", kPermanent),
    U8("hasPlace", kHasPlace),
    I8("isLds", kIsLds),
    U8("useConfidential", kUseConfidential),
};
inline constexpr RecordLayout kLayout = MakeLayout("user-defined event type", kSize, kFields);
}  // namespace uetype

// Individual index node, by node number.
namespace indexnode {
constexpr size_t kSize = 16;
constexpr size_t kGreater = 0;
constexpr size_t kLesser = 4;
constexpr size_t kParent = 8;  // 0 for the root, -1 for a node not in the tree
constexpr size_t kName = 12;   // file offset of an individual's name record
inline constexpr FieldSpec kFields[] = {
    Link("greater node", kGreater, kIndivIndexCode),
    Link("lesser node", kLesser, kIndivIndexCode),
    Link("parent node", kParent, kIndivIndexCode),
    Link("name offset", kName, kIndivNameCode),
};
inline constexpr RecordLayout kLayout = MakeLayout("index node", kSize, kFields);
}  // namespace indexnode

// Name record (place, path, title, sentence), by file offset.
namespace namerec {
constexpr size_t kLessPtr = 0;
constexpr size_t kGreaterPtr = 4;
constexpr size_t kParentRec = 8;  // its kind given by type
constexpr size_t kType = 12;
constexpr size_t kText = kNameRecHead;
inline constexpr FieldSpec kFields[] = {
    Link("less_ptr", kLessPtr, kNameCode),
    Link("greater_ptr", kGreaterPtr, kNameCode),
    Link("parent_rec", kParentRec, kLinkByType),
    I8("type", kType),
    Of("text", kText, kNameRecRead - kNameRecHead - 1, FieldKind::kText),
};
inline constexpr RecordLayout kLayout = MakeLayout("name record", kNameRecRead - 1, kFields);
}  // namespace namerec

// Individual's name record, by file offset.
namespace iname {
constexpr size_t kNext = 0;
constexpr size_t kPrevious = 4;
constexpr size_t kOwnerId = 8;  // a RIN when the type is 1
constexpr size_t kType = 12;
constexpr size_t kTextLen = 13;
constexpr size_t kText = kINameRecHead;
inline constexpr FieldSpec kFields[] = {
    Link("nNext", kNext, kIndivNameCode),
    Link("nPrevious", kPrevious, kIndivNameCode),
    Link("nOwnerId", kOwnerId, kLinkByType),
    U8("type", kType),
    I16("nTextLen", kTextLen),
    Of("text", kText, kINameTextMax, FieldKind::kText),
};
inline constexpr RecordLayout kLayout =
    MakeLayout("individual's name record", kINameRecRead, kFields);
}  // namespace iname

// Every layout above, records first, then the embedded values.
inline constexpr RecordLayout kAllLayouts[] = {
    individ::kLayout, marr::kLayout,   famlink::kLayout,   note::kLayout,      cit::kLayout,
    media::kLayout,   userev::kLayout, uetype::kLayout,    indexnode::kLayout, namerec::kLayout,
    iname::kLayout,   event::kLayout,  ordinance::kLayout, date::kLayout,
};

}  // namespace kinscope
