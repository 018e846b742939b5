// The plain functions handed to cabinet.dll. The library's callbacks carry no object of
// ours (the user value is not used), so each one forwards to the virtual operation of the
// process-wide active binding. The active pointer is set by Unpack and by each building call
// before the library can call back, and cleared only when that binding is destroyed.

#include "cab_forwarders.h"

#include <cstddef>
#include <cstdlib>
#include <type_traits>

#include "cab_packer.h"

namespace {
TCABPacker* Active = nullptr;
}

TCABPacker* TCABPacker::ActivePacker() { return Active; }

void TCABForward::Activate(TCABPacker* packer) { Active = packer; }

void TCABForward::Deactivate(TCABPacker* packer) {
  if (Active == packer) Active = nullptr;
}

// Memory for both sides: the run-time heap. Null from Alloc tells the library it failed.
void* DIAMONDAPI TCABForward::Alloc(ULONG size) { return std::malloc(size); }
void DIAMONDAPI TCABForward::Free(void* memory) { std::free(memory); }

// Extraction side: no error out-parameter, no user value.
INT_PTR DIAMONDAPI TCABForward::Open(char* name, int flags, int mode) {
  return Active->FileOpen(name, flags, mode, nullptr);
}
UINT DIAMONDAPI TCABForward::Read(INT_PTR handle, void* buffer, UINT count) {
  return Active->FileRead(handle, buffer, count, nullptr);
}
UINT DIAMONDAPI TCABForward::Write(INT_PTR handle, void* buffer, UINT count) {
  return Active->FileWrite(handle, buffer, count, nullptr);
}
int DIAMONDAPI TCABForward::Close(INT_PTR handle) { return Active->FileClose(handle, nullptr); }
LONG DIAMONDAPI TCABForward::Seek(INT_PTR handle, LONG distance, int origin) {
  return Active->FileSeek(handle, distance, origin, nullptr);
}
INT_PTR DIAMONDAPI TCABForward::Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) {
  return Active->Notify(type, record);
}

// Building side: the library passes an error out-parameter; the user value is unused.
INT_PTR DIAMONDAPI TCABForward::FciOpen(char* name, int flags, int mode, int* error, void*) {
  return Active->FileOpen(name, flags, mode, error);
}
UINT DIAMONDAPI TCABForward::FciRead(INT_PTR handle, void* buffer, UINT count, int* error, void*) {
  return Active->FileRead(handle, buffer, count, error);
}
UINT DIAMONDAPI TCABForward::FciWrite(INT_PTR handle, void* buffer, UINT count, int* error, void*) {
  return Active->FileWrite(handle, buffer, count, error);
}
int DIAMONDAPI TCABForward::FciClose(INT_PTR handle, int* error, void*) {
  return Active->FileClose(handle, error);
}
LONG DIAMONDAPI TCABForward::FciSeek(INT_PTR handle, LONG distance, int origin, int* error, void*) {
  return Active->FileSeek(handle, distance, origin, error);
}
int DIAMONDAPI TCABForward::FciDelete(char* name, int* error, void*) {
  return Active->FileDelete(name, error);
}
BOOL DIAMONDAPI TCABForward::GetNextCabinet(PCCAB cabinet, ULONG previousSize, void*) {
  return Active->GetNextCabinet(cabinet, previousSize);
}
int DIAMONDAPI TCABForward::FilePlaced(PCCAB cabinet, char* fileName, LONG size, BOOL continuation,
                                       void*) {
  return Active->FilePlaced(cabinet, fileName, size, continuation);
}
INT_PTR DIAMONDAPI TCABForward::GetOpenInfo(char* name, USHORT* date, USHORT* time,
                                            USHORT* attributes, int* error, void*) {
  return Active->GetOpenInfo(name, date, time, attributes, error);
}
LONG DIAMONDAPI TCABForward::Progress(UINT statusType, ULONG value1, ULONG value2, void*) {
  return Active->Progress(statusType, value1, value2);
}
BOOL DIAMONDAPI TCABForward::GetTempFile(char* buffer, int bufferSize, void*) {
  return Active->GetTempFile(buffer, bufferSize);
}

