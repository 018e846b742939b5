#pragma once
// TGdiFailure: thrown when a device context cannot be obtained.

#include <stdexcept>

class TGdiFailure : public std::runtime_error {
 public:
  TGdiFailure() : std::runtime_error("GDI failure") {}
};
