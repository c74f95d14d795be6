#include "setup_fixture.h"

#include "names.h"

#include "platform/cp1251.h"
#include "platform/paths.h"
#include "platform/registry_store.h"
#include "platform/token_state.h"
#include "win32/registry.h"

#include <fstream>

namespace setup_test {

using platform::registry::Root;

std::string cp(const char* utf8) {
    return platform::cp1251::from_utf8(utf8);
}

InstallerTest::InstallerTest() {
    platform::token::reset();
    previous_sink_ = platform::set_ui_sink(ui);

    // The distribution folder: the stand-in capture driver and kernel driver, and a
    // board-control library.
    source_ = root() / "dist";
    std::filesystem::create_directories(source_);
    for (const char* name : {"tarvovfw0.dll", "tarvo.sys"}) {
        std::filesystem::copy_file(std::filesystem::path(SETUP_SOURCE_DIR) / name, source_ / name);
    }
    write_file(source_ / "tarvovfw.dll", std::vector<unsigned char>(3000, 0x5A));
    previous_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(source_);
}

InstallerTest::~InstallerTest() {
    installer_.reset();
    platform::set_ui_sink(previous_sink_);
    platform::token::reset();
    std::filesystem::current_path(previous_dir_);
}

void InstallerTest::use_machine(machine::MachineConfig config) {
    machine::install_machine(std::make_unique<machine::Machine>(std::move(config)));
}

setup::Installer& InstallerTest::installer() {
    if (!installer_) {
        installer_ = std::make_unique<setup::Installer>(controls);
        installer_->settings.pci_ids.assign(setup::names::kPciIds.begin(),
                                            setup::names::kPciIds.end());
    }
    return *installer_;
}

std::filesystem::path InstallerTest::system_dir() const {
    return platform::system_directory();
}

std::vector<unsigned char> InstallerTest::file_bytes(const std::filesystem::path& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void InstallerTest::write_file(const std::filesystem::path& path,
                               const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string InstallerTest::string_value(const std::string& key, const std::string& name,
                                        bool user) {
    platform::registry::Value v;
    if (platform::registry::query_value(user ? Root::CurrentUser : Root::LocalMachine, key, name,
                                        v) != ERROR_SUCCESS) {
        return {};
    }
    std::string s(v.data.begin(), v.data.end());
    while (!s.empty() && s.back() == '\0') {
        s.pop_back();
    }
    return s;
}

bool InstallerTest::value_exists(const std::string& key, const std::string& name) {
    platform::registry::Value v;
    return platform::registry::query_value(Root::LocalMachine, key, name, v) == ERROR_SUCCESS;
}

bool InstallerTest::key_exists(const std::string& key, bool user) {
    return platform::registry::open_key(user ? Root::CurrentUser : Root::LocalMachine, key) ==
           ERROR_SUCCESS;
}

void InstallerTest::set_string(const std::string& key, const std::string& name,
                               const std::string& text, bool user) {
    const Root root = user ? Root::CurrentUser : Root::LocalMachine;
    platform::registry::create_key(root, key);
    platform::registry::set_value(root, key, name, REG_SZ, text.c_str(), text.size() + 1);
}

} // namespace setup_test
