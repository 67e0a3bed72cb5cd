// SPDX-License-Identifier: GPL-3.0-or-later
// One record of every table the program reads by number, each read through
// the table's own load of CTEVDatabase.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "TEVDatabase.h"

struct EveryTable {
  // Where each table's result stands in what Load returns.
  enum Table : size_t {
    kIndividual,
    kMarriage,
    kNote,
    kFamilyLink,
    kCitation,
    kIndexNode,
    kUserEvent,
    kUserEventType,
    kMedia,
    kTables
  };

  // Reads record `n` of every table into the images below; each load's
  // result (1 read whole, 0 not) at its table's place.
  std::array<int, kTables> Load(kinscope::CTEVDatabase& db, int32_t n) {
    return {db.LoadIndivid(individual, n), db.LoadMarr(marriage, n),   db.LoadNote(note, n),
            db.LoadFamLink(family, n),     db.LoadCit(citation, n),    db.LoadIndexNode(node, n),
            db.LoadUserEv(event, n),       db.LoadUserEvType(type, n), db.LoadMedia(media, n)};
  }

  kinscope::IndividImage individual{};
  kinscope::MarrImage marriage{};
  kinscope::NoteImage note{};
  kinscope::FamLinkImage family{};
  kinscope::CitImage citation{};
  kinscope::IndexNodeImage node{};
  kinscope::UserEvImage event{};
  kinscope::UserEvTypeImage type{};
  kinscope::MediaImage media{};
};