// The library's callbacks are cdecl (DIAMONDAPI) on 32-bit x86 and use the one calling
// convention of x86-64 there. A forwarding function of another calling convention or argument
// list would be a different pointer type and fail here rather than corrupt the stack at run time.
#define CAB_SAME_TYPE(fn, type) \
  static_assert(std::is_same<decltype(&TCABForward::fn), type>::value, #fn " is not a " #type)
CAB_SAME_TYPE(Alloc, PFNALLOC);
CAB_SAME_TYPE(Free, PFNFREE);
CAB_SAME_TYPE(Alloc, PFNFCIALLOC);
CAB_SAME_TYPE(Free, PFNFCIFREE);
CAB_SAME_TYPE(Open, PFNOPEN);
CAB_SAME_TYPE(Read, PFNREAD);
CAB_SAME_TYPE(Write, PFNWRITE);
CAB_SAME_TYPE(Close, PFNCLOSE);
CAB_SAME_TYPE(Seek, PFNSEEK);
CAB_SAME_TYPE(Notify, PFNFDINOTIFY);
CAB_SAME_TYPE(FciOpen, PFNFCIOPEN);
CAB_SAME_TYPE(FciRead, PFNFCIREAD);
CAB_SAME_TYPE(FciWrite, PFNFCIWRITE);
CAB_SAME_TYPE(FciClose, PFNFCICLOSE);
CAB_SAME_TYPE(FciSeek, PFNFCISEEK);
CAB_SAME_TYPE(FciDelete, PFNFCIDELETE);
CAB_SAME_TYPE(GetNextCabinet, PFNFCIGETNEXTCABINET);
CAB_SAME_TYPE(FilePlaced, PFNFCIFILEPLACED);
CAB_SAME_TYPE(GetOpenInfo, PFNFCIGETOPENINFO);
CAB_SAME_TYPE(Progress, PFNFCISTATUS);
CAB_SAME_TYPE(GetTempFile, PFNFCIGETTEMPFILE);
#undef CAB_SAME_TYPE

// The structures the library reads and writes, as its 32-bit build (4-byte packing) and its
// 64-bit build (pointers and handles 8 bytes, naturally aligned) lay them out. A header that
// disagrees with the library would make extraction read names and handles from wrong places.
#if defined(_WIN64)
static_assert(sizeof(void*) == 8 && sizeof(INT_PTR) == 8, "64-bit binding");
static_assert(sizeof(FDINOTIFICATION) == 64, "FDINOTIFICATION layout (x86-64)");
static_assert(offsetof(FDINOTIFICATION, psz1) == 8 && offsetof(FDINOTIFICATION, hf) == 40 &&
                  offsetof(FDINOTIFICATION, date) == 48 && offsetof(FDINOTIFICATION, fdie) == 60,
              "FDINOTIFICATION field offsets (x86-64)");
#else
static_assert(sizeof(void*) == 4 && sizeof(INT_PTR) == 4, "32-bit binding");
static_assert(sizeof(FDINOTIFICATION) == 40, "FDINOTIFICATION layout (x86, 4-byte packing)");
static_assert(offsetof(FDINOTIFICATION, psz1) == 4 && offsetof(FDINOTIFICATION, hf) == 20 &&
                  offsetof(FDINOTIFICATION, date) == 24 && offsetof(FDINOTIFICATION, fdie) == 36,
              "FDINOTIFICATION field offsets (x86)");
#endif
// The same on both: only 4-byte fields, or fixed text arrays.
static_assert(sizeof(ERF) == 12, "ERF layout");
static_assert(sizeof(CCAB) == 804, "CCAB layout");
static_assert(offsetof(CCAB, setID) == 32 && offsetof(CCAB, szCabPath) == 546, "CCAB field offsets");
static_assert(sizeof(FDICABINETINFO) == 24, "FDICABINETINFO layout");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(UINT) == 4 && sizeof(USHORT) == 2,
              "cabinet library integer widths");
