// Placeholder implementation while the model is being built.
#include "machine/camera_code.h"
#include "machine/machine.h"

namespace machine {

std::uint32_t line_bytes(std::uint32_t code, std::uint32_t width) {
    static constexpr std::uint8_t t[16] = {8, 6, 4, 4, 4, 3, 2, 2, 4, 3, 0, 0, 0, 0, 2, 0};
    return width * t[code & 15] / 2;
}
const char* fault_name(FaultKind) {
    return "fault";
}
ConfigError::ConfigError(int line, const std::string& message)
    : std::runtime_error(message), line_(line) {}
MachineConfig parse_config(std::string_view, std::string_view) {
    return {};
}
MachineConfig load_config() {
    return {};
}
MachineConfig load_config(const std::filesystem::path&) {
    return {};
}
int read_camera_number(const void*, int, int, ColorFormat, bool, std::size_t) {
    return -1;
}
int pixel_luma(const void*, int, int, ColorFormat, bool, int, int, std::size_t) {
    return 0;
}

struct Machine::Impl {
    MachineConfig config;
};
Machine::Machine(MachineConfig config) : impl_(std::make_unique<Impl>()) {
    impl_->config = std::move(config);
}
Machine::~Machine() = default;
const MachineConfig& Machine::config() const {
    return impl_->config;
}
int Machine::chip_count() const {
    return 0;
}
int Machine::board_count() const {
    return 0;
}
unsigned Machine::pci_read(unsigned, unsigned, unsigned, unsigned, void*, unsigned) {
    return 0;
}
unsigned Machine::pci_write(unsigned, unsigned, unsigned, unsigned, const void*, unsigned) {
    return 0;
}
PciLocation Machine::chip_location(int) const {
    return {};
}
std::optional<PciLocation> Machine::bridge_location() const {
    return {};
}
MemoryBlock Machine::allocate(std::size_t) {
    return {};
}
void Machine::free(PhysAddr) {}
LockedPages Machine::lock_pages(void*, std::size_t) {
    return {};
}
void Machine::unlock_pages(std::uint32_t) {}
std::optional<PhysAddr> Machine::physical_address(const void*) const {
    return {};
}
void* Machine::host_address(PhysAddr, std::size_t) const {
    return nullptr;
}
bool Machine::is_register_space(PhysAddr) const {
    return false;
}
std::uint32_t Machine::mmio_read(PhysAddr, unsigned) {
    return 0xFFFFFFFF;
}
void Machine::mmio_write(PhysAddr, std::uint32_t, unsigned) {}
std::uint32_t Machine::read_register(int, std::uint32_t) {
    return 0xFFFFFFFF;
}
void Machine::write_register(int, std::uint32_t, std::uint32_t) {}
int Machine::attach_interrupt(unsigned, InterruptHandler) {
    return 1;
}
void Machine::detach_interrupt(int) {}
bool Machine::line_asserted(unsigned) const {
    return false;
}
unsigned Machine::chip_interrupt_line(int) const {
    return 11;
}
void Machine::start() {}
void Machine::stop() {}
bool Machine::free_running() const {
    return false;
}
void Machine::step() {}
void Machine::step_fields(int) {}
std::uint64_t Machine::field_count(int) const {
    return 0;
}
void Machine::deliver_interrupts() {}
void Machine::set_io_granted(bool) {}
bool Machine::io_granted() const {
    return false;
}
std::uint8_t Machine::port_in(std::uint16_t) {
    return 0xFF;
}
void Machine::port_out(std::uint16_t, std::uint8_t) {}
std::vector<Tone> Machine::tones() const {
    return {};
}
void Machine::clear_tones() {}
int Machine::capture_route(int, int) const {
    return 0;
}
int Machine::monitor_route(int, int) const {
    return 0;
}
std::uint8_t Machine::relay_byte(int) const {
    return 0xFF;
}
bool Machine::relay_energised(int, int) const {
    return false;
}
void Machine::set_sensor(int, int, bool) {}
bool Machine::sensor(int, int) const {
    return true;
}
int Machine::dac_level(int, int) const {
    return 32;
}
unsigned Machine::reset_pulses(int) const {
    return 0;
}
void Machine::set_camera_connected(int, int, bool) {}
void Machine::set_camera_lines(int, int, int) {}
void Machine::add_scene_object(int, int, const SceneObject&) {}
void Machine::clear_scene_objects(int, int) {}
std::vector<Fault> Machine::faults() const {
    return {};
}
std::size_t Machine::fault_count() const {
    return 0;
}
std::size_t Machine::fault_count(FaultKind) const {
    return 0;
}
void Machine::clear_faults() {}
void Machine::inject_error_bits(int, std::uint32_t) {}
void Machine::inject_i2c_nack(int, int) {}
void Machine::inject_i2c_hang(int) {}
void Machine::inject_crosspoint_readback(int, bool) {}
void Machine::inject_adc_overflow(int, bool, bool) {}

namespace {
std::unique_ptr<Machine>& slot() {
    static std::unique_ptr<Machine> m;
    return m;
}
} // namespace
Machine& the_machine() {
    if (!slot()) {
        slot() = std::make_unique<Machine>(load_config());
    }
    return *slot();
}
void install_machine(std::unique_ptr<Machine> machine) {
    slot() = std::move(machine);
}

} // namespace machine
