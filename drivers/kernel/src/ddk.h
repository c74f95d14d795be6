// Kernel support layer: a thin object layer over the NT kernel and HAL on which the driver is
// written (driver object, base device class, PCI configuration, interrupt object, memory ranges,
// lock objects, counted strings, registry keys, resource requests, trace object, exit list).
#pragma once

#include <ntddk.h>

#include <initializer_list>

namespace ddk {

inline constexpr ULONG kPoolTag = 0x206B6444; // "Ddk "
// Objects built inside a device object (its extension) and objects from pool.
inline constexpr ULONG kMarkerInDevice = 0x204B4458; // "XDK "
inline constexpr ULONG kMarkerPool = 0x7E4B4458;

PVOID allocate(POOL_TYPE type, SIZE_T bytes);
void release(PVOID block);

// ---- Counted wide strings ---------------------------------------------------------------------
class KString {
public:
    KString() = default;
    ~KString();
    KString(const KString&) = delete;
    KString& operator=(const KString&) = delete;

    // Capacity in bytes; below 2 bytes nothing is allocated.
    NTSTATUS allocate(USHORT capacity);
    NTSTATUS copy(PCUNICODE_STRING source);
    NTSTATUS copy(PCWSTR source);
    NTSTATUS append(PCWSTR text);
    NTSTATUS append(PCUNICODE_STRING text);
    // Appends each part in turn; stops at the first failure.
    NTSTATUS append_all(std::initializer_list<PCWSTR> parts);
    // At least `digits` (1 to 8) hexadecimal digits.
    NTSTATUS append_hex(ULONG value, ULONG digits);
    NTSTATUS append_decimal(ULONG value);
    void clear();
    PUNICODE_STRING get() { return &string_; }
    bool empty() const { return string_.Length == 0; }

private:
    UNICODE_STRING string_{0, 0, nullptr};
    bool owned_ = false;
};
ULONG wide_length(PCWSTR text);
// `base` followed by `unit` in decimal (or hexadecimal).
NTSTATUS name_with_unit(KString& out, PCWSTR base, ULONG unit, bool hex = false);

// ---- Registry keys ------------------------------------------------------------------------------
enum class RegRoot { Absolute, Services, Control, CurrentVersion, DeviceMap, User };

class KRegistryKey {
public:
    KRegistryKey() = default;
    ~KRegistryKey() { close(); }
    KRegistryKey(const KRegistryKey&) = delete;
    KRegistryKey& operator=(const KRegistryKey&) = delete;

