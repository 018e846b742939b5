// TMacroExpander: an ordered table of macros and nested expanders, applied newest first.
#include "paths/macros.h"

namespace {

TMacroExpander* AsExpander(TMacroDef* definition) {
  return static_cast<TMacroExpander*>(definition);
}

}  // namespace

TMacroExpander::TMacroExpander(bool stopAfterFirst)
    : TMacroDef(std::string(), std::string()), stopAfterFirst(stopAfterFirst) {}

TMacroExpander::~TMacroExpander() {
  while (!containers.IsEmpty()) {
    AsExpander(containers[0])->definitions.DetachItem(this);
    containers.Detach(0);
  }
  while (!definitions.IsEmpty()) {
    TMacroDef* definition = definitions[0];
    definitions.Detach(0);
    if (definition->IsPlain()) {
      definition->Owner = nullptr;
      delete definition;
    } else {
      AsExpander(definition)->containers.DetachItem(this);
    }
  }
}

bool TMacroExpander::operator==(const TMacroDef& other) const { return this == &other; }

void TMacroExpander::Expand(std::string& text, bool& replacedAny, bool& replaced,
                            TExpansionBudget& budget) {
  for (size_t i = 0; i < definitions.Count() && !budget.Exhausted; ++i) {
    definitions[i]->Expand(text, replacedAny, replaced, budget);
    if (replaced && stopAfterFirst) return;
  }
}

bool TMacroExpander::AddMacro(TMacroDef* definition) {
  if (definition == nullptr) return false;
  // An expander added here is nested, and must know its container so that destroying it
  // takes it out of this list.
  if (!definition->IsPlain()) return AddExpander(AsExpander(definition));
  if (definition->Owner != nullptr) return false;
  definition->Owner = this;
  definitions.AddAt(0, definition);
  return true;
}

bool TMacroExpander::AddExpander(TMacroExpander* inner) {
  // An expander inside itself would recurse without end in every pass.
  if (inner == nullptr || inner == this || inner->Holds(this)) return false;
  definitions.AddAt(0, inner);
  inner->containers.Add(this);
  return true;
}

bool TMacroExpander::RemoveMacro(const std::string& name) {
  const TMacroDef probe(name, std::string());
  for (size_t i = 0; i < definitions.Count(); ++i) {
    TMacroDef* definition = definitions[i];
    if (*definition == probe) {
      definitions.Detach(i);
      definition->Owner = nullptr;
      delete definition;
      return true;
    }
  }
  return false;
}

bool TMacroExpander::Holds(const TMacroExpander* other) const {
  for (size_t i = 0; i < definitions.Count(); ++i) {
    TMacroDef* definition = definitions[i];
    if (definition->IsPlain()) continue;
    if (definition == other || AsExpander(definition)->Holds(other)) return true;
  }
  return false;
}

void TMacroExpander::RunPasses(std::string& text, bool& replacedAny, TExpansionBudget& budget) {
  for (;;) {
    bool replaced = false;
    Expand(text, replacedAny, replaced, budget);
    if (!replaced || budget.Exhausted) return;
  }
}

std::string TMacroExpander::ExpandMacros(const std::string& text, bool repeat, bool* complete) {
  TExpansionBudget budget;
  std::string copy = text;
  bool replacedAny = false;
  if (repeat) {
    for (int cycle = 0; cycle < 10 && !budget.Exhausted; ++cycle) {
      replacedAny = false;
      RunPasses(copy, replacedAny, budget);
      if (!replacedAny) break;
    }
  } else {
    RunPasses(copy, replacedAny, budget);
  }
  if (complete != nullptr) *complete = !budget.Exhausted;
  // A half-expanded text would still name macros, and as a path it would lead somewhere
  // unintended; an empty one fails visibly wherever it is used.
  return budget.Exhausted ? std::string() : copy;
}
