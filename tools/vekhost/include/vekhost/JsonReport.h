// Machine-readable output: the summary of a call and the port list as JSON
// documents on standard output.
#pragma once

#include "vek/client.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vekhost {

struct NoteRecord {
    int code = 0;
    uint64_t ms = 0;
};

struct SavedRecord {
    std::string where;
    uint64_t bytes = 0;
    uint64_t asked = 0;
};

struct CallReport {
    std::string command; // "call", "answer" or "demo"
    int exitCode = 0;
    std::string meaning;
    std::string error; // the last message on stderr, empty on success
    std::string cause; // the cause's name, empty on success
    std::optional<int> libraryCode; // the library's notification behind the failure
    std::optional<int> panelReason; // the panel's refusal reason
    std::vector<NoteRecord> notes;
    std::optional<int> panelType;
    std::optional<int> panelVersion;
    std::string identificationReply; // hex
    uint64_t callMs = 0;
    int transfers = 0;
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
    std::vector<SavedRecord> saved;
    int lineSpeed = 0; // 0: the port never opened
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    int efficiency = 10;
    int retries = 0;
};

std::string CallReportJson(const CallReport& report);

struct UsbIdentity {
    std::string vendorId;
    std::string productId;
    std::string serial;
    std::string product;
};

// The USB adapter behind a tty device, from sysfs under sysRoot.
std::optional<UsbIdentity> FindUsbIdentity(const std::string& device, const std::string& sysRoot = "/sys");

struct PortRecord {
    std::string device;
    int com = 0; // 0: no COM number by the default map
    vek::PortCheck check;
    std::optional<UsbIdentity> usb;
    bool fromEnvironment = false;
};

std::string PortsJson(const std::vector<PortRecord>& ports);

} // namespace vekhost
