// indexwright_bench: the generator on a help project of 10,000 pages in four levels, with
// the directory read once (as the program does) beside a variant that runs one directory
// search per group question, as a findfirst/findnext loop would. Both write the same three
// files; the benchmark checks that and prints both times and their ratio.
//
// Usage: indexwright_bench [PAGES] [FANOUT]   (defaults 10000 and 2: FANOUT groups below
// each group, four levels deep, pages spread evenly over all groups). The project is
// made in ./indexwright_bench_project and removed afterwards.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "indexwright/contents_generator.h"
#include "indexwright/dir_listing.h"
#include "indexwright/disk_folder.h"
#include "indexwright/page_index.h"
#include "indexwright/page_name.h"

namespace fs = std::filesystem;

namespace {

const int Levels = 4;

// The slow variant, kept here only: every question is a directory search of its own.
class TSearchPerCall : public TPageSource {
 public:
  explicit TSearchPerCall(std::string Dir) : Dir(std::move(Dir)) {}
  void FindPages(const std::string& Prefix, std::vector<std::string>& Names) override {
    Names.clear();
    std::vector<std::string> Found;
    ListOrdinaryFiles(Dir, Prefix + "*.htm", Found);
    ++Searches;
    for (const std::string& Name : Found) {
      if (MatchesPageWildcard(Name, Prefix)) Names.push_back(Name);
    }
    std::sort(Names.begin(), Names.end(), PageNameLess);
  }
  long Searches = 0;

 private:
  std::string Dir;
};

class TCountingSink : public TByteSink {
 public:
  void Put(const char*, size_t Size) override { Bytes += Size; }
  size_t Bytes = 0;
};

std::string ReadAll(const fs::path& Path) {
  std::string Content;
  if (FILE* File = fopen(Path.string().c_str(), "rb")) {
    char Buffer[65536];
    while (size_t Got = fread(Buffer, 1, sizeof(Buffer), File)) Content.append(Buffer, Got);
    fclose(File);
  }
  return Content;
}

// Group prefixes of all levels, parents before children: FANOUT groups numbered 01.. below
// each group.
std::vector<std::string> MakeGroups(int Fanout) {
  std::vector<std::string> Groups, Level = {""};
  for (int Depth = 0; Depth < Levels; ++Depth) {
    std::vector<std::string> Next;
    for (const std::string& Parent : Level) {
      for (int Number = 1; Number <= Fanout; ++Number) {
        char Digits[12];
        snprintf(Digits, sizeof(Digits), "%02d", Number);
        Next.push_back(Parent + Digits);
      }
    }
    Groups.insert(Groups.end(), Next.begin(), Next.end());
    Level = Next;
  }
  return Groups;
}

void MakeProject(const fs::path& Dir, int Pages, const std::vector<std::string>& Groups) {
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  const std::string Body(400, 'x');
  for (int Page = 0; Page < Pages; ++Page) {
    const std::string& Group = Groups[Page % Groups.size()];
    std::string Name = Group + "_page" + std::to_string(Page) + ".htm";
    std::string Content = "<html>\r\n<head>\r\n<title>Topic " + std::to_string(Page) +
                          " of group " + Group + "</title>\r\n</head>\r\n<body>" + Body + "</body>\r\n</html>\r\n";
    FILE* File = fopen((Dir / Name).string().c_str(), "wb");
    if (!File) {
      fprintf(stderr, "cannot create %s\n", Name.c_str());
      exit(1);
    }
    fwrite(Content.data(), 1, Content.size(), File);
    fclose(File);
  }
}

struct TRunFigures {
  double Seconds = 0;
  std::string Outputs;  // the three files, one after the other
};

TRunFigures Run(const fs::path& Dir, bool SearchPerCall, long& Searches) {
  TDiskFolder Folder(Dir.string());
  TCountingSink Console, Errors;
  auto Start = std::chrono::steady_clock::now();
  if (SearchPerCall) {
    TSearchPerCall Pages(Dir.string());
    RunIndexwright(Folder, Pages, Console, Errors);
    Searches = Pages.Searches;
  } else {
    TPageIndex Pages(Folder.ListFiles());
    RunIndexwright(Folder, Pages, Console, Errors);
    Searches = 1;
  }
  TRunFigures Figures;
  Figures.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  for (const char* Name : {"toc.hhc", "map.txt", "htmlhelp.h"}) Figures.Outputs += ReadAll(Dir / Name) + '\0';
  return Figures;
}

}  // namespace

int main(int argc, char** argv) {
  int Pages = argc > 1 ? atoi(argv[1]) : 10000;
  int Fanout = argc > 2 ? atoi(argv[2]) : 2;
  if (Pages < 1 || Fanout < 1 || Fanout > 99) {
    fprintf(stderr, "usage: indexwright_bench [PAGES] [FANOUT 1-99]\n");
    return 2;
  }
  const fs::path Dir = fs::current_path() / "indexwright_bench_project";
  std::vector<std::string> Groups = MakeGroups(Fanout);
  MakeProject(Dir, Pages, Groups);
  printf("project: %d pages in %d levels, %zu groups (%d below each group)\n", Pages, Levels, Groups.size(), Fanout);

  long FastSearches = 0, SlowSearches = 0;
  TRunFigures Fast = Run(Dir, false, FastSearches);
  TRunFigures Slow = Run(Dir, true, SlowSearches);
  printf("directory read once:      %8.3f s  (%ld directory read)\n", Fast.Seconds, FastSearches);
  printf("one search per question:  %8.3f s  (%ld directory searches)\n", Slow.Seconds, SlowSearches);
  printf("ratio: %.1f times faster\n", Slow.Seconds / (Fast.Seconds > 0 ? Fast.Seconds : 1e-9));
  bool Same = Fast.Outputs == Slow.Outputs;
  printf("outputs identical: %s (%zu bytes)\n", Same ? "yes" : "NO", Fast.Outputs.size());
  fs::remove_all(Dir);
  return Same ? 0 : 1;
}
