// SPDX-License-Identifier: GPL-3.0-or-later
// The sample's GEDCOM export imported by Gramps, an independent genealogy
// program: its import report may name only the media files that do not
// exist on this machine and what Gramps 5.1 itself does not take of valid
// 5.5.1 (a RESN under an event, a second FILE in a multimedia record), each
// at the line that holds it; and the family tree it writes (gzip'd XML)
// holds what the sample holds, LDS ordinances of all four kinds included.
// Gramps runs once, headless, with a family tree folder of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QFile>
#include <QXmlStreamReader>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Coding.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "FileContents.h"
#include "TempDir.h"

using namespace kinscope;

namespace {

struct Person {
  std::string gender, first, surname, suffix;
  std::vector<std::string> events, childof, parentin;
};
struct Event {
  std::string type, date, place;
};
struct Family {
  std::string father, mother;
  std::vector<std::pair<std::string, std::string>> children;  // handle, relation to the father
};

// What Gramps wrote: objects counted by element, and the people, events,
// places and families by handle.
struct Tree {
  std::map<std::string, int> counts;
  std::map<std::string, std::string> person_by_id;  // Gramps id -> handle
  std::map<std::string, Person> people;
  std::map<std::string, Event> events;
  std::map<std::string, std::string> places;
  std::map<std::string, Family> families;
  std::map<std::string, int> ordinances;  // LDS ordinances by type
  int import_notes = 0;                   // Gramps' own notes on what it did not import
};

Tree ReadTree(const QString& path) {
  Tree t;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return t;
  QXmlStreamReader xml(&file);
  std::string person, event, place, family, note_type;
  std::string last;  // the element whose text comes next
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    const std::string name = xml.name().toString().toStdString();
    const auto attr = [&xml](const char* a) {
      return xml.attributes().value(a).toString().toStdString();
    };
    const std::string handle = attr("handle");
    if (!handle.empty()) ++t.counts[name];
    if (name == "person") {
      person = handle;
      t.person_by_id[attr("id")] = handle;
    } else if (name == "event") {
      event = handle;
    } else if (name == "placeobj") {
      place = handle;
    } else if (name == "family") {
      family = handle;
      person.clear();
    } else if (name == "lds_ord") {
      ++t.ordinances[attr("type")];
    } else if (name == "note" && !handle.empty() && attr("type") == "GEDCOM import") {
      ++t.import_notes;
    } else if (name == "gender" && !person.empty()) {
      t.people[person].gender = xml.readElementText().toStdString();
    } else if ((name == "first" || name == "surname" || name == "suffix") && !person.empty() &&
               t.people[person].first.empty() == (name == "first")) {
      const std::string text = xml.readElementText().toStdString();
      Person& p = t.people[person];
      (name == "first" ? p.first : name == "surname" ? p.surname : p.suffix) = text;
    } else if (name == "eventref" && !person.empty()) {
      t.people[person].events.push_back(attr("hlink"));
    } else if (name == "childof" && !person.empty()) {
      t.people[person].childof.push_back(attr("hlink"));
    } else if (name == "parentin" && !person.empty()) {
      t.people[person].parentin.push_back(attr("hlink"));
    } else if (name == "type" && !event.empty()) {
      t.events[event].type = xml.readElementText().toStdString();
    } else if (name == "dateval" && !event.empty()) {
      t.events[event].date = attr("val") + (attr("type").empty() ? "" : " " + attr("type"));
    } else if (name == "place" && !event.empty()) {
      t.events[event].place = attr("hlink");
    } else if (name == "pname" && !place.empty()) {
      t.places[place] = attr("value");
    } else if ((name == "father" || name == "mother") && !family.empty()) {
      (name == "father" ? t.families[family].father : t.families[family].mother) = attr("hlink");
    } else if (name == "childref" && !family.empty()) {
      t.families[family].children.push_back({attr("hlink"), attr("frel")});
    }
    if (name == "events" || name == "people") person.clear();
  }
  return t;
}

