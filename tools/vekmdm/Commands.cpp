#include "Commands.h"

#include "DatabaseFile.h"
#include "Values.h"
#include "modem/CModemSettings.h"
#include "modem/ModemFields.h"

#include <cstdio>
#include <memory>

using vek::CModemSettings;

namespace vekmdm {
namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The indices that name a definition, for messages.
std::string IndexRange(const CModemSettings& settings, bool noneToo)
{
    if (settings.m_modems.empty())
        return noneToo ? "the file has none: only -1" : "the file has none";
    return "0 to " + std::to_string(settings.m_modems.size() - 1) + (noneToo ? ", or -1" : "");
}

int NotAnIndex(std::string_view text)
{
    std::fprintf(stderr, "vekmdm: %s is not a definition index\n", Quoted(text).c_str());
    return kUsage;
}

int NoDefinition(const std::string& path, const CModemSettings& settings, int32_t index)
{
    std::fprintf(stderr, "vekmdm: %s has no definition %d (%s)\n", path.c_str(), index,
                 IndexRange(settings, false).c_str());
    return kNoDefinition;
}

// After definition removed is gone, an index that named it names none, and
// those above it move down by one. Says what changed.
void ShiftIndex(int32_t& index, int32_t removed, const char* which)
{
    if (index == removed) {
        std::printf("%s was %d: now -1 (none)\n", which, removed);
        index = -1;
    } else if (index > removed) {
        std::printf("%s %d is now %d\n", which, index, index - 1);
        --index;
    }
}

} // namespace

int Show(const std::string& path)
{
    CModemSettings settings;
    if (!Load(path, settings))
        return kFileError;
    std::fputs(vek::DescribeModemDatabase(settings).c_str(), stdout);
    return kDone;
}

int New(const std::string& path, bool force)
{
    if (const auto loses = WhatReplacingLoses(path); loses && !force) {
        std::fprintf(stderr, "vekmdm: %s %s; vekmdm new --force replaces it\n", path.c_str(), loses->c_str());
        return kWouldReplace;
    }
    CModemSettings settings;
    settings.ResetToDefault();
    if (!Save(path, settings))
        return kFileError;
    const vek::CModem& modem = *settings.m_modems.front();
    std::printf("%s: definition 0, the built-in one: COM%d at %d bit/s, %s modem\n", path.c_str(), modem.m_nComPort,
                modem.m_nBaudRate, (modem.m_dwFlags & vek::MODEM_EXTENDED) ? "extended" : "plain Hayes");
    return kDone;
}

int Add(const std::string& path)
{
    CModemSettings settings;
    if (!Load(path, settings))
        return kFileError;
    settings.m_modems.push_back(std::make_unique<vek::CModem>());
    if (!Save(path, settings))
        return kFileError;
    std::printf("added definition %zu\n", settings.m_modems.size() - 1);
    return kDone;
}

int Remove(const std::string& path, std::string_view indexText)
{
    int32_t index = 0;
    if (!ParseIndex(indexText, index) || index < 0)
        return NotAnIndex(indexText);
    CModemSettings settings;
    if (!Load(path, settings))
        return kFileError;
    if (static_cast<size_t>(index) >= settings.m_modems.size())
        return NoDefinition(path, settings, index);
    settings.m_modems.erase(settings.m_modems.begin() + index);
    std::printf("removed definition %d\n", index);
    ShiftIndex(settings.m_nOutgoing, index, "outgoing");
    ShiftIndex(settings.m_nIncoming, index, "incoming");
    return Save(path, settings) ? kDone : kFileError;
}

int SetIndex(const std::string& path, std::string_view which, std::string_view indexText)
{
    int32_t index = 0;
    if (!ParseIndex(indexText, index))
        return NotAnIndex(indexText);
    CModemSettings settings;
    if (!Load(path, settings))
        return kFileError;
    if (index != -1 && !settings.ModemAt(index)) {
        std::fprintf(stderr, "vekmdm: %s: %.*s %d names no definition (%s)\n", path.c_str(),
                     static_cast<int>(which.size()), which.data(), index, IndexRange(settings, true).c_str());
        return kNoDefinition;
    }
    (which == "outgoing" ? settings.m_nOutgoing : settings.m_nIncoming) = index;
    return Save(path, settings) ? kDone : kFileError;
}

int SetField(const std::string& path, std::string_view indexText, std::string_view fieldName, std::string_view value)
{
    int32_t index = 0;
    if (!ParseIndex(indexText, index) || index < 0)
        return NotAnIndex(indexText);
    const vek::ModemFieldInfo* field = vek::FindModemField(fieldName);
    if (!field) {
        std::fprintf(stderr, "vekmdm: no field %s (vekmdm fields lists them)\n", Quoted(fieldName).c_str());
        return kUsage;
    }
    if (const std::string refused = RefuseValue(*field, value); !refused.empty()) {
        std::fprintf(stderr, "vekmdm: %s\n", refused.c_str());
        return kUsage;
    }
    CModemSettings settings;
    if (!Load(path, settings))
        return kFileError;
    vek::CModem* modem = settings.ModemAt(index);
    if (!modem)
        return NoDefinition(path, settings, index);
    if (!vek::SetModemField(*modem, *field, value)) {
        std::fprintf(stderr, "vekmdm: %s is not a 32-bit number\n", Quoted(value).c_str());
        return kUsage;
    }
    return Save(path, settings) ? kDone : kFileError;
}

int Fields()
{
    for (const vek::ModemFieldInfo& f : vek::ModemFields()) {
        const std::string_view name = vek::ModemFieldName(f);
        std::printf("%.*s (%s)\n", static_cast<int>(name.size()), name.data(), f.isText ? "text" : "number");
    }
    return kDone;
}

} // namespace vekmdm
