// The send path: one byte per write, paced by rule, gated on DSR.
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SendPlan.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "serial/DsrGatedWrite.h"

#include <algorithm>

namespace vek {
namespace {

uint32_t NonNegative(int64_t ms) { return ms > 0 ? static_cast<uint32_t>(std::min<int64_t>(ms, 0x7FFFFFFF)) : 0; }

bool IsText(int32_t type) { return type == STEP_MODEM || type == STEP_NOTIFY; }

} // namespace

SendPlan PlanSend(const std::vector<uint8_t>& data, const SendContext& ctx)
{
    SendPlan plan;
    plan.bytes = data;
    const bool extended = (ctx.modemFlags & MODEM_EXTENDED) != 0;
    const bool pcLink = (ctx.modemFlags & MODEM_PCLINK) != 0;
    if (IsText(ctx.stepType)) {
        if (extended) {
            plan.rule = SendRule::T1;
            plan.pauseMs = ctx.baudRate == 110 ? kTextPauseSlowLineMs : kTextPauseExtendedMs;
        } else if (ctx.modemFlags & MODEM_ATTENTION) {
            plan.rule = SendRule::T2;
            plan.pauseMs = kTextPauseSlowLineMs;
        } else {
            plan.rule = SendRule::T3;
            plan.pauseMs = NonNegative(ctx.charDelay);
        }
        return plan;
    }
    if (ctx.baudRate == 1200 && extended) {
        plan.rule = SendRule::P1;
        plan.bytes.clear();
        for (size_t i = 0; i < data.size(); ++i) {
            if (i > 0)
                plan.bytes.push_back(0xFF);
            plan.bytes.push_back(data[i]);
        }
        return plan;
    }
    if (pcLink && ctx.hasRecord && (ctx.panelOptions & 0x0010)) {
        plan.rule = SendRule::P2;
        plan.pauseMs = kDirectSlowBytePauseMs;
        return plan;
    }
    if (pcLink && ctx.hasRecord && (ctx.panelOptions & 0x0008)) {
        plan.rule = SendRule::P3;
        if (ctx.stepType == STEP_IDENTIFY && ctx.dialFrame)
            return plan;
        plan.bytes.clear();
        for (size_t i = 0; i < data.size(); ++i) {
            plan.bytes.push_back(data[i]);
            if (i + 1 < data.size())
                plan.bytes.insert(plan.bytes.end(), kDirectLongFillers, 0xFF);
        }
        return plan;
    }
    if (ctx.linkMode == 3) {
        plan.rule = SendRule::P4;
        const int16_t t = ctx.panelType;
        const bool framed = (t == 7 || t == 8 || t == 9);
        if (framed && extended) {
            plan.bytes.assign(kMode3FramingFillers, 0xFF);
            plan.bytes.insert(plan.bytes.end(), data.begin(), data.end());
            plan.bytes.insert(plan.bytes.end(), kMode3FramingFillers, 0xFF);
        }
        if (t == 0 || t == 4 || t == 10 || t == 11)
            plan.pauseMs = 80;
        else if (framed)
            plan.pauseMs = 40;
        else
            plan.pauseMs = 150;
        return plan;
    }
    plan.rule = SendRule::P5;
    plan.pauseMs = NonNegative(int64_t{ctx.byteDelay} + (ctx.noResponses > 3 ? kNoResponsePenaltyMs : 0));
    return plan;
}

int Session::SendString(const CPool& step)
{
    const ByteArray data = step.m_data;
    if (!m_commCtrl.GetPortOpen()) {
        ShowAppMessage("SendString Error, Port Not Open");
        return 0;
    }
    const CModem* modem = CurrentModem();
    if (modem == nullptr) {
        ShowAppMessage("SendString Error, Outgoing Modem Not Configured");
        return 0;
    }
    if (modem->IsPCLink() && step.m_nType == STEP_MODEM) {
        ShowAppMessage("SendString Error, PCLINK and POOL_AT");
        return 0;
    }
    m_commCtrl.SetInBufferCount(0);
    CSingleLock lock(g_csPort);
    const PanelRecordView record(m_pPanelRecord);
    SendContext ctx;
    ctx.stepType = step.m_nType;
    ctx.modemFlags = modem->m_dwFlags;
    ctx.charDelay = modem->m_nCharDelay;
    ctx.baudRate = m_nCurrentBaudRate;
    ctx.linkMode = m_nLinkMode;
    ctx.byteDelay = m_nByteDelay;
    ctx.dialFrame = m_bDialFrame != 0;
    ctx.panelType = static_cast<int16_t>(IdentificationOf(*this).panelType);
    ctx.hasRecord = record.IsAttached();
    ctx.panelOptions = record.IsAttached() ? record.PanelOptions() : 0;
    ctx.noResponses = g_nNoResponses;
    const SendPlan plan = PlanSend(data, ctx);
    for (const uint8_t byte : plan.bytes) {
        if (!WriteOutput({&byte, 1}))
            break; // the rest is not sent; the step goes on as if it were
        Sleep(plan.pauseMs);
    }
    return 1;
}

bool Session::WriteOutput(std::span<const uint8_t> bytes) { return WriteWhenDsrHeld(m_commCtrl, bytes); }

void Session::WriteDirectByte(uint8_t byte) { m_commCtrl.SetOutput({&byte, 1}); }

} // namespace vek
