// TMacroArray: pointer storage that grows in steps of ten, as the expander's lists always have.
#include <algorithm>

#include "paths/macros.h"

void TMacroArray::AddAt(size_t index, TMacroDef* item) {
  if (Items.size() == Items.capacity()) Items.reserve(Items.size() + GrowBy);
  if (index > Items.size()) index = Items.size();
  Items.insert(Items.begin() + static_cast<std::ptrdiff_t>(index), item);
}

void TMacroArray::Detach(size_t index) {
  if (index < Items.size()) Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index));
}

bool TMacroArray::DetachItem(const TMacroDef* item) {
  auto found = std::find(Items.begin(), Items.end(), item);
  if (found == Items.end()) return false;
  Items.erase(found);
  return true;
}

bool TMacroArray::Contains(const TMacroDef* item) const {
  return std::find(Items.begin(), Items.end(), item) != Items.end();
}
