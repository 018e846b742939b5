// TMacroArray: pointer storage that grows in steps of ten, as the expander's lists always have.
#include <algorithm>

#include "paths/macros.h"

void TMacroArray::AddAt(size_t index, TMacroDef* item) {
  if (items.size() == items.capacity()) items.reserve(items.size() + GrowBy);
  if (index > items.size()) index = items.size();
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), item);
}

void TMacroArray::Detach(size_t index) {
  if (index < items.size()) items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
}

bool TMacroArray::DetachItem(const TMacroDef* item) {
  auto found = std::find(items.begin(), items.end(), item);
  if (found == items.end()) return false;
  items.erase(found);
  return true;
}

bool TMacroArray::Contains(const TMacroDef* item) const {
  return std::find(items.begin(), items.end(), item) != items.end();
}