    NTSTATUS open(RegRoot root, PCUNICODE_STRING path, ACCESS_MASK access = KEY_READ);
    // Creates every missing level of the path.
    NTSTATUS create(RegRoot root, PCUNICODE_STRING path);
    NTSTATUS query_dword(PCWSTR name, ULONG& value);
    NTSTATUS set_dword(PCWSTR name, ULONG value);
    void close();
    HANDLE handle() const { return handle_; }

private:
    NTSTATUS full_path(RegRoot root, PCUNICODE_STRING path, KString& out);
    HANDLE handle_ = nullptr;
    NTSTATUS status_ = STATUS_UNSUCCESSFUL;
};
// Opens the key at an absolute path, sets the value and closes; failures are ignored.
void write_dword_value(PCUNICODE_STRING key_path, PCWSTR name, ULONG value);

// ---- PCI configuration space --------------------------------------------------------------------
struct PciLocation {
    ULONG bus = 0;
    LONG slot = -1; // device in bits 0-4, function in bits 5-7; -1 = none
};
ULONG pci_read(const PciLocation& at, ULONG offset, PVOID data, ULONG length);
ULONG pci_write(const PciLocation& at, ULONG offset, PVOID data, ULONG length);
USHORT pci_read_command(const PciLocation& at);
void pci_write_command(const PciLocation& at, USHORT command);
ULONG pci_read_bar(const PciLocation& at, ULONG index);
UCHAR pci_read_interrupt_line(const PciLocation& at);

// The configuration-space walk: function by function, skipping functions 1-7 of single-function
// devices, bus by bus until the HAL has no bus.
class PciWalk {
public:
    // Moves to the next present function; false at the end of the walk.
    bool next(PciLocation& at, USHORT& vendor, USHORT& device);

private:
    ULONG bus_ = 0, device_ = 0, function_ = 0;
    bool started_ = false;
    void advance(bool whole_device);
};

// ---- Resource request ---------------------------------------------------------------------------
class KResourceRequest {
public:
    ~KResourceRequest() { free_list(); }
    // Assigns the slot's resources, recording them under `key_path` (created level by level).
    NTSTATUS assign(PDRIVER_OBJECT driver, PDEVICE_OBJECT device, const PciLocation& at,
                    PCUNICODE_STRING key_path);
    // Reports an empty list for the device and drops the assigned list.
    void release(PDRIVER_OBJECT driver, PDEVICE_OBJECT device);
    // The n-th descriptor of a type in the assigned list, or null.
    PCM_PARTIAL_RESOURCE_DESCRIPTOR find(UCHAR type, ULONG n = 0) const;
    bool claimed() const { return claimed_; }

private:
    void free_list();
    PCM_RESOURCE_LIST list_ = nullptr;
    bool claimed_ = false;
};

// ---- Memory range (register window) -------------------------------------------------------------
class KMemoryRange {
public:
    ~KMemoryRange() { unmap(); }
    // Translates the bus address and maps it non-cached for the kernel.
    NTSTATUS map(const PciLocation& at, PHYSICAL_ADDRESS bus_address, ULONG length);
    void unmap();
    bool valid() const { return kernel_ != nullptr; }
    volatile ULONG* kernel_address() const { return static_cast<volatile ULONG*>(kernel_); }
    PHYSICAL_ADDRESS physical() const { return physical_; }
    ULONG length() const { return length_; }
    bool io_space() const { return io_space_; }

private:
    PHYSICAL_ADDRESS physical_{};
    PVOID kernel_ = nullptr;
    ULONG length_ = 0;
    bool io_space_ = false;
};

// A user view of physical memory ("\Device\PhysicalMemory") in the calling process.
class KPhysicalView {
public:
    ~KPhysicalView() { unmap(); }
    NTSTATUS map(PHYSICAL_ADDRESS physical, ULONG length, bool io_space);
    void unmap();
    ULONG_PTR user_address() const { return user_; }

private:
    PVOID section_ = nullptr; // referenced section object
    HANDLE section_handle_ = nullptr;
    PVOID base_ = nullptr;
    ULONG_PTR user_ = 0;
};

// ---- Lock objects (memory descriptor lists) -----------------------------------------------------
class KLockObject {
public:
    ~KLockObject() { free(); }
    // Allocates a list for [address, address + length).
    NTSTATUS create(PVOID address, ULONG length);
    // Describes non-paged storage.
    void describe_nonpaged();
    // Locks the pages of the current process; a fault gives STATUS_UNSUCCESSFUL.
    NTSTATUS lock(LOCK_OPERATION operation, KPROCESSOR_MODE mode = UserMode);
    PVOID map_user();
    void unmap_user(PVOID address);
    PVOID system_address();
    void unlock();
    void free();
    PMDL mdl() const { return mdl_; }
    bool locked() const { return locked_; }
    // Physical address of a byte inside the described range.
    ULONG physical(ULONG_PTR address) const;

private:
    PMDL mdl_ = nullptr;
    bool locked_ = false;
};

// ---- Interrupt object ---------------------------------------------------------------------------
class KInterrupt {
public:
    ~KInterrupt() { disconnect(); }
    NTSTATUS connect(const KResourceRequest& resources, ULONG n, PKSERVICE_ROUTINE routine,
                     PVOID context);
    void disconnect();
    bool connected() const { return object_ != nullptr; }
    // Runs the routine under the interrupt's synchronisation when connected, else directly.
    BOOLEAN synchronize(PKSYNCHRONIZE_ROUTINE routine, PVOID context);

private:
    PKINTERRUPT object_ = nullptr;
};

// Runs a callable under the interrupt's synchronisation.
template <typename F> void synchronized(KInterrupt& interrupt, F&& f) {
    interrupt.synchronize(
        [](PVOID context) -> BOOLEAN {
            (*static_cast<F*>(context))();
            return TRUE;
        },
        &f);
}

// ---- Driver object, base device class, exit list, trace ---------------------------------------
class KDevice;

class KDriver {
public:
    static KDriver* create(PDRIVER_OBJECT system, PUNICODE_STRING registry_path);
    static KDriver* instance();
    static void destroy();