// The sample as our engine reads it: people, families, events, confidential
// events, sound files and ordinances by Gramps' name of their kind.
struct Held {
  int people = 0, families = 0, events = 0, confidential = 0, pictures = 0, sounds = 0;
  std::map<std::string, int> ordinances;
};
Held SampleHolds() {
  Held h;
  CTEVDatabase db;
  if (db.OpenDatabase(KINSCOPE_SAMPLE_DB, 1) != kOpenOk) return h;
  const auto set = [](const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (b[i] != 0) return true;
    return false;
  };
  IndividImage p{};
  for (int32_t rin = 1; db.LoadIndivid(p, rin) == 1 && set(p.data(), p.size()); ++rin) {
    ++h.people;
    for (size_t at : {individ::kBirth, individ::kChristening, individ::kDeath, individ::kBurial})
      h.events += set(p.data() + at, event::kSize);
    h.ordinances["baptism"] += set(p.data() + individ::kBaptism, ordinance::kSize);
    h.ordinances["endowment"] += set(p.data() + individ::kEndow, ordinance::kSize);
  }
  MarrImage m{};
  for (int32_t mrin = 1; db.LoadMarr(m, mrin) == 1 && set(m.data(), m.size()); ++mrin) {
    ++h.families;
    h.events += set(m.data() + marr::kRevent, event::kSize);
    h.ordinances["sealed_to_spouse"] += set(m.data() + marr::kOevent, ordinance::kSize);
  }
  FamLinkImage l{};
  for (int32_t n = 1; db.LoadFamLink(l, n) == 1 && set(l.data(), l.size()); ++n)
    h.ordinances["sealed_to_parents"] +=
        set(l.data() + famlink::kSealingToParents, ordinance::kSize);
  UserEvImage u{};
  for (int32_t n = 1; db.LoadUserEv(u, n) == 1 && set(u.data(), u.size()); ++n) {
    ++h.events;
    h.confidential += u[userev::kConfidential] != 0;
  }
  MediaImage media{};
  for (int32_t n = 1; db.LoadMedia(media, n) == 1 && set(media.data(), media.size()); ++n) {
    ++h.pictures;
    h.sounds += DecodeI32(media.data(), media::kAudio) != 0;
  }
  return h;
}

