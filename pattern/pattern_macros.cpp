#include "pattern/pattern_macros.h"

namespace {

struct TMacro {
  char letter;
  const char* body;
};

// Searched in this order. Every body is one group or one class; p uses f.
const TMacro Macros[] = {
    {'a', "[a-zA-Z0-9]"},
    {'b', "([ \t\r\n]#)"},
    {'c', "[a-zA-Z]"},
    {'d', "[0-9]"},
    {'f', "(([~ \"[/]:<!>+=;,.]##)|(..)|.)"},
    {'h', "([0-9a-fA-F]##)"},
    {'i', "([a-zA-Z_$][a-zA-Z0-9_$]#)"},
    {'n', "(+|/-|()([0-9]##.[0-9]#)|([0-9]#.[0-9]##)|([0-9]##))"},
    {'p', "(([a-z]/:)|()\\|()(:f(.:f)|()\\)#:f(.:f)|())"},
    {'q', "((\"~\"#\")|('~'#'))"},
    {'r', "((/-|())([0-9]##))"},
    {'w', "([a-zA-Z]##)"},
    {'x', "([ 0-9A-Za-z]##)"},
    {'z', "([0-9]##)"},
    {'A', "([/-a-zA-Z0-9]##)"},
    {'B', "([ \t\r\n]##)"},
    {'W', "([a-zA-Z_@$][a-zA-Z0-9_@$]#)"},
};

}  // namespace

const char* PatternMacroBody(char letter) {
  for (const TMacro& m : Macros)
    if (m.letter == letter) return m.body;
  return nullptr;
}
