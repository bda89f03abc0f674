// Reads and writes of panel memory through VEKComm2_AddPool, cut into
// pieces of at most the chunk size, with progress.
#pragma once

#include "HostSession.h"

#include "vekhost/ExitCodes.h"
#include "vekhost/JsonReport.h"
#include "vekhost/PoolRequest.h"
#include "vekhost/TransferArgument.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vekhost {

struct TransferSettings {
    uint8_t readCommand = kDefaultReadCommand;
    uint8_t writeCommand = kDefaultWriteCommand;
    uint32_t chunk = 64;
};

struct TransferTotals {
    int transfers = 0;
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
    std::vector<SavedRecord> saved; // reads saved to files or stdout
};

struct ReadOutcome {
    ExitCode code = ExitCode::Ok;
    std::vector<uint8_t> data;
};

class Transfers {
public:
    Transfers(HostSession& session, TransferSettings settings);

    ReadOutcome Read(uint32_t address, uint32_t count);
    ExitCode Write(uint32_t address, std::span<const uint8_t> bytes);
    // Each item in turn: dumps or saves what is read, writes what is given.
    // Failed means only a file could not be saved; the call is still fine.
    ExitCode Run(std::span<const TransferArgument> items);
    const TransferTotals& Totals() const { return m_totals; }

private:
    ExitCode RunRead(const TransferArgument& item, bool& saveFailed);
    ExitCode RunWrite(const TransferArgument& item);
    // False (and said) when the library did not take the request.
    bool Queue(const PoolRequest& request, std::span<const uint8_t> bytes);
    void ShowProgress(const char* verb, uint32_t address, uint32_t done, uint32_t total);

    HostSession& m_session;
    TransferSettings m_settings;
    TransferTotals m_totals;
    int m_lastQuarter = -1;
};

// Loads the data of writes given as files; returns an error text or empty.
std::string LoadWriteFiles(std::vector<TransferArgument>& items);

} // namespace vekhost
