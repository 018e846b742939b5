#include "contents_generator.h"

#include <memory>

#include "page_title.h"

namespace {

void Print(TByteSink& Sink, const std::string& Text) { Sink.Put(Text.data(), Text.size()); }

// Stands in for an output file that could not be created, so the run goes on.
class TDiscardedFile : public TOutputSink {
 public:
  void Put(const char*, size_t) override {}
  bool Close() override { return false; }
};

// "Podręcznik użytkownika" (user's guide) in code page 1250, the fixed first entry.
const char FirstEntryName[] =
    "<param name=\"Name\" value=\"Podr\xEA" "cznik u\xBFytkownika\">";

}  // namespace

void WriteHeader(TTextStream& Output) {
  Output.Line(0, "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">");
  Output.Line(0, "<HTML>");
  Output.Line(0, "<HEAD>");
  Output.Line(0, "<meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.00\">");
  Output.Line(0, "<!-- Sitemap 1.0 -->");
  Output.Line(0, "</HEAD><BODY>");
  Output.Line(0, "<OBJECT type=\"text/site properties\">");
  Output.Line(8, "<param name=\"FrameName\" value=\"main\">");
  Output.Line(8, "<param name=\"Window Styles\" value=\"0x25\">");
  Output.Line(8, "<param name=\"ImageType\" value=\"Folder\">");
  Output.Line(0, "</OBJECT>");
  Output.Line(0, "<UL>");
  Output.Line(8, "<LI> <OBJECT type=\"text/sitemap\">");
  Output.Line(16, FirstEntryName);
  Output.Line(16, "<param name=\"Local\" value=\"index.html\">");
  Output.Line(16, "</OBJECT>");
}

void WriteFooter(TTextStream& Output) {
  Output.Line(0, "</UL>");
  Output.Line(0, "</BODY></HTML>");
}

bool TContentsGenerator::ProcessWithPrefix(const std::string& Prefix, TTextStream& Output,
                                           TTextStream& MapOut, TTextStream& HeadOut) {
  std::vector<std::string> Names;
  Pages.FindPages(Prefix, Names);
  if (Names.empty()) return false;
  for (const std::string& Name : Names) {
    std::string Title = ReadHTMLTitle(Folder, Name);
    Print(Console, "Processing: " + Name + " (" + Title + ")\n");
    Output.Line(8, "<LI> <OBJECT type=\"text/sitemap\">");
    Output.Line(16, "<param name=\"Name\" value=\"" + Title + "\">");
    Output.Line(16, "<param name=\"Local\" value=\"" + Name + "\">");
    Output.Line(16, "</OBJECT>");
    size_t Underscore = Name.find('_');
    if (Underscore == std::string::npos) continue;
    std::string Identifier = "IDH_" + Name.substr(0, Underscore);
    MapOut.Line(0, Identifier + "=" + Name);
    HeadOut.Line(0, "#define " + Identifier + " " + std::to_string(Id));
    ++Id;
  }
  return true;
}

void TContentsGenerator::ProcessSubLevels(const std::string& MainLevel, TTextStream& Output,
                                          TTextStream& MapOut, TTextStream& HeadOut) {
  for (int Number = 1; Number <= 99; ++Number) {
    std::string Group = MainLevel;
    Group += static_cast<char>('0' + Number / 10);
    Group += static_cast<char>('0' + Number % 10);
    if (!ProcessWithPrefix(Group + "_", Output, MapOut, HeadOut)) continue;
    // Every group with pages gets its list, also when nothing lies below it.
    Output.Line(8, "<UL>");
    ProcessSubLevels(Group, Output, MapOut, HeadOut);
    Output.Line(8, "</UL>");
  }
}

int RunIndexwright(TPageFolder& Folder, TPageSource& Pages, TByteSink& Console, TByteSink& Errors) {
  Print(Console, "TOC Generator for HTML Help\n");
  Print(Console, "Writes toc.hhc, map.txt and htmlhelp.h for the numbered pages of this directory\n\n");

  static const char* const FileNames[] = {"toc.hhc", "map.txt", "htmlhelp.h"};
  std::unique_ptr<TOutputSink> Files[3];
  for (int I = 0; I < 3; ++I) {
    Files[I] = Folder.CreateOutput(FileNames[I]);
    if (!Files[I]) Files[I].reset(new TDiscardedFile);
  }
  TTextStream Out(*Files[0]), MapOut(*Files[1]), HeadOut(*Files[2]);

  WriteHeader(Out);
  TContentsGenerator Generator(Folder, Pages, Console);
  Generator.ProcessSubLevels("", Out, MapOut, HeadOut);
  WriteFooter(Out);

  int Result = 0;
  for (int I = 0; I < 3; ++I) {
    if (Files[I]->Close()) continue;
    Print(Errors, std::string("Cannot write ") + FileNames[I] + "\n");
    Result = 1;
  }
  return Result;
}