TEST(GrampsImportTest, SampleImportsWhole) {
  ASSERT_EQ(std::system("command -v gramps >/dev/null"), 0)
      << "Gramps is not installed; scripts/setup.sh installs it";
  TempDir dir;
  const std::string ged = dir.File("family.ged"), report = dir.File("report.txt");
  ASSERT_EQ(
      std::system(
          (std::string(KINSCOPE_DUMP) + " " + KINSCOPE_SAMPLE_DB + " gedcom -o " + ged).c_str()),
      0);
  const std::string gramps = "cd " + dir.File("") + " && GRAMPSHOME=" + dir.File("home") +
                             " LANG=C.UTF-8 gramps -q -y -i family.ged -e out.gramps >" + report +
                             " 2>&1";
  std::system(gramps.c_str());  // its status says nothing: the report does
  const std::string said = Contents(report);
  SCOPED_TRACE(said);

  // The report: no errors, or only media files that are not on this
  // machine, and what Gramps 5.1 does not take of 5.5.1, each message at
  // the line it names: "Line     5: 2 RESN confidential".
  const Held held = SampleHolds();
  const std::string media = "C:\\TEV5\\Media\\";  // the sample's media folder
  struct Known {
    const char* message;
    std::string line;  // the start of the GEDCOM line it names
    int expected;
  };
  const Known known[] = {
      {"Could not import ", "1 FILE " + media, held.pictures},
      {"Line ignored as not understood", "2 RESN confidential", held.confidential},
      {"Multiple FILE in a single OBJE ignored", "1 FILE " + media, held.sounds},
      {"Skipped subordinate line", "2 FORM wav", held.sounds},
  };
  int errors = 0;
  for (const Known& k : known) {
    SCOPED_TRACE(k.message);
    int found = 0;
    for (size_t at = said.find(k.message); at != std::string::npos;
         at = said.find(k.message, at + 1), ++found) {
      const size_t line = said.find(": ", said.find("Line ", at));
      EXPECT_EQ(said.compare(line + 2, k.line.size(), k.line), 0);
    }
    EXPECT_EQ(found, k.expected);
    errors += found;
  }
  EXPECT_GT(held.confidential, 0);
  EXPECT_GT(held.sounds, 0);
  const std::string summary =
      "GEDCOM import report: " +
      (errors == 0 ? std::string("No errors") : std::to_string(errors) + " errors") + " detected";
  EXPECT_NE(said.find(summary), std::string::npos);
  EXPECT_NE(said.find("Exporting: file"), std::string::npos);
  ASSERT_EQ(
      std::system(("gzip -dc " + dir.File("out.gramps") + " >" + dir.File("out.xml")).c_str()), 0);
  const Tree t = ReadTree(QString::fromStdString(dir.File("out.xml")));

  EXPECT_EQ(held.people, 38);
  EXPECT_EQ(t.counts.at("person"), held.people);
  EXPECT_EQ(t.counts.at("family"), held.families);
  EXPECT_EQ(t.counts.at("event"), held.events);
  // Note chains of two people, a marriage, two citations' comments and a
  // picture's description, and the actual texts of two citations.
  EXPECT_EQ(t.counts.at("note") - t.import_notes, 6 + 2);
  // One note of Gramps' own for each record it did not take whole.
  EXPECT_EQ(t.import_notes, held.pictures + held.confidential);
  // Six citations, the census one cited by the person and by the census event.
  EXPECT_EQ(t.counts.at("citation"), 7);
  // No citation of the sample names a source number: one "Source not recorded".
  EXPECT_EQ(t.counts.at("source"), 1);
  EXPECT_EQ(t.counts.at("object"), 4);
  // Every LDS ordinance, of each of the four kinds.
  EXPECT_EQ(held.ordinances.size(), 4u);
  for (const auto& [kind, count] : held.ordinances) EXPECT_GT(count, 0) << kind;
  EXPECT_EQ(t.ordinances, held.ordinances);

  // A handful of people: name, sex, birth and death, parents and children.
  struct Row {
    int rin;
    const char *first, *surname, *suffix, *gender, *birth, *birth_place, *death, *death_place;
    std::set<int> fathers;   // of the families the person is a child of
    std::set<int> children;  // of the families the person is a parent in
  };
  const Row rows[] = {
      {1,
       "Thomas",
       "Whitcombe",
       "",
       "M",
       "1842-03-14",
       "Bristol, Gloucestershire, England",
       "1911-11-02",
       "Clifton, Bristol, Gloucestershire, England",
       {},
       {7, 8, 9, 10, 11, 12}},
      {2,
       "Mary Ann",
       "Harrow",
       "",
       "F",
       "1845-06 about",
       "Bath, Somerset, England",
       "1871-02-19",
       "Bristol, Gloucestershire, England",
       {},
       {7, 8, 9}},
      {25,
       "Walter",
       "Pryce",
       "",
       "M",
       "1889-11-11",
       "Newport, Monmouthshire, Wales",
       "",
       "",
       {7, 20},
       {}},
      {30,
       "William Henry",
       "Whitcombe",
       "Jr.",
       "M",
       "1892-12-01",
       "Bristol, Gloucestershire, England",
       "",
       "",
       {9},
       {}},
      {6,
       "Henry",
       "Lockwood",
       "",
       "M",
       "1836-03 about",
       "Wells, Somerset, England",
       "1901-03",
       "Wells, Somerset, England",
       {},
       {16}},
  };
  std::map<std::string, int> rin_of;
  for (const auto& [id, handle] : t.person_by_id) rin_of[handle] = std::stoi(id.substr(1));
  for (const Row& row : rows) {
    SCOPED_TRACE("individual " + std::to_string(row.rin));
    char id[16];
    std::snprintf(id, sizeof id, "I%04d", row.rin);
    ASSERT_EQ(t.person_by_id.count(id), 1u);
    const Person& p = t.people.at(t.person_by_id.at(id));
    EXPECT_EQ(p.first, row.first);
    EXPECT_EQ(p.surname, row.surname);
    EXPECT_EQ(p.suffix, row.suffix);
    EXPECT_EQ(p.gender, row.gender);
    std::map<std::string, Event> by_type;
    for (const std::string& e : p.events) by_type[t.events.at(e).type] = t.events.at(e);
    EXPECT_EQ(by_type["Birth"].date, row.birth);
    EXPECT_EQ(t.places.count(by_type["Birth"].place) ? t.places.at(by_type["Birth"].place) : "",
              row.birth_place);
    EXPECT_EQ(by_type["Death"].date, row.death);
    EXPECT_EQ(t.places.count(by_type["Death"].place) ? t.places.at(by_type["Death"].place) : "",
              row.death_place);
    std::set<int> fathers, children;
    for (const std::string& f : p.childof) fathers.insert(rin_of[t.families.at(f).father]);
    for (const std::string& f : p.parentin)
      for (const auto& c : t.families.at(f).children) children.insert(rin_of[c.first]);
    EXPECT_EQ(fathers, row.fathers);
    EXPECT_EQ(children, row.children);
  }
  // Walter was adopted by Thomas (RIN 7) and born to Samuel Pryce's family.
  for (const auto& [handle, f] : t.families) {
    for (const auto& [child, frel] : f.children) {
      if (rin_of[child] == 25) {
        EXPECT_EQ(frel, rin_of[f.father] == 7 ? "Adopted" : "") << rin_of[f.father];
      }
    }
  }
}

}  // namespace
