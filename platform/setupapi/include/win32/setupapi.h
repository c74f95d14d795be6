// Device installation services over the machine's PCI devices: the set of device records,
// their registry properties and removal through the class installer. Device records live in
// the registry under HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\PCI\<device id>\<instance>
// (platform/pnp_devices.h tells how they come to be there).
#pragma once

#include "win32/guiddef.h"
#include "win32/types.h"

#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif
#ifndef ERROR_NO_SUCH_DEVINST
#define ERROR_NO_SUCH_DEVINST 0xE000020BL
#endif
#ifndef ERROR_INVALID_REG_PROPERTY
#define ERROR_INVALID_REG_PROPERTY 0xE0000209L
#endif

typedef PVOID HDEVINFO;

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;
static_assert(sizeof(SP_DEVINFO_DATA) == 24 + sizeof(ULONG_PTR));

// SetupDiGetClassDevsA flags.
#define DIGCF_DEFAULT 0x00000001u
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_PROFILE 0x00000008u
#define DIGCF_DEVICEINTERFACE 0x00000010u

// Device registry properties.
#define SPDRP_DEVICEDESC 0x00000000u
#define SPDRP_HARDWAREID 0x00000001u
#define SPDRP_COMPATIBLEIDS 0x00000002u
#define SPDRP_SERVICE 0x00000004u
#define SPDRP_CLASS 0x00000007u
#define SPDRP_CLASSGUID 0x00000008u
#define SPDRP_DRIVER 0x00000009u
#define SPDRP_MFG 0x0000000Bu
#define SPDRP_LOCATION_INFORMATION 0x0000000Du

// Installation functions of the class installer.
#define DIF_SELECTDEVICE 0x00000001u
#define DIF_INSTALLDEVICE 0x00000002u
#define DIF_REMOVE 0x00000005u
#define DIF_PROPERTYCHANGE 0x00000012u

typedef UINT DI_FUNCTION;

extern "C" {
// The device records of one class (ClassGuid), or of all classes with DIGCF_ALLCLASSES; with
// DIGCF_PRESENT only those whose hardware sits on the bus now. Enumerator: null or "PCI".
// DIGCF_DEVICEINTERFACE is not supported (ERROR_INVALID_FLAGS). Failure: INVALID_HANDLE_VALUE.
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent,
                                     DWORD Flags);
// The MemberIndex-th device of the set; ERROR_NO_MORE_ITEMS past the end. cbSize must be
// sizeof(SP_DEVINFO_DATA) (ERROR_INVALID_USER_BUFFER otherwise).
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData);
// A property of the device's record. A buffer too small (or null with size 0) gives
// ERROR_INSUFFICIENT_BUFFER with *RequiredSize set; a property the record lacks gives
// ERROR_INVALID_DATA. Multi-string properties (hardware and compatible IDs) are REG_MULTI_SZ.
BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize);
// Only DIF_REMOVE is carried out: the device's record goes from the registry (the device comes
// back at the next enumeration of the bus). Other functions: ERROR_NOT_SUPPORTED. A device
// already removed: ERROR_NO_SUCH_DEVINST.
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
}
