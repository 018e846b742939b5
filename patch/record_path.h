#pragma once
// Where a record may act. A record path must start with a folder macro ("&ROOT&", or a
// start-up macro such as "&SYSTEM&") and, after expansion, lie inside the folder that macro
// names: whole path parts below it, none of which climbs out ("..") or means something else
// to the system (a device such as CON or LPT1, a stream "name:stream", a part whose trailing
// dots or spaces Windows would drop, an undo journal of the console companion). A patch,
// damaged or hostile, can then never write or delete beside or above the folder the user chose.

#include <string>

class TMacroExpander;

enum class TRecordPathRule {
  Allowed,
  NoFolderMacro,  // absolute without a macro, relative, UNC, "\\?\" or "\\.\"; or a macro that names no folder
  LeavesFolder,   // "..", ".", an empty part, or text glued to the macro ("&ROOT&_OLD")
  ForbiddenPart,  // a device name, a stream, a character Windows refuses, trailing dots or spaces
  UndoJournal,    // a part named like the console companion's undo journal
};

// The rule a record's path (as stored, macros unexpanded) breaks, for writers: a leading
// "&NAME&", a separator, then clean parts.
TRecordPathRule CheckRecordPathSpelling(const std::string& path);

// The same for the applier, after expansion: the leading macro must name a folder of macros,
// and the expanded path must lie inside it part by part. expanded receives the expansion.
TRecordPathRule ConfineRecordPath(const std::string& path, TMacroExpander& macros, std::string& expanded);

// A record's path as a run uses it, confined and expanded once: the rule it breaks and its
// expansion. Without macros (null) the path stands as it is and is allowed.
struct TResolvedPath {
  TRecordPathRule Rule = TRecordPathRule::Allowed;
  std::string Expanded;
  // The folder the leading macro names (no trailing backslash but a drive's "C:\\"): every
  // file the record acts on must lead inside it once links are followed. Empty without
  // macros, or when the path starts with no macro naming a folder.
  std::string Folder;
};
TResolvedPath ResolveRecordPath(const char* path, TMacroExpander* macros);