    PDRIVER_OBJECT system() const { return system_; }
    PUNICODE_STRING registry_path() { return path_.get(); }
    ULONG flags = 1; // bit 0: devices register for shutdown notification
    ULONG break_on_entry = 0;

private:
    PDRIVER_OBJECT system_ = nullptr;
    KString path_;
};

// Routines registered at load run in reverse order at unload.
void add_exit_routine(void (*routine)());
void run_exit_list();

// The trace object: looks for the debug message device at load and registers with it.
void trace_start(PCWSTR prefix);
void trace_stop();

// The request router: every major function lands here and goes to the device's dispatch.
NTSTATUS NTAPI route_request(PDEVICE_OBJECT device, PIRP irp);
void complete(PIRP irp, NTSTATUS status, ULONG_PTR information);

class KDevice {
public:
    virtual ~KDevice();
    // Operations in slot order; the defaults complete with STATUS_NOT_IMPLEMENTED.
    virtual NTSTATUS Dispatch(PIRP irp);
    virtual NTSTATUS Create(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Default1(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS CreateNamedPipe(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Close(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Read(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Default2(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Write(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS QueryInformation(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SetInformation(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS QueryEa(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SetEa(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS FlushBuffers(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS QueryVolumeInformation(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SetVolumeInformation(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS DirectoryControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS FileSystemControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS DeviceControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS InternalDeviceControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Shutdown(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS LockControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Cleanup(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS CreateMailslot(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS QuerySecurity(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SetSecurity(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS Power(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SystemControl(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS DeviceChange(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS QueryQuota(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS SetQuota(PIRP irp) { return not_implemented(irp); }
    virtual NTSTATUS PnP(PIRP irp) { return not_implemented(irp); }
    virtual void Last() {}

    PDEVICE_OBJECT device_object() const { return device_; }
    NTSTATUS status() const { return status_; }
    // Creates the system device object "\Device\<base><unit>" with room for `extension_size`
    // bytes (direct I/O, not exclusive, FILE_DEVICE_UNKNOWN).
    static NTSTATUS create_object(ULONG extension_size, PCWSTR base, ULONG unit,
                                  PDEVICE_OBJECT& out);
    // Runs the destructor of a device built in an extension and deletes the device object.
    static void delete_device(KDevice* device);

protected:
    explicit KDevice(PDEVICE_OBJECT device);
    // Keeps the device's name and creates its link "<link_prefix><base><unit>" ("\DosDevices\"
    // or "\??\"); registers for shutdown notification when the driver asks for it.
    NTSTATUS publish(PCWSTR base, ULONG unit, PCWSTR link_prefix);
    NTSTATUS not_implemented(PIRP irp);
    KString name_;
    KString link_;
    NTSTATUS status_ = STATUS_SUCCESS;
    PDEVICE_OBJECT device_ = nullptr;
    ULONG marker_ = kMarkerInDevice;
    bool link_created_ = false;
    bool shutdown_registered_ = false;
};

} // namespace ddk
