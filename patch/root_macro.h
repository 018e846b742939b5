#pragma once
// TRootMacro: "&ROOT&" defined in an expander for as long as the object lives. It puts the
// definition first among the expander's (so it is applied before any older one) and takes
// that definition out again when it goes out of scope, whatever the run in between did.

#include <string>

class TMacroExpander;
class TMacroDef;

class TRootMacro {
 public:
  // directory: the folder of the target application's main executable, without a trailing
  // backslash. macros must outlive this object.
  TRootMacro(TMacroExpander& macros, const std::string& directory);
  ~TRootMacro();
  TRootMacro(const TRootMacro&) = delete;
  TRootMacro& operator=(const TRootMacro&) = delete;

 private:
  TMacroExpander& Macros;
  bool Added = false;
};
