#pragma once
// Packs a patch data file into a patch cabinet with the cabinet binding's building side,
// as the vendor ships it to mendit (one file in one cabinet).

#include <string>
#include <vector>

// Writes data to a temporary file, puts it into the cabinet at cabinetPath (MSZIP) under
// nameInCabinet and removes the temporary file. Messages of the library go to errors (one
// line each). True when the cabinet was written.
bool WritePatchCabinet(const std::vector<unsigned char>& data, const std::string& cabinetPath,
                       const std::string& nameInCabinet, std::string& errors);
