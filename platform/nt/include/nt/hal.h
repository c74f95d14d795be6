// Hardware abstraction: bus configuration data, resource lists, bus address translation,
// interrupt vectors and register access.
#pragma once

#include "nt/io.h"

typedef enum _INTERFACE_TYPE {
    InterfaceTypeUndefined = -1,
    Internal,
    Isa,
    Eisa,
    MicroChannel,
    TurboChannel,
    PCIBus,
    VMEBus,
    NuBus,
    PCMCIABus,
    CBus,
    MPIBus,
    MPSABus,
    ProcessorInternal,
    InternalPowerBus,
    PNPISABus,
    PNPBus,
    MaximumInterfaceType
} INTERFACE_TYPE,
    *PINTERFACE_TYPE;

typedef enum _BUS_DATA_TYPE {
    ConfigurationSpaceUndefined = -1,
    Cmos,
    EisaConfiguration,
    Pos,
    CbusConfiguration,
    PCIConfiguration,
    VMEConfiguration,
    NuBusConfiguration,
    PCMCIAConfiguration,
    MPIConfiguration,
    MPSAConfiguration,
    PNPISAConfiguration,
    SgiInternalConfiguration,
    MaximumBusDataType
} BUS_DATA_TYPE,
    *PBUS_DATA_TYPE;

// PCI slot number: device in bits 0-4, function in bits 5-7.
typedef struct _PCI_SLOT_NUMBER {
    union {
        struct {
            ULONG DeviceNumber : 5;
            ULONG FunctionNumber : 3;
            ULONG Reserved : 24;
        } bits;
        ULONG AsULONG;
    } u;
} PCI_SLOT_NUMBER, *PPCI_SLOT_NUMBER;

#define PCI_TYPE0_ADDRESSES 6
#define PCI_TYPE1_ADDRESSES 2
#define PCI_INVALID_VENDORID 0xFFFF
#define PCI_MULTIFUNCTION 0x80
#define PCI_COMMON_HDR_LENGTH 64
#define PCI_MAX_DEVICES 32
#define PCI_MAX_FUNCTION 8
#define PCI_ENABLE_IO_SPACE 0x0001
#define PCI_ENABLE_MEMORY_SPACE 0x0002
#define PCI_ENABLE_BUS_MASTER 0x0004

typedef struct _PCI_COMMON_CONFIG {
    USHORT VendorID;
    USHORT DeviceID;
    USHORT Command;
    USHORT Status;
    UCHAR RevisionID;
    UCHAR ProgIf;
    UCHAR SubClass;
    UCHAR BaseClass;
    UCHAR CacheLineSize;
    UCHAR LatencyTimer;
    UCHAR HeaderType;
    UCHAR BIST;
    union {
        struct {
            ULONG BaseAddresses[PCI_TYPE0_ADDRESSES];
            ULONG CIS;
            USHORT SubVendorID;
            USHORT SubSystemID;
            ULONG ROMBaseAddress;
            UCHAR CapabilitiesPtr;
            UCHAR Reserved1[3];
            ULONG Reserved2;
            UCHAR InterruptLine;
            UCHAR InterruptPin;
            UCHAR MinimumGrant;
            UCHAR MaximumLatency;
        } type0;
    } u;
    UCHAR DeviceSpecific[192];
} PCI_COMMON_CONFIG, *PPCI_COMMON_CONFIG;
static_assert(sizeof(PCI_COMMON_CONFIG) == 256, "PCI configuration space is 256 bytes");
static_assert(offsetof(PCI_COMMON_CONFIG, u.type0.InterruptLine) == 0x3C);

// Resource lists.
#define CmResourceTypeNull 0
#define CmResourceTypePort 1
#define CmResourceTypeInterrupt 2
#define CmResourceTypeMemory 3
#define CmResourceTypeDma 4
#define CmResourceTypeDeviceSpecific 5

typedef enum _CM_SHARE_DISPOSITION {
    CmResourceShareUndetermined = 0,
    CmResourceShareDeviceExclusive,
    CmResourceShareDriverExclusive,
    CmResourceShareShared
} CM_SHARE_DISPOSITION;

#define CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE 0
#define CM_RESOURCE_INTERRUPT_LATCHED 1
#define CM_RESOURCE_MEMORY_READ_WRITE 0x0000
#define CM_RESOURCE_MEMORY_READ_ONLY 0x0001
#define CM_RESOURCE_PORT_MEMORY 0x0000
#define CM_RESOURCE_PORT_IO 0x0001

typedef struct _CM_PARTIAL_RESOURCE_DESCRIPTOR {
    UCHAR Type;
    UCHAR ShareDisposition;
    USHORT Flags;
    union {
        struct {
            PHYSICAL_ADDRESS Start;
            ULONG Length;
        } Generic;
        struct {
            PHYSICAL_ADDRESS Start;
            ULONG Length;
        } Port;
        struct {
            ULONG Level;
            ULONG Vector;
            KAFFINITY Affinity;
        } Interrupt;
        struct {
            PHYSICAL_ADDRESS Start;
            ULONG Length;
        } Memory;
        struct {
            ULONG Channel;
            ULONG Port;
            ULONG Reserved1;
        } Dma;
        struct {
            ULONG DataSize;
            ULONG Reserved1;
            ULONG Reserved2;
        } DeviceSpecificData;
    } u;
} CM_PARTIAL_RESOURCE_DESCRIPTOR, *PCM_PARTIAL_RESOURCE_DESCRIPTOR;

