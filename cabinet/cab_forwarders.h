#pragma once
// The plain callback functions handed to cabinet.dll; each forwards to the active TCABPacker.
// Internal to the binding.

#include "cab_packer.h"

struct TCABForward {
  static void Activate(TCABPacker* packer);
  // Clears the active pointer if it designates packer (called by its destructor).
  static void Deactivate(TCABPacker* packer);

  static void* DIAMONDAPI Alloc(ULONG size);
  static void DIAMONDAPI Free(void* memory);

  static INT_PTR DIAMONDAPI Open(char* name, int flags, int mode);
  static UINT DIAMONDAPI Read(INT_PTR handle, void* buffer, UINT count);
  static UINT DIAMONDAPI Write(INT_PTR handle, void* buffer, UINT count);
  static int DIAMONDAPI Close(INT_PTR handle);
  static LONG DIAMONDAPI Seek(INT_PTR handle, LONG distance, int origin);
  static INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);

  static INT_PTR DIAMONDAPI FciOpen(char* name, int flags, int mode, int* error, void* user);
  static UINT DIAMONDAPI FciRead(INT_PTR handle, void* buffer, UINT count, int* error, void* user);
  static UINT DIAMONDAPI FciWrite(INT_PTR handle, void* buffer, UINT count, int* error, void* user);
  static int DIAMONDAPI FciClose(INT_PTR handle, int* error, void* user);
  static LONG DIAMONDAPI FciSeek(INT_PTR handle, LONG distance, int origin, int* error, void* user);
  static int DIAMONDAPI FciDelete(char* name, int* error, void* user);
  static BOOL DIAMONDAPI GetNextCabinet(PCCAB cabinet, ULONG previousSize, void* user);
  static int DIAMONDAPI FilePlaced(PCCAB cabinet, char* fileName, LONG size, BOOL continuation,
                                   void* user);
  static INT_PTR DIAMONDAPI GetOpenInfo(char* name, USHORT* date, USHORT* time, USHORT* attributes,
                                        int* error, void* user);
  static LONG DIAMONDAPI Progress(UINT statusType, ULONG value1, ULONG value2, void* user);
  static BOOL DIAMONDAPI GetTempFile(char* buffer, int bufferSize, void* user);
};
