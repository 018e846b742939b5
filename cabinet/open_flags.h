#pragma once
// The run-time `open` flags the binding uses, by value. The cabinet library hands its own
// flag words to the open callback unchanged, and its values are these; the run-time library
// must agree, since the callback passes the word straight to `_open`.

#include <fcntl.h>

namespace cab_open {
constexpr int ReadOnly = 0x0000;
constexpr int WriteOnly = 0x0001;
constexpr int ReadWrite = 0x0002;
constexpr int Create = 0x0100;     // without it only an existing file opens
constexpr int Truncate = 0x0200;   // create without truncate keeps an existing file's content
constexpr int Exclusive = 0x0400;  // stripped by FileOpen: see there
constexpr int Binary = 0x8000;
}  // namespace cab_open

static_assert(_O_RDONLY == cab_open::ReadOnly, "run-time flag differs from the cabinet library's");
static_assert(_O_WRONLY == cab_open::WriteOnly, "run-time flag differs from the cabinet library's");
static_assert(_O_RDWR == cab_open::ReadWrite, "run-time flag differs from the cabinet library's");
static_assert(_O_CREAT == cab_open::Create, "run-time flag differs from the cabinet library's");
static_assert(_O_TRUNC == cab_open::Truncate, "run-time flag differs from the cabinet library's");
static_assert(_O_EXCL == cab_open::Exclusive, "run-time flag differs from the cabinet library's");
static_assert(_O_BINARY == cab_open::Binary, "run-time flag differs from the cabinet library's");
