#pragma once

namespace service {

// Stands in for the anonymous installation count until the product web
// service is built: nothing is counted and nothing is sent.
class InstallCount {
public:
    static InstallCount& shared();
    // Starts the once-a-day count; a test run (XCTestConfigurationFilePath in
    // the environment) never counts, and this version does not count at all.
    void start();
    bool isRunning() const { return running_; }

private:
    bool running_ = false;
};

} // namespace service
