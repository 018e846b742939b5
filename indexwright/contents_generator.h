#pragma once
// The generator: walks the numbered pages depth first and writes the contents file
// "toc.hhc", the topic map "map.txt" and the header "htmlhelp.h".
//
// Pages are grouped by their name prefixes: two digits per level, then "_". Below each
// level the groups 01 to 99 are tried in order; a group that has pages gets its entries
// and then a "<UL>" ... "</UL>" list of the groups below it, empty or not. Topic numbers
// count the pages in the same depth-first order, from 1.

#include <string>
#include <vector>

#include "byte_stream.h"
#include "page_folder.h"
#include "page_source.h"
#include "text_stream.h"

// The fixed head of the contents file, ending with the fixed first entry.
void WriteHeader(TTextStream& output);

// The fixed tail of the contents file.
void WriteFooter(TTextStream& output);

class TContentsGenerator {
 public:
  // Pages are found through Pages, read through Folder; progress lines go to Console.
  TContentsGenerator(TPageFolder& folder, TPageSource& pages, TByteSink& console)
      : Folder(folder), Pages(pages), Console(console) {}

  // Writes the entries of all pages matching prefix followed by "*.htm". True when at
  // least one page was found.
  bool ProcessWithPrefix(const std::string& prefix, TTextStream& output, TTextStream& mapOut,
                         TTextStream& headOut);

  // Writes every group below mainLevel (empty for the top level).
  void ProcessSubLevels(const std::string& mainLevel, TTextStream& output, TTextStream& mapOut,
                        TTextStream& headOut);

 private:
  TPageFolder& Folder;
  TPageSource& Pages;
  TByteSink& Console;
  int Id = 1;  // the next topic number
};

// What the program prints, on standard error, when it is given any argument; it then writes
// nothing and exits with 1.
extern const char IndexwrightUsage[];

// One whole run, as the program does it: banner, the three files, every group. Output
// files that cannot be written are named on Errors, and the result is then 1; otherwise 0.
int RunIndexwright(TPageFolder& folder, TPageSource& pages, TByteSink& console, TByteSink& errors);
