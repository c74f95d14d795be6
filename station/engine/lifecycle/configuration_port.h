// The second start-up stage's configuration steps: the station tables reset to their
// defaults (access level, filters, priorities, names and the camera tables), then the stored
// configuration the schedule chooses loaded. `NoConfiguration` does neither.
#pragma once

namespace station {

class ConfigurationPort {
public:
    virtual ~ConfigurationPort() = default;
    virtual void ResetStationTables() = 0;
    // LoadConfiguration(ScheduledConfig()).
    virtual void LoadScheduledConfiguration() = 0;
};

class NoConfiguration : public ConfigurationPort {
public:
    void ResetStationTables() override {}
    void LoadScheduledConfiguration() override {}
};

} // namespace station
