// indexwright: run in the directory of a help project's pages; writes "toc.hhc",
// "map.txt" and "htmlhelp.h" there. Takes no arguments: given any (-h, /? or a typo'd
// folder name), it prints its usage and writes nothing, since a run in the wrong folder
// would overwrite that folder's contents file.

#include <cstdio>

#include "contents_generator.h"
#include "disk_folder.h"
#include "page_index.h"
#ifdef _WIN32
#include "syslib/system_library.h"
#endif

int main(int argc, char** /*argv*/) {
#ifdef _WIN32
  LimitDllSearchToSystemFolder();
#endif
  if (argc > 1) {
    std::fputs(IndexwrightUsage, stderr);
    return 1;
  }
  TDiskFolder folder;
  TPageIndex index(folder.ListFiles());
  TStdioSink console(stdout);
  TStdioSink errors(stderr);
  return RunIndexwright(folder, index, console, errors);
}
