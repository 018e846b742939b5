// Macro expansion: replacement order and case, removal, nesting and ownership, and the
// budget that stops definitions which would otherwise expand for ever.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "paths/macros.h"

namespace {

using Definitions = std::vector<std::pair<std::string, std::string>>;

// An expander with the definitions added in the order given (so the last is applied first).
void Define(TMacroExpander& expander, const Definitions& definitions) {
  for (const auto& d : definitions) {
    ASSERT_TRUE(expander.AddMacro(new TMacroDef(d.first, d.second)));
  }
}

struct ExpandCase {
  const char* what;
  Definitions definitions;
  std::string text;
  std::string want;
};

const std::string Root = "C:\\PROGRAM FILES\\TOOL";

const ExpandCase ExpandCases[] = {
    {"root", {{"&ROOT&", Root}}, "&ROOT&\\BIN\\X.DLL", Root + "\\BIN\\X.DLL"},
    {"case ignored", {{"&ROOT&", Root}}, "&root&\\X", Root + "\\X"},
    {"mixed case name", {{"&Root&", Root}}, "&rOOT&", Root},
    {"two names side by side", {{"&WINDOWS&", "C:\\WIN"}, {"&SYSTEM&", "\\SYS"}},
     "&WINDOWS&&SYSTEM&", "C:\\WIN\\SYS"},
    {"no name", {{"&ROOT&", Root}}, "C:\\PLAIN\\X", "C:\\PLAIN\\X"},
    {"empty text", {{"&ROOT&", Root}}, "", ""},
    {"name twice", {{"&A&", "x"}}, "&A&\\&a&", "x\\x"},
    {"newest of one name wins", {{"&A&", "old"}, {"&A&", "new"}}, "&A&", "new"},
    {"value names a later macro", {{"&B&", "b"}, {"&A&", "&B&\\a"}}, "&A&", "b\\a"},
    {"value names an earlier macro", {{"&A&", "&B&\\a"}, {"&B&", "b"}}, "&A&", "b\\a"},
    {"chain over passes", {{"&A&", "&B&"}, {"&B&", "&C&"}, {"&C&", "c"}}, "&A&", "c"},
    // The search resumes at the inserted value, so a value that forms the name again
    // with the text after it is replaced again; each time it uses up text that followed
    // the name, so without the name inside the value it always ends.
    {"name formed again, shrinking", {{"ab", "a"}}, "abbb", "a"},
    {"name formed again, growing", {{"ab", "xa"}}, "abbb", "xxxa"},
    {"empty value", {{"&A&", ""}}, "x&A&y", "xy"},
    {"empty name never matches", {{"", "x"}}, "abc", "abc"},
    {"bytes above 127 compared exactly", {{"&\xc4&", "v"}}, "&\xe4&&\xc4&", "&\xe4&v"},
};

TEST(Macros, Expands) {
  for (bool repeat : {true, false}) {
    for (const ExpandCase& c : ExpandCases) {
      TMacroExpander expander;
      Define(expander, c.definitions);
      bool complete = false;
      EXPECT_EQ(c.want, expander.ExpandMacros(c.text, repeat, &complete)) << c.what;
      EXPECT_TRUE(complete) << c.what;
    }
  }
}

// Definitions that never reach a pass without replacement: the expansion stops at its
// budget, returns an empty text and says so.
TEST(Macros, RunawayDefinitionsAreStopped) {
  const ExpandCase cases[] = {
      {"value holds its own name", {{"&A&", "x&A&"}}, "&A&", ""},
      {"value is its own name", {{"&A&", "&a&"}}, "&A&", ""},
      {"value doubles", {{"&A&", "&A&&A&"}}, "&A&", ""},
      {"two macros in a cycle", {{"&A&", "&B&"}, {"&B&", "&A&"}}, "&A&", ""},
      {"three macros in a cycle", {{"&A&", "&B&"}, {"&B&", "&C&"}, {"&C&", "&a&"}}, "&B&", ""},
      {"long value grows past the length bound", {{"&A&", std::string(20000, 'v') + "&A&"}},
       "&A&", ""},
  };
  for (bool repeat : {true, false}) {
    for (const ExpandCase& c : cases) {
      TMacroExpander expander;
      Define(expander, c.definitions);
      bool complete = true;
      EXPECT_EQ(c.want, expander.ExpandMacros(c.text, repeat, &complete)) << c.what;
      EXPECT_FALSE(complete) << c.what;
      // The same text without any name still expands (to itself) completely.
      EXPECT_EQ(std::string("plain"), expander.ExpandMacros("plain", repeat, &complete));
      EXPECT_TRUE(complete) << c.what;
    }
  }
}

TEST(Macros, BudgetBoundaries) {
  const int32_t most = TExpansionBudget::MaxReplacements;
  struct Case {
    std::string text;
    std::string value;
    bool complete;
    size_t length;
  } cases[] = {
      {std::string(most, 'x'), "y", true, size_t(most)},
      {std::string(most + 1, 'x'), "y", false, 0},
      {"x", std::string(TExpansionBudget::MaxTextLength, 'v'), true,
       TExpansionBudget::MaxTextLength},
      {"x", std::string(TExpansionBudget::MaxTextLength + 1, 'v'), false, 0},
  };
  for (const Case& c : cases) {
    TMacroExpander expander;
    expander.AddMacro(new TMacroDef("x", c.value));
    bool complete = !c.complete;
    EXPECT_EQ(c.length, expander.ExpandMacros(c.text, true, &complete).size());
    EXPECT_EQ(c.complete, complete) << "text length " << c.text.size();
  }
}

TEST(Macros, OnePassAndReplaceOnce) {
  std::string text = "&A& &A&";
  bool any = false, replaced = false;
  TMacroDef once("&A&", "1");
  once.SetReplaceOnce(true);
  once.Expand(text, any, replaced);
  EXPECT_EQ(std::string("1 &A&"), text);
  EXPECT_TRUE(any);
  EXPECT_TRUE(replaced);

  // Stop-after-first ends a pass after the first definition that replaced something.
  TMacroExpander stopping(true);
  Define(stopping, {{"&B&", "2"}, {"&A&", "1"}});
  text = "&A&&B&";
  any = replaced = false;
  stopping.Expand(text, any, replaced);
  EXPECT_EQ(std::string("1&B&"), text);
  EXPECT_EQ(std::string("12"), stopping.ExpandMacros("&A&&B&"));

  // Flags are only ever set.
  TMacroDef none("&Z&", "z");
  none.Expand(text, any, replaced);
  EXPECT_TRUE(any);
  EXPECT_TRUE(replaced);
}

TEST(Macros, RemoveMacro) {
  struct Case {
    const char* what;
    Definitions definitions;
    std::vector<std::string> removals;
    std::vector<bool> removed;
    std::string want;  // expansion of "&ROOT&" afterwards
  } cases[] = {
      {"doubled name removes the newer", {{"&ROOT&", "old"}, {"&ROOT&", "new"}}, {"&root&"},
       {true}, "old"},
      {"both removed", {{"&ROOT&", "old"}, {"&ROOT&", "new"}}, {"&ROOT&", "&ROOT&"},
       {true, true}, "&ROOT&"},
      {"undefined name", {{"&ROOT&", "r"}}, {"&ROOTS&"}, {false}, "r"},
      {"empty name", {{"&ROOT&", "r"}}, {""}, {false}, "r"},
      {"other macros stay", {{"&A&", "a"}, {"&ROOT&", "r&A&"}, {"&B&", "b"}}, {"&B&"}, {true},
       "ra"},
  };
  for (const Case& c : cases) {
    TMacroExpander expander;
    Define(expander, c.definitions);
    for (size_t i = 0; i < c.removals.size(); ++i) {
      EXPECT_EQ(c.removed[i], expander.RemoveMacro(c.removals[i])) << c.what;
    }
    EXPECT_EQ(c.want, expander.ExpandMacros("&ROOT&")) << c.what;
  }
}

TEST(Macros, NestedExpanders) {
  TMacroExpander outer;
  Define(outer, {{"&ROOT&", "outer"}});
  {
    TMacroExpander inner;
    Define(inner, {{"&ROOT&", "inner"}, {"&SYS&", "sys"}});
    ASSERT_TRUE(outer.AddExpander(&inner));
    EXPECT_EQ(size_t(1), inner.Containers().Count());
    // The newest definition is the nested expander, so its &ROOT& wins.
    EXPECT_EQ(std::string("inner\\sys"), outer.ExpandMacros("&ROOT&\\&SYS&"));
    // RemoveMacro never finds a nested expander, even by its empty name.
    EXPECT_FALSE(outer.RemoveMacro(""));
    EXPECT_TRUE(outer.RemoveMacro("&ROOT&"));
    EXPECT_EQ(std::string("inner"), outer.ExpandMacros("&ROOT&"));
    EXPECT_EQ(size_t(1), outer.Definitions().Count());
  }
  // The destroyed inner expander took itself out of the outer one.
  EXPECT_EQ(size_t(0), outer.Definitions().Count());
  EXPECT_EQ(std::string("&ROOT&"), outer.ExpandMacros("&ROOT&"));

  // Destroying the outer expander leaves the inner one and its macros alone.
  TMacroExpander inner;
  Define(inner, {{"&A&", "a"}});
  {
    TMacroExpander second;
    ASSERT_TRUE(second.AddMacro(&inner));  // an expander is nested, not owned
    EXPECT_EQ(size_t(1), inner.Containers().Count());
  }
  EXPECT_EQ(size_t(0), inner.Containers().Count());
  EXPECT_EQ(std::string("a"), inner.ExpandMacros("&A&"));
}

TEST(Macros, NestingThatWouldNeverEndIsRefused) {
  TMacroExpander a, b, c;
  EXPECT_FALSE(a.AddExpander(&a));
  EXPECT_FALSE(a.AddExpander(nullptr));
  EXPECT_TRUE(a.AddExpander(&b));
  EXPECT_TRUE(b.AddExpander(&c));
  EXPECT_FALSE(b.AddExpander(&a));
  EXPECT_FALSE(c.AddExpander(&a));
  EXPECT_FALSE(c.AddMacro(&a));
  EXPECT_EQ(size_t(0), c.Definitions().Count());
  EXPECT_EQ(size_t(0), a.Containers().Count());
  // Cycles through values across nested expanders are stopped by the budget instead.
  Define(b, {{"&X&", "&Y&"}});
  Define(c, {{"&Y&", "&X&"}});
  bool complete = true;
  EXPECT_EQ(std::string(), a.ExpandMacros("&X&", true, &complete));
  EXPECT_FALSE(complete);
}

TEST(Macros, PlainMacroOwnership) {
  TMacroExpander first, second;
  TMacroDef* macro = new TMacroDef("&A&", "a");
  EXPECT_FALSE(first.AddMacro(nullptr));
  EXPECT_TRUE(first.AddMacro(macro));
  // A second owner would destroy it twice.
  EXPECT_FALSE(second.AddMacro(macro));
  EXPECT_FALSE(first.AddMacro(macro));
  EXPECT_EQ(size_t(1), first.Definitions().Count());
  // A macro destroyed by hand leaves no pointer behind in its expander.
  delete macro;
  EXPECT_EQ(size_t(0), first.Definitions().Count());
  EXPECT_EQ(std::string("&A&"), first.ExpandMacros("&A&"));
}

}  // namespace
