// The links to the remote stations as start-up and shut-down use them. `NoNetwork` stands in
// until the network exists: no station is created and the listening socket counts as open.
#pragma once

namespace station {

class NetworkPort {
public:
    virtual ~NetworkPort() = default;
    // Creates the 20 remote stations with the ports and addresses of "netini.pdt".
    virtual void CreateRemoteStations() = 0;
    // Opens the listening socket on `ServerPort`; false when it could not be opened.
    virtual bool OpenServerSocket() = 0;
    // Shut-down: closes the listening socket and frees the remote stations.
    virtual void CloseNetwork() = 0;
};

class NoNetwork : public NetworkPort {
public:
    void CreateRemoteStations() override {}
    bool OpenServerSocket() override { return true; }
    void CloseNetwork() override {}
};

} // namespace station
