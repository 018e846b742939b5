#include "root_macro.h"

#include <memory>

#include "patch_file.h"
#include "paths/macros.h"

TRootMacro::TRootMacro(TMacroExpander& macros, const std::string& directory) : Macros(macros) {
  auto definition = std::make_unique<TMacroDef>(RootMacro, directory);
  Added = Macros.AddMacro(definition.get());
  if (Added) definition.release();  // the expander owns it now
}

TRootMacro::~TRootMacro() {
  // The expander takes out the first definition of the name: the one added here, since
  // nothing in between puts another "&ROOT&" before it.
  if (Added) Macros.RemoveMacro(RootMacro);
}
