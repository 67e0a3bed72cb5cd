// SPDX-License-Identifier: GPL-3.0-or-later
// The GEDCOM 5.5.1 grammar of Perl's Gedcom module (Debian's libgedcom-perl,
// installed by scripts/setup.sh) run over GEDCOM files: what it reports.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FileContents.h"

namespace testing_gedcom {

// Every complaint of the module's parser and of its validate() about the
// files `files`, one or more lines each; empty when every file keeps the
// grammar. `scratch` is a folder for the script and the report. A missing
// module or perl reports itself too.
inline std::string PerlGrammarReport(const std::vector<std::string>& files,
                                     const std::string& scratch) {
  const std::string script = scratch + "/grammar551.pl", list = scratch + "/files.txt",
                    report = scratch + "/report.txt";
  std::ofstream(script)
      << "use strict; use warnings; use Gedcom;\n"
         "$SIG{__WARN__} = sub { print STDOUT $_[0] };\n"
         "while (my $file = <STDIN>) {\n"
         "  chomp $file;\n"
         "  my $ged = Gedcom->new(grammar_version => '5.5.1',\n"
         "                        gedcom_file => $file);\n"
         "  print \"$file: does not validate\\n\" unless $ged && $ged->validate;\n"
         "}\n";
  {
    std::ofstream names(list);
    for (const std::string& file : files) names << file << "\n";
  }
  const int status =
      std::system(("perl " + script + " <" + list + " >" + report + " 2>&1").c_str());
  std::string said = Contents(report);
  if (status != 0) said += "perl ended with status " + std::to_string(status) + "\n";
  return said;
}

}  // namespace testing_gedcom
