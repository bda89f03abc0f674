// The steps of a call as a host takes them: start the library and the
// modem, place or answer the call, run the transfers, hang up. A step that
// fails has said why and put the line back on hook before it returns.
#pragma once

#include "HostSession.h"
#include "Transfers.h"

#include "vekhost/ExitCodes.h"
#include "vekhost/ModemSetup.h"
#include "vekhost/PanelRecord.h"
#include "vekhost/TransferArgument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vekhost {

struct CallPlan {
    ModemSettings modem;
    PanelSettings panel;
    std::vector<TransferArgument> transfers;
    TransferSettings transferSettings;
    std::string device; // --device; empty: the environment or the default
    bool forceHangUp = false;
    bool showTraffic = false;
};

class CallFlow {
public:
    CallFlow(HostSession& session, const CallPlan& plan);

    ExitCode StartLibrary();
    ExitCode StartModem();
    ExitCode PlaceCall();
    ExitCode AnswerCall();
    // The plan's transfers, then the hang-up.
    ExitCode TransfersThenHangUp(Transfers& transfers);
    ExitCode HangUp();

    // From dialling (or the answered connection) to on hook; 0 without a call.
    uint64_t CallMs() const { return m_callStart && m_callEnd > *m_callStart ? m_callEnd - *m_callStart : 0; }

private:
    ExitCode Fail(const WaitResult& result, std::string_view waitingFor);
    ExitCode Refused(const char* call);
    ExitCode PortFailed();
    ExitCode OpenSession();

    HostSession& m_session;
    const CallPlan& m_plan;
    std::vector<uint8_t> m_record;
    std::optional<uint64_t> m_callStart;
    uint64_t m_callEnd = 0;
};

// A whole placed (or answered) call with the plan's transfers.
ExitCode RunCallPlan(CallFlow& flow, Transfers& transfers, bool answer);

} // namespace vekhost
