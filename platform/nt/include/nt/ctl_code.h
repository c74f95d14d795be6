// Device types and I/O control code layout, shared by kernel drivers and their user-mode senders.
#pragma once

#ifndef CTL_CODE
#define CTL_CODE(DeviceType, Function, Method, Access)                                             \
    ((static_cast<unsigned long>(DeviceType) << 16) | (static_cast<unsigned long>(Access) << 14) | \
     (static_cast<unsigned long>(Function) << 2) | static_cast<unsigned long>(Method))

#define DEVICE_TYPE_FROM_CTL_CODE(ctrlCode)                                                        \
    ((static_cast<unsigned long>(ctrlCode) & 0xffff0000) >> 16)
#define METHOD_FROM_CTL_CODE(ctrlCode) (static_cast<unsigned long>(ctrlCode) & 3)

#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3

#define FILE_ANY_ACCESS 0
#define FILE_SPECIAL_ACCESS FILE_ANY_ACCESS
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002

#define FILE_DEVICE_BEEP 0x00000001
#define FILE_DEVICE_CONTROLLER 0x00000004
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_NULL 0x00000015
#define FILE_DEVICE_SCREEN 0x0000001c
#define FILE_DEVICE_UNKNOWN 0x00000022
#define FILE_DEVICE_VIDEO 0x00000023
#endif
