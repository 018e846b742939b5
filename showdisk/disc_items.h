// The items of the disc that showdisk starts: for each button, what it starts, how, and
// what it says when the shell cannot start it.
#pragma once

struct TDiscItem {
  int Id;               // control id of the item's button, also its command
  const char* Path;     // relative to the launcher's own directory
  const char* Verb;     // null: the shell's default verb
  int ShowMode;         // SW_ value passed to the started program
  const char* Message;  // shown with caption "Blad" when the start fails
};

// The item of a button, or null for ids that start nothing (the exit button).
const TDiscItem* FindDiscItem(int id);
