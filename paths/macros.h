#pragma once
// Macro expansion: symbolic directory names such as "&ROOT&" or "&SYSTEM&" in paths are
// replaced with real directories just before a path is used.
//
// A macro (TMacroDef) is a name and a replacement text; names are plain text compared
// without regard to the case of ASCII letters. An expander (TMacroExpander) holds macros
// and nested expanders and rewrites a text by applying each of them in turn, newest first,
// pass after pass, until a pass replaces nothing.
//
// Ownership: an expander owns the plain macros added to it and destroys them with itself
// (or in RemoveMacro); a nested expander is only borrowed. Destroying an expander takes it
// out of every expander that holds it, and out of the containers of those it holds, so no
// pointer to a destroyed expander remains.
//
// Runaway definitions: a value that contains its own macro's name, or macros whose values
// name each other in a cycle, would never reach a pass without replacement. Every
// expansion therefore runs on a budget of MaxReplacements replacements and MaxTextLength
// characters; when either is used up the expansion stops, ExpandMacros returns an empty
// text and reports it through its complete flag. Nested expanders that would contain themselves are refused when they are added.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TMacroDef;
class TMacroExpander;

// What one expansion may still do; shared by every macro and nested expander it reaches.
struct TExpansionBudget {
  static constexpr int32_t MaxReplacements = 1000;
  static constexpr size_t MaxTextLength = 32768;

  int32_t replacementsLeft = MaxReplacements;
  size_t MaxLength = MaxTextLength;
  bool Exhausted = false;  // set once a replacement was refused; nothing replaces after it
};

// A growable array of pointers to macros, indexed from 0, growing 10 entries at a time.
// It never owns what it points to.
class TMacroArray {
 public:
  static constexpr size_t GrowBy = 10;

  size_t Count() const { return Items.size(); }
  bool IsEmpty() const { return Items.empty(); }
  TMacroDef* operator[](size_t index) const { return Items[index]; }
  void AddAt(size_t index, TMacroDef* item);  // index past the end appends
  void Add(TMacroDef* item) { AddAt(Items.size(), item); }
  void Detach(size_t index);  // takes the entry out; an index past the end does nothing
  bool DetachItem(const TMacroDef* item);  // first entry equal to the pointer; false if none
  bool Contains(const TMacroDef* item) const;

 private:
  std::vector<TMacroDef*> Items;
};

class TMacroDef {
 public:
  TMacroDef(const std::string& name, const std::string& value);
  TMacroDef(const TMacroDef&) = delete;
  TMacroDef& operator=(const TMacroDef&) = delete;
  virtual ~TMacroDef();

  // Equal when the names are equal, ignoring the case of ASCII letters.
  virtual bool operator==(const TMacroDef& other) const;
  // Replaces every occurrence of the name in text with the value, resuming the search at
  // the start of each inserted value. Sets both flags whenever it replaces something and
  // never clears them. Stops without replacing when the budget would be exceeded.
  virtual void Expand(std::string& text, bool& replacedAny, bool& replaced,
                      TExpansionBudget& budget);
  virtual bool IsPlain() const { return true; }

  // The same with a budget of its own.
  void Expand(std::string& text, bool& replacedAny, bool& replaced);

  const std::string& Name() const { return name; }
  const std::string& Value() const { return value; }
  bool ReplaceOnce() const { return replaceOnce; }
  void SetReplaceOnce(bool on) { replaceOnce = on; }

 private:
  friend class TMacroExpander;

  std::string name;
  std::string value;
  int32_t NameLength;  // characters a replacement removes, taken when the macro is made
  bool replaceOnce = false;
  TMacroExpander* Owner = nullptr;  // the expander that owns this plain macro, if any
};

class TMacroExpander : public TMacroDef {
 public:
  explicit TMacroExpander(bool stopAfterFirst = false);
  ~TMacroExpander() override;

  // Identity: an expander equals only itself, so RemoveMacro never finds one.
  bool operator==(const TMacroDef& other) const override;
  // One pass: every definition from index 0 upward; with stop-after-first, the pass ends
  // after the first definition that leaves replaced set.
  void Expand(std::string& text, bool& replacedAny, bool& replaced,
              TExpansionBudget& budget) override;
  using TMacroDef::Expand;
  bool IsPlain() const override { return false; }

  // Puts definition first, so it is applied before every earlier one (no check for a
  // macro of the same name). Takes ownership of a plain macro; an expander is nested as by
  // AddExpander. Refused (false, nothing taken) for a null pointer, a plain macro that
  // already belongs to an expander, or an expander refused by AddExpander.
  bool AddMacro(TMacroDef* definition);
  // Puts inner first among the definitions, borrowed, and records this expander among
  // inner's containers. Refused (false) for null, this expander itself, or an expander
  // that already holds this one (directly or further down), which would nest without end.
  bool AddExpander(TMacroExpander* inner);
  // Takes the first plain macro of that name (case ignored) out of the definitions and
  // destroys it. Returns false when there is none.
  bool RemoveMacro(const std::string& name);

  // The expansion of text. With repeat, at most 10 cycles, each running passes until one
  // replaces nothing; without, passes until one replaces nothing. When the budget runs out
  // the result is empty and *complete (if given) false; otherwise *complete is true.
  std::string ExpandMacros(const std::string& text, bool repeat = true,
                           bool* complete = nullptr);

  const TMacroArray& Definitions() const { return definitions; }
  const TMacroArray& Containers() const { return containers; }
  bool StopAfterFirst() const { return stopAfterFirst; }

 private:
  friend class TMacroDef;  // a plain macro destroyed elsewhere takes itself out of the list

  // Passes until one replaces nothing or the budget is gone.
  void RunPasses(std::string& text, bool& replacedAny, TExpansionBudget& budget);
  bool Holds(const TMacroExpander* other) const;  // among the definitions, at any depth

  TMacroArray definitions;
  TMacroArray containers;
  bool stopAfterFirst;
};