typedef struct _CM_PARTIAL_RESOURCE_LIST {
    USHORT Version;
    USHORT Revision;
    ULONG Count;
    CM_PARTIAL_RESOURCE_DESCRIPTOR PartialDescriptors[1];
} CM_PARTIAL_RESOURCE_LIST, *PCM_PARTIAL_RESOURCE_LIST;

typedef struct _CM_FULL_RESOURCE_DESCRIPTOR {
    INTERFACE_TYPE InterfaceType;
    ULONG BusNumber;
    CM_PARTIAL_RESOURCE_LIST PartialResourceList;
} CM_FULL_RESOURCE_DESCRIPTOR, *PCM_FULL_RESOURCE_DESCRIPTOR;

typedef struct _CM_RESOURCE_LIST {
    ULONG Count;
    CM_FULL_RESOURCE_DESCRIPTOR List[1];
} CM_RESOURCE_LIST, *PCM_RESOURCE_LIST;

extern "C" {

// Bus configuration data. PCI: 0 = no such bus; an empty slot answers 2 bytes of
// PCI_INVALID_VENDORID.
NTHALAPI ULONG NTAPI HalGetBusData(BUS_DATA_TYPE BusDataType, ULONG BusNumber, ULONG SlotNumber,
                                   PVOID Buffer, ULONG Length);
NTHALAPI ULONG NTAPI HalGetBusDataByOffset(BUS_DATA_TYPE BusDataType, ULONG BusNumber,
                                           ULONG SlotNumber, PVOID Buffer, ULONG Offset,
                                           ULONG Length);
NTHALAPI ULONG NTAPI HalSetBusData(BUS_DATA_TYPE BusDataType, ULONG BusNumber, ULONG SlotNumber,
                                   PVOID Buffer, ULONG Length);
NTHALAPI ULONG NTAPI HalSetBusDataByOffset(BUS_DATA_TYPE BusDataType, ULONG BusNumber,
                                           ULONG SlotNumber, PVOID Buffer, ULONG Offset,
                                           ULONG Length);

// Assigns a slot's resources; the list is allocated from pool and freed by the caller
// (ExFreePool). The claim is recorded under HARDWARE\RESOURCEMAP in the registry.
NTHALAPI NTSTATUS NTAPI HalAssignSlotResources(PUNICODE_STRING RegistryPath,
                                               PUNICODE_STRING DriverClassName,
                                               PDRIVER_OBJECT DriverObject,
                                               PDEVICE_OBJECT DeviceObject, INTERFACE_TYPE BusType,
                                               ULONG BusNumber, ULONG SlotNumber,
                                               PCM_RESOURCE_LIST* AllocatedResources);
NTHALAPI BOOLEAN NTAPI HalTranslateBusAddress(INTERFACE_TYPE InterfaceType, ULONG BusNumber,
                                              PHYSICAL_ADDRESS BusAddress, PULONG AddressSpace,
                                              PPHYSICAL_ADDRESS TranslatedAddress);
NTHALAPI ULONG NTAPI HalGetInterruptVector(INTERFACE_TYPE InterfaceType, ULONG BusNumber,
                                           ULONG BusInterruptLevel, ULONG BusInterruptVector,
                                           PKIRQL Irql, PKAFFINITY Affinity);

// Reports (or, with empty lists, releases) a driver's or a device's resource claim.
NTKERNELAPI NTSTATUS NTAPI IoReportResourceUsage(
    PUNICODE_STRING DriverClassName, PDRIVER_OBJECT DriverObject, PCM_RESOURCE_LIST DriverList,
    ULONG DriverListSize, PDEVICE_OBJECT DeviceObject, PCM_RESOURCE_LIST DeviceList,
    ULONG DeviceListSize, BOOLEAN OverrideConflict, PBOOLEAN ConflictDetected);

// Register access: addresses from MmMapIoSpace reach the device; any other address is memory.
NTHALAPI UCHAR NTAPI READ_REGISTER_UCHAR(volatile UCHAR* Register);
NTHALAPI USHORT NTAPI READ_REGISTER_USHORT(volatile USHORT* Register);
NTHALAPI ULONG NTAPI READ_REGISTER_ULONG(volatile ULONG* Register);
NTHALAPI VOID NTAPI WRITE_REGISTER_UCHAR(volatile UCHAR* Register, UCHAR Value);
NTHALAPI VOID NTAPI WRITE_REGISTER_USHORT(volatile USHORT* Register, USHORT Value);
NTHALAPI VOID NTAPI WRITE_REGISTER_ULONG(volatile ULONG* Register, ULONG Value);
NTHALAPI VOID NTAPI READ_REGISTER_BUFFER_ULONG(volatile ULONG* Register, PULONG Buffer,
                                               ULONG Count);
NTHALAPI VOID NTAPI WRITE_REGISTER_BUFFER_ULONG(volatile ULONG* Register, PULONG Buffer,
                                                ULONG Count);

} // extern "C"
