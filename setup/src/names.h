// Fixed names of the installer: files, registry places, the service and the chips' PCI
// identifiers.
#pragma once

#include <array>

namespace setup::names {

inline constexpr char kCaptureSource[] = "tarvovfw0.dll";
inline constexpr char kCaptureCopy[] = "%starvovfw%d.dll"; // system directory with '\', device
inline constexpr char kCaptureCopyName[] = "tarvovfw%d.dll";
inline constexpr char kBoardControl[] = "tarvovfw.dll";
inline constexpr char kKernelDriver[] = "tarvo.sys";
inline constexpr char kDriversFolder[] = "drivers\\";
inline constexpr char kImagePathTail[] = "\\drivers\\Tarvo.sys";
inline constexpr char kServiceName[] = "Tarvo";

// The text in the capture driver's version block whose last character names its device.
inline constexpr char kFileDescription[] = "MSVIDEO: Orvik Video Capture Driver Device0";
inline constexpr char kDriverDescription[] = "Orvik NT VFW Driver %d"; // slot

inline constexpr char kSlotZero[] = "MSVIDEO";
inline constexpr char kSlotN[] = "MSVIDEO%d";

inline constexpr char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\\";
inline constexpr char kDriversDesc[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc\\";
inline constexpr char kMsvideoResources[] =
    "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\msvideo\\";
inline constexpr char kVfwWdm[] = "MSVIDEO.VFWWDM";
inline constexpr char kVfwWdmDescription[] = "vfwwdm32.dll";
inline constexpr char kDeviceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Devices\\TarvoDevice\\%ld\\";
inline constexpr char kVideoCaptureUser[] = "Software\\Microsoft\\Multimedia\\Video Capture\\";
inline constexpr char kUserSettings[] = "tarvo";

inline constexpr char kShutdownPrivilege[] = "SeShutdownPrivilege";

inline constexpr std::array<const char*, 8> kPciIds = {
    "PCI\\VEN_109E&DEV_0350", "PCI\\VEN_109E&DEV_0351", "PCI\\VEN_109E&DEV_036E",
    "PCI\\VEN_109E&DEV_036F", "PCI\\VEN_109E&DEV_0370", "PCI\\VEN_109E&DEV_0878",
    "PCI\\VEN_109E&DEV_0879", "PCI\\VEN_109E&DEV_0880",
};

} // namespace setup::names
