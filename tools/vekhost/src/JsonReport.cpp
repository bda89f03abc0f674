#include "vekhost/JsonReport.h"


#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace vekhost {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string ReadLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::string CallReportJson(const CallReport& r)
{
    json notes = json::array();
    for (const NoteRecord& n : r.notes)
        notes.push_back({{"code", n.code}, {"name", vek::notificationName(n.code)}, {"ms", n.ms}});
    json saved = json::array();
    for (const SavedRecord& s : r.saved)
        saved.push_back({{"to", s.where}, {"bytes", s.bytes}, {"asked", s.asked}});
    json document = {
        {"command", r.command},
        {"outcome", {{"exit", r.exitCode}, {"meaning", r.meaning}, {"ok", r.exitCode == 0}}},
        {"notifications", notes},
        {"call_ms", r.callMs},
        {"transfers",
         {{"done", r.transfers}, {"bytes_read", r.bytesRead}, {"bytes_written", r.bytesWritten}, {"saved", saved}}},
        {"line", {{"bytes_sent", r.bytesSent}, {"bytes_received", r.bytesReceived}}},
        {"link", {{"efficiency", r.efficiency}, {"retries", r.retries}}},
    };
    if (!r.error.empty())
        document["outcome"]["error"] = r.error;
    if (!r.cause.empty())
        document["outcome"]["cause"] = r.cause;
    document["outcome"]["library_code"] = r.libraryCode ? json(*r.libraryCode) : json(nullptr);
    document["outcome"]["panel_reason"] = r.panelReason ? json(*r.panelReason) : json(nullptr);
    document["line"]["speed"] = r.lineSpeed > 0 ? json(r.lineSpeed) : json(nullptr);
    if (r.panelType && r.panelVersion)
        document["identification"] = {
            {"type", *r.panelType}, {"version", *r.panelVersion}, {"reply", r.identificationReply}};
    else
        document["identification"] = nullptr;
    return document.dump(2) + "\n";
}

std::optional<UsbIdentity> FindUsbIdentity(const std::string& device, const std::string& sysRoot)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(device, error);
    if (error)
        return std::nullopt;
    const fs::path link = fs::path(sysRoot) / "class" / "tty" / resolved.filename() / "device";
    fs::path at = fs::canonical(link, error);
    if (error)
        return std::nullopt;
    // The USB device is the nearest folder above the interface with ids.
    for (; !at.empty() && at != at.root_path(); at = at.parent_path()) {
        if (fs::exists(at / "idVendor", error) && fs::exists(at / "idProduct", error)) {
            UsbIdentity usb{ReadLine(at / "idVendor"), ReadLine(at / "idProduct"), ReadLine(at / "serial"),
                            ReadLine(at / "product")};
            return usb;
        }
    }
    return std::nullopt;
}

std::string PortsJson(const std::vector<PortRecord>& ports)
{
    json list = json::array();
    for (const PortRecord& p : ports) {
        json entry = {{"device", p.device},
                      {"state", std::string(vek::portStateName(p.check.state))},
                      {"can_open", p.check.state == vek::PortCheck::State::Free},
                      {"reason", p.check.detail},
                      {"from_environment", p.fromEnvironment}};
        entry["com"] = p.com > 0 ? json(p.com) : json(nullptr);
        if (p.usb)
            entry["usb"] = {{"vendor_id", p.usb->vendorId},
                            {"product_id", p.usb->productId},
                            {"serial", p.usb->serial},
                            {"product", p.usb->product}};
        else
            entry["usb"] = nullptr;
        list.push_back(entry);
    }
    return json{{"ports", list}}.dump(2) + "\n";
}

} // namespace vekhost
