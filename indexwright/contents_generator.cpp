#include "contents_generator.h"

#include <memory>

#include "page_title.h"

namespace {

void Print(TByteSink& sink, const std::string& text) { sink.Put(text.data(), text.size()); }

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

void WriteHeader(TTextStream& output) {
  output.Line(0, "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">");
  output.Line(0, "<HTML>");
  output.Line(0, "<HEAD>");
  output.Line(0, "<meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.00\">");
  output.Line(0, "<!-- Sitemap 1.0 -->");
  output.Line(0, "</HEAD><BODY>");
  output.Line(0, "<OBJECT type=\"text/site properties\">");
  output.Line(8, "<param name=\"FrameName\" value=\"main\">");
  output.Line(8, "<param name=\"Window Styles\" value=\"0x25\">");
  output.Line(8, "<param name=\"ImageType\" value=\"Folder\">");
  output.Line(0, "</OBJECT>");
  output.Line(0, "<UL>");
  output.Line(8, "<LI> <OBJECT type=\"text/sitemap\">");
  output.Line(16, FirstEntryName);
  output.Line(16, "<param name=\"Local\" value=\"index.html\">");
  output.Line(16, "</OBJECT>");
}

void WriteFooter(TTextStream& output) {
  output.Line(0, "</UL>");
  output.Line(0, "</BODY></HTML>");
}

bool TContentsGenerator::ProcessWithPrefix(const std::string& prefix, TTextStream& output,
                                           TTextStream& mapOut, TTextStream& headOut) {
  std::vector<std::string> names;
  Pages.FindPages(prefix, names);
  if (names.empty()) return false;
  for (const std::string& name : names) {
    std::string title = ReadHTMLTitle(Folder, name);
    Print(Console, "Processing: " + name + " (" + title + ")\n");
    output.Line(8, "<LI> <OBJECT type=\"text/sitemap\">");
    output.Line(16, "<param name=\"Name\" value=\"" + title + "\">");
    output.Line(16, "<param name=\"Local\" value=\"" + name + "\">");
    output.Line(16, "</OBJECT>");
    size_t underscore = name.find('_');
    if (underscore == std::string::npos) continue;
    std::string identifier = "IDH_" + name.substr(0, underscore);
    mapOut.Line(0, identifier + "=" + name);
    headOut.Line(0, "#define " + identifier + " " + std::to_string(Id));
    ++Id;
  }
  return true;
}

void TContentsGenerator::ProcessSubLevels(const std::string& mainLevel, TTextStream& output,
                                          TTextStream& mapOut, TTextStream& headOut) {
  for (int number = 1; number <= 99; ++number) {
    std::string group = mainLevel;
    group += static_cast<char>('0' + number / 10);
    group += static_cast<char>('0' + number % 10);
    if (!ProcessWithPrefix(group + "_", output, mapOut, headOut)) continue;
    // Every group with pages gets its list, also when nothing lies below it.
    output.Line(8, "<UL>");
    ProcessSubLevels(group, output, mapOut, headOut);
    output.Line(8, "</UL>");
  }
}

const char IndexwrightUsage[] =
    "usage: indexwright\n"
    "Run it in the folder of a help project's numbered pages (01_name.htm, 0101_name.htm, ...).\n"
    "It writes toc.hhc, map.txt and htmlhelp.h there and takes no arguments.\n";

int RunIndexwright(TPageFolder& folder, TPageSource& pages, TByteSink& console, TByteSink& errors) {
  Print(console, "TOC Generator for HTML Help\n");
  Print(console, "Writes toc.hhc, map.txt and htmlhelp.h for the numbered pages of this directory\n\n");

  static const char* const FileNames[] = {"toc.hhc", "map.txt", "htmlhelp.h"};
  std::unique_ptr<TOutputSink> files[3];
  for (int i = 0; i < 3; ++i) {
    files[i] = folder.CreateOutput(FileNames[i]);
    if (!files[i]) files[i].reset(new TDiscardedFile);
  }
  TTextStream out(*files[0]), mapOut(*files[1]), headOut(*files[2]);

  WriteHeader(out);
  TContentsGenerator generator(folder, pages, console);
  generator.ProcessSubLevels("", out, mapOut, headOut);
  WriteFooter(out);

  int result = 0;
  for (int i = 0; i < 3; ++i) {
    if (files[i]->Close()) continue;
    Print(errors, std::string("Cannot write ") + FileNames[i] + "\n");
    result = 1;
  }
  return result;
}
